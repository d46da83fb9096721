#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "../../unit/app/app_fakes.h"
#include "core/stored_secret.h"
#include "qt_test_app.h"
#include "ui/login_window.h"

namespace telvano::testing {
namespace {

class LoginWindowTest : public WithQtApp, public ::testing::Test {
 protected:
  LoginWindowTest() : services(state), login(services, state, messages), window(login) {
    login.AttachView(window);
    services.settings["LOGIN_SECRET"] = core::StoredSecretForm("tajna");
    services.AddCertificate("AB12CD34", true);
    services.rows = {{"AB12CD34", "100200300", "PJ00001", "СУФ Развој", "Y"}};
    services.processorUid = "AB12CD34";
  }

  template <typename T>
  T* Find(const char* name) {
    T* widget = window.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  void WhileShown(std::function<void()> action) {
    QTimer::singleShot(50, &window, std::move(action));
    QTimer::singleShot(10000, &window, [this] {
      ADD_FAILURE() << "the login window did not close";
      window.reject();
    });
  }

  core::WorkingState state;
  ScriptedServices services;
  RecordingMessages messages;
  app::TFormLogin login;
  ui::LoginWindow window;
};

TEST_F(LoginWindowTest, TheTwoStepsLeadToAnAcceptedLogin) {
  login.SetVersionLabel("Dravicor d.o.o.   r10.0.023");
  WhileShown([this] {
    auto* password = Find<QLineEdit>("EditPassword");
    auto* pinPac = Find<QLineEdit>("EditPinPac");
    auto* certificates = Find<QComboBox>("CBCertificates");
    EXPECT_EQ(window.windowTitle(), "Login");
    EXPECT_EQ(Find<QLabel>("LabelVer")->text(), "Dravicor d.o.o.   r10.0.023");
    EXPECT_FALSE(certificates->isVisible());
    EXPECT_FALSE(pinPac->isVisible());
    EXPECT_EQ(certificates->count(), 3);
    QTest::keyClicks(password, "TaJnA");
    EXPECT_EQ(password->text(), "tajna");  // lowered as typed
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_TRUE(certificates->isVisible());
    EXPECT_FALSE(password->isEnabled());
    EXPECT_EQ(Find<QLabel>("LabelPinPac")->text(), "PIN (4) - LPFR");
    QTest::keyClicks(pinPac, "12x3");
    EXPECT_EQ(pinPac->text(), "123");  // digits only for an LPFR
    QTest::keyClick(pinPac, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());  // three digits are not a PIN yet
    QTest::keyClicks(pinPac, "45");
    EXPECT_EQ(pinPac->text(), "1234");  // at most four
    QTest::keyClick(pinPac, Qt::Key_Return);
  });
  EXPECT_TRUE(login.ShowModal());
  EXPECT_EQ(state.WorkPin, "1234");
  EXPECT_EQ(services.calls.back(), "SendPin:1234");
}

TEST_F(LoginWindowTest, AWrongSecretKeepsThePasswordStep) {
  WhileShown([this] {
    auto* password = Find<QLineEdit>("EditPassword");
    QTest::keyClicks(password, "kriva");
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"info:Pogrešna lozinka!"});
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_TRUE(password->isEnabled());
    EXPECT_FALSE(Find<QComboBox>("CBCertificates")->isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);  // closing the window in any other way cancels
  });
  EXPECT_FALSE(login.ShowModal());
}

TEST_F(LoginWindowTest, TheNewVirtualProcessorEntryTakesSixCharactersAndAsksNoProcessor) {
  WhileShown([this] {
    auto* password = Find<QLineEdit>("EditPassword");
    QTest::keyClicks(password, "tajna");
    QTest::keyClick(password, Qt::Key_Return);
    Find<QComboBox>("CBCertificates")->setCurrentIndex(2);
    EXPECT_EQ(Find<QLabel>("LabelPinPac")->text(), "PAK (6) - VPFR");
    auto* pinPac = Find<QLineEdit>("EditPinPac");
    services.calls.clear();
    QTest::keyClicks(pinPac, "ab1cd2x");
    EXPECT_EQ(pinPac->text(), "AB1CD2");
    QTest::keyClick(pinPac, Qt::Key_Return);
  });
  EXPECT_TRUE(login.ShowModal());
  EXPECT_TRUE(services.calls.empty());
  EXPECT_FALSE(state.WorkIsLpfr);
  EXPECT_TRUE(state.WorkSerial.empty());
}

}  // namespace
}  // namespace telvano::testing
