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
#include "core/working_certificate.h"
#include "db/settings.h"
#include "qt_test_app.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "ui/change_password_window.h"
#include "ui/exec_script_window.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;

// Runs `action` once the modal window is up; closes it with a failure if it is still open after 10 s.
void WhileShown(QDialog& window, std::function<void()> action) {
  QTimer::singleShot(50, &window, std::move(action));
  QTimer::singleShot(10000, &window, [&window] {
    if (window.isVisible()) {
      ADD_FAILURE() << "the window did not close";
      window.reject();
    }
  });
}

template <typename T>
T* Find(QWidget& window, const char* name) {
  T* widget = window.findChild<T*>(name);
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

class MaintenanceWindowsTest : public WithQtApp, public ::testing::Test {
 protected:
  MaintenanceWindowsTest()
      : m_connection(db::Database::Attach(db::Database::Options::For(m_database.Path()))) {}

  TestDatabase m_database;
  std::unique_ptr<db::Database> m_connection;
  RecordingMessages m_messages;
};

TEST_F(MaintenanceWindowsTest, TheScriptWindowOffersTheScriptAndEnterRunsIt) {
  TempDir exchange;
  core::Configuration configuration;
  configuration.InputDir = exchange.Path().string();
  configuration.DB_Fullname = m_database.Path();
  core::WorkingState state;
  platform::ManualClock clock;
  cert::TFormExecScript form(configuration, state, m_connection, m_messages, clock, {}, {});
  ui::ExecScriptWindow window(form);
  form.AttachView(window);
  WriteFileBytes(exchange.Path() / "Script_01.sql",
                 "insert into my_reg(reg_code, reg_desc) values('UI', 'ran')\n");

  WhileShown(window, [&] {
    EXPECT_EQ(window.windowTitle().toStdString(), core::WindowCaption(state, configuration.ProgramVersion));
    auto* panelFile = Find<QLabel>(window, "PanelFile");
    auto* panel = Find<QPushButton>(window, "PanelExecScript");
    EXPECT_EQ(panelFile->text(), "Script_01.sql");
    EXPECT_EQ(panel->text(), "Execute SQL script");
    EXPECT_TRUE(panel->hasFocus());
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_EQ(panelFile->text(), "");
    EXPECT_TRUE(window.isVisible());  // the window stays for the operator to close
    QTest::keyClick(&window, Qt::Key_Escape);
  });
  form.ShowModal();
  EXPECT_EQ(m_messages.calls, std::vector<std::string>{"info:Script izvršen!"});
  EXPECT_EQ(db::ReadSetting(*m_connection, "UI"), "ran");
  EXPECT_FALSE(fs::exists(exchange.Path() / "Script_01.sql"));
}

TEST_F(MaintenanceWindowsTest, TheSecretsWindowIsDrivenFromTheKeyboard) {
  db::WriteSetting(*m_connection, "LOGIN_SECRET", core::StoredSecretForm("stara"));
  db::WriteSetting(*m_connection, "SOFT_SECRET", core::StoredSecretForm("softkey"));
  cert::TFormChangePassword form(m_connection, m_messages);
  ui::ChangePasswordWindow window(form);
  form.AttachView(window);

  WhileShown(window, [&] {
    EXPECT_EQ(window.windowTitle(), "Promena lozinke");
    EXPECT_EQ(Find<QGroupBox>(window, "GroupBox1")->title(), "LoginName ( interactive mode )");
    EXPECT_EQ(Find<QGroupBox>(window, "GroupBox2")->title(), "SoftKey ( listening mode )");
    EXPECT_EQ(Find<QPushButton>(window, "Panel1")->text(), "Save passwords");
    auto* oldLogin = Find<QLineEdit>(window, "LEOldLogin");
    EXPECT_TRUE(oldLogin->hasFocus());
    EXPECT_EQ(oldLogin->echoMode(), QLineEdit::Password);
    QTest::keyClicks(oldLogin, "StArA");
    EXPECT_EQ(oldLogin->text(), "stara");  // lowered as typed
    QTest::keyClick(oldLogin, Qt::Key_Return);
    auto* newLogin = Find<QLineEdit>(window, "LENewLogin");
    EXPECT_TRUE(newLogin->hasFocus());  // Enter goes on to the next field and saves nothing yet
    EXPECT_TRUE(m_messages.calls.empty());
    QTest::keyClicks(newLogin, "NOVA-LOZINKA-SA-17");
    EXPECT_EQ(newLogin->text(), "nova-lozinka-sa-");  // at most 16 characters
    newLogin->setText("nova");
    QTest::keyClick(newLogin, Qt::Key_Return);
    auto* confirm = Find<QLineEdit>(window, "LEConfirmNewLogin");
    QTest::keyClicks(confirm, "nova");
    QTest::keyClick(confirm, Qt::Key_Tab);  // on through the three empty software-key fields to Panel1
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(Find<QPushButton>(window, "Panel1")->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(m_messages.calls, std::vector<std::string>{"info:LoginName uspešno promenjena!\n\n"});
    // Opened again, every field is empty.
    form.FormShow();
    EXPECT_TRUE(oldLogin->text().isEmpty());
    EXPECT_TRUE(confirm->text().isEmpty());
    QTest::keyClick(&window, Qt::Key_Escape);
  });
  form.ShowModal();
  EXPECT_EQ(db::ReadSetting(*m_connection, "LOGIN_SECRET"), core::StoredSecretForm("nova"));
  EXPECT_EQ(db::ReadSetting(*m_connection, "SOFT_SECRET"), core::StoredSecretForm("softkey"));
}

}  // namespace
}  // namespace telvano::testing
