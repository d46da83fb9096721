#pragma once

#include <string>
#include <string_view>

namespace telvano::db {

// A Firebird connection string (DB_Fullname) taken apart: which engine opens the database and where the file
// lies for that engine.
struct ConnectionString {
  std::string host;  // the server's name or address, without brackets; empty: this process opens the file
  std::string port;  // the port number or service name given after the host; empty: Firebird's default
  std::string path;  // the database file (or an alias) as the engine that opens it sees it

  bool ThroughServer() const { return !host.empty(); }
  // Embedded, or a server reached at a loopback name ("localhost", 127.x.x.x, "::1"): the path is then a
  // path of this machine. Another host's path means nothing here.
  bool OnThisMachine() const;
};

// Reads the forms Firebird's client accepts on Linux:
//   /srv/data/fb.fdb, fb.fdb          a file opened by this process (embedded)
//   host:path, host/port:path         a server; port is a number or a service name ("gds_db")
//   [::1]:path, [::1]/3051:path       an IPv6 address in brackets (brackets around any host are allowed)
//   inet://host[:port]/path           the URL form (also inet4://, inet6://); "inet://host//srv/fb.fdb" for
//                                     an absolute path, "inet:///srv/fb.fdb" or "inet://fb.fdb" for a server
//                                     on this machine (Firebird then connects to "localhost")
// The first ":" ends the host part, as in Firebird. A part before it that is not a host name or address
// with an optional "/port" (it starts with "/" or ".", holds blanks or a second "/") is no host: the whole
// text is a path ("/srv/a:b/fb.fdb"); so is a text that starts or ends with its only ":".
// Linux has no drive letters: "C:/data/fb.fdb" names the host C, as Firebird's client reads it. An alias
// stays as it is in `path`; which file it stands for only the engine's databases.conf knows.
// Never raises: every text reads as something, at worst as a path that opens nothing.
ConnectionString ReadConnectionString(std::string_view text);

}  // namespace telvano::db
