#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace telvano::db {
class Database;
}

namespace telvano::core {

// The registry's error text when a key is missing; the process shows it and ends with exit code 0.
inline constexpr const char* kRegistryErrorText =
    "Nema kljuceva u registry-ju!\n\nThere are no keys in the registry!";

class RegistryError : public std::runtime_error {
 public:
  // what() is always the registry's error text; MissingKey() names the first value found empty (for
  // diagnostics only, never shown in place of the text).
  explicit RegistryError(std::string missingKey = {})
      : std::runtime_error(kRegistryErrorText), m_missingKey(std::move(missingKey)) {}
  const std::string& MissingKey() const { return m_missingKey; }

 private:
  std::string m_missingKey;
};

// The subject attribute of the TIN: organizationIdentifier (X.520).
inline constexpr const char* kDefaultCertTinOid = "2.5.4.97";
// The subject attribute of the processor's address: an OID of our own below a UUID arc (X.667, 2.25), so it
// cannot collide with anyone's; an issuer that uses another attribute is configured with CertUrlOid.
inline constexpr const char* kDefaultCertUrlOid = "2.25.200039654150128736380361191924096801958.3587";

// The fixed configuration of one run: the three registry values, our own optional values, and the
// seven folders derived from them. Read once at start and never changed during the run.
struct Configuration {
  std::string ProgramFileName = "TELVANO";
  std::string ProgramVersion = "r10.0.023";

  std::string Appl_Root;
  std::string DB_Fullname;
  std::string Exchange_Root;
  std::string CodePage = "UTF-8";  // the stand-in for the Windows ANSI code page (log file, odd input)
  std::string DB_Password;         // empty: none is sent
  std::string PrintFileDir;        // the only folder a "file:" print port may write into; empty: refused
  std::string SdcReadTimeout;      // seconds without a byte before a processor request is given up (1-3600)
  std::string SdcRequestDeadline;  // seconds one processor request may take in all (1-36000; default 3 x read)
  // A VPFR's server certificate is verified against the system's CA store and, when named, this PEM bundle
  // too; SdcVerifyServer=0 turns verification off (never the default; every start warns of it).
  std::string SdcCaFile;
  std::string SdcVerifyServer;
  // The subject attributes of a taxpayer's certificate that carry the TIN and the VPFR's address (the PFX
  // import reads them); dotted OIDs.
  std::string CertTinOid = kDefaultCertTinOid;
  std::string CertUrlOid = kDefaultCertUrlOid;
  // From how many days before its end the working certificate's end is announced (1-365; default 30).
  std::string CertWarningDays;
  // The local HTTP API of the unattended program, off while ApiListen is empty: its address ("127.0.0.1:8585"),
  // the file holding its bearer token, the origins a browser POS may call it from (separated by blanks or
  // commas), the certificate and key that an address other than loopback needs (HTTPS), and how long a request
  // waits for its outcome before it is answered "pending" (1-300 s; default 10).
  std::string ApiListen;
  std::string ApiTokenFile;
  std::string ApiOrigins;
  std::string ApiCertFile;
  std::string ApiKeyFile;
  std::string ApiWaitSeconds;

  std::string ApplDataDir;
  std::string LogsDir;
  std::string CertificateDir;
  std::string RunTimeDir;
  std::string InputDir;
  std::string OutputDir;
  std::string ArchiveDir;

  // Fills the derived folders from Appl_Root, DB_Fullname and Exchange_Root (paths joined with "/").
  void DeriveFolders();
};

// The folder of the database file without a trailing "/", read from every form of connection string
// (db::ReadConnectionString): "/srv/data/fb.fdb", "host:/srv/data/fb.fdb", "host/3051:/srv/data/fb.fdb" and
// "inet://host//srv/data/fb.fdb" all give "/srv/data"; a bare "fb.fdb" (or an alias) gives ".". For a
// server on another machine it is a folder of that machine.
std::string DatabaseFolder(const std::string& dbFullname);

// The registry stand-in: a key=value file. Its path is $TELVANO_REGISTRY, else
// /etc/xdg/Dravicor/TELVANO.conf.
std::string RegistryPath();

// Reads the configuration from the registry file at `path`. A missing or unreadable file reads as missing
// keys; an empty Appl_Root, DB_Fullname or Exchange_Root (checked in that order) raises RegistryError.
// Lines that are blank or start with "#" or ";" are ignored; unknown keys and lines without "=" are
// reported through `warnings` (one text per line) and otherwise ignored.
Configuration LoadConfiguration(const std::string& path, std::string* warnings = nullptr);

// SdcReadTimeout in seconds; 0 when it is not set (the transport keeps its default of 60 s).
int ReadTimeoutSeconds(const Configuration& configuration);
// SdcRequestDeadline in seconds, or 0 when it is not set or not a number from 1 to 36000.
int RequestDeadlineSeconds(const Configuration& configuration);
// CertWarningDays in days: 30 when it is not set or not a number from 1 to 365.
int CertificateWarningDays(const Configuration& configuration);
// ApiWaitSeconds in seconds: 10 when it is not set or not a number from 1 to 300.
int ApiWaitSeconds(const Configuration& configuration);
// False only when SdcVerifyServer says "0", "no", "off" or "false".
bool VerifiesProcessorServer(const Configuration& configuration);

// Opens the one database connection: DB_Fullname (a file path opens it embedded, "host:path" reaches a
// server), user "SYSDBA", character set UTF8, and a password only when the configuration gives one.
// Raises db::DbError when the database cannot be opened.
std::unique_ptr<db::Database> ConnectDatabase(const Configuration& configuration);

}  // namespace telvano::core
