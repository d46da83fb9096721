// The logic the invoice, command and JSON invoice windows share: which waiting file is offered, and how
// window and module let go of each other (what a click does is tested with the modules).
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

class FileWindowLogicTest : public ::testing::Test {
 protected:
  FileWindowLogicTest() {
    configuration.InputDir = root / "SDC_Inp";
    fs::create_directories(configuration.InputDir);
    logic = std::make_unique<core::FileWindowLogic>(configuration, "INV_*.csv", "Done!", nullptr);
    logic->SetStillBeingWritten([this](const std::string& path) {
      return stillWritten.count(fs::path(path).filename().string()) > 0;
    });
    logic->Attach(view, info);
  }

  fs::path In(const std::string& name) const { return fs::path(configuration.InputDir) / name; }
  void Drop(const std::string& name) { WriteFileBytes(In(name), "x"); }

  TempDir root;
  core::Configuration configuration;
  RecordingFileView view;
  RecordingInfo info;
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
  EXPECT_EQ(view.panelFile, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, PickTest,
    ::testing::Values(PickCase{"Empty", {}, {}, ""},
                      PickCase{"LettersWithoutRegardToCase",
                               {"INV_NS_b.csv", "inv_ns_A.CSV", "INV_NS_c.csv"},
                               {},
                               "inv_ns_A.CSV"},
                      PickCase{"OnlyThePattern",
                               {"INV_NS_1.txt", "CMD_1.csv", "XINV_NS_1.csv", "INV_NS_9.csv"},
                               {},
                               "INV_NS_9.csv"},
                      PickCase{"DigitsBeforeLetters", {"INV_NS_a.csv", "INV_NS_1.csv"}, {}, "INV_NS_1.csv"},
                      PickCase{"HeldFilesAreNotOffered",
                               {"INV_NS_1.csv", "INV_NS_2.csv"},
                               {"INV_NS_1.csv"},
                               "INV_NS_2.csv"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileWindowLogicTest, OnlyCompletePlainFilesAreOffered) {
  fs::create_directory(In("INV_NS_0.csv"));
  Drop(".INV_NS_1.csv");
  ASSERT_EQ(::mkfifo(In("INV_NS_2.csv").c_str(), 0600), 0);
  Drop("target.txt");
  fs::create_symlink(In("target.txt"), In("INV_NS_3.csv"));
  Drop("INV_NS_5.csv");
  Drop("INV_NS_6.csv");
  logic->FormShow();
  EXPECT_EQ(view.panelFile, "INV_NS_5.csv");

  // The search ends at the first file (in the folder's own order) that the POS still writes.
  const std::vector<std::string> order = platform::ListFiles(configuration.InputDir, "INV_*.csv");
  ASSERT_EQ(order.size(), 2u);
  stillWritten = {order[1]};
  logic->FormShow();
  EXPECT_EQ(view.panelFile, order[0]);
  stillWritten = {order[0]};
  logic->FormShow();
  EXPECT_EQ(view.panelFile, "");
}

TEST_F(FileWindowLogicTest, WindowAndModuleLetGoOfEachOther) {
  RecordingFileView other;
  logic->Attach(other, info);
  EXPECT_EQ(view.target, nullptr);  // the first window no longer reaches the module
  EXPECT_EQ(other.target, logic.get());

  // The window goes first: the module no longer paints it and refuses to show it.
  other.target->FormDestroy();
  logic->FormShow();
  EXPECT_TRUE(other.events.empty());
  EXPECT_THROW(logic->ShowModal(), std::logic_error);

  // The module goes first: the window's clicks then go nowhere.
  logic->Attach(view, info);
  logic.reset();
  EXPECT_EQ(view.target, nullptr);
}

}  // namespace
}  // namespace telvano::testing
