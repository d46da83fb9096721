#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/telvano_program.h"
#include "core/configuration.h"
#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"
#include "platform/file_probe.h"
#include "qt_test_app.h"
#include "ui/login_window.h"
#include "ui/main_window.h"
#include "ui/yellow_msg_window.h"

namespace telvano::testing {
namespace {

using namespace std::chrono_literals;

// The whole program with its Qt windows, started without parameters: an operator logs in and chooses the
// working certificate, and the start ends in the main window.
class InteractiveStart : public WithQtApp, public ::testing::Test {
 protected:
  InteractiveStart() {
    pfrsim::SimOptions options;
    options.uid = "INTER001";
    sim = std::make_unique<pfrsim::PfrSimulator>(options);
    sim->Start();
    installation.AddCertificate({"INTER001", sim->BaseUrl()});
    program = std::make_unique<app::TelvanoProgram>(
        core::LoadConfiguration(installation.RegistryPath().string()), clock,
        app::TelvanoProgram::Views{mainWindow, messageWindow}, false, platform::IsStillBeingWritten);
    loginWindow = std::make_unique<ui::LoginWindow>(program->Login());
    program->Login().AttachView(*loginWindow);
    // Whatever stays open too long fails the test instead of hanging it.
    QTimer::singleShot(20000, &mainWindow, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        ADD_FAILURE() << "a window stayed open: " << modal->objectName().toStdString();
        modal->close();
      }
    });
  }

  // Logs in with the PIN, as the operator would.
  void LogIn() {
    QTimer::singleShot(100, loginWindow.get(), [this] {
      auto* password = loginWindow->findChild<QLineEdit*>("EditPassword");
      QTest::keyClicks(password, E2eInstallation::kLoginSecret);
      QTest::keyClick(password, Qt::Key_Return);
      auto* pinPac = loginWindow->findChild<QLineEdit*>("EditPinPac");
      QTest::keyClicks(pinPac, "1234");
      QTest::keyClick(pinPac, Qt::Key_Return);
    });
    program->Main().FormShow({});
  }

  // Runs `action` and returns the text of the information box it shows (closed at once).
  template <typename Action>
  std::string BoxOf(Action action) {
    std::string text;
    QTimer::singleShot(100, &mainWindow, [&text] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        text = box->text().toStdString();
        box->accept();
      }
    });
    action();
    return text;
  }

  std::unique_ptr<pfrsim::PfrSimulator> sim;
  E2eInstallation installation;
  platform::ManualClock clock;
  ui::MainWindow mainWindow{false};
  ui::YellowMsgWindow messageWindow;
  std::unique_ptr<app::TelvanoProgram> program;
  std::unique_ptr<ui::LoginWindow> loginWindow;
};

TEST_F(InteractiveStart, TheOperatorLogsInAndTheMainWindowShowsTheWorkingCertificate) {
  QTimer::singleShot(100, loginWindow.get(), [this] {
    auto* password = loginWindow->findChild<QLineEdit*>("EditPassword");
    QTest::keyClicks(password, E2eInstallation::kLoginSecret);
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_EQ(loginWindow->findChild<QComboBox*>("CBCertificates")->currentText().toStdString().substr(0, 8),
              "INTER001");
    auto* pinPac = loginWindow->findChild<QLineEdit*>("EditPinPac");
    QTest::keyClicks(pinPac, "1234");
    QTest::keyClick(pinPac, Qt::Key_Return);
  });
  program->Main().FormShow({});

  EXPECT_FALSE(program->Main().Terminated());
  EXPECT_TRUE(mainWindow.isVisible());
  EXPECT_EQ(mainWindow.windowTitle().toStdString(),
            "TELVANO r10.0.023 | INTER001-111911206-PJ00001-DEV-LPFR-" + sim->BaseUrl());
  EXPECT_FALSE(mainWindow.Timer1()->isActive());  // nothing is polled in interactive mode
  EXPECT_TRUE(sim->PinEntered());
  EXPECT_EQ(ReadFileBytes(installation.Output() / "start_info.txt").substr(0, 6),
            "\xEF\xBB\xBF"
            "OK,");
  EXPECT_EQ(installation.Log().find("READY TO USE"), std::string::npos);
}

TEST_F(InteractiveStart, ClosingTheLoginWindowAbandonsTheStart) {
  QTimer::singleShot(100, loginWindow.get(), [this] { QTest::keyClick(loginWindow.get(), Qt::Key_Escape); });
  program->Main().FormShow({});
  EXPECT_TRUE(program->Main().Terminated());
  EXPECT_FALSE(mainWindow.isVisible());
  EXPECT_EQ(ReadFileBytes(installation.Output() / "start_info.txt").substr(0, 7),
            "\xEF\xBB\xBF"
            "ERR,");
}

TEST_F(InteractiveStart, AMenuActionReattachesALostDatabaseOrSaysThatItCannot) {
  LogIn();
  ASSERT_FALSE(program->Main().Terminated());
  program->Connection()->Close();  // the connection is gone, as after a restart of the database server
  const std::string listed = BoxOf([this] { program->ExportCertificateList(); });
  EXPECT_EQ(listed.rfind(cert::kListSavedText, 0), 0u) << listed;
  EXPECT_TRUE(std::filesystem::exists(installation.CertificateDir() / "Lista_CERT.csv"));
  EXPECT_NE(installation.Log().find("The database connection is back"), std::string::npos);

  program->Connection()->Close();
  std::filesystem::rename(installation.DatabasePath(), installation.DatabasePath().string() + ".away");
  std::filesystem::remove(installation.CertificateDir() / "Lista_CERT.csv");
  const std::string refused = BoxOf([this] { program->ExportCertificateList(); });
  EXPECT_EQ(refused.rfind(app::kDatabaseUnreachableText, 0), 0u) << refused;
  EXPECT_FALSE(std::filesystem::exists(installation.CertificateDir() / "Lista_CERT.csv"));
}

}  // namespace
}  // namespace telvano::testing
