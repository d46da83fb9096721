#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "db/schema.h"
#include "support/temp_dir.h"

namespace telvano::testing {

// A certificate row of the installation's cert_se.
struct CertificateRow {
  std::string serial;
  std::string url;
  bool lpfr = true;
  std::string tin = "111911206";
  std::string unit = "PJ00001 Centar";
  std::string envName = "СУФ Развој";
  bool withEnvName = true;  // a database below 10.14 has no env_name column yet
};

// What one run of telvano-setup did.
struct SetupRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// A complete installation in a temporary folder (program folders, exchange tree, database with secrets and
// certificates, configuration file) and the real `telvano` program started on it, headless, as a POS starts
// it.
class E2eInstallation {
 public:
  static constexpr const char* kSoftKey = "kasa-soft";
  static constexpr const char* kLoginSecret = "operater";

  explicit E2eInstallation(db::SchemaLevel level = db::SchemaLevel::Ddl10_16);
  ~E2eInstallation();

  void AddCertificate(const CertificateRow& row);
  void SetSetting(const std::string& key, const std::string& value);
  // Adds `key=value` to the configuration file (read at the next start).
  void AddConfiguration(const std::string& key, const std::string& value);
  // Hands the database file to a Firebird server's user and names it "localhost:<path>" in the
  // configuration, with the server's SYSDBA password.
  void UseDatabaseServer(const std::string& password);
  // One more `name=value` in the program's environment at its next start (NOTIFY_SOCKET, JOURNAL_STREAM …).
  void SetEnvironment(const std::string& name, const std::string& value) { m_environment.push_back(name + "=" + value); }
  void ClearEnvironment() { m_environment.clear(); }
  pid_t Pid() const { return m_pid; }

  // Starts telvano with `arguments`; its stderr goes to StderrText(). Headless, unless a display is named
  // (an X display such as ":93"): then it shows its windows there.
  void Start(const std::vector<std::string>& arguments, const std::string& display = {});
  // Starts one more telvano on the same installation and waits for it to end; returns its exit code. A
  // `lockDir` of its own makes it start as another user's program would (another runtime folder).
  int RunAnother(const std::vector<std::string>& arguments, std::chrono::milliseconds limit,
                 const std::filesystem::path& lockDir = {});
  // Waits for the program to end (fails the test after `limit`, then kills it); returns its exit code.
  int WaitForExit(std::chrono::milliseconds limit);
  bool Running();
  // Sends `signal` to the running program.
  void Signal(int signal);

  // Waits until `path` exists (and is not empty); false after `limit`.
  static bool WaitForFile(const std::filesystem::path& path, std::chrono::milliseconds limit);
  // Waits for start_info.txt and returns its line (BOM and CR LF removed); "" after the limit.
  std::string WaitForStartInfo(std::chrono::milliseconds limit = std::chrono::seconds(30));

  void Drop(const std::string& name, const std::string& bytes) const;

  // Runs telvano-setup --root Root() with `arguments` (separate words) and collects what it printed.
  SetupRun RunSetup(std::vector<std::string> arguments) const;

  std::filesystem::path Root() const { return m_root.Path(); }
  std::filesystem::path Input() const { return m_root.Path() / "Exch" / "SDC_Inp"; }
  std::filesystem::path Output() const { return m_root.Path() / "Exch" / "SDC_Out"; }
  std::filesystem::path Archive() const { return m_root.Path() / "Exch" / "Archive"; }
  std::filesystem::path CertificateDir() const { return m_root.Path() / "Data" / "Certificate"; }
  std::filesystem::path RunTime() const { return m_root.Path() / "App" / "RunTime"; }
  std::filesystem::path DatabasePath() const { return m_root.Path() / "Data" / "TELVANO.FDB"; }
  std::filesystem::path RegistryPath() const { return m_root.Path() / "TELVANO.conf"; }
  std::string Log() const;
  std::string StderrText() const;
  std::filesystem::path StderrPath() const { return m_root.Path() / "stderr.txt"; }
  void SetRegistryPath(std::filesystem::path path) { m_registry = std::move(path); }
  // The DB_VERSION mark as stored (the program must have ended).
  std::string StoredDbVersion() const;

 private:
  pid_t Spawn(const std::vector<std::string>& arguments, const std::filesystem::path& stderrFile,
              const std::string& display = {}, const std::filesystem::path& lockDir = {}) const;

  TempDir m_root;
  std::filesystem::path m_registry;
  std::vector<std::string> m_environment;
  pid_t m_pid = -1;
};

// A one-item normal sale: Kafa 10 × 1 under label Ђ, paid cash.
std::string SampleInvoice(const std::string& item = "Kafa");

}  // namespace telvano::testing
