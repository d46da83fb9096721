#pragma once

#include <string>

namespace telvano::testing {

// A self-signed certificate with its private key, both as PEM texts (the key without a pass phrase),
// for TLS servers and client certificates in tests.
struct TestCertificate {
  std::string certificatePem;
  std::string keyPem;
};

TestCertificate MakeSelfSignedCertificate(const std::string& commonName);

}  // namespace telvano::testing
