#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <thread>

#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kUid = "YJLQTEQR";

// A running unattended program on an LPFR, stopped by the stop command at the end.
class ProgramPoll : public ::testing::Test {
 protected:
  void SetUp() override {
    pfrsim::SimOptions options;
    options.uid = kUid;
    sim = std::make_unique<pfrsim::PfrSimulator>(options);
    sim->Start();
    installation.AddCertificate({kUid, sim->BaseUrl()});
    installation.Start({E2eInstallation::kSoftKey, "1234", kUid});
    ASSERT_EQ(installation.WaitForStartInfo().substr(0, 3), "OK,") << installation.StderrText();
  }

  void TearDown() override {
    installation.Drop("CMD_ZZZZ.csv", "STOP-TELVANO,\r\n");
    EXPECT_EQ(installation.WaitForExit(20s), 0);
  }

  std::unique_ptr<pfrsim::PfrSimulator> sim;
  E2eInstallation installation;
};

TEST_F(ProgramPoll, ABurstIsTakenOneFilePerTickCommandsFirst) {
  installation.Drop("INV_NS_0002.csv", SampleInvoice("Čaj"));
  installation.Drop("INV_NS_0001.csv", SampleInvoice("Kafa"));
  installation.Drop("CMD_0001.csv", "HELLO-TELVANO,1\r\n");
  const std::vector<fs::path> results = {installation.Output() / "CMD_0001_resp.txt",
                                         installation.Output() / "INV_NS_0001_basic.csv",
                                         installation.Output() / "INV_NS_0002_basic.csv"};
  std::map<fs::path, std::chrono::steady_clock::time_point> seen;
  const auto deadline = std::chrono::steady_clock::now() + 40s;
  while (seen.size() < results.size() && std::chrono::steady_clock::now() < deadline) {
    for (const fs::path& result : results) {
      if (!seen.count(result) && fs::exists(result)) seen[result] = std::chrono::steady_clock::now();
    }
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(seen.size(), results.size()) << "log:\n" << installation.Log() << installation.StderrText();
  EXPECT_LT(seen[results[0]], seen[results[1]]);
  EXPECT_LT(seen[results[1]], seen[results[2]]);
  EXPECT_GE(seen[results[2]] - seen[results[1]], 900ms) << "one file per tick";
  EXPECT_TRUE(fs::exists(installation.Output() / "INV_NS_0001_journal.txt"));
  EXPECT_FALSE(fs::exists(installation.Input() / "INV_NS_0001.csv"));
  EXPECT_EQ(sim->RequestCount("/api/v3/invoices"), 2u);
}

TEST_F(ProgramPoll, AFileHeldOpenWaitsUntilItIsClosed) {
  const fs::path file = installation.Input() / "INV_NS_0100.csv";
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const std::string content = SampleInvoice();
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  std::this_thread::sleep_for(2500ms);  // two ticks and more
  EXPECT_TRUE(fs::exists(file));
  EXPECT_FALSE(fs::exists(installation.Output() / "INV_NS_0100_basic.csv"));
  EXPECT_FALSE(fs::exists(installation.Output() / "INV_NS_0100_err.txt"));
  ::close(fd);
  EXPECT_TRUE(E2eInstallation::WaitForFile(installation.Output() / "INV_NS_0100_basic.csv", 15s))
      << installation.Log();
}

TEST_F(ProgramPoll, OtherNamesStayWhereTheyAre) {
  installation.Drop("INV_NS_1.json", "{}");
  installation.Drop("notes.csv", "x");
  installation.Drop("CMD_0002.csv", "HELLO-TELVANO,1\r\n");
  ASSERT_TRUE(E2eInstallation::WaitForFile(installation.Output() / "CMD_0002_resp.txt", 10s));
  std::this_thread::sleep_for(1200ms);
  EXPECT_TRUE(fs::exists(installation.Input() / "INV_NS_1.json"));
  EXPECT_TRUE(fs::exists(installation.Input() / "notes.csv"));
}

}  // namespace
}  // namespace telvano::testing
