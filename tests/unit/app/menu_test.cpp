// The operator's menu: digits and clicks through one handler, the sub-menus and their items.
#include <gtest/gtest.h>

#include "app/menu_actions.h"
#include "app/tform_main_telvano.h"
#include "app_fakes.h"

namespace telvano::testing {
namespace {

// Records which action an item started.
class RecordingActions final : public app::MenuActions {
 public:
  std::vector<std::string> started;
  void ShowWorkingCertificate() override { started.push_back("cert"); }
  void ExportCertificateList() override { started.push_back("list"); }
  void ShowCommandWindow() override { started.push_back("cmd"); }
  void ShowInvoiceWindow() override { started.push_back("inv"); }
  void SaveProcessorInfo(int kind) override { started.push_back("info" + std::to_string(kind)); }
  void ShowJsonInvoiceWindow() override { started.push_back("json"); }
  void ShowChangePassword() override { started.push_back("password"); }
  void ShowExecScript() override { started.push_back("script"); }
  void BackupDatabase() override { started.push_back("backup"); }
  void StartProgramUpdate() override { started.push_back("update"); }
  std::string CertificateEndText() override { return "2030-01-01"; }
  std::string CertificateEndWarning() override { return {}; }
};

class MenuTest : public ::testing::Test {
 protected:
  MenuTest() : main(core::Configuration{}, clock, view, false) {
    modules.messages = &messages;
    modules.menuActions = &actions;
    main.Attach(modules);
    main.WorkingState().WorkSerial = "YJLQTEQR";
    main.WorkingState().WorkTin = "111911206";
  }

  // Presses each key in turn; returns what was started.
  std::vector<std::string> Press(const std::string& keys) {
    for (char key : keys) main.FormKeyPress(key);
    return actions.started;
  }

  platform::ManualClock clock;
  RecordingMainView view;
  RecordingMessages messages;
  RecordingActions actions;
  app::TFormMainTELVANO::Modules modules;
  app::TFormMainTELVANO main;
};

TEST_F(MenuTest, EveryItemWithAnActionStartsItAndTheOthersDoNothing) {
  const struct {
    const char* keys;
    std::vector<std::string> started;
  } cases[] = {
      {"15", {"cert"}},          {"16", {"list"}},       {"1789", {}},           {"256789", {}},
      {"35", {"cmd"}},           {"36", {"inv"}},        {"378", {"info1", "info3"}}, {"39", {"json"}},
      {"45", {"password"}},      {"46", {}},             {"478", {"script", "backup"}}, {"49", {"update"}},
      {"5x#", {}},  // the home screen has no items; other keys are ignored
  };
  for (const auto& c : cases) {
    actions.started.clear();
    main.ShowMenu(0);
    EXPECT_EQ(Press(c.keys), c.started) << c.keys;
  }
}

TEST_F(MenuTest, TheScreenOfEachLevel) {
  main.PanelClick('4');  // a click is the press of its digit
  EXPECT_EQ(main.MenuLevel(), 4);
  EXPECT_TRUE(view.lastMenu.itemsVisible);
  EXPECT_FALSE(view.lastMenu.homeVisible);
  EXPECT_EQ(view.lastMenu.itemCaptions[2], "7. Izvrši SQL script_xxx.sql");
  main.FormKeyPress('1');
  EXPECT_EQ(view.lastMenu.itemCaptions, (std::array<std::string, 5>{"5. Radni CERT", "6. Lista CERT", "7. ", "8. ", "9. "}));
  main.ShowMenu(0);
  EXPECT_TRUE(view.lastMenu.homeVisible);
  EXPECT_EQ(view.lastMenu.certSerial, "YJLQTEQR");
  EXPECT_EQ(view.lastMenu.tin, "111911206");
  EXPECT_EQ(view.lastMenu.certNotAfter, "2030-01-01");
}

TEST_F(MenuTest, TheTestsNeedAWorkingCertificateAndZeroEndsTheProgram) {
  main.WorkingState().WorkSerial.clear();
  main.FormKeyPress('2');
  main.FormKeyPress('3');
  EXPECT_EQ(messages.shown, std::vector<std::string>{"info:Ne postoji aktivan sertifikat!"});
  EXPECT_EQ(main.MenuLevel(), 2);  // the previous sub-menu stays on screen
  EXPECT_EQ(view.lastMenu.level, 2);
  main.FormKeyPress('0');
  EXPECT_TRUE(main.Terminated());
}

}  // namespace
}  // namespace telvano::testing
