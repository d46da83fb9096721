// The logic the invoice, command and JSON invoice windows share: which waiting file is offered, what a
// click on Panel1 does, and how window and module let go of each other.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>

#include "core/file_window_logic.h"
#include "platform/directory_listing.h"
#include "support/temp_dir.h"
#include "window_fakes.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDone = "Done!\n\nOdgovor je u \\TELVANO\\ExchData\\SDC_Out";

class FileWindowLogicTest : public ::testing::Test {
 protected:
  FileWindowLogicTest() {
    configuration.InputDir = root / "SDC_Inp";
    fs::create_directories(configuration.InputDir);
    logic = std::make_unique<core::FileWindowLogic>(configuration, "INV_*.csv", kDone, [this](const std::string& name) {
      processed.push_back(name);
      if (!failure.empty()) throw std::runtime_error(failure);
    });
    logic->SetStillBeingWritten([this](const std::string& path) {
      return stillWritten.count(fs::path(path).filename().string()) > 0;
    });
    logic->Attach(view, info);
  }

  void Drop(const std::string& name) { WriteFileBytes(fs::path(configuration.InputDir) / name, "x"); }

  TempDir root;
  core::Configuration configuration;
  RecordingFileView view;
  RecordingInfo info;
  std::vector<std::string> processed;
  std::string failure;
  std::set<std::string> stillWritten;
  std::unique_ptr<core::FileWindowLogic> logic;
};

struct PickCase {
  const char* name;
  std::vector<std::string> files;
  std::set<std::string> held;
  std::string shown;
};

void PrintTo(const PickCase& pick, std::ostream* out) { *out << pick.name; }

class PickTest : public FileWindowLogicTest, public ::testing::WithParamInterface<PickCase> {};

TEST_P(PickTest, OffersTheFirstWaitingFileByName) {
  for (const std::string& name : GetParam().files) Drop(name);
  const std::set<std::string> held = GetParam().held;
  logic->SetHeldTest([held](const std::string& name) { return held.count(name) > 0; });
  logic->FormShow();
  EXPECT_EQ(logic->PanelFile(), GetParam().shown);
  EXPECT_EQ(view.panelFile, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, PickTest,
    ::testing::Values(PickCase{"Empty", {}, {}, ""},
                      PickCase{"LettersWithoutRegardToCase", {"INV_NS_b.csv", "inv_ns_A.CSV", "INV_NS_c.csv"}, {},
                               "inv_ns_A.CSV"},
                      PickCase{"OnlyThePattern", {"INV_NS_1.txt", "CMD_1.csv", "XINV_NS_1.csv", "INV_NS_9.csv"}, {},
                               "INV_NS_9.csv"},
                      PickCase{"DigitsBeforeLetters", {"INV_NS_a.csv", "INV_NS_1.csv"}, {}, "INV_NS_1.csv"},
                      PickCase{"HeldFilesAreNotOffered", {"INV_NS_1.csv", "INV_NS_2.csv"}, {"INV_NS_1.csv"},
                               "INV_NS_2.csv"},
                      PickCase{"AllHeld", {"INV_NS_1.csv"}, {"INV_NS_1.csv"}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileWindowLogicTest, FoldersHiddenAndSystemEntriesAreNeverOffered) {
  const fs::path in = configuration.InputDir;
  fs::create_directory(in / "INV_NS_0.csv");
  Drop(".INV_NS_1.csv");
  ASSERT_EQ(::mkfifo((in / "INV_NS_2.csv").c_str(), 0600), 0);
  Drop("target.txt");
  fs::create_symlink(in / "target.txt", in / "INV_NS_3.csv");
  Drop("INV_NS_4.csv");
  logic->FormShow();
  EXPECT_EQ(logic->PanelFile(), "INV_NS_4.csv");
}

TEST_F(FileWindowLogicTest, TheSearchEndsAtTheFirstFileStillBeingWritten) {
  Drop("INV_NS_1.csv");
  Drop("INV_NS_2.csv");
  Drop("INV_NS_3.csv");
  // The folder's own order decides which files were looked at before the one the POS still writes.
  const std::vector<std::string> order = platform::ListFiles(configuration.InputDir, "INV_*.csv");
  ASSERT_EQ(order.size(), 3u);
  stillWritten = {order[1]};
  logic->FormShow();
  EXPECT_EQ(logic->PanelFile(), order[0]);
  stillWritten = {order[0]};
  logic->FormShow();
  EXPECT_EQ(logic->PanelFile(), "");
}

TEST_F(FileWindowLogicTest, AMissingFolderOffersNothing) {
  fs::remove_all(configuration.InputDir);
  logic->FormShow();
  EXPECT_EQ(logic->PanelFile(), "");
}

TEST_F(FileWindowLogicTest, ShowModalSetsTheCaptionFinishesWhatIsOpenPicksAndWaits) {
  Drop("INV_NS_1.csv");
  Drop("INV_NS_2.csv");
  bool resolved = false;
  logic->SetCaptionSource([] { return std::string("TELVANO r10.0.023 | "); });
  logic->SetBeforePick([&resolved] { resolved = true; });
  // An invoice still open when the window opens is finished first and no longer held.
  logic->SetHeldTest([&resolved](const std::string& name) { return !resolved && name == "INV_NS_1.csv"; });
  logic->ShowModal();
  const std::vector<std::string> expected = {"caption:TELVANO r10.0.023 | ", "panel:INV_NS_1.csv", "exec"};
  EXPECT_EQ(view.events, expected);
}

TEST_F(FileWindowLogicTest, WithoutACaptionSourceTheDesignedCaptionStays) {
  logic->ShowModal();
  const std::vector<std::string> expected = {"panel:", "exec"};
  EXPECT_EQ(view.events, expected);
}

struct ClickCase {
  const char* name;
  bool fileWaiting;
  std::string failure;
  std::vector<std::string> processed;
  std::vector<std::string> shown;
};

void PrintTo(const ClickCase& click, std::ostream* out) { *out << click.name; }

class ClickTest : public FileWindowLogicTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(ClickTest, Panel1HandsTheShownFileOverAndTellsTheOperator) {
  if (GetParam().fileWaiting) Drop("INV_NS_1.csv");
  failure = GetParam().failure;
  view.operatorScript = [this] { view.ClickPanel1(); };
  logic->ShowModal();
  EXPECT_EQ(processed, GetParam().processed);
  EXPECT_EQ(info.shown, GetParam().shown);
  EXPECT_EQ(logic->PanelFile(), "");
  EXPECT_EQ(view.panelFile, "");
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ClickTest,
    ::testing::Values(ClickCase{"NothingShownNothingDone", false, "", {}, {}},
                      ClickCase{"HandledAndDone", true, "", {"INV_NS_1.csv"}, {std::string("info:") + kDone}},
                      ClickCase{"AFailureIsShownInsteadOfDone", true, "Cannot write the response file: full",
                                {"INV_NS_1.csv"}, {"info:Cannot write the response file: full"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileWindowLogicTest, WindowAndModuleLetGoOfEachOther) {
  EXPECT_EQ(view.target, logic.get());
  RecordingFileView other;
  logic->Attach(other, info);
  EXPECT_EQ(view.target, nullptr);  // the first window no longer reaches the module
  EXPECT_EQ(other.target, logic.get());

  // The window goes first: the module no longer paints it and refuses to show it.
  Drop("INV_NS_1.csv");
  logic->FormShow();
  other.target->FormDestroy();
  other.events.clear();
  logic->Panel1Click();
  EXPECT_TRUE(other.events.empty());
  EXPECT_FALSE(logic->Attached());
  EXPECT_THROW(logic->ShowModal(), std::logic_error);

  // The module goes first: the window's clicks then go nowhere.
  logic->Attach(view, info);
  logic.reset();
  EXPECT_EQ(view.target, nullptr);
}

}  // namespace
}  // namespace telvano::testing
