#pragma once

#include <string>

namespace telvano::testing {

// A self-signed certificate with its private key, both as PEM texts (the key without a pass phrase),
// for TLS servers and client certificates in tests.
struct TestCertificate {
  std::string certificatePem;
  std::string keyPem;
};

// With `ipAddress`, the certificate names it in subjectAltName and may act as its own CA: a TLS client that
// is given it as its CA file trusts a server presenting it there.
TestCertificate MakeSelfSignedCertificate(const std::string& commonName, const std::string& ipAddress = {});

}  // namespace telvano::testing
