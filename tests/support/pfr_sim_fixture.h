#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "pfr-sim/pfr_simulator.h"
#include "support/temp_dir.h"

namespace telvano::testing {

// A throwaway PKI from tools/pfr-sim/make-test-pki.sh in its own temporary folder: CA, server certificate for
// 127.0.0.1, a taxpayer's client certificate (PEM, PFX, legacy P12) and one of a foreign CA. Generating takes
// about a second: make one per test suite (SetUpTestSuite), not one per test.
class TestPki {
 public:
  // Extra arguments go to the script ("--tin", "987654321", "--ou", "…"). Throws std::runtime_error.
  explicit TestPki(const std::vector<std::string>& scriptArguments = {});

  std::string File(const std::string& name) const { return (m_dir.Path() / name).string(); }
  std::string CaCert() const { return File("ca.pem"); }
  std::string ServerCert() const { return File("server.pem"); }
  std::string ServerKey() const { return File("server.key"); }
  std::string ClientCert() const { return File("client.pem"); }
  std::string ClientKey() const { return File("client.key"); }
  std::string ClientPfx() const { return File("client.pfx"); }            // modern encryption
  std::string ClientLegacyP12() const { return File("client-legacy.p12"); }  // RC2/3DES
  std::string OtherClientCert() const { return File("other-client.pem"); }   // signed by a CA the VPFR refuses
  std::string OtherClientKey() const { return File("other-client.key"); }
  std::string PfxPassword() const { return "test1234"; }
  std::string ClientSerial() const;  // hex, as openssl prints it

  // Writes certificateDir/<serial>_cert.pem and certificateDir/<serial>_key.pem (key without pass phrase), the
  // files TELVANO's VPFR transport reads for the working certificate `serial`.
  void WriteClientPems(const std::filesystem::path& certificateDir, const std::string& serial) const;

 private:
  TempDir m_dir;
};

// An LPFR on 127.0.0.1 with an ephemeral port, already started.
std::unique_ptr<pfrsim::PfrSimulator> StartLpfrSimulator(pfrsim::SimOptions options = {});
// A VPFR on 127.0.0.1 with an ephemeral port, serving with `pki`'s server certificate and trusting its CA.
std::unique_ptr<pfrsim::PfrSimulator> StartVpfrSimulator(const TestPki& pki, pfrsim::SimOptions options = {});

}  // namespace telvano::testing
