#pragma once

#include <iosfwd>
#include <string>

namespace telvano::setup {

// Where Debian's firebird3.0-server keeps SYSDBA's password (root only; ISC_PASSWORD=... lines), and the
// user its server runs as.
inline constexpr const char* kSysdbaPasswordFile = "/etc/firebird/3.0/SYSDBA.password";
inline constexpr const char* kServerUser = "firebird";

// SYSDBA's password from a file of shell assignments like Debian's SYSDBA.password: the value of its
// ISC_PASSWORD line without surrounding quotes. Throws std::runtime_error when the file cannot be read or
// has no such line.
std::string ReadSysdbaPassword(const std::string& file = kSysdbaPasswordFile);

// True for a DB_Fullname that names a database on a server ("host:/path", "host/port:/path"), false for a
// file that the embedded engine opens.
bool IsServerDatabaseName(const std::string& dbFullname);

// The DB_Fullname of a database file reached through the server on `host` (HOST or HOST/PORT):
// "localhost:/abs/path", "dbhost/3051:/abs/path", "[::1]:/abs/path".
std::string ServerDatabaseName(const std::string& host, const std::string& databaseFile);

// True when `host` (HOST or HOST/PORT, as --db-server takes it) gives a DB_Fullname that names a server.
bool NamesDatabaseServer(const std::string& host);

// Hands a database file over to the server's user, since the server, not the program, opens it: the file
// becomes firebird's (and its group's) with mode 0660; its folder, and the BackupDB folder beside it where the
// server writes the backups, become firebird's with rwx for the owner (their group and the rest of their mode
// stay); every folder above gets the others' x bit where it lacks it, so the server can reach the file.
// Reports each change on `out`; throws std::runtime_error when there is no such user or a change is refused.
void GiveDatabaseToServer(const std::string& databaseFile, std::ostream& out);

// Attaches to `databaseName` ("host:path") as SYSDBA with `password` and detaches again; returns "" when
// that works, else why not (Firebird's text).
std::string ServerLoginProblem(const std::string& databaseName, const std::string& password);

}  // namespace telvano::setup
