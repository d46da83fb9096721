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

// True when `password` (nullptr: none) opens the file's integrity check.
bool MacOpens(PKCS12* pkcs12, const char* password) { return PKCS12_verify_mac(pkcs12, password, -1) == 1; }

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
    bytes = platform::ReadWholeFile(path, kMaxPfxBytes);
  } catch (const platform::FileError& error) {
    throw PfxError(error.what());
  }
  const std::string fileName = std::filesystem::path(path).filename().string();
  const BioPtr input(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  const Pkcs12Ptr pkcs12(input ? d2i_PKCS12_bio(input.get(), nullptr) : nullptr);
  if (!pkcs12) {
    TakeOpenSslError();
    throw PfxError("Fajl nije PKCS#12 sertifikat ( p12, pfx ) / The file is not a PKCS#12 certificate: " +
                   fileName);
  }
  const char* usedPassword = password.c_str();
  // PKCS#12 tells an empty password from none: an empty one tries both.
  if (PKCS12_mac_present(pkcs12.get()) && !MacOpens(pkcs12.get(), usedPassword)) {
    if (!password.empty() || !MacOpens(pkcs12.get(), nullptr)) {
      TakeOpenSslError();
      throw PfxError("Pogrešna lozinka sertifikata / Wrong certificate password: " + fileName);
    }
    usedPassword = nullptr;
  }
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
  const X509_NAME* subject = X509_get_subject_name(certificate.get());
  const X509_NAME* issuer = X509_get_issuer_name(certificate.get());
  contents.serial = SerialText(certificate.get());
  contents.notBefore = TimeText(X509_get0_notBefore(certificate.get()));
  contents.notAfter = TimeText(X509_get0_notAfter(certificate.get()));
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
  contents.certificatePem = CertificatePem(certificate.get());
  contents.keyPem = KeyPem(key.get());
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
