#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

#include "../../integration/sdc/recording_messages.h"
#include "core/stored_secret.h"
#include "db/settings.h"
#include "qt_test_app.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "ui/change_password_window.h"
#include "ui/exec_script_window.h"

namespace telvano::testing {
namespace {

class MaintenanceWindowsTest : public WithQtApp, public ::testing::Test {
 protected:
  // Runs `action` once the modal window is up; closes it with a failure if it is still open after 10 s.
  static void WhileShown(QDialog& window, std::function<void()> action) {
    QTimer::singleShot(50, &window, std::move(action));
    QTimer::singleShot(10000, &window, [&window] {
      if (!window.isVisible()) return;
      ADD_FAILURE() << "the window did not close";
      window.reject();
    });
  }
  template <typename T>
  static T* Find(QWidget& window, const char* name) {
    T* widget = window.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  TestDatabase m_database;
  std::unique_ptr<db::Database> m_connection =
      db::Database::Attach(db::Database::Options::For(m_database.Path()));
  RecordingMessages m_messages;
};

TEST_F(MaintenanceWindowsTest, TheScriptWindowOffersTheScriptAndEnterRunsIt) {
  TempDir exchange;
  core::Configuration configuration;
  configuration.InputDir = exchange.Path().string();
  core::WorkingState state;
  platform::ManualClock clock;
  maintenance::TFormExecScript form(configuration, state, m_connection, m_messages, clock, {}, {});
  ui::ExecScriptWindow window(form);
  form.AttachView(window);
  WriteFileBytes(exchange.Path() / "Script_01.sql",
                 "insert into my_reg(reg_code, reg_desc) values('UI', 'ran')");

  WhileShown(window, [&] {
    auto* panelFile = Find<QLabel>(window, "PanelFile");
    EXPECT_EQ(panelFile->text(), "Script_01.sql");
    EXPECT_EQ(Find<QPushButton>(window, "PanelExecScript")->text(), "Execute SQL script");
    EXPECT_TRUE(Find<QPushButton>(window, "PanelExecScript")->hasFocus());
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_EQ(panelFile->text(), "");
    EXPECT_TRUE(window.isVisible());  // the operator closes the window
    QTest::keyClick(&window, Qt::Key_Escape);
  });
  form.ShowModal();
  EXPECT_EQ(m_messages.calls, std::vector<std::string>{"info:Script izvršen!"});
  EXPECT_EQ(db::ReadSetting(*m_connection, "UI"), "ran");
}

TEST_F(MaintenanceWindowsTest, TheSecretsWindowIsDrivenFromTheKeyboard) {
  db::WriteSetting(*m_connection, "LOGIN_SECRET", core::StoredSecretForm("stara"));
  secrets::TFormChangePassword form(m_connection, m_messages);
  ui::ChangePasswordWindow window(form);
  form.AttachView(window);

  WhileShown(window, [&] {
    EXPECT_EQ(window.windowTitle(), "Promena lozinke");
    EXPECT_EQ(Find<QGroupBox>(window, "GroupBox1")->title(), "LoginName ( interactive mode )");
    EXPECT_EQ(Find<QGroupBox>(window, "GroupBox2")->title(), "SoftKey ( listening mode )");
    auto* oldLogin = Find<QLineEdit>(window, "LEOldLogin");
    EXPECT_TRUE(oldLogin->hasFocus());
    EXPECT_EQ(oldLogin->echoMode(), QLineEdit::Password);
    QTest::keyClicks(oldLogin, "StArA");
    EXPECT_EQ(oldLogin->text(), "stara");  // lowered as typed
    QTest::keyClick(oldLogin, Qt::Key_Return);
    auto* newLogin = Find<QLineEdit>(window, "LENewLogin");
    EXPECT_TRUE(newLogin->hasFocus());  // Enter goes on to the next field and saves nothing yet
    QTest::keyClicks(newLogin, "NOVA-LOZINKA-SA-17");
    EXPECT_EQ(newLogin->text(), "nova-lozinka-sa-");  // at most 16 characters
    QTest::keyClick(newLogin, Qt::Key_Return);
    QTest::keyClicks(QApplication::focusWidget(), "nova-lozinka-sa-");
    for (int field = 0; field < 4; ++field) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Find<QPushButton>(window, "Panel1"));
    EXPECT_TRUE(m_messages.calls.empty());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(m_messages.calls, std::vector<std::string>{"info:LoginName uspešno promenjena!\n\n"});
    QTest::keyClick(&window, Qt::Key_Escape);
  });
  form.ShowModal();
  EXPECT_EQ(db::ReadSetting(*m_connection, "LOGIN_SECRET"), core::StoredSecretForm("nova-lozinka-sa-"));
}

}  // namespace
}  // namespace telvano::testing
