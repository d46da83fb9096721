// The program as systemd runs it: its notices on a datagram socket of the test (NOTIFY_SOCKET) and its
// stderr as the journal's stream (JOURNAL_STREAM).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/notify_socket.h"
#include "support/pfr_sim_fixture.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kUid = "YJLQTEQR";

std::unique_ptr<pfrsim::PfrSimulator> StartLpfr() {
  pfrsim::SimOptions options;
  options.uid = kUid;
  return StartLpfrSimulator(options);
}

// The longest pause between two WATCHDOG=1 notices within `span`.
std::chrono::milliseconds LongestWatchdogGap(NotifySocket& socket, std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  auto last = std::chrono::steady_clock::now();
  std::chrono::milliseconds longest{0};
  while (std::chrono::steady_clock::now() < end) {
    const auto notice = socket.Next(std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()));
    const auto now = std::chrono::steady_clock::now();
    if (notice && !NoticeHas(*notice, "WATCHDOG=1")) continue;
    longest = std::max(longest, std::chrono::duration_cast<std::chrono::milliseconds>(now - last));
    last = now;
  }
  return longest;
}

TEST(ServiceUnderSystemd, ReadyAfterTheStartNoticeWatchdogFromEveryTickAndNoneWhileATickHangs) {
  auto sim = StartLpfr();
  E2eInstallation installation;
  installation.AddCertificate({kUid, sim->BaseUrl()});
  NotifySocket socket;
  installation.SetEnvironment("NOTIFY_SOCKET", socket.Path());
  installation.SetEnvironment("WATCHDOG_USEC", "2000000");
  installation.Start({E2eInstallation::kSoftKey, "1234", kUid});

  ASSERT_TRUE(socket.WaitFor("READY=1", 30s)) << socket.Seen() << installation.StderrText();
  // The start notice is on the disk by then, and says OK.
  EXPECT_EQ(installation.WaitForStartInfo(1s).substr(0, 3), "OK,");
  EXPECT_NE(socket.Seen().find(std::string("STATUS=") + kUid + " LPFR DEV; invoices open 0, held 0; last signed never"),
            std::string::npos)
      << socket.Seen();
  EXPECT_LE(LongestWatchdogGap(socket, 3500ms), 1500ms) << "a tick a second, each with its ping";
  // A watchdog of 2 s is shorter than a processor request may take: the program asks for its longest tick.
  EXPECT_NE(socket.Seen().find("WATCHDOG_USEC=570000000"), std::string::npos) << socket.Seen();

  // The processor holds the invoice for 6 s: that tick sends nothing meanwhile, which is the point.
  sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Delayed(6000));
  installation.Drop("INV_NS_0001.csv", SampleInvoice());
  for (int i = 0; i < 500 && sim->RequestCount("/api/v3/invoices") == 0; ++i) socket.Next(20ms);
  ASSERT_EQ(sim->RequestCount("/api/v3/invoices"), 1u);
  EXPECT_GE(LongestWatchdogGap(socket, 10s), 4000ms) << "the hung tick went on pinging";
  ASSERT_TRUE(E2eInstallation::WaitForFile(installation.Output() / "INV_NS_0001_basic.csv", 20s));
  // Once it is done the ticks ping again, and the status line has the signature.
  EXPECT_TRUE(socket.WaitFor("WATCHDOG=1", 5s));
  for (int i = 0; i < 100 && socket.Seen().find("; last signed 20") == std::string::npos; ++i) socket.Next(100ms);
  EXPECT_NE(socket.Seen().find("invoices open 0, held 0; last signed 20"), std::string::npos) << socket.Seen();

  installation.Drop("CMD_STOP.csv", "STOP-TELVANO,\r\n");
  EXPECT_TRUE(socket.WaitFor("STOPPING=1", 15s)) << socket.Seen();
  EXPECT_EQ(installation.WaitForExit(15s), 0);
}

TEST(ServiceUnderSystemd, AnAbandonedStartIsNeverReadyEndsWith78AndItsLinesCarryTheirPriority) {
  E2eInstallation installation;
  NotifySocket socket;
  installation.SetEnvironment("NOTIFY_SOCKET", socket.Path());
  // stderr is the journal's stream when JOURNAL_STREAM names its device and inode.
  WriteFileBytes(installation.StderrPath(), "");
  struct stat info {};
  ASSERT_EQ(::stat(installation.StderrPath().c_str(), &info), 0);
  installation.SetEnvironment("JOURNAL_STREAM", std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino));
  installation.Start({E2eInstallation::kSoftKey, "1234", "NO-SUCH-SERIAL"});
  EXPECT_EQ(installation.WaitForExit(30s), 78);
  EXPECT_EQ(installation.WaitForStartInfo(1s).substr(0, 4), "ERR,");
  while (socket.Next(0ms)) {
  }
  EXPECT_EQ(socket.Seen().find("READY=1"), std::string::npos) << socket.Seen();
  EXPECT_NE(socket.Seen().find("STOPPING=1"), std::string::npos) << socket.Seen();
  // Message 5 (no working certificate) is fatal: an error for the journal; every line has its priority.
  const std::string journal = installation.StderrText();
  EXPECT_NE(journal.find("<3>Certificate has expired"), std::string::npos) << journal;
  std::istringstream lines(journal);
  for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind('<', 0), 0u) << line;
}

}  // namespace
}  // namespace telvano::testing
