// From a PFX file or a local processor's address to a fiscalised invoice: telvano-setup registers the working
// certificate headless, then the POS starts telvano unattended with its serial.
#include <gtest/gtest.h>

#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/pfr_sim_fixture.h"

namespace telvano::testing {
namespace {

using namespace std::chrono_literals;

// Starts the program as the POS does, fiscalises one invoice and stops it again.
void StartAndFiscalise(E2eInstallation& installation, const std::string& pinOrPac,
                       const std::string& serial) {
  installation.Start({E2eInstallation::kSoftKey, pinOrPac, serial});
  ASSERT_EQ(installation.WaitForStartInfo().rfind("OK,", 0), 0u) << installation.StderrText();
  installation.Drop("INV_NS_0001.csv", SampleInvoice());
  EXPECT_TRUE(E2eInstallation::WaitForFile(installation.Output() / "INV_NS_0001_basic.csv", 30s))
      << installation.Log();
  installation.Drop("CMD_9999.csv", "STOP-TELVANO,\r\n");
  EXPECT_EQ(installation.WaitForExit(15s), 0);
}

TEST(CertificateSetup, AnImportedPfxStartsTheProgramOnTheVpfr) {
  // The certificate carries the default address; --url points at the simulator's ephemeral port instead.
  TestPki pki;
  auto vpfr = StartVpfrSimulator(pki);
  E2eInstallation installation;
  installation.AddConfiguration("SdcCaFile", pki.CaCert());
  const SetupRun run =
      installation.RunSetup({"--import-pfx", pki.ClientLegacyP12(), "--pfx-password", pki.PfxPassword(),
                             "--pac", "ABC123", "--url", vpfr->BaseUrl(), "--developer-tin", "123456789"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, pki.ClientSerial() + "\n");
  EXPECT_EQ(run.err.find(pki.PfxPassword()), std::string::npos);
  EXPECT_EQ(installation.Log().find(pki.PfxPassword()), std::string::npos);
  StartAndFiscalise(installation, "ABC123", pki.ClientSerial());
}

TEST(CertificateSetup, ARegisteredLpfrStartsTheProgramWithItsUid) {
  pfrsim::SimOptions options;
  options.uid = "YJLQTEQR";
  auto lpfr = StartLpfrSimulator(options);
  E2eInstallation installation;
  const SetupRun wrong = installation.RunSetup(
      {"--register-lpfr", lpfr->BaseUrl(), "--pin", "9999", "--developer-tin", "123456789"});
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_EQ(wrong.out, "");
  EXPECT_NE(wrong.err.find("Obrada sertifikata NIJE uspela!\n\n2100"), std::string::npos) << wrong.err;

  const SetupRun run = installation.RunSetup({"--register-lpfr", lpfr->BaseUrl() + "/api", "--pin", "1234",
                                               "--developer-tin", "123456789"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "YJLQTEQR\n");
  StartAndFiscalise(installation, "1234", "YJLQTEQR");
}

}  // namespace
}  // namespace telvano::testing
