// The processor checks and the tax-group refresh against the processor simulator, as the start-up and
// the login use them: an LPFR over HTTP with its PIN, a VPFR over HTTPS with client certificate and PAC.
#include <gtest/gtest.h>

#include <filesystem>

#include "db/settings.h"
#include "pfr-sim/pfr_simulator.h"
#include "platform/clock.h"
#include "recording_messages.h"
#include "sdc/tax_groups.h"
#include "sdc/tform_common.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "test_certificate.h"

namespace telvano::sdc {
namespace {

using pfrsim::Fault;
using pfrsim::PfrSimulator;
using pfrsim::SimOptions;
using telvano::testing::ReadFileBytes;
using telvano::testing::RecordingMessages;
using telvano::testing::TempDir;
using telvano::testing::TestDatabase;
using telvano::testing::WriteFileBytes;
using Calls = std::vector<std::string>;
using Labels = std::vector<std::string>;

template <typename Action>
std::string FailureText(Action action) {
  try {
    action();
  } catch (const SdcError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no SdcError was raised";
  return {};
}

class SimulatorTest : public ::testing::Test {
 protected:
  SimulatorTest()
      : clock(platform::LocalDateTime{2026, 5, 14, 9, 30, 0, 0, 120}),
        http(configuration, working),
        common(configuration, working, http, messages, &database.Db()),
        taxGroups(working, http, database.Db(), clock) {
    configuration.OutputDir = (temp.Path() / "SDC_Out").string();
    configuration.CertificateDir = (temp.Path() / "Cert").string();
    std::filesystem::create_directories(configuration.OutputDir);
    std::filesystem::create_directories(configuration.CertificateDir);
  }

  void StartLocal(SimOptions options = {}) {
    simulator = std::make_unique<PfrSimulator>(options);
    simulator->Start();
    working.WorkIsLpfr = true;
    working.WorkUrl = simulator->BaseUrl();
    working.WorkSerial = options.uid;
    working.WorkPin = options.pin;
  }

  // A VPFR over HTTPS that accepts the client certificate written for `serial`.
  void StartVirtual(const std::string& serial, SimOptions options = {}) {
    const auto server = telvano::testing::MakeSelfSignedCertificate("vpfr.test", "127.0.0.1");
    const auto client = telvano::testing::MakeSelfSignedCertificate(serial);
    options.mode = pfrsim::Mode::Vpfr;
    options.certFile = temp / "server_cert.pem";
    options.keyFile = temp / "server_key.pem";
    options.clientCaFile = temp / "client_ca.pem";
    WriteFileBytes(options.certFile, server.certificatePem);
    WriteFileBytes(options.keyFile, server.keyPem);
    WriteFileBytes(options.clientCaFile, client.certificatePem);
    configuration.SdcCaFile = options.certFile;  // the server is trusted as its own CA
    WriteFileBytes(std::filesystem::path(configuration.CertificateDir) / (serial + "_cert.pem"), client.certificatePem);
    WriteFileBytes(std::filesystem::path(configuration.CertificateDir) / (serial + "_key.pem"), client.keyPem);
    simulator = std::make_unique<PfrSimulator>(options);
    simulator->Start();
    working.WorkIsLpfr = false;
    working.WorkUrl = simulator->BaseUrl();
    working.WorkSerial = serial;
    working.WorkPin = options.pac;
  }

  TempDir temp;
  TestDatabase database;
  platform::ManualClock clock;
  core::Configuration configuration;
  core::WorkingState working;
  RecordingMessages messages;
  TFormHTTP http;
  TFormCommon common;
  TaxGroups taxGroups;
  std::unique_ptr<PfrSimulator> simulator;
};

TEST_F(SimulatorTest, LocalProcessorStartUpChecksPassAndThePinUnlocksTheCard) {
  StartLocal();
  EXPECT_NO_THROW(common.CheckAttention(true));
  EXPECT_NO_THROW(common.CheckLpfrStatus());  // 1500 before the PIN does not block
  EXPECT_EQ(common.GetProcessorUid(), "YJLQTEQR");
  EXPECT_NO_THROW(common.SendPin());
  EXPECT_TRUE(simulator->PinEntered());
  EXPECT_EQ(messages.calls, Calls{});
}

TEST_F(SimulatorTest, GeneralStatusCodesOfTheProcessor) {
  StartLocal();
  for (const Labels& passing : {Labels{"0100", "0210"}, Labels{"1400"}, Labels{"1500", "1100"}, Labels{}}) {
    simulator->SetGsc(passing);
    EXPECT_NO_THROW(common.CheckLpfrStatus()) << ::testing::PrintToString(passing);
  }
  simulator->SetGsc({"2100", "1300"});
  EXPECT_EQ(FailureText([&] { common.CheckLpfrStatus(); }), "1300");
  EXPECT_EQ(messages.calls, Calls{"processor:1300"});
}

TEST_F(SimulatorTest, PinAnswersWithAndWithoutQuotesAndUnknownAnswers) {
  StartLocal();
  working.WorkPin = "9999";
  EXPECT_EQ(FailureText([&] { common.SendPin(); }), "2100");

  simulator->QueueFault("/api/v3/pin", Fault::Pin("2110"));
  EXPECT_EQ(FailureText([&] { common.SendPin(); }), "2110");

  simulator->QueueFault("/api/v3/pin", Fault::Pin("\"0100\""));
  EXPECT_NO_THROW(common.SendPin());
  simulator->QueueFault("/api/v3/pin", Fault::Pin("0100"));
  EXPECT_NO_THROW(common.SendPin());

  simulator->QueueFault("/api/v3/pin", Fault::Pin("\"4242\""));
  EXPECT_EQ(FailureText([&] { common.SendPin(); }), "Connection error / Greška pri povezivanju\n\n");
  EXPECT_EQ(messages.calls, (Calls{"processor:2100", "processor:2110",
                                   "text:18|Greška pri povezivanju\n\n|Connection error\n\n"}));
}

TEST_F(SimulatorTest, ProcessorSwitchedOffGivesNoUidAndNoMessage) {
  StartLocal();
  EXPECT_EQ(common.GetProcessorUid(), "YJLQTEQR");
  simulator->Stop();
  EXPECT_EQ(common.GetProcessorUid(), "");
  EXPECT_EQ(common.GetEnvironmentName(), "");
  EXPECT_EQ(messages.calls, Calls{});
}

TEST_F(SimulatorTest, SavedStatusAfterA500IsAnEmptyLine) {
  StartLocal();
  simulator->QueueFault("/api/v3/status", Fault::Error(500, R"({"message":"boom"})"));
  common.SaveProcessorInfo(kProcessorInfoStatus, false);
  EXPECT_EQ(ReadFileBytes(std::filesystem::path(configuration.OutputDir) / "YJLQTEQR_Status.json"), "\r\n");
  EXPECT_EQ(messages.calls, Calls{R"(info:{"message":"boom"})"});

  common.SaveProcessorInfo(kProcessorInfoEnvironment, false);
  const std::string saved = ReadFileBytes(std::filesystem::path(configuration.OutputDir) / "YJLQTEQR_Environment.json");
  EXPECT_NE(saved.find("\"environmentName\":\"СУФ Развој\""), std::string::npos);
  EXPECT_EQ(saved.substr(saved.size() - 2), "\r\n");
  EXPECT_EQ(saved.find('\n'), saved.size() - 1);
}

TEST_F(SimulatorTest, LocalTaxGroupsKeepTodaysGroupAndTheDeviceSerialAsMrc) {
  SimOptions options;
  options.categoryTypeAsInt = true;
  StartLocal(options);
  taxGroups.LoadTaxGroups();
  // The 2099 group is stored but not current; labels come ordered by their codes (А 01, Г 04, Ђ 06, Е 07).
  EXPECT_EQ(taxGroups.CurrentTaxLabels(), (Labels{"А", "Г", "Ђ", "Е"}));
  EXPECT_EQ(database.Db().Query("select * from tax_groups").size(), 9u);
  EXPECT_EQ(db::ReadSetting(database.Db(), "SDC_MRC"), "00-1002-YJLQTEQR");
  const auto row = database.Db().QueryFirst(
      "select group_id, rate, category_type, label_cyr from tax_groups where valid_from=? and label=?",
      {std::string("2024-01-01T00:00:00Z"), std::string("Ђ")});
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ((*row)[0].AsString(), "6");
  EXPECT_EQ((*row)[1].AsString(), "20.0000");
  EXPECT_EQ((*row)[2].AsString(), "0");
  EXPECT_EQ((*row)[3].AsString(), "06");
}

TEST_F(SimulatorTest, VirtualProcessorPacAndTaxGroupsLeaveTheMrcAlone) {
  StartVirtual("VSERIAL1");
  db::WriteSetting(database.Db(), "SDC_MRC", "00-1002-LOCAL");
  EXPECT_NO_THROW(common.CheckVpfrPac());
  EXPECT_NO_THROW(common.CheckAttention(true));
  EXPECT_EQ(common.GetEnvironmentName(), "СУФ Развој");
  taxGroups.LoadTaxGroups();
  EXPECT_EQ(taxGroups.CurrentTaxLabels(), (Labels{"А", "Г", "Ђ", "Е"}));
  EXPECT_EQ(db::ReadSetting(database.Db(), "SDC_MRC"), "00-1002-LOCAL");
  EXPECT_EQ(messages.calls, Calls{});

  working.WorkPin = "WRONG1";
  const std::string text = FailureText([&] { common.CheckVpfrPac(); });
  EXPECT_EQ(text.rfind("PAC is invalid / PAC je neispravan\n\n{", 0), 0u) << text;
  EXPECT_EQ(messages.calls, (Calls{"no:17", "info:" + text}));
}

}  // namespace
}  // namespace telvano::sdc
