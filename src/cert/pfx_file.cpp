#include "cert/pfx_file.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/whole_file.h"

namespace telvano::cert {

namespace {

// A PKCS#12 file is a few kilobytes; a bigger one is not a certificate file.
constexpr std::size_t kMaxPfxBytes = 1024 * 1024;

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* object) const { Free(object); }
};
void FreeBio(BIO* bio) { BIO_free(bio); }
void FreeCaStack(STACK_OF(X509) * stack) { sk_X509_pop_free(stack, X509_free); }
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, FreeBio>>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, Deleter<PKCS12, PKCS12_free>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using ObjectPtr = std::unique_ptr<ASN1_OBJECT, Deleter<ASN1_OBJECT, ASN1_OBJECT_free>>;
using CaStackPtr = std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), FreeCaStack>>;

// RC2-40 and 3DES live in the "legacy" provider. Loading any provider explicitly switches off the automatic
// loading of "default", so both are loaded, once, for the whole process (TLS keeps using "default").
void LoadProviders() {
  static std::once_flag once;
  std::call_once(once, [] {
    OSSL_PROVIDER_load(nullptr, "legacy");  // missing: modern files still open, old ones fail to decrypt
    OSSL_PROVIDER_load(nullptr, "default");
    ERR_clear_error();
  });
}

// The reason of the last OpenSSL error, and an empty error queue.
std::string TakeOpenSslError() {
  const unsigned long code = ERR_peek_last_error();
  std::string reason;
  if (code != 0) {
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    reason = text;
  }
  ERR_clear_error();
  return reason;
}

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::string Utf8Of(const ASN1_STRING* value) {
  unsigned char* utf8 = nullptr;
  const int length = ASN1_STRING_to_UTF8(&utf8, value);
  if (length < 0) return {};
  std::string text(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
  OPENSSL_free(utf8);
  return text;
}

std::string EntryText(const X509_NAME* name, int index) {
  if (index < 0) return {};
  return Utf8Of(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
}

std::string EntryByNid(const X509_NAME* name, int nid) {
  return EntryText(name, X509_NAME_get_index_by_NID(name, nid, -1));
}

std::string EntryByOid(const X509_NAME* name, const std::string& oid) {
  const ObjectPtr object(OBJ_txt2obj(oid.c_str(), 1));
  if (!object) {
    ERR_clear_error();
    throw PfxError("Neispravan OID u konfiguraciji / Invalid OID in the configuration: " + oid);
  }
  return EntryText(name, X509_NAME_get_index_by_OBJ(name, object.get(), -1));
}

std::string TimeText(const ASN1_TIME* time) {
  const BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || ASN1_TIME_print(bio.get(), time) != 1) return {};
  return BioText(bio.get());
}

std::string SerialText(const X509* certificate) {
  const BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || i2a_ASN1_INTEGER(bio.get(), X509_get0_serialNumber(certificate)) <= 0) return {};
  return BioText(bio.get());
}

std::string CertificatePem(X509* certificate) {
  const BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1) return {};
  return BioText(bio.get());
}

std::string KeyPem(EVP_PKEY* key) {
  const BioPtr bio(BIO_new(BIO_s_secmem()));
  if (!bio || PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) return {};
  return BioText(bio.get());
}

// The most key-derivation iterations a certificate file may ask for: today's files use up to a few hundred
// thousand; a hostile file asking for billions would hold the program for hours.
constexpr long kMaxPfxIterations = 1000000;

// The iterations of one PKCS#12 or PBES2 (PBKDF2) encryption algorithm; 0 when it names none.
long AlgorithmIterations(const X509_ALGOR* algorithm) {
  const ASN1_OBJECT* oid = algorithm->algorithm;
  const ASN1_TYPE* parameters = algorithm->parameter;
  if (parameters == nullptr || parameters->type != V_ASN1_SEQUENCE) return 0;
  long iterations = 0;
  if (OBJ_obj2nid(oid) == NID_pbes2) {
    auto* pbes2 = static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), parameters));
    if (pbes2 != nullptr && pbes2->keyfunc != nullptr && pbes2->keyfunc->parameter != nullptr) {
      auto* kdf = static_cast<PBKDF2PARAM*>(
          ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbes2->keyfunc->parameter));
      if (kdf != nullptr) iterations = ASN1_INTEGER_get(kdf->iter);
      PBKDF2PARAM_free(kdf);
    }
    PBE2PARAM_free(pbes2);
  } else {
    auto* pbe = static_cast<PBEPARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), parameters));
    if (pbe != nullptr) iterations = ASN1_INTEGER_get(pbe->iter);
    PBEPARAM_free(pbe);
  }
  return iterations;
}

// The largest iteration count the file asks for: of its integrity check, its encrypted contents and its
// encrypted keys; -1 for a count that cannot be read (a negative or oversized number).
long LargestIterations(PKCS12* pkcs12) {
  long largest = 0;
  const auto note = [&largest](long iterations) { largest = iterations < 0 ? -1 : std::max(largest, iterations); };
  const ASN1_INTEGER* macIterations = nullptr;
  PKCS12_get0_mac(nullptr, nullptr, nullptr, &macIterations, pkcs12);
  if (macIterations != nullptr) note(ASN1_INTEGER_get(macIterations));
  STACK_OF(PKCS7)* safes = PKCS12_unpack_authsafes(pkcs12);
  for (int i = 0; safes != nullptr && i < sk_PKCS7_num(safes) && largest >= 0; ++i) {
    PKCS7* safe = sk_PKCS7_value(safes, i);
    if (OBJ_obj2nid(safe->type) == NID_pkcs7_encrypted) {
      if (safe->d.encrypted != nullptr && safe->d.encrypted->enc_data != nullptr) {
        note(AlgorithmIterations(safe->d.encrypted->enc_data->algorithm));
      }
      continue;
    }
    STACK_OF(PKCS12_SAFEBAG)* bags = PKCS12_unpack_p7data(safe);
    for (int j = 0; bags != nullptr && j < sk_PKCS12_SAFEBAG_num(bags); ++j) {
      const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, j);
      if (PKCS12_SAFEBAG_get_nid(bag) != NID_pkcs8ShroudedKeyBag) continue;
      const X509_ALGOR* algorithm = nullptr;
      X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
      if (algorithm != nullptr) note(AlgorithmIterations(algorithm));
    }
    sk_PKCS12_SAFEBAG_pop_free(bags, PKCS12_SAFEBAG_free);
  }
  sk_PKCS7_pop_free(safes, PKCS7_free);
  return largest;
}

// True when `password` (nullptr: none) opens the file's integrity check.
bool MacOpens(PKCS12* pkcs12, const char* password) { return PKCS12_verify_mac(pkcs12, password, -1) == 1; }

// The PKCS#12 structure of the file's bytes, refused when it asks for more key derivations than any real
// certificate file does.
Pkcs12Ptr OpenPkcs12(const std::string& bytes, const std::string& fileName) {
  const BioPtr input(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  Pkcs12Ptr pkcs12(input ? d2i_PKCS12_bio(input.get(), nullptr) : nullptr);
  if (!pkcs12) {
    TakeOpenSslError();
    throw PfxError("Fajl nije PKCS#12 sertifikat ( p12, pfx ) / The file is not a PKCS#12 certificate: " +
                   fileName);
  }
  // Counted before any key is derived: the derivation itself is what a hostile file would make endless.
  if (const long iterations = LargestIterations(pkcs12.get()); iterations < 0 || iterations > kMaxPfxIterations) {
    throw PfxError("Fajl sertifikata traži previše iteracija / The certificate file asks for too many "
                   "key-derivation iterations: " + fileName);
  }
  return pkcs12;
}

// The password that opens the file's MAC: the one given, or none at all (nullptr) for an empty one.
const char* PasswordThatOpens(PKCS12* pkcs12, const std::string& password, const std::string& fileName) {
  const char* usedPassword = password.c_str();
  // PKCS#12 tells an empty password from none: an empty one tries both.
  if (PKCS12_mac_present(pkcs12) && !MacOpens(pkcs12, usedPassword)) {
    if (!password.empty() || !MacOpens(pkcs12, nullptr)) {
      TakeOpenSslError();
      throw PfxError("Pogrešna lozinka sertifikata / Wrong certificate password: " + fileName);
    }
    usedPassword = nullptr;
  }
  return usedPassword;
}

// The record's texts from the certificate and its key.
void ReadCertificateFields(X509* certificate, EVP_PKEY* key, const std::string& tinOid, const std::string& urlOid,
                           PfxContents& contents) {
  const X509_NAME* subject = X509_get_subject_name(certificate);
  const X509_NAME* issuer = X509_get_issuer_name(certificate);
  contents.serial = SerialText(certificate);
  contents.notBefore = TimeText(X509_get0_notBefore(certificate));
  contents.notAfter = TimeText(X509_get0_notAfter(certificate));
  contents.subC = EntryByNid(subject, NID_countryName);
  contents.subCn = EntryByNid(subject, NID_commonName);
  contents.subO = EntryByNid(subject, NID_organizationName);
  contents.subOu = EntryByNid(subject, NID_organizationalUnitName);
  contents.subSt = EntryByNid(subject, NID_stateOrProvinceName);
  contents.subL = EntryByNid(subject, NID_localityName);
  contents.subStreet = EntryByNid(subject, NID_streetAddress);
  contents.subTin = EntryByOid(subject, tinOid);
  contents.subUrl = EntryByOid(subject, urlOid);
  contents.issCn = EntryByNid(issuer, NID_commonName);
  contents.issO = EntryByNid(issuer, NID_organizationName);
  contents.certificatePem = CertificatePem(certificate);
  contents.keyPem = KeyPem(key);
}

}  // namespace

PfxContents::~PfxContents() { WipeSecret(keyPem); }

void WipeSecret(std::string& secret) {
  if (!secret.empty()) OPENSSL_cleanse(secret.data(), secret.size());
  secret.clear();
}

PfxContents ReadPfxFile(const std::string& path, const std::string& password, const std::string& tinOid,
                        const std::string& urlOid) {
  LoadProviders();
  ERR_clear_error();
  std::string bytes;
  try {
    bytes = platform::ReadRegularFile(path, kMaxPfxBytes);
  } catch (const platform::FileError& error) {
    throw PfxError(error.what());
  }
  const std::string fileName = std::filesystem::path(path).filename().string();
  const Pkcs12Ptr pkcs12 = OpenPkcs12(bytes, fileName);
  const char* usedPassword = PasswordThatOpens(pkcs12.get(), password, fileName);
  EVP_PKEY* rawKey = nullptr;
  X509* rawCertificate = nullptr;
  STACK_OF(X509)* rawCa = nullptr;
  const int parsed = PKCS12_parse(pkcs12.get(), usedPassword, &rawKey, &rawCertificate, &rawCa);
  const KeyPtr key(rawKey);
  const X509Ptr certificate(rawCertificate);
  const CaStackPtr ca(rawCa);
  if (parsed != 1) {
    const std::string reason = TakeOpenSslError();
    throw PfxError("Fajl sertifikata ne može da se otvori / The certificate file cannot be opened: " +
                   fileName + (reason.empty() ? "" : " (" + reason + ")"));
  }
  if (!key) {
    throw PfxError("Fajl sertifikata nema privatni ključ / The certificate file holds no private key: " +
                   fileName);
  }
  if (!certificate || X509_check_private_key(certificate.get(), key.get()) != 1) {
    TakeOpenSslError();
    throw PfxError(
        "Fajl sertifikata nema sertifikat tog ključa / The certificate file holds no certificate "
        "for its key: " +
        fileName);
  }

  PfxContents contents;
  ReadCertificateFields(certificate.get(), key.get(), tinOid, urlOid, contents);
  OPENSSL_cleanse(bytes.data(), bytes.size());
  if (contents.serial.empty() || contents.certificatePem.empty() || contents.keyPem.empty()) {
    const std::string reason = TakeOpenSslError();
    throw PfxError("Fajl sertifikata ne može da se otvori / The certificate file cannot be opened: " +
                   fileName + (reason.empty() ? "" : " (" + reason + ")"));
  }
  ERR_clear_error();
  return contents;
}

}  // namespace telvano::cert
