// The Qt file windows on the offscreen platform: their designs, what the module tells them, the keys they
// forward, and their end told to the module.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

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

class FileWindowTest : public WithQtApp, public ::testing::Test {
 protected:
  FileWindowTest() {
    configuration.InputDir = root / "SDC_Inp";
    std::filesystem::create_directories(configuration.InputDir);
  }

  TempDir root;
  core::Configuration configuration;
  RecordingInfo info;
  std::vector<std::string> processed;
};

TEST_F(FileWindowTest, EachWindowHasItsNamesAndCaptionsAndTellsItsModuleWhenItGoes) {
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
    core::FileWindowLogic logic(configuration, "*", "", {});
    {
      ui::FileWindow window(design.form);
      logic.Attach(window, info);
      EXPECT_EQ(window.objectName(), design.objectName);
      EXPECT_EQ(window.windowTitle(), design.objectName);
      EXPECT_EQ(window.findChild<QPushButton*>("Panel1")->text(), QString::fromUtf8(design.panel1));
      EXPECT_TRUE(window.findChild<QLabel*>("PanelFile")->text().isEmpty());
    }
    EXPECT_FALSE(logic.Attached()) << design.objectName;
  }
}

TEST_F(FileWindowTest, ShowsThePickedFileForwardsEnterAndClosesOnEscape) {
  WriteFileBytes(root / "SDC_Inp/INV_NS_7.json", "{}");
  core::FileWindowLogic logic(configuration, "INV_*.json", "Gotovo!",
                              [this](const std::string& name) { processed.push_back(name); });
  logic.SetCaptionSource([] { return std::string("TELVANO r10.0.023 | "); });
  ui::FileWindow window(invoice::kInvoiceJsonWindowForm);
  logic.Attach(window, info);
  QTimer::singleShot(50, &window, [&] {
    auto* panelFile = window.findChild<QLabel*>("PanelFile");
    auto* panel1 = window.findChild<QPushButton*>("Panel1");
    EXPECT_EQ(window.windowTitle(), "TELVANO r10.0.023 | ");
    EXPECT_EQ(panelFile->text(), "INV_NS_7.json");
    EXPECT_TRUE(panel1->hasFocus());
    QTest::keyClick(panel1, Qt::Key_Return);
    EXPECT_EQ(processed, std::vector<std::string>{"INV_NS_7.json"});
    EXPECT_EQ(info.shown, std::vector<std::string>{"info:Gotovo!"});
    EXPECT_TRUE(panelFile->text().isEmpty());
    QTest::mouseClick(panel1, Qt::LeftButton);  // PanelFile is empty: nothing happens
    EXPECT_EQ(processed.size(), 1u);
    QTest::keyClick(&window, Qt::Key_Escape);
  });
  QTimer::singleShot(10000, &window, [&] {
    ADD_FAILURE() << "the window did not close";
    window.reject();
  });
  logic.ShowModal();
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace telvano::testing
