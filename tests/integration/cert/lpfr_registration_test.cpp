// A local processor registered as the working certificate through its test invoice, against the simulator.
#include <gtest/gtest.h>

#include <optional>

#include "certificate_fixture.h"
#include "db/settings.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/pfr_sim_fixture.h"

namespace telvano::cert::testing {
namespace {

using C = CertificateComponent;

TEST(NormalizeProcessorUrl, DropsAFinalApiAndThenAFinalSlash) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://h:8888/API", "http://h:8888"},
      {"http://h:8888/Api", "http://h:8888"},
      {"http://h:8888/", "http://h:8888"},
      {"http://h:8888/api/", "http://h:8888/api"},
      {"http://h:8888/apis", "http://h:8888/apis"},
      {"http://h:8888", "http://h:8888"},
      {"/api", ""},
  };
  for (const auto& [typed, stored] : cases) EXPECT_EQ(NormalizeProcessorUrl(typed), stored) << typed;
}

class LpfrRegistrationTest : public CertificateFixture, public ::testing::Test {
 protected:
  LpfrRegistrationTest() : m_simulator(telvano::testing::StartLpfrSimulator()) {}

  void Register(const std::string& url, const std::string& developerTin, const std::string& pin = "1234") {
    ChooseNew(true, pin);
    m_form.FormShow();
    ASSERT_EQ(m_form.Mode(), CertificateMode::NewLpfr);
    m_form.LEOID3587Change(url);
    m_form.LEDeveloperTinChange(developerTin);
    m_messages.calls.clear();
    m_form.PanelImportCertificateClick();
  }

  std::unique_ptr<pfrsim::PfrSimulator> m_simulator;
};

TEST_F(LpfrRegistrationTest, TheTestInvoiceGivesTheRowThatBecomesTheWorkingCertificate) {
  Register(m_simulator->BaseUrl() + "/API", "123456789");
  EXPECT_EQ(m_messages.Last(), "info:Sertifikat obrađen!");
  EXPECT_EQ(
      CertificateRows("serial, not_before, not_after, ind_act, ind_lpfr, sub_tin, sub_c, sub_cn, sub_o, "
                      "sub_ou, sub_st, sub_l, sub_street, iss_cn, iss_o, srv_url, env_name, pfx_cert"),
      std::vector<std::string>{"YJLQTEQR|||Y|Y|RS111911206|RS||ТЕСТ ПРОДАВНИЦА|ТЕСТ ПРОДАВНИЦА|Београд||"
                               "ХЕРОЈА МИЛАНА ТЕПИЋА 13|||" +
                               m_simulator->BaseUrl() + "|СУФ Развој|"});
  EXPECT_EQ(m_state.WorkSerial, "YJLQTEQR");
  EXPECT_EQ(m_state.WorkUrl, m_simulator->BaseUrl());
  EXPECT_EQ(m_state.WorkPin, "1234");
  EXPECT_TRUE(m_simulator->PinEntered());
  EXPECT_EQ(db::ReadSetting(*m_connection, "DEVELOPER_TIN"), "123456789");
  EXPECT_EQ(db::ReadSetting(*m_connection, "SDC_MRC"), "00-1002-YJLQTEQR");
  EXPECT_EQ(m_backups, std::vector<std::string>{"_INIT"});
  // The window now shows the new certificate, read-only and without a save button.
  EXPECT_EQ(m_form.Mode(), CertificateMode::Show);
  EXPECT_EQ(m_form.Text(C::EditSerialNumber), "YJLQTEQR");
  EXPECT_EQ(m_form.Text(C::EditNotAfter), "");
  EXPECT_EQ(m_form.Text(C::LESDCMrc), "00-1002-YJLQTEQR");
  EXPECT_FALSE(m_form.Visible(C::PanelImportCertificate));
  // The test invoice stays in the invoice tables; its files for the POS are gone.
  EXPECT_EQ(m_connection->QueryFirst("select count(*) from inv_response")->operator[](0).AsInt64(), 1);

  // The same processor once more: the insert is refused and the stored row stays.
  Register(m_simulator->BaseUrl(), "123456789");
  EXPECT_EQ(m_messages.Last(), "info:" + std::string(kCertificateFailedText) + kInsertFailedText +
                                   "a certificate with the serial YJLQTEQR exists" + kCheckPinOrAddressText);
  EXPECT_EQ(CertificateRows("serial").size(), 1u);
  EXPECT_EQ(m_state.WorkSerial, "");
}

struct FailureCase {
  const char* name;
  std::string url;  // "SIM": the simulator's
  const char* developerTin;
  const char* pin;
  std::optional<pfrsim::Fault> statusFault;
  std::string shown;  // the last message, or its beginning (guarded failures end with the PIN hint)
  bool guarded;
};

TEST_F(LpfrRegistrationTest, EveryFailureLeavesNoCertificate) {
  const FailureCase cases[] = {
      {"no address", "", "123456789", "1234", {}, "Niste uneli putanju do lokalnog procesora!", false},
      {"no developer", "SIM", "", "1234", {}, "Niste uneli PIB developera!", false},
      {"wrong PIN", "SIM", "123456789", "9999", {}, std::string(kCertificateFailedText) + "2100", true},
      {"unreachable",
       "http://127.0.0.1:1",
       "123456789",
       "1234",
       {},
       std::string(kCertificateFailedText) + "Connection error / Greška pri povezivanju\n\n",
       true},
      {"no card", "SIM", "123456789", "1234", pfrsim::Fault::Status(std::vector<std::string>{"1300"}),
       std::string(kCertificateFailedText) + "1300", true},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.statusFault) m_simulator->QueueFault("/api/v3/status", *c.statusFault);
    Register(c.url == "SIM" ? m_simulator->BaseUrl() : c.url, c.developerTin, c.pin);
    const std::string shown = m_messages.Last();
    EXPECT_TRUE(shown.starts_with("info:" + c.shown)) << shown;
    EXPECT_EQ(shown.ends_with(kCheckPinOrAddressText), c.guarded) << shown;
    EXPECT_TRUE(CertificateRows("serial").empty());
    EXPECT_EQ(m_state.WorkSerial, "");
    EXPECT_EQ(m_form.Mode(), CertificateMode::NewLpfr);
    EXPECT_TRUE(m_backups.empty());
  }
}

}  // namespace
}  // namespace telvano::cert::testing
