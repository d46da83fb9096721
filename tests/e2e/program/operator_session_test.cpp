// An operator's session with the real program on a real X display: start without parameters, log in, give
// the PIN, work through the menu with the keyboard, end with "0".
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/xvfb_display.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kUid = "OPER0001";
constexpr const char* kMainWindow = "^TELVANO r10";
constexpr const char* kInfoBox = "^TELVANO$";

class OperatorSession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbDisplay::Available()) GTEST_SKIP() << XvfbDisplay::kUnavailable;
    display = std::make_unique<XvfbDisplay>();
    pfrsim::SimOptions options;
    options.uid = kUid;
    sim = std::make_unique<pfrsim::PfrSimulator>(options);
    sim->Start();
    installation.AddCertificate({kUid, sim->BaseUrl()});
  }

  // Presses keys in the main window.
  void Menu(const std::vector<std::string>& keys) {
    const std::string window = display->WaitForWindow(kMainWindow);
    ASSERT_FALSE(window.empty()) << display->WindowNames();
    display->Keys(window, keys);
  }

  // Confirms the information box that an item showed.
  void ConfirmInfo() {
    const std::string box = display->WaitForWindow(kInfoBox);
    ASSERT_FALSE(box.empty()) << "no information box; windows:" << display->WindowNames();
    display->Keys(box, {"Return"});
    ASSERT_TRUE(display->WaitForWindowGone(kInfoBox));
  }

  std::unique_ptr<XvfbDisplay> display;
  std::unique_ptr<pfrsim::PfrSimulator> sim;
  E2eInstallation installation;
};

TEST_F(OperatorSession, LogInWorkThroughTheMenuAndEndWithZero) {
  installation.Start({}, display->Name());
  const std::string login = display->WaitForWindow("^Login$");
  ASSERT_FALSE(login.empty()) << installation.StderrText();
  display->Type(login, E2eInstallation::kLoginSecret);
  display->Keys(login, {"Return"});
  display->Type(login, "1234");
  display->Keys(login, {"Return"});
  ASSERT_FALSE(display->WaitForWindow(kMainWindow).empty()) << display->WindowNames() << installation.StderrText();
  EXPECT_TRUE(sim->PinEntered());

  // 3. Test, 8. Status: the processor's status is saved and the box says where.
  Menu({"3", "8"});
  ConfirmInfo();
  EXPECT_TRUE(fs::exists(installation.Output() / (std::string(kUid) + "_Status.json")));

  Menu({"0"});
  EXPECT_EQ(installation.WaitForExit(20s), 0);
}

}  // namespace
}  // namespace telvano::testing
