// Throughput and latency of the processor simulator for a one-item invoice, one client, a new connection for
// every request (as TELVANO makes them). Usage: bench_pfr_sim [requests]  (default 2000 per processor kind)
#include <httplib.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "pfr-sim/pfr_simulator.h"
#include "pfr-sim/test_pki_script.h"

extern char** environ;

namespace {

using telvano::pfrsim::Mode;
using telvano::pfrsim::PfrSimulator;
using telvano::pfrsim::SimOptions;
using Clock = std::chrono::steady_clock;

const std::string kInvoice =
    R"({"cashier":"Bench","invoiceType":"Normal","transactionType":"Sale","payment":[{"amount":120,"paymentType":"Cash"}],)"
    R"("items":[{"name":"Хлеб","quantity":1,"uom":"kom","unitPrice":120,"labels":["Ђ"],"totalAmount":120}]})";

struct Figures {
  double perSecond = 0;
  double p50 = 0, p90 = 0, p99 = 0;
  int failures = 0;
};

Figures Run(const PfrSimulator& simulator, int requests, const std::string& certFile, const std::string& keyFile) {
  const httplib::Headers headers = {{"Accept-Language", "sr-Cyrl-RS"}, {"PAC", "ABC123"}};
  std::vector<double> milliseconds;
  Figures figures;
  const auto start = Clock::now();
  for (int i = 0; i < requests; ++i) {
    const auto before = Clock::now();
    httplib::Client client = certFile.empty() ? httplib::Client(simulator.BaseUrl())
                                              : httplib::Client(simulator.BaseUrl(), certFile, keyFile);
    client.enable_server_certificate_verification(false);
    client.set_keep_alive(false);
    client.set_tcp_nodelay(true);  // as libcurl does by default
    const auto result = client.Post("/api/v3/invoices", headers, kInvoice, "application/json");
    if (!result || result->status != 200) ++figures.failures;
    milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - before).count());
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::sort(milliseconds.begin(), milliseconds.end());
  auto percentile = [&milliseconds](double p) { return milliseconds[static_cast<std::size_t>(p * (milliseconds.size() - 1))]; };
  figures.perSecond = requests / seconds;
  figures.p50 = percentile(0.50);
  figures.p90 = percentile(0.90);
  figures.p99 = percentile(0.99);
  return figures;
}

void Print(const char* kind, int requests, const Figures& figures) {
  std::printf("%s: %d one-item invoices, %.0f answers/s, p50 %.2f ms, p90 %.2f ms, p99 %.2f ms, failures %d\n", kind,
              requests, figures.perSecond, figures.p50, figures.p90, figures.p99, figures.failures);
}

bool MakePki(const std::filesystem::path& folder) {
  std::string script = telvano::pfrsim::TestPkiScriptPath();
  std::string out = folder.string();
  std::string bash = "/bin/bash";
  char* argv[] = {bash.data(), script.data(), out.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int requests = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  SimOptions lpfrOptions;
  lpfrOptions.pinEntered = true;
  PfrSimulator lpfr(lpfrOptions);
  lpfr.Start();
  Run(lpfr, 50, {}, {});  // warm-up
  Print("LPFR (HTTP)", requests, Run(lpfr, requests, {}, {}));
  lpfr.Stop();

  const auto folder = std::filesystem::temp_directory_path() / ("pfr-sim-bench-" + std::to_string(getpid()));
  if (!MakePki(folder)) {
    std::printf("VPFR: skipped, the test PKI could not be made (openssl missing?)\n");
    return 0;
  }
  SimOptions vpfrOptions;
  vpfrOptions.mode = Mode::Vpfr;
  vpfrOptions.certFile = (folder / "server.pem").string();
  vpfrOptions.keyFile = (folder / "server.key").string();
  vpfrOptions.clientCaFile = (folder / "ca.pem").string();
  PfrSimulator vpfr(vpfrOptions);
  vpfr.Start();
  const std::string cert = (folder / "client.pem").string();
  const std::string key = (folder / "client.key").string();
  Run(vpfr, 20, cert, key);
  Print("VPFR (HTTPS, TLS 1.2 handshake each)", requests, Run(vpfr, requests, cert, key));
  vpfr.Stop();
  std::filesystem::remove_all(folder);
  return 0;
}
