#include "test_certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>
#include <utility>

namespace telvano::testing {

namespace {

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<std::size_t>(length));
}

}  // namespace

TestCertificate MakeSelfSignedCertificate(const std::string& commonName, const std::string& ipAddress) {
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_RSA_gen(2048), &EVP_PKEY_free);
  std::unique_ptr<X509, decltype(&X509_free)> certificate(X509_new(), &X509_free);
  if (!key || !certificate) throw std::runtime_error("cannot create a test certificate");
  X509_set_version(certificate.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 3600L * 24 * 30);
  X509_set_pubkey(certificate.get(), key.get());
  X509_NAME* name = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                             -1, -1, 0);
  X509_set_issuer_name(certificate.get(), name);
  if (!ipAddress.empty()) {
    for (const auto& [nid, value] : {std::pair{NID_subject_alt_name, "IP:" + ipAddress},
                                     std::pair{NID_basic_constraints, std::string("critical,CA:TRUE")}}) {
      X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, nullptr, nid, value.c_str());
      if (extension == nullptr) throw std::runtime_error("cannot make the extension " + value);
      X509_add_ext(certificate.get(), extension, -1);
      X509_EXTENSION_free(extension);
    }
  }
  if (X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0) throw std::runtime_error("cannot sign");

  std::unique_ptr<BIO, decltype(&BIO_free)> certBio(BIO_new(BIO_s_mem()), &BIO_free);
  std::unique_ptr<BIO, decltype(&BIO_free)> keyBio(BIO_new(BIO_s_mem()), &BIO_free);
  PEM_write_bio_X509(certBio.get(), certificate.get());
  PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);
  return {BioText(certBio.get()), BioText(keyBio.get())};
}

}  // namespace telvano::testing
