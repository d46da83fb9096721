#include "core/configuration.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "core/text_utils.h"
#include "db/connection_string.h"
#include "db/database.h"
#include "platform/code_page.h"

namespace telvano::core {
namespace {

constexpr const char* kDefaultRegistryPath = "/etc/xdg/Dravicor/TELVANO.conf";

// A registry file is a handful of lines; anything bigger is not one (or a device like /dev/zero),
// so reading stops here instead of eating memory.
constexpr std::size_t kMaxRegistryBytes = 1024 * 1024;

void AddWarning(std::string* warnings, const std::string& text) {
  if (warnings == nullptr) return;
  if (!warnings->empty()) warnings->push_back('\n');
  warnings->append(text);
}

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
  const std::size_t length = std::strlen(b);
  if (a.size() != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// Reads the whole file, or reports why it could not; nothing here throws.
bool ReadRegistryFile(const std::string& path, std::string& content, std::string* warnings) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) {
    AddWarning(warnings, "configuration file " + path + " does not exist");
    return false;
  }
  if (std::filesystem::is_directory(status)) {
    AddWarning(warnings, "configuration file " + path + " is a folder, not a file");
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    AddWarning(warnings, "configuration file " + path + " cannot be read: " + std::strerror(errno));
    return false;
  }
  content.resize(kMaxRegistryBytes + 1);
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  if (in.bad()) {
    AddWarning(warnings, "configuration file " + path + " cannot be read: " + std::strerror(errno));
    content.clear();
    return false;
  }
  content.resize(static_cast<std::size_t>(in.gcount()));
  if (content.size() > kMaxRegistryBytes) {
    content.resize(kMaxRegistryBytes);
    AddWarning(warnings, "configuration file " + path + " is larger than 1 MiB: only its beginning is read");
  }
  return true;
}

// Stores one key=value pair; false for a key we do not know.
bool AssignValue(Configuration& configuration, const std::string& key, const std::string& value) {
  struct Slot {
    const char* name;
    std::string Configuration::*member;
  };
  static constexpr Slot kSlots[] = {
      {"Appl_Root", &Configuration::Appl_Root},         {"DB_Fullname", &Configuration::DB_Fullname},
      {"Exchange_Root", &Configuration::Exchange_Root}, {"CodePage", &Configuration::CodePage},
      {"DB_Password", &Configuration::DB_Password},     {"PrintFileDir", &Configuration::PrintFileDir},
      {"SdcReadTimeout", &Configuration::SdcReadTimeout},
      {"SdcRequestDeadline", &Configuration::SdcRequestDeadline},
      {"SdcCaFile", &Configuration::SdcCaFile},         {"SdcVerifyServer", &Configuration::SdcVerifyServer},
      {"CertTinOid", &Configuration::CertTinOid},       {"CertUrlOid", &Configuration::CertUrlOid},
      {"CertWarningDays", &Configuration::CertWarningDays},
      {"ApiListen", &Configuration::ApiListen},         {"ApiTokenFile", &Configuration::ApiTokenFile},
      {"ApiOrigins", &Configuration::ApiOrigins},       {"ApiCertFile", &Configuration::ApiCertFile},
      {"ApiKeyFile", &Configuration::ApiKeyFile},       {"ApiWaitSeconds", &Configuration::ApiWaitSeconds},
  };
  for (const Slot& slot : kSlots) {
    if (EqualsIgnoringAsciiCase(key, slot.name)) {
      configuration.*slot.member = value;
      return true;
    }
  }
  return false;
}

void ParseRegistryText(const std::string& path, std::string content, Configuration& configuration,
                       std::string* warnings) {
  if (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);  // an editor's byte-order mark
  std::size_t start = 0;
  int lineNo = 0;
  while (start <= content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    const std::string trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';') continue;
    const std::string where = path + " line " + std::to_string(lineNo) + ": ";
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string::npos) {
      AddWarning(warnings, where + "no \"=\" in this line; ignored");
      continue;
    }
    const std::string key = TrimBlanks(trimmed.substr(0, equals));
    const std::string value = TrimBlanks(trimmed.substr(equals + 1));
    if (key.empty()) {
      AddWarning(warnings, where + "no key before \"=\"; ignored");
      continue;
    }
    if (!AssignValue(configuration, key, value)) {
      AddWarning(warnings, where + "unknown key \"" + key + "\"; ignored");
    }
  }
}

// A whole number from 1 to `largest`, or 0 for anything else.
int SecondsFrom(const std::string& text, int largest) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  const int seconds = std::stoi(text);
  return seconds >= 1 && seconds <= largest ? seconds : 0;
}

bool IsKnownCodePage(const std::string& codePage) {
  try {
    platform::FromUtf8("", codePage);
    return true;
  } catch (const std::invalid_argument&) {
    return false;
  }
}

}  // namespace

void Configuration::DeriveFolders() {
  ApplDataDir = Appl_Root + "/ApplData";
  LogsDir = Appl_Root + "/Logs";
  CertificateDir = DatabaseFolder(DB_Fullname) + "/Certificate";
  RunTimeDir = Appl_Root + "/RunTime";
  InputDir = Exchange_Root + "/SDC_Inp";
  OutputDir = Exchange_Root + "/SDC_Out";
  ArchiveDir = Exchange_Root + "/Archive";
}

std::string DatabaseFolder(const std::string& dbFullname) {
  // A server's database ("host/port:/srv/data/fb.fdb") lies in the folder of its path part.
  const std::string path = db::ReadConnectionString(dbFullname).path;
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";  // a bare file name lies in the working folder
  return path.substr(0, slash);                // "/fb.fdb" gives "", so its folder joins as "/Certificate"
}

std::string RegistryPath() {
  const char* fromEnvironment = std::getenv("TELVANO_REGISTRY");
  if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') return fromEnvironment;
  return kDefaultRegistryPath;
}

Configuration LoadConfiguration(const std::string& path, std::string* warnings) {
  Configuration configuration;
  std::string content;
  if (ReadRegistryFile(path, content, warnings))
    ParseRegistryText(path, std::move(content), configuration, warnings);
  // The three registry values are checked in this order; the same text for each.
  if (configuration.Appl_Root.empty()) throw RegistryError("Appl_Root");
  if (configuration.DB_Fullname.empty()) throw RegistryError("DB_Fullname");
  if (configuration.Exchange_Root.empty()) throw RegistryError("Exchange_Root");
  if (configuration.CodePage.empty()) configuration.CodePage = "UTF-8";
  if (configuration.CertTinOid.empty()) configuration.CertTinOid = kDefaultCertTinOid;
  if (configuration.CertUrlOid.empty()) configuration.CertUrlOid = kDefaultCertUrlOid;
  if (!IsKnownCodePage(configuration.CodePage)) {
    AddWarning(warnings,
               "unknown code page \"" + configuration.CodePage + "\" in " + path + "; UTF-8 is used");
    configuration.CodePage = "UTF-8";
  }
  if (!configuration.SdcReadTimeout.empty() && ReadTimeoutSeconds(configuration) == 0) {
    AddWarning(warnings, "SdcReadTimeout \"" + configuration.SdcReadTimeout + "\" in " + path +
                             " is not a number of seconds from 1 to 3600; 60 is used");
    configuration.SdcReadTimeout.clear();
  }
  if (!configuration.SdcRequestDeadline.empty() && RequestDeadlineSeconds(configuration) == 0) {
    AddWarning(warnings, "SdcRequestDeadline \"" + configuration.SdcRequestDeadline + "\" in " + path +
                             " is not a number of seconds from 1 to 36000; three times the read time-out is used");
    configuration.SdcRequestDeadline.clear();
  }
  if (!configuration.CertWarningDays.empty() && SecondsFrom(configuration.CertWarningDays, 365) == 0) {
    AddWarning(warnings, "CertWarningDays \"" + configuration.CertWarningDays + "\" in " + path +
                             " is not a number of days from 1 to 365; 30 is used");
    configuration.CertWarningDays.clear();
  }
  if (!configuration.ApiWaitSeconds.empty() && SecondsFrom(configuration.ApiWaitSeconds, 300) == 0) {
    AddWarning(warnings, "ApiWaitSeconds \"" + configuration.ApiWaitSeconds + "\" in " + path +
                             " is not a number of seconds from 1 to 300; 10 is used");
    configuration.ApiWaitSeconds.clear();
  }
  configuration.DeriveFolders();
  return configuration;
}

int ReadTimeoutSeconds(const Configuration& configuration) { return SecondsFrom(configuration.SdcReadTimeout, 3600); }

int RequestDeadlineSeconds(const Configuration& configuration) {
  return SecondsFrom(configuration.SdcRequestDeadline, 36000);
}

int CertificateWarningDays(const Configuration& configuration) {
  const int days = SecondsFrom(configuration.CertWarningDays, 365);
  return days == 0 ? 30 : days;
}

int ApiWaitSeconds(const Configuration& configuration) {
  const int seconds = SecondsFrom(configuration.ApiWaitSeconds, 300);
  return seconds == 0 ? 10 : seconds;
}

bool VerifiesProcessorServer(const Configuration& configuration) {
  for (const char* off : {"0", "no", "off", "false"}) {
    if (EqualsIgnoringAsciiCase(configuration.SdcVerifyServer, off)) return false;
  }
  return true;
}


std::unique_ptr<db::Database> ConnectDatabase(const Configuration& configuration) {
  db::Database::Options options;
  options.name = configuration.DB_Fullname;
  options.user = "SYSDBA";
  options.password = configuration.DB_Password;  // empty: none is sent
  return db::Database::Attach(options);
}

}  // namespace telvano::core
