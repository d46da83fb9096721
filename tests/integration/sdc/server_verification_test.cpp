// The VPFR is authenticated before anything of a request leaves: a server that is not trusted, that has
// another host name or whose certificate has ended gets neither the PAC nor an invoice byte.
#include <gtest/gtest.h>

#include <memory>

#include "sdc/tform_http.h"
#include "support/pfr_sim_fixture.h"

namespace telvano::sdc {
namespace {

using telvano::testing::TestPki;

constexpr const char* kSerial = "5A5A0001";

struct ServerCase {
  const char* name;
  const char* serverCert;  // of the test PKI
  bool trustTheCa;
  const char* scheme;
  const char* reason;  // in ErrorText; "" for a request that goes through
};

void PrintTo(const ServerCase& c, std::ostream* out) { *out << c.name; }

class ServerVerification : public ::testing::TestWithParam<ServerCase> {
 protected:
  static void SetUpTestSuite() { s_pki = new TestPki({"--serial", kSerial}); }
  static void TearDownTestSuite() { delete s_pki; }

  static TestPki* s_pki;
};
TestPki* ServerVerification::s_pki = nullptr;

TEST_P(ServerVerification, NothingLeavesForAServerThatIsNotTrusted) {
  const ServerCase& c = GetParam();
  pfrsim::SimOptions options;
  options.mode = pfrsim::Mode::Vpfr;
  options.certFile = s_pki->File(std::string(c.serverCert) + ".pem");
  options.keyFile = s_pki->File(std::string(c.serverCert) + ".key");
  options.clientCaFile = s_pki->CaCert();
  pfrsim::PfrSimulator sim(options);
  sim.Start();

  telvano::testing::TempDir certificates;
  s_pki->WriteClientPems(certificates.Path(), kSerial);
  core::Configuration configuration;
  configuration.CertificateDir = certificates.Path().string();
  if (c.trustTheCa) configuration.SdcCaFile = s_pki->CaCert();
  core::WorkingState state;
  state.WorkIsLpfr = false;
  state.WorkSerial = kSerial;
  state.WorkPin = options.pac;
  state.WorkUrl = std::string(c.scheme) + "127.0.0.1:" + std::to_string(sim.Port());
  TFormHTTP http(configuration, state);
  http.CallWorking(kOpStatus, "", "");

  if (*c.reason == '\0') {
    EXPECT_EQ(http.ResponseCode, 200) << http.ErrorText;
    return;
  }
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_NE(http.ErrorText.find(c.reason), std::string::npos) << http.ErrorText;
  EXPECT_FALSE(http.RequestMayHaveArrived);  // an invoice in this state takes the plain failure path
  EXPECT_EQ(sim.RequestCount("/api/v3/status"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ServerVerification,
    ::testing::Values(ServerCase{"Trusted", "server", true, "https://", ""},
                      ServerCase{"UnknownCa", "server", false, "https://", "not trusted"},
                      ServerCase{"WrongHostName", "server-wronghost", true, "https://", "not trusted"},
                      ServerCase{"Expired", "server-expired", true, "https://", "expired"},
                      ServerCase{"PlainHttpAddress", "server", true, "http://", kVpfrNeedsHttpsText}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace telvano::sdc
