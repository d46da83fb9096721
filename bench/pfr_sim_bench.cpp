// Benchmark of the processor simulator (filled in below as it grows).
int main() { return 0; }
