// bench_api [roundTrips=50] [keys=1000]
// Runs the real telvano program, headless and unattended, with its local API against the in-process simulator
// and prints: the round trip of a one-item invoice through the API (POST to its 200) beside the processor's
// own time for it, the same invoice dropped as a file until its _basic.csv, and the program's resident memory
// before and after `keys` invoices were posted under their own keys (and all of them asked for again).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "api_e2e_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using telvano::testing::ApiInstallation;
using telvano::testing::E2eInstallation;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

long RssKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Percentile90(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() * 9 / 10];
}

// The mean of the processor's request time so far, from the program's own metrics.
double ProcessorMeanMs(const ApiInstallation& api) {
  const std::string text = api.Client()->Get("/metrics")->body;
  const auto read = [&text](const std::string& name) {
    const std::size_t at = text.find(name + " ");
    return at == std::string::npos ? 0.0 : std::stod(text.substr(at + name.size() + 1));
  };
  const double count = read("telvano_processor_request_duration_seconds_count");
  return count > 0 ? 1000.0 * read("telvano_processor_request_duration_seconds_sum") / count : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const int roundTrips = argc > 1 ? std::atoi(argv[1]) : 50;
  const int keys = argc > 2 ? std::atoi(argv[2]) : 1000;

  telvano::testing::ApiShop shop;
  E2eInstallation& installation = shop.installation;
  const ApiInstallation& api = shop.api;
  if (const std::string problem = shop.Start(); !problem.empty()) {
    std::fprintf(stderr, "bench_api: %s\n", problem.c_str());
    return 1;
  }

  std::vector<double> apiMs;
  for (int i = 0; i < roundTrips + 5; ++i) {
    const std::string item = "R" + std::to_string(i);
    const auto sent = Clock::now();
    const auto result = api.PostInvoice("rt-" + item, "INV_NS_" + item + ".csv", telvano::testing::SampleInvoice(item));
    if (!result || result->status != 200) {
      std::fprintf(stderr, "bench_api: round trip %d failed\n", i);
      return 1;
    }
    if (i >= 5) apiMs.push_back(Ms(Clock::now() - sent));  // five to warm up
  }
  const double processorMs = ProcessorMeanMs(api);
  std::printf("API round trip of a one-item invoice (%d): median %.1f ms, p90 %.1f ms; the processor's own time "
              "%.1f ms on average: %.1f ms beyond it (target: under 30 ms)\n",
              roundTrips, Median(apiMs), Percentile90(apiMs), processorMs, Median(apiMs) - processorMs);

  std::vector<double> fileMs;
  for (int i = 0; i < 5; ++i) {
    const std::string base = "INV_NS_F" + std::to_string(i);
    const auto dropped = Clock::now();
    installation.Drop(base + ".csv", telvano::testing::SampleInvoice());
    if (!E2eInstallation::WaitForFile(installation.Output() / (base + "_basic.csv"), 30s)) return 1;
    fileMs.push_back(Ms(Clock::now() - dropped));
    std::this_thread::sleep_for(2500ms);  // past the pause after a file invoice
  }
  std::printf("the same invoice dropped as a file to its _basic.csv: median %.0f ms (includes the wait for the "
              "next 1 s tick)\n", Median(fileMs));

  const pid_t pid = installation.Pid();
  const long before = RssKb(pid);
  const auto burst = Clock::now();
  for (int i = 0; i < keys; ++i) {
    const std::string item = "K" + std::to_string(i);
    const auto result = api.PostInvoice("key-" + item, "INV_NS_" + item + ".csv", telvano::testing::SampleInvoice(item));
    if (!result || result->status != 200) return 1;
  }
  const double postSeconds = Ms(Clock::now() - burst) / 1000.0;
  const long afterPosts = RssKb(pid);
  for (int i = 0; i < keys; ++i) {
    if (api.GetInvoice("key-K" + std::to_string(i))->status != 200) return 1;
  }
  std::printf("%d keys: posted in %.1f s; RSS before %ld KB, after the posts %ld KB, after asking for every key "
              "again %ld KB\n", keys, postSeconds, before, afterPosts, RssKb(pid));

  return shop.Stop() == 0 ? 0 : 1;
}
