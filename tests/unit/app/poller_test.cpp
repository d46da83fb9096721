#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/input_scan.h"
#include "app/tform_main_telvano.h"
#include "app_fakes.h"
#include "support/temp_dir.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;

class PollerTest : public ::testing::Test {
 protected:
  PollerTest() {
    fs::create_directory(dir.Path() / "SDC_Inp");
    core::Configuration configuration;
    configuration.InputDir = dir / "SDC_Inp";
    main = std::make_unique<app::TFormMainTELVANO>(configuration, clock, view, true);
    modules.messages = &messages;
    modules.processCsvInvoice = [this](const std::string& name) { Handled("INV", name); };
    modules.processCmdFile = [this](const std::string& name) { Handled("CMD", name); };
    modules.stillBeingWritten = [this](const std::string& path) {
      return busy.count(fs::path(path).filename()) > 0;
    };
    modules.appendLog = [this](const std::string& text) { logLines.push_back(text); };
    main->Attach(modules);
  }

  void Drop(const std::string& name) { WriteFileBytes(dir.Path() / "SDC_Inp" / name, "x"); }

  void Handled(const std::string& kind, const std::string& name) {
    handed.push_back(kind + ":" + name);
    timerOnDuringHandler = timerOnDuringHandler || view.timerEnabled;
    if (onHandle) onHandle(name);
  }

  // A handler as the real ones are: it takes the file out of the input folder.
  void RemoveHandledFiles() {
    onHandle = [this](const std::string& name) { fs::remove(dir.Path() / "SDC_Inp" / name); };
  }

  TempDir dir;
  platform::ManualClock clock;
  RecordingMainView view;
  RecordingMessages messages;
  app::TFormMainTELVANO::Modules modules;
  std::unique_ptr<app::TFormMainTELVANO> main;
  std::vector<std::string> handed;
  std::vector<std::string> logLines;
  std::set<std::string> busy;
  std::function<void(const std::string&)> onHandle;
  bool timerOnDuringHandler = false;
};

TEST_F(PollerTest, CommandsGoFirstAndEachTickTakesOneFileByItsNameAsFound) {
  RemoveHandledFiles();
  for (const char* name : {"INV_0002.csv", "inv_a.csv", "CMD_b.csv", "INV_0001.CSV", "cmd_A.csv"}) Drop(name);
  for (int tick = 0; tick < 6; ++tick) main->Timer1Timer();
  const std::vector<std::string> expected = {"CMD:cmd_A.csv", "CMD:CMD_b.csv", "INV:INV_0001.CSV",
                                             "INV:INV_0002.csv", "INV:inv_a.csv"};
  EXPECT_EQ(handed, expected);
  EXPECT_FALSE(timerOnDuringHandler);
  EXPECT_TRUE(view.timerEnabled);
}

TEST_F(PollerTest, OnlyVisibleRegularCsvFilesWithAKnownPrefixAreTaken) {
  for (const char* name :
       {"INV_1.csv.tmp", "INV_1.json", ".INV_1.csv", "X_INV_1.csv", "Script_1.sql", "INV_.txt"}) {
    Drop(name);
  }
  fs::create_directory(dir.Path() / "SDC_Inp" / "INV_folder.csv");
  WriteFileBytes(dir.Path() / "secret.txt", "not for the processor");
  fs::create_symlink(dir.Path() / "secret.txt", dir.Path() / "SDC_Inp" / "INV_link.csv");
  main->Timer1Timer();
  EXPECT_TRUE(handed.empty());
}

TEST_F(PollerTest, HeldFilesWaitOddEntriesAreSetApartAndADownDatabaseStopsTheTick) {
  bool databaseUp = false;
  modules.prepareTick = [&databaseUp] { return databaseUp; };
  modules.inputHeld = [](const std::string& name) { return name == "INV_1.csv"; };
  modules.rejectOddInput = [this](const std::string& name) { Handled("ODD", name); };
  main->Attach(modules);
  Drop("INV_1.csv");
  Drop("INV_2.csv");
  fs::create_directory(dir.Path() / "SDC_Inp" / "CMD_folder.csv");
  main->Timer1Timer();
  EXPECT_TRUE(handed.empty());  // the files wait for the database
  databaseUp = true;
  main->Timer1Timer();
  EXPECT_EQ(handed, (std::vector<std::string>{"ODD:CMD_folder.csv", "INV:INV_2.csv"}));
}

TEST_F(PollerTest, AHandlerThatLeavesItsFileGetsItAgainOnTheNextTick) {
  Drop("INV_1.csv");
  main->Timer1Timer();
  main->Timer1Timer();
  EXPECT_EQ(handed, (std::vector<std::string>{"INV:INV_1.csv", "INV:INV_1.csv"}));
}

TEST_F(PollerTest, AFileStillBeingWrittenHoldsBackItselfAndWhatFollowsIt) {
  for (const char* name : {"INV_1.csv", "INV_2.csv", "INV_3.csv"}) Drop(name);
  std::vector<std::string> order;  // the order the file system gives
  for (const auto& entry : fs::directory_iterator(dir.Path() / "SDC_Inp"))
    order.push_back(entry.path().filename());

  busy = {order[0]};
  main->Timer1Timer();
  EXPECT_TRUE(handed.empty()) << "nothing after a busy first file is looked at";

  busy = {order[1]};
  main->Timer1Timer();
  EXPECT_EQ(handed, std::vector<std::string>{"INV:" + order[0]})
      << "a file found before the busy one is taken";

  busy.clear();
  RemoveHandledFiles();
  for (int tick = 0; tick < 3; ++tick) main->Timer1Timer();
  EXPECT_EQ(handed.size(), 4u);
  EXPECT_TRUE(fs::is_empty(dir.Path() / "SDC_Inp"));
}

TEST_F(PollerTest, AnEscapedHandlerErrorIsLoggedAndPollingGoesOn) {
  Drop("INV_1.csv");
  onHandle = [](const std::string&) { throw std::runtime_error("disk full"); };
  main->Timer1Timer();
  EXPECT_TRUE(view.timerEnabled);
  ASSERT_EQ(logLines.size(), 1u);
  EXPECT_EQ(logLines[0], "Poll error: disk full");
}

TEST_F(PollerTest, TheStopCommandLeavesTheTimerOff) {
  Drop("CMD_stop.csv");
  onHandle = [this](const std::string&) { main->RequestTerminate(); };
  main->Timer1Timer();
  EXPECT_FALSE(view.timerEnabled);
  EXPECT_TRUE(view.terminated);
}

TEST_F(PollerTest, AMissingInputFolderHasNothingWaiting) {
  fs::remove_all(dir.Path() / "SDC_Inp");
  main->Timer1Timer();
  EXPECT_TRUE(handed.empty());
  EXPECT_TRUE(view.timerEnabled);
}

TEST(InputScanNames, OrderIsCaseInsensitiveWithDigitsBeforeLetters) {
  EXPECT_TRUE(app::NameLess("CMD_z.csv", "inv_a.csv"));
  EXPECT_TRUE(app::NameLess("cmd_z.csv", "INV_a.csv"));
  EXPECT_TRUE(app::NameLess("INV_9.csv", "INV_a.csv"));
  EXPECT_FALSE(app::NameLess("INV_A.csv", "inv_a.csv"));
  EXPECT_FALSE(app::NameLess("inv_a.csv", "INV_A.csv"));
  EXPECT_TRUE(app::NameLess("INV_1.csv", "INV_10.csv"));
  EXPECT_TRUE(app::IsPollableName("Inv_1.Csv"));
  EXPECT_FALSE(app::IsPollableName("INV_1.csvx"));
  EXPECT_FALSE(app::IsPollableName("INV.csv"));
  EXPECT_TRUE(app::IsInvoiceName("inv_1.csv"));
  EXPECT_FALSE(app::IsInvoiceName("CMD_1.csv"));
}

}  // namespace
}  // namespace telvano::testing
