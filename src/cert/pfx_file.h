#pragma once

#include <stdexcept>
#include <string>

namespace telvano::cert {

// A PKCS#12 file that cannot be used: unreadable, not PKCS#12, a wrong password, no private key, no
// certificate for the key. what() is the text the operator sees; it never contains the password.
class PfxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the PFX import takes from a taxpayer's PKCS#12 file: the certificate's identity, validity and subject
// as the cert_se row keeps them, and the two PEM texts the VPFR transport reads.
struct PfxContents {
  PfxContents() = default;
  PfxContents(const PfxContents&) = delete;
  PfxContents& operator=(const PfxContents&) = delete;
  PfxContents(PfxContents&&) = default;
  PfxContents& operator=(PfxContents&&) = default;
  ~PfxContents();  // overwrites the key text before its memory is given back

  std::string serial;     // upper-case hexadecimal, as openssl prints it
  std::string notBefore;  // "Mmm dd hh:mm:ss yyyy GMT", the day padded with a blank, as openssl prints it
  std::string notAfter;
  std::string subC, subCn, subO, subOu, subSt, subL, subStreet;
  std::string subTin;  // the subject attribute of the configured TIN OID
  std::string subUrl;  // the subject attribute of the configured address OID
  std::string issCn, issO;
  std::string certificatePem;  // the client certificate
  std::string keyPem;          // its private key, PKCS#8 PEM without a pass phrase
};

// Opens the PKCS#12 file at `path` with `password` through OpenSSL 3 with its "legacy" and "default"
// providers, so files of older issuers (RC2-40, 3DES, SHA-1 MAC) open as well as AES/PBKDF2 ones. `tinOid`
// and `urlOid` are dotted OIDs of the subject attributes that carry the TIN and the processor's address (an
// attribute that is missing reads as empty text). Raises PfxError.
PfxContents ReadPfxFile(const std::string& path, const std::string& password, const std::string& tinOid,
                        const std::string& urlOid);

// Overwrites a secret's characters (a password, a key) so they do not linger in freed memory, then empties
// it.
void WipeSecret(std::string& secret);

}  // namespace telvano::cert
