#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/test_paths.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kUid = "YJLQTEQR";
constexpr const char* kStop = "STOP-TELVANO,\r\n";

std::unique_ptr<pfrsim::PfrSimulator> StartLpfr() {
  pfrsim::SimOptions options;
  options.uid = kUid;
  auto sim = std::make_unique<pfrsim::PfrSimulator>(options);
  sim->Start();
  return sim;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

TEST(ProgramStart, UnattendedLpfrStartIsReadyAndTheStopCommandEndsIt) {
  auto sim = StartLpfr();
  E2eInstallation installation;
  installation.AddCertificate({kUid, sim->BaseUrl()});
  // The companion program notes its argument and its process id, then waits to be ended.
  const fs::path companionNote = installation.Root() / "companion.txt";
  WriteFileBytes(installation.RunTime() / "Vexo",
                 "#!/bin/sh\necho \"$1 $$\" > '" + companionNote.string() + "'\nexec sleep 60\n");
  fs::permissions(installation.RunTime() / "Vexo", fs::perms::owner_all);
  installation.Start({E2eInstallation::kSoftKey, "1234", kUid});
  const std::string startInfo = installation.WaitForStartInfo();
  EXPECT_TRUE(StartsWith(startInfo, "OK,")) << startInfo << "\n" << installation.StderrText();
  EXPECT_NE(installation.Log().find(" READY TO USE\r\n"), std::string::npos) << installation.Log();
  EXPECT_TRUE(sim->PinEntered());
  ASSERT_TRUE(E2eInstallation::WaitForFile(companionNote, 5s)) << "the companion program was not started";
  const std::string note = ReadFileBytes(companionNote);
  ASSERT_EQ(note.rfind("Dravicor_TELVANO ", 0), 0u) << note;
  const pid_t companion = std::stoi(note.substr(17));
  for (int i = 0; i < 100 && ::kill(companion, 0) == 0; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_NE(::kill(companion, 0), 0) << "the companion program still runs after the start";

  // A second instance leaves at once and without a trace.
  const std::string logBefore = installation.Log();
  EXPECT_EQ(installation.RunAnother({E2eInstallation::kSoftKey, "1234", kUid}, 10s), 0);
  EXPECT_EQ(installation.Log(), logBefore);
  EXPECT_EQ(ReadFileBytes(installation.Root() / "stderr-second.txt"), "");
  EXPECT_TRUE(installation.Running());

  installation.Drop("CMD_9999.csv", kStop);
  EXPECT_EQ(installation.WaitForExit(15s), 0);
  ASSERT_TRUE(E2eInstallation::WaitForFile(installation.Output() / "stop_info.txt", 1s));
  EXPECT_TRUE(StartsWith(ReadFileBytes(installation.Output() / "stop_info.txt"),
                         "\xEF\xBB\xBF"
                         "OK,"));
  EXPECT_FALSE(fs::exists(installation.Input() / "CMD_9999.csv"));
}

TEST(ProgramStart, SigtermEndsARunningProgramLikeTheTrayExit) {
  auto sim = StartLpfr();
  E2eInstallation installation;
  installation.AddCertificate({kUid, sim->BaseUrl()});
  installation.Start({E2eInstallation::kSoftKey, "1234", kUid});
  ASSERT_TRUE(StartsWith(installation.WaitForStartInfo(), "OK,"));
  installation.Signal(SIGTERM);
  EXPECT_EQ(installation.WaitForExit(15s), 0);
  EXPECT_FALSE(fs::exists(installation.Output() / "stop_info.txt"));  // only the stop command writes it
}

struct FailedStart {
  const char* name;
  const char* logged;  // the message's first line in the log
};

class ProgramFailedStart : public ::testing::TestWithParam<FailedStart> {};

TEST_P(ProgramFailedStart, EndsWithErrAndItsMessageInTheLog) {
  const FailedStart& c = GetParam();
  auto sim = StartLpfr();
  E2eInstallation installation;
  const std::string name = c.name;
  std::vector<std::string> arguments = {E2eInstallation::kSoftKey, "1234", kUid};
  if (name == "database unreadable") {
    WriteFileBytes(installation.DatabasePath(), std::string(65536, 'x'));
  } else if (name == "unknown schema level") {
    installation.SetSetting("DB_VERSION", "ODS13.0/FB4.0/DDL9.99");
  } else if (name == "processor down") {
    sim->Stop();
    installation.AddCertificate({kUid, sim->BaseUrl()});
  } else if (name == "wrong PIN") {
    installation.AddCertificate({kUid, sim->BaseUrl()});
    arguments[1] = "9999";
  } else if (name == "wrong uid") {
    installation.AddCertificate({"ZZZZ0000", sim->BaseUrl()});
    arguments[2] = "ZZZZ0000";
  } else if (name == "two certificates and no serial") {
    installation.AddCertificate({kUid, sim->BaseUrl()});
    installation.AddCertificate({"ZZZZ0000", sim->BaseUrl()});
    arguments[2] = "";
  } else if (name == "no display for an interactive start") {
    arguments = {};
  }
  installation.Start(arguments);
  const std::string startInfo = installation.WaitForStartInfo();
  EXPECT_TRUE(StartsWith(startInfo, "ERR,")) << startInfo;
  EXPECT_EQ(installation.WaitForExit(15s), 0);
  EXPECT_NE(installation.Log().find(c.logged), std::string::npos) << "log:\n"
                                                                  << installation.Log() << "\nstderr:\n"
                                                                  << installation.StderrText();
}

INSTANTIATE_TEST_SUITE_P(
    EachCause, ProgramFailedStart,
    ::testing::Values(
        FailedStart{"database unreadable", " TELVANO database can not be read!\r\n"},
        FailedStart{"unknown schema level", " Unsupported DB version!\r\n"},
        FailedStart{"processor down", " SDC not available!\r\n"},
        FailedStart{"wrong PIN", " 2100: Pin Not OK / PIN nije u redu\r\n"},
        FailedStart{"wrong uid", " Pozvani/izabrani sertifikat ne odgovara sertifikatu u čitaču!\r\n"},
        FailedStart{"two certificates and no serial", " Certificate has expired\r\n"},
        FailedStart{"no display for an interactive start", " Interaktivni rad nije moguć bez ekrana!\r\n"}),
    [](const ::testing::TestParamInfo<FailedStart>& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

TEST(ProgramStart, AMissingRegistryIsReportedAndEndsWithCodeZero) {
  E2eInstallation installation;
  installation.SetRegistryPath(installation.Root() / "no-such.conf");
  installation.Start({E2eInstallation::kSoftKey, "1234", kUid});
  EXPECT_EQ(installation.WaitForExit(15s), 0);
  EXPECT_NE(installation.StderrText().find("There are no keys in the registry!"), std::string::npos);
  EXPECT_FALSE(fs::exists(installation.Output() / "start_info.txt"));
  EXPECT_EQ(installation.Log(), "");
}

TEST(ProgramStart, ADatabaseAt1010IsUpgradedAtStart) {
  auto sim = StartLpfr();
  E2eInstallation installation(db::SchemaLevel::Ddl10_10);
  CertificateRow row{kUid, sim->BaseUrl()};
  row.withEnvName = false;
  installation.AddCertificate(row);
  installation.Start({E2eInstallation::kSoftKey, "1234", kUid});
  const std::string startInfo = installation.WaitForStartInfo();
  EXPECT_TRUE(StartsWith(startInfo, "OK,")) << startInfo << "\n" << installation.Log();
  installation.Drop("CMD_9999.csv", kStop);
  ASSERT_EQ(installation.WaitForExit(15s), 0);
  EXPECT_EQ(installation.StoredDbVersion(), "ODS13.0/FB4.0/DDL10.16");
}

TEST(ProgramStart, UnattendedVpfrStartChecksThePacAndFiscalisesATestInvoice) {
  E2eInstallation installation;
  const fs::path pki = installation.Root() / "pki";
  const std::string command =
      SourceDir() + "/tools/pfr-sim/make-test-pki.sh " + pki.string() + " --serial 5A5A0001 >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  pfrsim::SimOptions options;
  options.mode = pfrsim::Mode::Vpfr;
  options.certFile = (pki / "server.pem").string();
  options.keyFile = (pki / "server.key").string();
  options.clientCaFile = (pki / "ca.pem").string();
  pfrsim::PfrSimulator sim(options);
  sim.Start();
  const std::string serial = "5A5A0001";
  fs::copy_file(pki / "client.pem", installation.CertificateDir() / (serial + "_cert.pem"));
  fs::copy_file(pki / "client.key", installation.CertificateDir() / (serial + "_key.pem"));
  CertificateRow row{serial, sim.BaseUrl()};
  row.lpfr = false;
  installation.AddCertificate(row);
  installation.AddConfiguration("SdcCaFile", (pki / "ca.pem").string());

  installation.Start({E2eInstallation::kSoftKey, "ABC123", serial});
  const std::string startInfo = installation.WaitForStartInfo(40s);
  EXPECT_TRUE(StartsWith(startInfo, "OK,")) << startInfo << "\n"
                                            << installation.Log() << installation.StderrText();
  EXPECT_GE(sim.RequestCount("/api/v3/invoices"), 1u);  // the test invoice
  installation.Drop("CMD_9999.csv", kStop);
  EXPECT_EQ(installation.WaitForExit(15s), 0);
}

}  // namespace
}  // namespace telvano::testing
