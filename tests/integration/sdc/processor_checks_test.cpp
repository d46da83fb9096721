// TFormCommon's processor checks against a processor on 127.0.0.1 whose answers each test scripts.
#include <gtest/gtest.h>

#include <filesystem>

#include "recording_messages.h"
#include "scripted_processor.h"
#include "sdc/tform_common.h"
#include "support/loopback_ports.h"
#include "support/temp_dir.h"

namespace telvano::sdc {
namespace {

using telvano::testing::ReadFileBytes;
using telvano::testing::RecordingMessages;
using telvano::testing::ScriptedProcessor;
using telvano::testing::TempDir;
using telvano::testing::WriteFileBytes;
using Calls = std::vector<std::string>;

constexpr const char* kStatus = "/api/v3/status";
constexpr const char* kPin = "/api/v3/pin";
constexpr const char* kAttention = "/api/v3/attention";
constexpr const char* kEnvironment = "/api/v3/environment-parameters";

std::string ClosedUrl() { return "http://127.0.0.1:" + std::to_string(telvano::testing::ClosedLoopbackPort()); }

// Runs `action`, expects an SdcError and returns its text.
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

class ProcessorChecksTest : public ::testing::Test {
 protected:
  ProcessorChecksTest() : http(configuration, working), common(configuration, working, http, messages) {
    configuration.OutputDir = temp.Path().string();
    working.WorkUrl = processor.BaseUrl();
    working.WorkSerial = "YJLQTEQR";
    working.WorkPin = "1234";
    working.WorkIsLpfr = true;
  }

  void StatusWithGsc(const std::string& gsc) {
    processor.Answer(kStatus, 200, R"({"uid":"YJLQTEQR","gsc":)" + gsc + R"(,"sdcDateTime":"x"})");
  }
  void ProcessorDown() { working.WorkUrl = ClosedUrl(); }

  TempDir temp;
  ScriptedProcessor processor;
  core::Configuration configuration;
  core::WorkingState working;
  RecordingMessages messages;
  TFormHTTP http;
  TFormCommon common;
};

// ---- CheckLpfrStatus ---------------------------------------------------------------------------------------

TEST_F(ProcessorChecksTest, StatusCodesThatDoNotBlockPass) {
  for (const char* gsc : {R"(["0100","0210"])", R"(["1500"])", R"(["1400"])", R"(["1100","0220","0000"])", "[]"}) {
    StatusWithGsc(gsc);
    EXPECT_NO_THROW(common.CheckLpfrStatus()) << gsc;
  }
  processor.Answer(kStatus, 200, R"({"uid":"YJLQTEQR"})");
  EXPECT_NO_THROW(common.CheckLpfrStatus());
  processor.Answer(kStatus, 200, "not json at all");
  EXPECT_NO_THROW(common.CheckLpfrStatus());
  EXPECT_EQ(messages.calls, Calls{});
}

TEST_F(ProcessorChecksTest, FirstBlockingCodeInTheFixedOrderIsReportedNotTheFirstInTheAnswer) {
  StatusWithGsc(R"(["2100","1300"])");
  EXPECT_EQ(FailureText([&] { common.CheckLpfrStatus(); }), "1300");
  EXPECT_EQ(messages.calls, Calls{"processor:1300"});

  messages.calls.clear();
  StatusWithGsc(R"(["1999","0100","2400","1500"])");
  EXPECT_EQ(FailureText([&] { common.CheckLpfrStatus(); }), "2400");
  EXPECT_EQ(messages.calls, Calls{"processor:2400"});
}

TEST_F(ProcessorChecksTest, FailedStatusRequestShowsAndRaisesItsText) {
  processor.Answer(kStatus, 500, R"({"message":"down"})");
  EXPECT_EQ(FailureText([&] { common.CheckLpfrStatus(); }), R"({"message":"down"})");
  EXPECT_EQ(messages.calls, Calls{R"(info:{"message":"down"})"});

  messages.calls.clear();
  ProcessorDown();
  const std::string text = FailureText([&] { common.CheckLpfrStatus(); });
  EXPECT_EQ(text, "Connection error / Greška pri povezivanju\n\n" + http.ErrorText);
  EXPECT_FALSE(http.ErrorText.empty());
  EXPECT_EQ(messages.calls, Calls{"info:" + text});
}

// ---- SendPin -----------------------------------------------------------------------------------------------

TEST_F(ProcessorChecksTest, PinAcceptedWithOrWithoutQuotes) {
  processor.Answer(kPin, 200, "\"0100\"");
  EXPECT_NO_THROW(common.SendPin());
  EXPECT_EQ(processor.LastBody(), "1234");
  processor.Answer(kPin, 200, "0100");
  EXPECT_NO_THROW(common.SendPin());
  EXPECT_EQ(messages.calls, Calls{});
}

TEST_F(ProcessorChecksTest, KnownCodeInThePinAnswerIsTheFailure) {
  processor.Answer(kPin, 200, "\"2100\"");
  EXPECT_EQ(FailureText([&] { common.SendPin(); }), "2100");
  processor.Answer(kPin, 423, "2110");  // the status is not looked at, only the code
  EXPECT_EQ(FailureText([&] { common.SendPin(); }), "2110");
  EXPECT_EQ(messages.calls, (Calls{"processor:2100", "processor:2110"}));
}

TEST_F(ProcessorChecksTest, UnknownPinAnswerIsAConnectionErrorWithEmptyText) {
  processor.Answer(kPin, 200, "\"9999\"");
  EXPECT_EQ(FailureText([&] { common.SendPin(); }), "Connection error / Greška pri povezivanju\n\n");
  EXPECT_EQ(messages.calls, Calls{"text:18|Greška pri povezivanju\n\n|Connection error\n\n"});

  messages.calls.clear();
  ProcessorDown();
  const std::string text = FailureText([&] { common.SendPin(); });
  ASSERT_FALSE(http.ErrorText.empty());
  EXPECT_EQ(text, "Connection error / Greška pri povezivanju\n\n" + http.ErrorText);
  EXPECT_EQ(messages.calls, Calls{"text:18|Greška pri povezivanju\n\n" + http.ErrorText + "|Connection error\n\n" +
                                  http.ErrorText});
}

// ---- CheckVpfrPac ------------------------------------------------------------------------------------------

TEST_F(ProcessorChecksTest, RefusedPacShowsMessage17AndTheBox) {
  working.WorkIsLpfr = false;
  working.WorkUrl = processor.TlsUrl();
  configuration.SdcCaFile = processor.CaFile();
  configuration.CertificateDir = (temp.Path() / "Certificate").string();
  processor.WriteClientFiles(configuration.CertificateDir, working.WorkSerial);
  working.WorkPin = "AB12CD";
  processor.Answer(kStatus, 401, R"({"message":"Unauthorized"})");
  const std::string expected = "PAC is invalid / PAC je neispravan\n\n{\"message\":\"Unauthorized\"}";
  EXPECT_EQ(FailureText([&] { common.CheckVpfrPac(); }), expected);
  EXPECT_EQ(messages.calls, (Calls{"no:17", "info:" + expected}));
  EXPECT_EQ(processor.LastPac(), "AB12CD");

  messages.calls.clear();
  processor.Answer(kStatus, 200, R"({"gsc":["1300"]})");  // a VPFR's codes are not evaluated
  EXPECT_NO_THROW(common.CheckVpfrPac());
  EXPECT_EQ(messages.calls, Calls{});
}

TEST_F(ProcessorChecksTest, UnreachableVirtualProcessorIsAConnectionError) {
  working.WorkIsLpfr = false;
  ProcessorDown();
  const std::string text = FailureText([&] { common.CheckVpfrPac(); });
  EXPECT_EQ(text, "Connection error / Greška pri povezivanju\n\n" + http.ErrorText);
  ASSERT_EQ(messages.calls.size(), 2u);
  EXPECT_EQ(messages.calls[0], "text:18|Greška pri povezivanju\n\n" + http.ErrorText + "|Connection error\n\n" +
                                   http.ErrorText);
  EXPECT_EQ(messages.calls[1], "info:" + text);
}

// ---- CheckAttention ----------------------------------------------------------------------------------------

TEST_F(ProcessorChecksTest, AttentionFailuresRaiseWithMessage4OnlyWhenAsked) {
  processor.Answer(kAttention, 200, "");
  EXPECT_NO_THROW(common.CheckAttention(true));

  processor.Answer(kAttention, 503, "busy");
  EXPECT_EQ(FailureText([&] { common.CheckAttention(true); }), "SDC not available / Odabrani PFR nije dostupan\n\nbusy");
  EXPECT_EQ(messages.calls, Calls{"no:4"});
  messages.calls.clear();
  EXPECT_EQ(FailureText([&] { common.CheckAttention(false); }), "SDC not available / Odabrani PFR nije dostupan\n\nbusy");
  EXPECT_EQ(messages.calls, Calls{});

  processor.Answer(kAttention, 204, "");  // a success other than 200 is not accepted
  EXPECT_EQ(FailureText([&] { common.CheckAttention(false); }), "SDC not available / Odabrani PFR nije dostupan\n\n");

  ProcessorDown();
  const std::string text = FailureText([&] { common.CheckAttention(false); });
  EXPECT_EQ(text, "Connection error / Greška pri povezivanju\n\n" + http.ErrorText);
}

// ---- status and environment answers ------------------------------------------------------------------------

TEST_F(ProcessorChecksTest, AVirtualProcessorThatRefusesThePacAtAttentionSaysSoNotThatItIsAway) {
  working.WorkIsLpfr = false;
  working.WorkUrl = processor.TlsUrl();
  configuration.SdcCaFile = processor.CaFile();
  configuration.CertificateDir = (temp.Path() / "Certificate").string();
  processor.WriteClientFiles(configuration.CertificateDir, working.WorkSerial);
  for (int status : {401, 403}) {
    messages.calls.clear();
    processor.Answer(kAttention, status, R"({"message":"Unauthorized"})");
    const std::string expected = "PAC is invalid / PAC je neispravan\n\n{\"message\":\"Unauthorized\"}";
    EXPECT_EQ(FailureText([&] { common.CheckAttention(true); }), expected) << status;
    EXPECT_EQ(messages.calls, (Calls{"no:17", "info:" + expected})) << status;
  }
  working.WorkIsLpfr = true;  // a local processor has no PAC: its refusal is an unavailable processor
  working.WorkUrl = processor.BaseUrl();
  messages.calls.clear();
  processor.Answer(kAttention, 401, "no");
  EXPECT_EQ(FailureText([&] { common.CheckAttention(true); }), "SDC not available / Odabrani PFR nije dostupan\n\nno");
  EXPECT_EQ(messages.calls, Calls{"no:4"});
}

TEST(ClientCertificateRefusal, IsToldFromTheHandshakeAlertsThatNameTheCertificate) {
  EXPECT_TRUE(SaysClientCertificateRefused("OpenSSL SSL_connect: error:0A000412:SSL routines::sslv3 alert bad certificate"));
  EXPECT_TRUE(SaysClientCertificateRefused("error:0A000418:SSL routines::tlsv1 alert unknown ca"));
  EXPECT_TRUE(SaysClientCertificateRefused("SSL routines::tlsv13 alert certificate required"));
  EXPECT_TRUE(SaysClientCertificateRefused("sslv3 alert certificate expired"));
  EXPECT_FALSE(SaysClientCertificateRefused("SSL certificate problem: unable to get local issuer certificate"));
  EXPECT_FALSE(SaysClientCertificateRefused("Failed to connect to 127.0.0.1 port 9: Connection refused"));
  EXPECT_FALSE(SaysClientCertificateRefused("sslv3 alert handshake failure"));
}

TEST_F(ProcessorChecksTest, StatusAndEnvironmentAnswersArePassedOnUnchanged) {
  processor.Answer(kStatus, 200, R"({"uid":"YJLQTEQR", "x":[1,2]})");
  processor.Answer(kEnvironment, 200, R"({"environmentName":"СУФ Развој"})");
  EXPECT_EQ(common.GetStatusJson(), R"({"uid":"YJLQTEQR", "x":[1,2]})");
  EXPECT_EQ(common.GetEnvironmentJson(), R"({"environmentName":"СУФ Развој"})");
  EXPECT_EQ(common.GetProcessorUid(), "YJLQTEQR");
  EXPECT_EQ(common.GetEnvironmentName(), "СУФ Развој");
  EXPECT_EQ(messages.calls, Calls{});

  processor.Answer(kStatus, 500, "oops");
  EXPECT_EQ(common.GetStatusJson(), "");
  EXPECT_EQ(messages.calls, Calls{"info:oops"});
}

TEST_F(ProcessorChecksTest, ProcessorUidAndEnvironmentNameNeverRaise) {
  processor.Answer(kStatus, 200, "[1,2]");
  processor.Answer(kEnvironment, 200, R"({"environmentName":7})");
  EXPECT_EQ(common.GetProcessorUid(), "");
  EXPECT_EQ(common.GetEnvironmentName(), "");

  processor.Answer(kEnvironment, 500, "oops");
  EXPECT_EQ(common.GetEnvironmentName(), "");
  EXPECT_EQ(messages.calls, Calls{});

  processor.Answer(kStatus, 500, "oops");
  EXPECT_EQ(common.GetProcessorUid(), "");
  EXPECT_EQ(messages.calls, Calls{"info:oops"});  // shown by the status request itself

  messages.calls.clear();
  ProcessorDown();
  EXPECT_EQ(common.GetProcessorUid(), "");
  EXPECT_EQ(common.GetEnvironmentName(), "");
  EXPECT_THROW(common.GetStatusJson(), SdcError);
  EXPECT_EQ(messages.calls, Calls{});
}

// ---- SaveProcessorInfo -------------------------------------------------------------------------------------

TEST_F(ProcessorChecksTest, SavedAnswerIsOneLineReplacingTheFile) {
  const auto file = temp.Path() / "YJLQTEQR_Environment.json";
  WriteFileBytes(file, std::string(500, 'o'));
  processor.Answer(kEnvironment, 200, R"({"environmentName":"СУФ Развој"})");
  common.SaveProcessorInfo(kProcessorInfoEnvironment, true);
  EXPECT_EQ(ReadFileBytes(file), "{\"environmentName\":\"СУФ Развој\"}\r\n");
  EXPECT_EQ(messages.calls, Calls{"info:Sačuvan u: " + file.string()});
}

TEST_F(ProcessorChecksTest, RefusedStatusStillWritesAnEmptyLineAfterShowingTheBody) {
  processor.Answer(kStatus, 500, R"({"message":"internal"})");
  common.SaveProcessorInfo(kProcessorInfoStatus, false);
  EXPECT_EQ(ReadFileBytes(temp.Path() / "YJLQTEQR_Status.json"), "\r\n");
  EXPECT_EQ(messages.calls, Calls{R"(info:{"message":"internal"})"});
}

TEST_F(ProcessorChecksTest, UnreachableProcessorWritesNoFile) {
  ProcessorDown();
  const std::string text = FailureText([&] { common.SaveProcessorInfo(kProcessorInfoStatus, true); });
  EXPECT_EQ(text, "Connection error / Greška pri povezivanju\n\n" + http.ErrorText);
  EXPECT_FALSE(std::filesystem::exists(temp.Path() / "YJLQTEQR_Status.json"));
  EXPECT_EQ(messages.calls, Calls{});
}

TEST_F(ProcessorChecksTest, SerialCannotLeadOutOfTheOutputFolder) {
  processor.Answer(kStatus, 200, "{}");
  working.WorkSerial = "../escape";
  EXPECT_THROW(common.SaveProcessorInfo(kProcessorInfoStatus, false), SdcError);
  EXPECT_FALSE(std::filesystem::exists(temp.Path().parent_path() / "escape_Status.json"));
  EXPECT_EQ(processor.RequestCount(), 0);
}

}  // namespace
}  // namespace telvano::sdc
