#pragma once

#include <stdexcept>
#include <string>

namespace telvano::core {

// The registry's error text when a key is missing; the process shows it and ends with exit code 0.
inline constexpr const char* kRegistryErrorText =
    "Nema kljuceva u registry-ju!\n\nThere are no keys in the registry!";

class RegistryError : public std::runtime_error {
 public:
  RegistryError() : std::runtime_error(kRegistryErrorText) {}
};

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

// The registry stand-in: a key=value file. Its path is $TELVANO_REGISTRY, else /etc/xdg/Dravicor/TELVANO.conf.
std::string RegistryPath();

// Reads the configuration from the registry file at `path`. A missing or unreadable file reads as missing
// keys; an empty Appl_Root, DB_Fullname or Exchange_Root (checked in that order) raises RegistryError.
// Lines that are blank or start with "#" or ";" are ignored; unknown keys and lines without "=" are
// reported through `warnings` (one text per line) and otherwise ignored.
Configuration LoadConfiguration(const std::string& path, std::string* warnings = nullptr);

}  // namespace telvano::core
