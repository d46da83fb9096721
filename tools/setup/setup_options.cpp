#include "setup_options.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "certificate_setup.h"
#include "system_install.h"

namespace telvano::setup {

namespace {

bool ReadCount(const std::string& text, int& value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoi(text);
  return value >= 1 && value <= 100000;
}

// --status and --backup look after an existing installation and take none of the options that make or
// change one.
bool CheckMaintenanceOptions(const std::vector<std::string>& arguments, const SetupOptions& options,
                             std::string& error) {
  const auto given = [&arguments](const char* option) {
    return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
  };
  const bool statusOnly = options.json || given("--unsigned-minutes");
  const bool backupOnly = given("--keep");
  if (statusOnly && !options.status) {
    error = "--json and --unsigned-minutes go with --status";
    return false;
  }
  if (backupOnly && !options.backup) {
    error = "--keep goes with --backup";
    return false;
  }
  if (!options.status && !options.backup) return true;
  for (const std::string& argument : arguments) {
    if (argument.rfind("--", 0) != 0) continue;
    static const char* const kAllowed[] = {"--status", "--json", "--unsigned-minutes", "--backup", "--keep",
                                           "--system", "--root"};
    if (std::find(std::begin(kAllowed), std::end(kAllowed), argument) == std::end(kAllowed)) {
      error = "--status and --backup take --root DIR or --system and their own options, not " + argument;
      return false;
    }
  }
  if (options.status && options.backup) {
    error = "--status and --backup are two separate runs";
    return false;
  }
  return true;
}

// The options followed by a value, each with the text it fills.
std::map<std::string, std::string*> ValuedOptions(SetupOptions& options, std::string& schemaLevel) {
  return {
      {"--root", &options.root},
      {"--print-dir", &options.printDir},
      {"--code-page", &options.codePage},
      {"--schema-level", &schemaLevel},
      {"--add-lpfr", &options.lpfrUrl},
      {"--uid", &options.lpfrUid},
      {"--tin", &options.lpfrTin},
      {"--unit", &options.lpfrUnit},
      {"--env-name", &options.lpfrEnvName},
      {"--owner", &options.owner},
      {"--db-server", &options.dbServer},
      {"--db-password", &options.dbPassword},
      {"--import-pfx", &options.pfxFile},
      {"--pfx-password", &options.pfxPassword},
      {"--pac", &options.pac},
      {"--url", &options.vpfrUrl},
      {"--register-lpfr", &options.registerLpfrUrl},
      {"--pin", &options.pin},
      {"--developer-tin", &options.developerTin},
  };
}

// The options without a value; false when `argument` is none of them.
bool TakeSwitch(const std::string& argument, SetupOptions& options) {
  if (argument == "--force") {
    options.force = true;
    return true;
  }
  if (argument == "--system") {
    options.system = true;
    return true;
  }
  if (argument == "--api-token") {
    options.apiToken = true;
    return true;
  }
  if (argument == "--status" || argument == "--json" || argument == "--backup") {
    (argument == "--status" ? options.status : argument == "--json" ? options.json : options.backup) = true;
    return true;
  }
  return false;
}

// Once every argument is read: the folders of a system installation, the schema level by its number, and
// the options that only go together. False with `error` set when they do not fit.
bool SettleInstallationOptions(const std::string& schemaLevel, SetupOptions& options, std::string& error) {
  if (options.system) {
    if (options.root.empty()) options.root = kSystemDataRoot;
    options.configFile = kSystemConfigFile;
  }
  if (options.root.empty()) {
    error = "--root DIR or --system is required";
    return false;
  }
  if (schemaLevel == "10.16") {
    options.schemaLevel = db::SchemaLevel::Ddl10_16;
  } else if (schemaLevel == "10.10") {
    options.schemaLevel = db::SchemaLevel::Ddl10_10;
  } else {
    error = "--schema-level must be 10.10 or 10.16, not \"" + schemaLevel + "\"";
    return false;
  }
  if (options.lpfrUrl.empty() != options.lpfrUid.empty()) {
    error = "--add-lpfr URL and --uid SERIAL go together";
    return false;
  }
  if (!options.dbPassword.empty() && options.dbServer.empty()) {
    error = "--db-password PW goes with --db-server HOST";
    return false;
  }
  return true;
}

}  // namespace

std::string UsageText() {
  return "usage: telvano-setup --root DIR | --system [--root DIR] [--owner USER[:GROUP]]\n"
         "                     [--login-secret S] [--soft-secret S] [--schema-level 10.10|10.16]\n"
         "                     [--force] [--print-dir DIR] [--code-page CP]\n"
         "                     [--add-lpfr URL --uid SERIAL [--tin TIN] [--unit UNIT] [--env-name NAME]]\n"
         "                     [--install-program FILE]... [--db-server HOST [--db-password PW]]\n"
         "                     [--api-token]\n"
         "       telvano-setup --root DIR|--system --import-pfx FILE --pfx-password PASS --pac PAC\n"
         "                     [--developer-tin TIN] [--url URL]\n"
         "       telvano-setup --root DIR|--system --register-lpfr URL --pin PIN --developer-tin TIN\n"
         "       telvano-setup --root DIR|--system --status [--json] [--unsigned-minutes M]\n"
         "       telvano-setup --root DIR|--system --backup [--keep N]\n"
         "\n"
         "Creates a TELVANO installation under DIR: DIR/TELVANO (ApplData, Logs, RunTime), DIR/ExchData\n"
         "(SDC_Inp, SDC_Out, Archive), DIR/Data (TELVANO.FDB, Certificate, BackupDB), DIR/Prints and the\n"
         "configuration file DIR/TELVANO.conf. An existing database is never replaced without --force.\n"
         "With --add-lpfr or --install-program on an existing installation only the certificate row is "
         "added\n"
         "and the programs are copied into DIR/TELVANO/RunTime.\n"
         "\n"
         "--system makes the machine's installation: the data under /var/lib/telvano (or --root DIR) and the\n"
         "configuration at /etc/xdg/Dravicor/TELVANO.conf, where telvano looks without TELVANO_REGISTRY; the\n"
         "data is given to the user \"telvano\" (telvano.service) when it exists. --owner USER[:GROUP] gives\n"
         "the data to USER and its group (rw for both, nothing for others) and the configuration to the group.\n"
         "The package's helper programs (Ostrapo in /usr/lib/telvano) are linked into RunTime.\n"
         "\n"
         "--db-server HOST makes the database one that the Firebird server on HOST (or HOST/PORT) opens: the\n"
         "file, its folder and BackupDB (the server writes the backups) are given to the server's user\n"
         "firebird, the configuration gets DB_Fullname=HOST:/path and DB_Password (from --db-password, else\n"
         "from /etc/firebird/3.0/SYSDBA.password) and mode 0600.\n"
         "\n"
         "--api-token writes a fresh random token for the local HTTP API into DIR/TELVANO/ApplData/api_token\n"
         "(mode 0600, the data's owner's) and prints its path: name it with ApiTokenFile= in the configuration.\n"
         "On an existing installation it replaces the token and changes nothing else.\n"
         "\n"
         "--import-pfx and --register-lpfr work on an existing installation, as the window \"Radni CERT\" does:\n"
         "the taxpayer's PFX/P12 file becomes the VPFR working certificate (--url replaces the processor\n"
         "address the certificate carries), or the local processor at URL is checked, given the PIN and\n"
         "registered through a test invoice. Each prints the serial of the new working certificate, or the\n"
         "reason on stderr and exits with 1.\n"
         "\n"
         "--status tells how the installation stands, as a monitoring plugin does: one line, then the details\n"
         "(--json: one JSON object). Exit code 0 all well, 1 warning (the certificate ends within CertWarningDays,\n"
         "an invoice held, no signature for M minutes (default 30) while invoices wait, the last backup older than\n"
         "two days), 2 critical (database or processor unreachable, certificate ended, a folder full, TELVANO\n"
         "hung), 3 unknown (the installation cannot be read).\n"
         "--backup takes the database's backup as the menu's \"Backup baze podataka\" does, also while TELVANO\n"
         "runs (it then takes it between two files), and removes the oldest daily backups beyond N (default 14).\n"
         "Run as root, both first become the installation's owner.\n";
}

std::optional<SetupOptions> ParseSetupArguments(const std::vector<std::string>& arguments,
                                                std::string& error) {
  SetupOptions options;
  std::string schemaLevel = "10.16";
  const std::map<std::string, std::string*> valued = ValuedOptions(options, schemaLevel);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (TakeSwitch(argument, options)) continue;
    if (argument == "--keep" || argument == "--unsigned-minutes") {
      if (i + 1 >= arguments.size() || !ReadCount(arguments[i + 1], argument == "--keep" ? options.keep : options.unsignedMinutes)) {
        error = argument + " needs a whole number from 1 to 100000";
        return std::nullopt;
      }
      ++i;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      return options;
    }
    const bool isSecret = argument == "--login-secret" || argument == "--soft-secret";
    const bool isProgram = argument == "--install-program";
    const auto slot = valued.find(argument);
    if (!isSecret && !isProgram && slot == valued.end()) {
      error = "unknown argument \"" + argument + "\"";
      return std::nullopt;
    }
    if (i + 1 >= arguments.size()) {
      error = argument + " needs a value";
      return std::nullopt;
    }
    const std::string& value = arguments[++i];
    if (isSecret) {
      if (value.empty()) {
        // The stored form of an empty text would let every start without parameters pass as proven.
        error = argument + " must not be empty";
        return std::nullopt;
      }
      (argument == "--login-secret" ? options.loginSecret : options.softSecret) = value;
    } else if (isProgram) {
      options.programs.push_back(value);
    } else {
      *slot->second = value;
    }
  }
  if (!SettleInstallationOptions(schemaLevel, options, error)) return std::nullopt;
  if (!CheckMaintenanceOptions(arguments, options, error)) return std::nullopt;
  if (!CheckCertificateOptions(options, error)) return std::nullopt;
  if (options.codePage.empty()) options.codePage = "UTF-8";
  return options;
}

}  // namespace telvano::setup
