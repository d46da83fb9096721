// The Qt file windows on the offscreen platform: their designs, what the module tells them, the keys and
// clicks they forward, and how they let go of their module.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <memory>

#include "../../unit/windows/window_fakes.h"
#include "../windows/qt_test_app.h"
#include "cmd/tform_cmd.h"
#include "core/file_window_logic.h"
#include "invoice/tform_invoice.h"
#include "invoice/tform_invoice_json.h"
#include "support/temp_dir.h"
#include "ui/file_window.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;

TEST(FileWindowDesign, EachWindowHasItsNamesAndCaptions) {
  QtTestApp();
  const struct {
    const core::FileWindowForm& form;
    const char* objectName;
    const char* panel1;
  } designs[] = {
      {invoice::kInvoiceWindowForm, "FormInvoice", "Fiskalizuj račun"},
      {cmd::kCmdWindowForm, "FormCmd", "Izvrši CMD"},
      {invoice::kInvoiceJsonWindowForm, "FormInvoiceJSON", "Fiskalizuj JSON invoice"},
  };
  for (const auto& design : designs) {
    ui::FileWindow window(design.form);
    EXPECT_EQ(window.objectName(), design.objectName);
    EXPECT_EQ(window.windowTitle(), design.objectName);
    EXPECT_EQ(window.findChild<QPushButton*>("Panel1")->text(), QString::fromUtf8(design.panel1));
    EXPECT_TRUE(window.findChild<QLabel*>("PanelFile")->text().isEmpty());
  }
}

class FileWindowTest : public WithQtApp, public ::testing::Test {
 protected:
  FileWindowTest()
      : logic(configuration, "INV_*.json", "Gotovo!", [this](const std::string& name) { processed.push_back(name); }),
        window(invoice::kInvoiceJsonWindowForm) {
    configuration.InputDir = root / "SDC_Inp";
    fs::create_directories(configuration.InputDir);
    WriteFileBytes(root / "SDC_Inp/INV_NS_7.json", "{}");
    logic.SetCaptionSource([] { return std::string("TELVANO r10.0.023 | "); });
    logic.Attach(window, info);
  }

  void WhileShown(std::function<void()> action) {
    QTimer::singleShot(50, &window, std::move(action));
    QTimer::singleShot(10000, &window, [this] {
      ADD_FAILURE() << "the window did not close";
      window.reject();
    });
  }

  TempDir root;
  core::Configuration configuration;
  std::vector<std::string> processed;
  RecordingInfo info;
  core::FileWindowLogic logic;
  ui::FileWindow window;
};

TEST_F(FileWindowTest, ShowsThePickedFileForwardsTheClickAndTheKeyAndClosesOnEscape) {
  WhileShown([this] {
    auto* panelFile = window.findChild<QLabel*>("PanelFile");
    auto* panel1 = window.findChild<QPushButton*>("Panel1");
    EXPECT_EQ(window.windowTitle(), "TELVANO r10.0.023 | ");
    EXPECT_EQ(panelFile->text(), "INV_NS_7.json");
    EXPECT_TRUE(panel1->hasFocus());
    QTest::mouseClick(panel1, Qt::LeftButton);
    EXPECT_EQ(processed, std::vector<std::string>{"INV_NS_7.json"});
    EXPECT_EQ(info.shown, std::vector<std::string>{"info:Gotovo!"});
    EXPECT_TRUE(panelFile->text().isEmpty());
    QTest::keyClick(panel1, Qt::Key_Return);  // an empty PanelFile: nothing happens
    EXPECT_EQ(processed.size(), 1u);
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);
  });
  logic.ShowModal();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(FileWindowTest, TheEnterKeyWorksLikeAClick) {
  WhileShown([this] {
    QTest::keyClick(window.findChild<QPushButton*>("Panel1"), Qt::Key_Return);
    EXPECT_EQ(processed, std::vector<std::string>{"INV_NS_7.json"});
    window.reject();
  });
  logic.ShowModal();
}

TEST(FileWindowLifetime, WindowAndModuleMayGoInEitherOrder) {
  QtTestApp();
  TempDir root;
  core::Configuration configuration;
  configuration.InputDir = root / "missing";
  RecordingInfo info;
  int clicks = 0;
  {
    core::FileWindowLogic logic(configuration, "INV_*.csv", "", [&clicks](const std::string&) { ++clicks; });
    {
      ui::FileWindow window(invoice::kInvoiceWindowForm);
      logic.Attach(window, info);
      EXPECT_TRUE(logic.Attached());
    }
    EXPECT_FALSE(logic.Attached());
  }
  auto window = std::make_unique<ui::FileWindow>(cmd::kCmdWindowForm);
  {
    core::FileWindowLogic logic(configuration, "CMD_*.csv", "", [&clicks](const std::string&) { ++clicks; });
    logic.Attach(*window, info);
  }
  QTest::mouseClick(window->findChild<QPushButton*>("Panel1"), Qt::LeftButton);  // reaches nobody
  window.reset();
  EXPECT_EQ(clicks, 0);
}

}  // namespace
}  // namespace telvano::testing
