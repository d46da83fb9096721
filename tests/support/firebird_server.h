#pragma once

#include "db/schema.h"

#include <chrono>
#include <filesystem>
#include <string>

namespace telvano::testing {

// The machine's Firebird server (Debian's firebird3.0-server on 127.0.0.1:3050), started and stopped through
// scripts/firebird-server.sh, for tests that need a real server that can go away and come back.
//
//   if (!FirebirdServer::Available()) GTEST_SKIP() << FirebirdServer::kUnavailable;
//   FirebirdServer server;                       // waits until no other test holds the server
//   server.Start();
//   auto options = db::Database::Options::For(server.CreateDatabase(folder.Path() / "telvano.fdb"));
//   options.password = server.Password();
//
// There is one server per machine, so an object holds a lock (a file lock, across test processes) for its
// whole life: a test that stops the server never pulls it away from another one. The server is left in the
// state it was found in (stopped again when it was not running before).
class FirebirdServer {
 public:
  static constexpr const char* kUnavailable =
      "no Firebird server here: needs root and `scripts/firebird-server.sh install` (scripts/test.sh runs "
      "it)";

  // The script and the package are installed, and this process may start and stop the server (root).
  static bool Available();

  // Throws std::runtime_error when another test holds the server for longer than `lockWait`.
  explicit FirebirdServer(std::chrono::seconds lockWait = std::chrono::seconds(240));
  ~FirebirdServer();
  FirebirdServer(const FirebirdServer&) = delete;
  FirebirdServer& operator=(const FirebirdServer&) = delete;

  // Both return once the server accepts logins (Start) or nothing listens on its port any more (Stop), and
  // throw std::runtime_error with the script's output when that does not happen within its bounded wait.
  void Start();
  void Stop();
  bool Running() const;

  // SYSDBA's password, for Options::password and DB_Password.
  std::string Password();

  // A complete TELVANO database at `file` (the schema at `level`), handed to the server's user (the file and
  // its folder; the folder must exist). Returns the name to attach it by ("localhost:/abs/path", as in
  // DB_Fullname). The server holds the file while any attachment is open; remove it only after they are.
  std::string CreateDatabase(const std::filesystem::path& file,
                             db::SchemaLevel level = db::SchemaLevel::Ddl10_16);

 private:
  int m_lock = -1;
  bool m_wasRunning = false;
  std::string m_password;
};

}  // namespace telvano::testing
