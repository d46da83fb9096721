#include "installation.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <system_error>
#include <vector>

#include <openssl/rand.h>

#include "certificate_setup.h"
#include "core/configuration.h"
#include "db/database.h"
#include "db/schema.h"
#include "db/settings.h"
#include "platform/clock.h"
#include "platform/single_instance_lock.h"
#include "platform/whole_file.h"
#include "core/stored_secret.h"
#include "database_server.h"
#include "installation_owner.h"
#include "status_output.h"
#include "unattended_backup.h"
#include "system_install.h"

namespace telvano::setup {
namespace fs = std::filesystem;

namespace {

std::string AbsoluteRoot(const std::string& root) {
  std::string path = fs::absolute(fs::path(root)).lexically_normal().string();
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool FitsOnOneLine(const std::string& value) { return value.find_first_of("\r\n") == std::string::npos; }

void CreateFolders(const InstallationLayout& layout, std::ostream& out) {
  const std::string folders[] = {
      layout.applRoot + "/ApplData",    layout.applRoot + "/Logs",        layout.applRoot + "/RunTime",
      layout.exchangeRoot + "/SDC_Inp", layout.exchangeRoot + "/SDC_Out", layout.exchangeRoot + "/Archive",
      layout.dataDir + "/Certificate",  layout.dataDir + "/BackupDB",     layout.printDir,
  };
  for (const std::string& folder : folders) {
    if (fs::create_directories(folder)) out << "  created folder   " << folder << "\n";
  }
}

// Written whole through the durable write (a fresh temporary name, never through a link), so a reader never
// sees half a configuration. With a database server it holds SYSDBA's password (`dbPassword`) and is
// created readable by its owner only.
void WriteConfiguration(const InstallationLayout& layout, const SetupOptions& options,
                        const std::string& dbPassword, std::ostream& out) {
  fs::create_directories(fs::path(layout.configFile).parent_path());
  const bool server = !options.dbServer.empty();
  std::ostringstream text;
  text << "# TELVANO configuration, written by telvano-setup.\n"
       << "# Use it with: export TELVANO_REGISTRY=" << ShellQuoted(layout.configFile) << "\n"
       << "Appl_Root=" << layout.applRoot << "\n"
       << "DB_Fullname=" << (server ? ServerDatabaseName(options.dbServer, layout.database) : layout.database)
       << "\n"
       << "Exchange_Root=" << layout.exchangeRoot << "\n"
       << "CodePage=" << options.codePage << "\n"
       << "PrintFileDir=" << layout.printDir << "\n";
  if (server) text << "DB_Password=" << dbPassword << "\n";
  platform::WriteFileDurably(layout.configFile, text.str(), server ? 0600 : 0644);
  out << "  wrote            " << layout.configFile << "\n";
}

void StoreSecrets(db::Database& database, const SetupOptions& options, std::ostream& out) {
  if (options.loginSecret) {
    db::WriteSetting(database, "LOGIN_SECRET", core::StoredSecretForm(*options.loginSecret));
    out << "  stored           LOGIN_SECRET (SHA-512 of the lower-cased login secret)\n";
  } else {
    out << "  not stored       LOGIN_SECRET: no --login-secret given, so nobody can log in interactively "
           "yet\n";
  }
  if (options.softSecret) {
    db::WriteSetting(database, "SOFT_SECRET", core::StoredSecretForm(*options.softSecret));
    out << "  stored           SOFT_SECRET (SHA-512 of the lower-cased software secret)\n";
  } else {
    out << "  not stored       SOFT_SECRET: no --soft-secret given, so the POS cannot start TELVANO "
           "unattended yet\n";
  }
}

// The certificate row of a local processor; a row with the same serial is replaced.
void AddLpfrCertificate(db::Database& database, const SetupOptions& options, std::ostream& out) {
  db::Database::Transaction transaction(database);
  database.Execute("delete from cert_se where serial=?", {options.lpfrUid});
  database.Execute(
      "insert into cert_se(serial,ind_act,ind_lpfr,sub_tin,sub_ou,srv_url,env_name) values(?,?,?,?,?,?,?)",
      {options.lpfrUid, std::string("Y"), std::string("Y"), db::SqlValue(options.lpfrTin),
       db::SqlValue(options.lpfrUnit), options.lpfrUrl, db::SqlValue(options.lpfrEnvName)});
  transaction.Commit();
  out << "  added            local processor certificate " << options.lpfrUid << " at " << options.lpfrUrl
      << "\n";
}

void InstallPrograms(const InstallationLayout& layout, const SetupOptions& options, std::ostream& out) {
  for (const std::string& program : options.programs) {
    const fs::path target = fs::path(layout.applRoot) / "RunTime" / fs::path(program).filename();
    if (fs::is_symlink(target)) fs::remove(target);  // a link to the package's program, never written through
    fs::copy_file(program, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
    out << "  installed        " << target.string() << "\n";
  }
}

void CreateDatabase(const InstallationLayout& layout, const SetupOptions& options, std::ostream& out) {
  if (fs::exists(layout.database)) {
    fs::remove(layout.database);
    out << "  removed          the old database " << layout.database << " (--force)\n";
  }
  try {
    db::Database::Options dbOptions;
    dbOptions.name = layout.database;
    auto database = db::Database::Create(dbOptions);
    db::CreateSchema(*database, options.schemaLevel);
    StoreSecrets(*database, options, out);
    if (!options.lpfrUrl.empty()) AddLpfrCertificate(*database, options, out);
    database->Close();
  } catch (...) {
    // A half-built database would make the next run refuse without --force.
    std::error_code ignored;
    fs::remove(layout.database, ignored);
    throw;
  }
  out << "  created database " << layout.database << " at level " << db::VersionMark(options.schemaLevel)
      << "\n";
}

std::string HelperFolder(const SetupOptions& options) {
  return options.helperDir.empty() ? HelperProgramFolder() : options.helperDir;
}

// After the handover the server, not this program, opens the database: a login through it tells at once
// whether the server runs and takes the password. A server that is not running yet is no failure.
void UseDatabaseServer(const InstallationLayout& layout, const std::string& host, const std::string& password,
                       std::ostream& out, std::ostream& err) {
  GiveDatabaseToServer(layout.database, out);
  const std::string name = ServerDatabaseName(host, layout.database);
  const std::string problem = ServerLoginProblem(name, password);
  if (problem.empty()) {
    out << "  checked          the server opens " << name << "\n";
  } else {
    err << "telvano-setup: warning: the server does not open " << name << " (yet): " << problem << "\n";
  }
}

// --owner, or for --system the service user once the package has made it.
std::string DataOwner(const SetupOptions& options) {
  if (!options.owner.empty() || !options.system || !UserExists(kServiceUser)) return options.owner;
  return kServiceUser;
}

// A fresh token for the local API: 32 random bytes as 64 hex digits, readable by the data's owner only.
void WriteApiToken(const InstallationLayout& layout, const std::string& owner, std::ostream& out) {
  unsigned char bytes[32];
  if (RAND_bytes(bytes, sizeof bytes) != 1) throw std::runtime_error("no random bytes for the API token");
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (const unsigned char byte : bytes) {
    token.push_back(kHex[byte >> 4]);
    token.push_back(kHex[byte & 0x0F]);
  }
  const std::string path = layout.applRoot + "/ApplData/api_token";
  platform::WriteFileDurably(path, token + "\n", 0600);
  if (!owner.empty()) ShareWithOwnerGroup(path, owner, true);
  out << "  wrote            the API token " << path << " (ApiTokenFile=" << path << ")\n";
}

int ExtendExisting(const InstallationLayout& layout, const SetupOptions& options, std::ostream& out) {
  out << "telvano-setup: adding to the existing installation in " << layout.root << "\n";
  if (!options.lpfrUrl.empty()) {
    db::Database::Options dbOptions;
    dbOptions.name = layout.database;
    auto database = db::Database::Attach(dbOptions);
    AddLpfrCertificate(*database, options, out);
    database->Close();
  }
  InstallPrograms(layout, options, out);
  LinkHelperPrograms(HelperFolder(options), layout.applRoot + "/RunTime", out);
  if (options.apiToken) WriteApiToken(layout, DataOwner(options), out);
  out << "Done; nothing else was changed.\n";
  return 0;
}

// Takes the installation's lock for a run that changes it; false (with the reason on `err`) while a program
// works on the installation. An installation without its ApplData folder has no program to guard against.
bool TakeInstallationLock(platform::SingleInstanceLock& lock, std::ostream& err) {
  try {
    if (lock.TryAcquire()) return true;
    err << "telvano-setup: TELVANO is running on this installation (it holds " << lock.Path() << ")\n"
        << "telvano-setup: nothing was changed; stop it first\n";
    return false;
  } catch (const std::system_error& error) {
    if (error.code() == std::errc::no_such_file_or_directory) return true;
    err << "telvano-setup: " << error.what() << "\n";
    return false;
  }
}

// A DB_Fullname with a host ("host:/path", "host/port:/path", "inet://...") names a database that a
// Firebird server opens.
bool UsesDatabaseServer(const std::string& configFile) {
  try {
    return IsServerDatabaseName(core::LoadConfiguration(configFile).DB_Fullname);
  } catch (const std::exception&) {
    return false;
  }
}


void GiveInstallationToOwner(const InstallationLayout& layout, const std::string& owner, bool rootIsNew,
                             bool serverPassword, std::ostream& out) {
  if (rootIsNew) GiveToOwner(layout.root, owner, true);
  GiveToOwner(layout.exchangeRoot, owner, true);
  for (const std::string& tree : {layout.applRoot, layout.dataDir, layout.printDir}) GiveToOwner(tree, owner);
  ShareWithOwnerGroup(layout.configFile, owner, serverPassword);
  out << "  gave             the data to " << owner << " (the configuration "
      << (serverPassword ? "too" : "to its group") << ")\n";
}

// --status and --backup look after an existing installation, as its owner.
int LookAfter(const SetupOptions& options, const std::string& configFile, std::ostream& out, std::ostream& err) {
  std::string applData;
  try {
    applData = core::LoadConfiguration(configFile).ApplDataDir;
  } catch (const std::exception&) {
    // the status check says that the installation cannot be read; the backup says it too
  }
  if (const std::string problem = applData.empty() ? "" : BecomeInstallationOwner(applData); !problem.empty()) {
    if (options.status) {
      out << "TELVANO UNKNOWN - " << problem << "\n";
      return static_cast<int>(Health::Unknown);
    }
    err << "telvano-setup: backup failed: " << problem << "\n";
    return 1;
  }
  platform::SystemClock clock;
  if (options.backup) return RunBackup(configFile, options.keep, clock, out, err);
  StatusLimits limits;
  limits.unsignedWarning = std::chrono::minutes(options.unsignedMinutes);
  return RunStatus(configFile, options.json, limits, clock, out);
}

}  // namespace

bool ProgramIsRunning(const std::string& lockPath) {
  try {
    platform::SingleInstanceLock lock(lockPath);
    return !lock.TryAcquire();
  } catch (const std::system_error&) {
    return false;  // no lock file can be made here, so no instance can hold one either
  }
}

InstallationLayout::InstallationLayout(const SetupOptions& options)
    : root(AbsoluteRoot(options.root)),
      applRoot(root + "/TELVANO"),
      exchangeRoot(root + "/ExchData"),
      dataDir(root + "/Data"),
      database(dataDir + "/TELVANO.FDB"),
      printDir(options.printDir.empty() ? root + "/Prints" : AbsoluteRoot(options.printDir)),
      configFile(options.configFile.empty() ? root + "/TELVANO.conf" : options.configFile) {}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

namespace {

// What must hold before anything is changed: every text that goes into the configuration file fits on one
// line, the database server is named as one, and every program to install exists. Says why not on `err`.
bool ArgumentsFit(const SetupOptions& options, const InstallationLayout& layout, std::ostream& err) {
  if (!FitsOnOneLine(layout.root) || !FitsOnOneLine(layout.printDir) || !FitsOnOneLine(options.codePage) ||
      !FitsOnOneLine(options.dbServer) || !FitsOnOneLine(options.dbPassword)) {
    err << "telvano-setup: a folder, code page, server or password with a line break cannot go into the "
           "configuration file\n";
    return false;
  }
  if (!options.dbServer.empty() && !NamesDatabaseServer(options.dbServer)) {
    err << "telvano-setup: --db-server " << options.dbServer
        << " is not a host name or address, with or without /PORT; nothing was changed\n";
    return false;
  }
  for (const std::string& program : options.programs) {
    std::error_code error;
    if (!fs::is_regular_file(program, error)) {
      err << "telvano-setup: cannot install " << program << ": no such file; nothing was changed\n";
      return false;
    }
  }
  return true;
}

// --import-pfx and --register-lpfr on an existing installation.
int RunCertificateProcedures(const SetupOptions& options, const InstallationLayout& layout, std::ostream& out,
                             std::ostream& err) {
  // The procedures change the working certificate and write into the database: never beside a running
  // program. The lock is held until they are done, so no program starts in between.
  platform::SingleInstanceLock installationLock(platform::InstallationLockPath(layout.applRoot + "/ApplData"));
  if (!TakeInstallationLock(installationLock, err)) return 1;
  // The tree is given to its owner before the procedures run (an installation of an earlier version may
  // still have folders the group can write) and again after them, for what they wrote as root; by
  // descriptors, never following a link. With a Firebird server the database and its folder belong to the
  // server's user and only the certificate files are given over.
  const std::string owner = DataOwner(options);
  const auto giveTree = [&]() -> bool {
    if (owner.empty() || !fs::is_directory(layout.dataDir)) return true;
    const std::string data =
        UsesDatabaseServer(layout.configFile) ? layout.dataDir + "/Certificate" : layout.dataDir;
    try {
      GiveToOwner(layout.exchangeRoot, owner, true);
      for (const std::string& tree : {layout.applRoot, data}) GiveToOwner(tree, owner);
      return true;
    } catch (const std::exception& error) {
      err << "telvano-setup: " << error.what() << "\n";
      return false;
    }
  };
  if (!giveTree()) return 1;
  const int code = RunCertificateSetup(options, layout.configFile, out, err);
  return giveTree() ? code : 1;
}

// A new installation (or, with --force, one made anew), or an existing one given programs, a processor or the
// API's token.
int CreateInstallation(const SetupOptions& options, const InstallationLayout& layout, std::ostream& out,
                       std::ostream& err) {
  try {
    const bool databaseExists = fs::exists(layout.database);
    if (databaseExists && !options.force) {
      if (!options.lpfrUrl.empty() || !options.programs.empty() || options.apiToken) {
        return ExtendExisting(layout, options, out);
      }
      err << "telvano-setup: a database already exists at " << layout.database << "\n"
          << "telvano-setup: nothing was changed; use --force to replace it with a fresh one\n";
      return 1;
    }
    std::vector<std::string> lockPaths = {platform::InstallationLockPath(layout.applRoot + "/ApplData"),
                                          platform::DefaultInstanceLockPath()};
    if (options.system) lockPaths.push_back(kServiceLockPath);  // telvano.service's instance
    for (const std::string& lockPath : lockPaths) {
      if (databaseExists && ProgramIsRunning(lockPath)) {
        err << "telvano-setup: TELVANO is running (it holds " << lockPath << ")\n"
            << "telvano-setup: nothing was changed; stop it before its database is replaced\n";
        return 1;
      }
    }
    const std::string owner = DataOwner(options);
    if (!owner.empty()) CheckOwner(owner);
    std::string dbPassword = options.dbPassword;
    if (!options.dbServer.empty() && dbPassword.empty()) dbPassword = ReadSysdbaPassword();
    const bool rootIsNew = !fs::exists(layout.root);
    out << "telvano-setup: creating the installation in " << layout.root << "\n";
    CreateFolders(layout, out);
    CreateDatabase(layout, options, out);
    InstallPrograms(layout, options, out);
    LinkHelperPrograms(HelperFolder(options), layout.applRoot + "/RunTime", out);
    WriteConfiguration(layout, options, dbPassword, out);
    if (!owner.empty()) GiveInstallationToOwner(layout, owner, rootIsNew, !options.dbServer.empty(), out);
    if (options.apiToken) WriteApiToken(layout, owner, out);
    if (!options.dbServer.empty()) UseDatabaseServer(layout, options.dbServer, dbPassword, out, err);
    if (options.system) {
      out << "Done. telvano and Ostrapo read " << layout.configFile << " when TELVANO_REGISTRY is not set.\n";
      return 0;
    }
    out << "Done. Point TELVANO at this installation with:\n"
        << "export TELVANO_REGISTRY=" << ShellQuoted(layout.configFile) << "\n";
    return 0;
  } catch (const std::exception& error) {
    err << "telvano-setup: failed: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace

int RunSetup(const SetupOptions& options, std::ostream& out, std::ostream& err) {
  const InstallationLayout layout(options);
  if (options.status || options.backup) return LookAfter(options, layout.configFile, out, err);
  if (!ArgumentsFit(options, layout, err)) return 1;
  if (WantsCertificate(options)) return RunCertificateProcedures(options, layout, out, err);
  return CreateInstallation(options, layout, out, err);
}

}  // namespace telvano::setup
