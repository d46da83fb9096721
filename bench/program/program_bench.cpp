// bench_program [invoices=200] [idleSeconds=60]
// Runs the real telvano program, headless and unattended, against the in-process simulator and prints:
// the start-up time to "OK," without the prescribed 2000 ms wait, the time from a dropped one-item invoice
// to its _basic.csv, the CPU use of the idle program, and its resident memory idle and after the invoices.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

pid_t TelvanoPid(const fs::path& lockDir) {
  // The program holds its lock file open; find the process that has it.
  for (const auto& proc : fs::directory_iterator("/proc")) {
    const std::string name = proc.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code error;
    for (const auto& fd : fs::directory_iterator(proc.path() / "fd", error)) {
      std::error_code linkError;
      if (fs::read_symlink(fd.path(), linkError) == lockDir / "TELVANO_Started.lock") return std::stoi(name);
    }
  }
  return -1;
}

long CpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) {
      stime = std::stol(field);
      break;
    }
  }
  return utime + stime;
}

long RssKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// How many "<prefix>…_basic.csv" results the output folder holds.
int CountBasicResults(const fs::path& output, const std::string& prefix) {
  int count = 0;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(output, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && name.ends_with("_basic.csv")) ++count;
  }
  return count;
}

// One invoice at a time: drop, wait for its _basic.csv (the poller looks once a second, so the figure
// includes up to one second of waiting for the next tick; the handler's own 2000 ms pause comes after).
bool MeasureLatency(telvano::testing::E2eInstallation& installation) {
  std::vector<double> latencies;
  for (int i = 0; i < 5; ++i) {
    const std::string base = "INV_NS_L" + std::to_string(i);
    const auto dropped = Clock::now();
    installation.Drop(base + ".csv", telvano::testing::SampleInvoice());
    if (!telvano::testing::E2eInstallation::WaitForFile(installation.Output() / (base + "_basic.csv"), 30s)) {
      std::fprintf(stderr, "bench_program: no result for %s\n", base.c_str());
      return false;
    }
    latencies.push_back(Ms(Clock::now() - dropped));
    std::this_thread::sleep_for(2500ms);  // past the handler's pause
  }
  std::sort(latencies.begin(), latencies.end());
  std::printf(
      "dropped one-item invoice to _basic.csv: median %.0f ms, min %.0f ms, max %.0f ms (includes the wait "
      "for the next 1 s tick)\n",
      latencies[latencies.size() / 2], latencies.front(), latencies.back());
  return true;
}

// The program's CPU time and resident memory while nothing arrives for `idleSeconds`.
void MeasureIdle(pid_t pid, int idleSeconds) {
  const long rssIdle = RssKb(pid);
  const long ticksBefore = CpuTicks(pid);
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  const long ticksAfter = CpuTicks(pid);
  const double cpuPercent = 100.0 * (ticksAfter - ticksBefore) / sysconf(_SC_CLK_TCK) / idleSeconds;
  std::printf("idle CPU over %d s: %.2f %% of one core; RSS idle: %ld KB\n", idleSeconds, cpuPercent,
              rssIdle);
}

// `invoices` dropped at once, and the memory half-way and at the end.
bool MeasureBurst(telvano::testing::E2eInstallation& installation, pid_t pid, int invoices) {
  const auto burst = Clock::now();
  for (int i = 0; i < invoices; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "INV_NS_B%04d", i);
    installation.Drop(std::string(name) + ".csv", telvano::testing::SampleInvoice());
  }
  // The program takes the files in the folder's order, one every pace (the handler's pause after each),
  // so a burst takes minutes: the wait lasts as long as results keep coming, and gives up only after a
  // minute without a new one.
  long rssMid = -1;
  int done = 0;
  auto lastProgress = Clock::now();
  while (done < invoices) {
    const int now = CountBasicResults(installation.Output(), "INV_NS_B");
    if (now > done) {
      done = now;
      lastProgress = Clock::now();
      if (rssMid < 0 && done >= invoices / 2) rssMid = RssKb(pid);
    } else if (Clock::now() - lastProgress > 60s) {
      std::fprintf(stderr, "bench_program: no new result for 60 s after %d of %d invoices\n%s", done, invoices,
                   installation.Log().c_str());
      return false;
    }
    std::this_thread::sleep_for(200ms);
  }
  const double seconds = Ms(Clock::now() - burst) / 1000.0;
  std::printf("%d invoices in %.1f s (%.1f a minute, paced by the 2000 ms pause after each); RSS after %d: %ld KB, "
              "after all %d: %ld KB\n",
              invoices, seconds, invoices * 60.0 / seconds, invoices / 2, rssMid, invoices, RssKb(pid));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known
  const int invoices = argc > 1 ? std::atoi(argv[1]) : 200;
  const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 60;

  telvano::pfrsim::SimOptions options;
  options.uid = "BENCH001";
  telvano::pfrsim::PfrSimulator sim(options);
  sim.Start();
  telvano::testing::E2eInstallation installation;
  installation.AddCertificate({"BENCH001", sim.BaseUrl()});

  const auto started = Clock::now();
  installation.Start({telvano::testing::E2eInstallation::kSoftKey, "1234", "BENCH001"});
  const std::string startInfo = installation.WaitForStartInfo(60s);
  const auto ready = Clock::now();
  if (startInfo.rfind("OK,", 0) != 0) {
    std::fprintf(stderr, "bench_program: the start failed: %s\n%s", startInfo.c_str(),
                 installation.Log().c_str());
    return 1;
  }
  std::printf("start-up to \"OK,\": %.0f ms (%.0f ms without the prescribed 2000 ms wait)\n",
              Ms(ready - started), Ms(ready - started) - 2000.0);
  const pid_t pid = TelvanoPid(installation.Root());

  if (!MeasureLatency(installation)) return 1;

  MeasureIdle(pid, idleSeconds);

  if (!MeasureBurst(installation, pid, invoices)) return 1;

  installation.Drop("CMD_STOP.csv", "STOP-TELVANO,\r\n");
  return installation.WaitForExit(30s) == 0 ? 0 : 1;
}
