// An operator's session with the real program on a real X display: start without parameters, log in, give
// the PIN, work through the menu with the keyboard, end with "0".
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/stored_secret.h"
#include "db/database.h"
#include "db/settings.h"
#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/loopback_ports.h"
#include "support/temp_dir.h"
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
    ASSERT_TRUE(display->WaitForOtherWindow(".", window, 0ms).empty()) << "a window is still open";
    ASSERT_FALSE(window.empty()) << display->WindowNames();
    display->Keys(window, keys);
  }

  // Works in the window that an item opened (some carry the main window's caption), then closes it with
  // Escape.
  void InWindow(const std::function<void(const std::string&)>& work) {
    const std::string main = display->WaitForWindow(kMainWindow);
    const std::string window = display->WaitForOtherWindow(".", main);
    ASSERT_FALSE(window.empty()) << "no window opened; windows:" << display->WindowNames();
    work(window);
    display->Keys(window, {"Escape"});
    ASSERT_TRUE(display->WaitForWindowClosed(window));
  }

  // Confirms the information box that an item showed.
  void ConfirmInfo() {
    const std::string box = display->WaitForWindow(kInfoBox);
    ASSERT_FALSE(box.empty()) << "no information box; windows:" << display->WindowNames();
    display->Keys(box, {"Return"});
    ASSERT_TRUE(display->WaitForWindowGone(kInfoBox));
  }

  // Starts the program on `shop`, logs in with the PIN and waits for the main window.
  void LogIn(E2eInstallation& shop) {
    shop.Start({}, display->Name());
    const std::string login = display->WaitForWindow("^Login$", 45s, [&shop] { return shop.Running(); });
    ASSERT_FALSE(login.empty()) << shop.StderrText();
    display->Type(login, E2eInstallation::kLoginSecret);
    display->Keys(login, {"Return"});
    display->Type(login, "1234");
    display->Keys(login, {"Return"});
    ASSERT_FALSE(display->WaitForWindow(kMainWindow).empty()) << display->WindowNames() << shop.StderrText();
  }

  // Confirms the boxes that come one after the other (a message of the processor's check, then the box of
  // the action) and returns the text of the last information box.
  std::string ConfirmBoxes() {
    std::string text;
    for (std::string box = display->WaitForWindow(kInfoBox); !box.empty();
         box = display->WaitForWindow(kInfoBox, 3s)) {
      const std::string copied = display->CopiedText(box);
      if (!copied.empty()) text = copied;
      // A processor's message closes on the key that copied; an information box waits for Enter.
      if (display->WaitForWindowClosed(box, 1s)) continue;
      display->Keys(box, {"Return"});
      EXPECT_TRUE(display->WaitForWindowClosed(box));
    }
    return text;
  }

  std::unique_ptr<XvfbDisplay> display;
  std::unique_ptr<pfrsim::PfrSimulator> sim;
  E2eInstallation installation;
};

TEST_F(OperatorSession, LogInWorkThroughTheMenuAndEndWithZero) {
  ASSERT_NO_FATAL_FAILURE(LogIn(installation));
  EXPECT_TRUE(sim->PinEntered());

  // 1. Certificates, 5. the working certificate's window (closed with Esc), 6. the list of certificates.
  Menu({"1", "5"});
  InWindow([](const std::string&) {});
  Menu({"6"});
  ConfirmInfo();
  EXPECT_TRUE(fs::exists(installation.CertificateDir() / "Lista_CERT.csv"));

  // 3. Test, 8. Status: the processor's status is saved and the box says where.
  Menu({"3", "8"});
  ConfirmInfo();
  EXPECT_TRUE(fs::exists(installation.Output() / (std::string(kUid) + "_Status.json")));

  // 3. Test, 6. Invoices: the waiting invoice file is fiscalised from its window.
  installation.Drop("INV_NS_0001.csv", SampleInvoice());
  Menu({"6"});
  InWindow([this](const std::string& window) {
    display->Keys(window, {"Return"});
    ConfirmInfo();
  });
  EXPECT_TRUE(fs::exists(installation.Output() / "INV_NS_0001_basic.csv"));

  // 3. Test, 5. Commands: the waiting command file is answered.
  installation.Drop("CMD_0001.csv", "HELLO-TELVANO,1\r\n");
  Menu({"5"});
  InWindow([this](const std::string& window) {
    display->Keys(window, {"Return"});
    ConfirmInfo();
  });
  EXPECT_TRUE(fs::exists(installation.Output() / "CMD_0001_resp.txt"));

  // 4. Util, 8. Backup: a copy in BackupDB that opens as a database and holds the invoice.
  fs::create_directories(installation.DatabasePath().parent_path() / "BackupDB");
  Menu({"4", "8"});
  ConfirmInfo();
  std::vector<fs::path> backups;
  for (const auto& entry : fs::directory_iterator(installation.DatabasePath().parent_path() / "BackupDB")) {
    backups.push_back(entry.path());
  }
  ASSERT_EQ(backups.size(), 1u);
  {
    auto backup = db::Database::Attach({backups[0].string(), "SYSDBA", ""});
    EXPECT_EQ(backup->Query("select inv_uuid from inv_response").size(), 1u);
    backup->Close();
  }

  // 4. Util, 7. SQL script: the waiting Script_01.sql runs.
  installation.Drop("Script_01.sql", "insert into my_reg (reg_code, reg_desc) values ('SCRIPT_RAN', 'da');\r\n");
  Menu({"7"});
  InWindow([this](const std::string& window) {
    display->Keys(window, {"Return"});
    ConfirmInfo();
  });

  // 4. Util, 5. Change of both secrets: old, new, confirmation for each, Enter from field to field.
  Menu({"5"});
  InWindow([this](const std::string& window) {
    for (const char* text : {E2eInstallation::kLoginSecret, "novilogin", "novilogin", E2eInstallation::kSoftKey,
                             "novikey", "novikey"}) {
      display->Type(window, text);
      display->Keys(window, {"Return"});
    }
    ConfirmInfo();
  });

  Menu({"0"});
  EXPECT_EQ(installation.WaitForExit(20s), 0);
  auto database = db::Database::Attach({installation.DatabasePath().string(), "SYSDBA", ""});
  EXPECT_EQ(db::ReadSetting(*database, "SCRIPT_RAN"), "da");
  EXPECT_EQ(db::ReadSetting(*database, "LOGIN_SECRET"), core::StoredSecretForm("novilogin"));
  EXPECT_EQ(db::ReadSetting(*database, "SOFT_SECRET"), core::StoredSecretForm("novikey"));
  database->Close();
}

TEST_F(OperatorSession, AFailingStatusIsShownAndAHangingOneIsGivenUpWithEsc) {
  ASSERT_NO_FATAL_FAILURE(LogIn(installation));
  Menu({"3", "8"});
  ConfirmInfo();
  const fs::path status = installation.Output() / (std::string(kUid) + "_Status.json");
  const std::string earlier = ReadFileBytes(status);

  // The processor is gone: the box says so, and the file of the earlier success stays.
  sim->Stop();
  Menu({"8"});
  EXPECT_NE(ConfirmBoxes().find("Connection error / Greška pri povezivanju"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(status), earlier);

  // A processor that never answers: the waiting line shows, a "5" typed meanwhile is dropped (it would open
  // the command window), and Esc gives the status request up.
  SilentListener silent(sim->Port());
  Menu({"8"});
  const std::string waiting = display->WaitForWindow("čeka se PFR");
  ASSERT_FALSE(waiting.empty()) << display->WindowNames();
  const std::string main = display->WaitForWindow(kMainWindow);
  display->Keys(main, {"5", "Escape"});
  EXPECT_NE(ConfirmBoxes().find("The request was given up (Esc)"), std::string::npos);
  EXPECT_TRUE(display->WaitForWindowGone("čeka se PFR"));
  EXPECT_TRUE(display->WaitForOtherWindow(".", main, 2s).empty()) << "the dropped key acted: " << display->WindowNames();

  Menu({"0"});
  EXPECT_EQ(installation.WaitForExit(20s), 0);
}

TEST_F(OperatorSession, RegistersALocalProcessorByKeyboardAloneAfterAFailedTry) {
  // No certificate yet: the login offers "Novi LPFR" first, and the PIN is kept for the registration.
  E2eInstallation fresh;
  fs::create_directories(fresh.DatabasePath().parent_path() / "BackupDB");
  ASSERT_NO_FATAL_FAILURE(LogIn(fresh));
  const std::string main = display->WaitForWindow(kMainWindow);
  display->Keys(main, {"1", "5"});
  const std::string window = display->WaitForOtherWindow(".", main);
  ASSERT_FALSE(window.empty()) << display->WindowNames();

  // First try at an address where nothing listens; Tab leads from the address to the developer's TIN and on
  // to "Sačuvaj", which Enter presses.
  const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort());
  display->Keys(window, {"ctrl+a"});
  display->Type(window, closed);
  display->Keys(window, {"Tab", "ctrl+a"});
  display->Type(window, "123456789");
  display->Keys(window, {"Tab", "Return"});
  EXPECT_NE(ConfirmBoxes().find("Obrada sertifikata NIJE uspela!"), std::string::npos);

  // The address is corrected in place; the PIN of the login still holds, so the second try registers.
  display->Keys(window, {"shift+Tab", "shift+Tab", "ctrl+a"});
  display->Type(window, sim->BaseUrl());
  display->Keys(window, {"Tab", "Tab", "space"});
  EXPECT_NE(ConfirmBoxes().find("Sertifikat obrađen!"), std::string::npos);
  display->Keys(window, {"Escape"});
  ASSERT_TRUE(display->WaitForWindowClosed(window));
  display->Keys(main, {"0"});
  EXPECT_EQ(fresh.WaitForExit(20s), 0);

  auto database = db::Database::Attach({fresh.DatabasePath().string(), "SYSDBA", ""});
  EXPECT_EQ(database->Query("select serial from cert_se where serial=?", {std::string(kUid)}).size(), 1u);
  database->Close();
}

}  // namespace
}  // namespace telvano::testing
