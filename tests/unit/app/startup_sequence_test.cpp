#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/stored_secret.h"
#include "app/tform_main_telvano.h"
#include "app_fakes.h"
#include "support/temp_dir.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;

const char* const kSoftKey = "kasa1";

// The main module with scripted collaborators, real folders and a manual clock.
struct Harness {
  explicit Harness(bool headlessStart = false) : headless(headlessStart) {
    for (const char* folder : {"SDC_Inp", "SDC_Out", "Archive", "RunTime", "Logs"})
      fs::create_directory(dir.Path() / folder);
    core::Configuration configuration;
    configuration.RunTimeDir = dir / "RunTime";
    configuration.InputDir = dir / "SDC_Inp";
    configuration.OutputDir = dir / "SDC_Out";
    configuration.ArchiveDir = dir / "Archive";
    configuration.LogsDir = dir / "Logs";
    main = std::make_unique<app::TFormMainTELVANO>(configuration, clock, view, headless);
    services = std::make_unique<ScriptedServices>(main->WorkingState());
    services->settings["SOFT_SECRET"] = core::StoredSecretForm(kSoftKey);
    services->settings["LOGIN_SECRET"] = core::StoredSecretForm("operater");
    login = std::make_unique<app::TFormLogin>(*services, main->WorkingState(), messages);
    login->AttachView(loginView);
    app::TFormMainTELVANO::Modules modules;
    modules.messages = &messages;
    modules.services = services.get();
    modules.login = login.get();
    modules.appendLog = [this](const std::string& text) { logLines.push_back(text); };
    main->Attach(modules);
  }

  std::string StartInfo() const { return ReadFileBytes(dir.Path() / "SDC_Out" / "start_info.txt"); }
  bool Called(const std::string& call) const {
    return std::find(services->calls.begin(), services->calls.end(), call) != services->calls.end();
  }

  void ExpectAbandoned() {
    const std::string notice = StartInfo();
    EXPECT_EQ(notice.substr(0, 7),
              "\xEF\xBB\xBF"
              "ERR,")
        << notice;
    EXPECT_EQ(notice.size(), 3u + 4u + 25u + 2u) << notice;
    EXPECT_TRUE(view.terminated);
    EXPECT_TRUE(main->Terminated());
    EXPECT_FALSE(view.timerEnabled);
    EXPECT_EQ(std::count(view.events.begin(), view.events.end(), "panels:off"), 0);
  }

  bool headless = false;
  TempDir dir;
  platform::ManualClock clock;
  RecordingMainView view;
  RecordingMessages messages;
  ScriptedLoginView loginView;
  std::vector<std::string> logLines;
  std::unique_ptr<app::TFormMainTELVANO> main;
  std::unique_ptr<ScriptedServices> services;
  std::unique_ptr<app::TFormLogin> login;
};

class StartupSequenceTest : public ::testing::Test, public Harness {};

TEST_F(StartupSequenceTest, UnattendedLpfrRunsEveryStepInOrderAndStartsPolling) {
  services->AddCertificate("AB12CD34", true);
  services->processorUid = "AB12CD34";
  main->FormShow({kSoftKey, "1234", "AB12CD34"});

  const std::vector<std::string> expected = {"LoadWorkingCertificate:CLEAR",
                                             "ConnectDatabase",
                                             "ProbeDatabase",
                                             "CheckAndUpgradeSchema",
                                             "ReadSetting:SOFT_SECRET",
                                             "LoadWorkingCertificate:AB12CD34",
                                             "CheckAttention",
                                             "CheckLpfrStatus",
                                             "GetProcessorUid",
                                             "SendPin:1234",
                                             "LoadTaxGroups"};
  EXPECT_EQ(services->calls, expected);
  EXPECT_EQ(clock.TotalSlept(), std::chrono::milliseconds(2000));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"no:31"});
  EXPECT_EQ(StartInfo(),
            "\xEF\xBB\xBF"
            "OK,2024-03-01T08:15:04+01:00\r\n");  // after the 2000 ms wait
  const std::vector<std::string> events = {"caption:TELVANO r10.0.023 | AB12CD34",
                                           "tray:TELVANO     r10.0.023", "panels:off"};
  EXPECT_EQ(view.events, events);
  EXPECT_TRUE(view.timerEnabled);
  EXPECT_TRUE(main->WorkingState().Unattended);
  EXPECT_EQ(loginView.versionLabel, "Dravicor d.o.o.   r10.0.023");
}

TEST_F(StartupSequenceTest, UnattendedVpfrChecksThePacAndFiscalisesATestInvoice) {
  services->AddCertificate("VP000001", false);
  main->FormShow({"KASA1", "ABC123", ""});  // the software key is compared lower-cased
  const std::vector<std::string> tail = {"LoadWorkingCertificate:", "CheckAttention", "CheckVpfrPac:ABC123",
                                         "LoadTaxGroups", "CreateTestInvoice"};
  ASSERT_GE(services->calls.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(services->calls.end() - 5, services->calls.end()), tail);
  EXPECT_EQ(StartInfo().substr(3, 3), "OK,");
  EXPECT_TRUE(view.timerEnabled);
}

TEST_F(StartupSequenceTest, EachFailedStepAbandonsTheStartWithItsMessage) {
  struct Case {
    std::string failingStep;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases = {
      {"ConnectDatabase", {"no:2"}},
      {"ProbeDatabase", {"no:2"}},
      {"CheckAndUpgradeSchema", {}},
      {"CheckAttention", {}},
      {"CheckLpfrStatus", {}},
      {"SendPin", {}},
      {"LoadTaxGroups", {"info:tax groups down"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failingStep);
    Harness fresh;
    fresh.services->AddCertificate("AB12CD34", true);
    fresh.services->processorUid = "AB12CD34";
    fresh.services->failures[c.failingStep] = "tax groups down";
    fresh.main->FormShow({kSoftKey, "1234", "AB12CD34"});
    EXPECT_EQ(fresh.messages.shown, c.shown);
    fresh.ExpectAbandoned();
    EXPECT_EQ(fresh.services->calls.back().substr(0, c.failingStep.size()), c.failingStep);
  }
}

TEST_F(StartupSequenceTest, ProcessorWithAnotherCertificateShowsMessage16) {
  services->AddCertificate("AB12CD34", true);
  services->processorUid = "ZZ99ZZ99";
  main->FormShow({kSoftKey, "1234", "AB12CD34"});
  EXPECT_EQ(messages.shown, std::vector<std::string>{"no:16"});
  EXPECT_FALSE(Called("SendPin:1234"));
  ExpectAbandoned();
}

TEST_F(StartupSequenceTest, NoWorkingCertificateShowsMessage5) {
  services->AddCertificate("AB12CD34", true);
  services->AddCertificate("EF56GH78", true);
  main->FormShow({kSoftKey, "1234", ""});  // two rows and no serial: nothing is chosen
  EXPECT_EQ(messages.shown, std::vector<std::string>{"no:5"});
  EXPECT_FALSE(Called("CheckAttention"));
  ExpectAbandoned();
}

TEST_F(StartupSequenceTest, FailedTestInvoiceIsReportedAsAConnectionError) {
  services->AddCertificate("VP000001", false);
  services->failures["CreateTestInvoice"] = "2310";
  main->FormShow({kSoftKey, "ABC123", "VP000001"});
  EXPECT_EQ(messages.shown,
            std::vector<std::string>{"info:Connection error / Greška pri povezivanju\n\n2310"});
  ExpectAbandoned();
}

TEST_F(StartupSequenceTest, InteractiveStartLogsInAndShowsTheHomeScreen) {
  services->AddCertificate("AB12CD34", true);
  services->rows = {{"AB12CD34", "100200300", "PJ00001 Kasa", "СУФ Развој", "Y"}};
  services->processorUid = "AB12CD34";
  loginView.operatorScript = [&] {
    login->PasswordEnter("Operater");
    login->PinPacEnter("4321");
  };
  main->FormShow({});
  EXPECT_FALSE(main->WorkingState().Unattended);
  EXPECT_TRUE(Called("SendPin:4321"));
  EXPECT_TRUE(Called("LoadTaxGroups"));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(StartInfo().substr(3, 3), "OK,");
  EXPECT_NE(std::find(view.events.begin(), view.events.end(), "menu:0"), view.events.end());
  EXPECT_EQ(view.events.back(), "panels:on");
  EXPECT_FALSE(view.timerEnabled);
}

TEST_F(StartupSequenceTest, CancelledLoginAbandonsWithoutAMessage) {
  main->FormShow({"wrong key"});
  EXPECT_TRUE(messages.shown.empty());
  ExpectAbandoned();
}

TEST_F(StartupSequenceTest, NewProcessorEntryEndsTheStartWithoutTaxGroups) {
  loginView.operatorScript = [&] {
    login->PasswordEnter("operater");
    login->CBCertificatesChange(1);  // "Novi VPFR"
    login->PinPacEnter("abc123");
  };
  main->FormShow({});
  EXPECT_FALSE(Called("LoadTaxGroups"));
  EXPECT_FALSE(Called("CheckAttention"));
  EXPECT_EQ(StartInfo().substr(3, 3), "OK,");
  EXPECT_FALSE(main->WorkingState().WorkIsLpfr);
  EXPECT_EQ(main->WorkingState().WorkPin, "ABC123");
}

TEST_F(StartupSequenceTest, WithoutADisplayAnInteractiveStartIsRefused) {
  Harness fresh(true);
  bool loginShown = false;
  fresh.loginView.operatorScript = [&] { loginShown = true; };
  fresh.main->FormShow({});
  EXPECT_FALSE(loginShown);
  EXPECT_EQ(fresh.messages.shown, std::vector<std::string>{std::string("info:") + app::kNoDisplayText});
  fresh.ExpectAbandoned();
}

TEST_F(StartupSequenceTest, AStartRunsOnlyOnce) {
  services->AddCertificate("AB12CD34", true);
  services->processorUid = "AB12CD34";
  main->FormShow({kSoftKey, "1234", "AB12CD34"});
  const std::size_t calls = services->calls.size();
  main->FormShow({kSoftKey, "1234", "AB12CD34"});
  EXPECT_EQ(services->calls.size(), calls);
}

TEST_F(StartupSequenceTest, CleanArchiveRemovesOnlyFilesWithoutExtension) {
  for (const char* name : {"a.json", "b", "c.txt", "0f8fad5b-d9cb-469f-a165-70867728950e"}) {
    WriteFileBytes(dir.Path() / "Archive" / name, "x");
  }
  fs::create_directory(dir.Path() / "Archive" / "folder");
  WriteFileBytes(dir.Path() / "Archive" / ".hidden", "x");
  main->CleanArchive();
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.Path() / "Archive"))
    left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".hidden", "a.json", "c.txt", "folder"}));
}

TEST_F(StartupSequenceTest, NoticeLinesCarryTheZoneOffsetOrZ) {
  main->WriteStartStopNotice(false, true);
  EXPECT_EQ(ReadFileBytes(dir.Path() / "SDC_Out" / "stop_info.txt"),
            "\xEF\xBB\xBF"
            "OK,2024-03-01T08:15:02+01:00\r\n");
  clock.Set({2024, 12, 31, 23, 5, 9, 500, 0});
  EXPECT_EQ(main->LocalIsoTime(), "2024-12-31T23:05:09Z");
  clock.Set({2025, 1, 2, 3, 4, 5, 0, -210});
  EXPECT_EQ(main->LocalIsoTime(), "2025-01-02T03:04:05-03:30");
  main->WriteStartStopNotice(true, false);
  EXPECT_EQ(StartInfo(),
            "\xEF\xBB\xBF"
            "ERR,2025-01-02T03:04:05-03:30\r\n");
}

TEST_F(StartupSequenceTest, AMissingOutputFolderStillEndsAnAbandonedStart) {
  fs::remove_all(dir.Path() / "SDC_Out");
  services->failures["ConnectDatabase"] = "no database";
  main->FormShow({kSoftKey});
  EXPECT_TRUE(view.terminated);
  EXPECT_FALSE(logLines.empty());
  EXPECT_THROW(main->WriteStartStopNotice(true, true), std::runtime_error);
}

TEST_F(StartupSequenceTest, TrayBalloonShowsTheWorkingCertificate) {
  main->TrayIcon1Click();
  EXPECT_EQ(view.events.back(), "balloon:|");
  services->AddCertificate("AB12CD34", true, "http://10.0.0.5:7555");
  services->LoadWorkingCertificate("AB12CD34");
  main->TrayIcon1Click();
  EXPECT_EQ(view.events.back(), "balloon:AB12CD34 - DEV|100200300 - PJ00001 - LPFR\nhttp://10.0.0.5:7555");
  main->CloseTELVANOClick();
  EXPECT_TRUE(view.terminated);
}

}  // namespace
}  // namespace telvano::testing
