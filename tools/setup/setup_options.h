#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/schema.h"

namespace telvano::setup {

// What one run of telvano-setup is asked to do.
struct SetupOptions {
  std::string root;                                         // --root DIR: the installation folder
  // --system: the machine's installation: data under /var/lib/telvano unless --root says otherwise, the
  // configuration at /etc/xdg/Dravicor/TELVANO.conf (read without TELVANO_REGISTRY), the data given to the
  // service user "telvano" when it exists and no --owner is given.
  bool system = false;
  std::string configFile;  // the configuration file; empty: root/TELVANO.conf
  std::string owner;       // --owner USER[:GROUP]: the data belongs to USER, the configuration is its group's
  std::string helperDir;   // programs linked into RunTime; empty: HelperProgramFolder() (Ostrapo of the package)
  std::optional<std::string> loginSecret;                   // --login-secret S
  std::optional<std::string> softSecret;                    // --soft-secret S
  db::SchemaLevel schemaLevel = db::SchemaLevel::Ddl10_16;  // --schema-level 10.10|10.16
  bool force = false;                                       // --force: replace an existing database
  std::string printDir;                                     // --print-dir DIR (default DIR/Prints)
  std::string codePage = "UTF-8";                           // --code-page CP
  // --db-server HOST (or HOST/PORT): the database is reached through the Firebird server there; its file is
  // given to the server's user. --db-password PW: SYSDBA's password on it; empty: read from Debian's
  // /etc/firebird/3.0/SYSDBA.password.
  std::string dbServer;
  std::string dbPassword;

  // --add-lpfr URL --uid SERIAL [--tin TIN] [--unit UNIT] [--env-name NAME]: a local processor's
  // certificate row, so the installation has a working certificate to start with.
  std::string lpfrUrl;
  std::string lpfrUid;
  std::string lpfrTin;
  std::string lpfrUnit;
  std::string lpfrEnvName;

  // On an existing installation, the certificate procedures of the operator's window, without a display:
  // --import-pfx FILE --pfx-password PASS --pac PAC [--developer-tin TIN] [--url URL] imports a taxpayer's
  // PFX file as the VPFR working certificate (--url replaces the address the certificate carries);
  // --register-lpfr URL --pin PIN --developer-tin TIN registers a local processor.
  std::string pfxFile;
  std::string pfxPassword;
  std::string pac;
  std::string vpfrUrl;
  std::string registerLpfrUrl;
  std::string pin;
  std::string developerTin;

  // --install-program FILE (repeatable): auxiliary programs copied into RunTime (the receipt-print
  // sender Ostrapo, the companion Vexo), executable, replacing an older copy.
  std::vector<std::string> programs;

  // --api-token: writes a fresh random bearer token for the local API into ApplData/api_token (0600, the
  // installation's owner's) and prints where it is.
  bool apiToken = false;
  // Looking after an existing installation: --status [--json] [--unsigned-minutes M] says how it stands,
  // with the exit codes of a monitoring plugin; --backup [--keep N] takes the database's backup as the
  // operator's menu does and keeps the N newest daily ones.
  bool status = false;
  bool json = false;
  int unsignedMinutes = 30;  // no signature this long while invoices wait: a warning
  bool backup = false;
  int keep = 14;

  bool help = false;
};

// The usage text printed for --help and after a wrong argument.
std::string UsageText();

// Reads the arguments (without the program name). Returns nullopt and sets `error` for an unknown option,
// a missing value, a schema level other than 10.10/10.16, an empty secret or a missing --root (--system
// needs none).
std::optional<SetupOptions> ParseSetupArguments(const std::vector<std::string>& arguments,
                                                std::string& error);

}  // namespace telvano::setup
