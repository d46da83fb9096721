#include "db/database_backup.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "db/connection_string.h"
#include "db/embedded_access.h"
#include "platform/whole_file.h"

namespace telvano::db {

using namespace Firebird;

namespace {

namespace fs = std::filesystem;

// Where the service manager lives and how it names the database file.
struct ServiceAddress {
  std::string service;  // "service_mgr" (this process) or "host:service_mgr"
  std::string path;     // the database file as the engine that runs the service sees it
  bool embedded = true;
};

// The service manager of the engine that opens the database: this process's for a file, the server's (with
// its port, an IPv6 address in brackets) for "host:path", "host/port:path", "[::1]:path" or "inet://...".
ServiceAddress AddressOf(const std::string& name) {
  const ConnectionString where = ReadConnectionString(name);
  if (!where.ThroughServer()) return {"service_mgr", where.path, true};
  std::string server = where.host.find(':') != std::string::npos ? "[" + where.host + "]" : where.host;
  if (!where.port.empty()) server += "/" + where.port;
  return {server + ":service_mgr", where.path, false};
}

// One attachment to a service manager; every action waits until the engine has finished it.
class ServiceManager {
 public:
  ServiceManager(const Database::Options& options, const ServiceAddress& address)
      : m_master(fb_get_master_interface()),
        m_util(m_master->getUtilInterface()),
        m_rawStatus(m_master->getStatus()),
        m_status(m_rawStatus),
        m_provider(m_master->getDispatcher()) {
    try {
      IXpbBuilder* spb = Builder(IXpbBuilder::SPB_ATTACH);
      spb->insertString(&m_status, isc_spb_user_name, options.user.c_str());
      if (!options.password.empty()) spb->insertString(&m_status, isc_spb_password, options.password.c_str());
      // As the connection does: a plain path always runs in this process, "host:" only through the network.
      spb->insertString(&m_status, isc_spb_config,
                        address.embedded ? "Providers=Engine12" : "Providers=Remote");
      const std::string context = "cannot reach the service manager " + address.service;
      Check(spb, context);
      m_service = m_provider->attachServiceManager(
          &m_status, address.service.c_str(), spb->getBufferLength(&m_status), spb->getBuffer(&m_status));
      spb->dispose();
      if (Failed()) {
        m_service = nullptr;
        throw Error(context);
      }
    } catch (...) {
      Cleanup();
      throw;
    }
  }

  ~ServiceManager() { Cleanup(); }
  ServiceManager(const ServiceManager&) = delete;
  ServiceManager& operator=(const ServiceManager&) = delete;

  // Starts one action (its tag, then text and number items) and reads its output until it has ended; the
  // engine reports a failed action in the status of the last query.
  void Run(unsigned char action, const std::vector<std::pair<unsigned char, std::string>>& texts,
           const std::vector<std::pair<unsigned char, int>>& numbers, const std::string& context) {
    IXpbBuilder* spb = Builder(IXpbBuilder::SPB_START);
    spb->insertTag(&m_status, action);
    for (const auto& [tag, value] : texts) spb->insertString(&m_status, tag, value.c_str());
    for (const auto& [tag, value] : numbers) spb->insertInt(&m_status, tag, value);
    Check(spb, context);
    m_service->start(&m_status, spb->getBufferLength(&m_status), spb->getBuffer(&m_status));
    spb->dispose();
    if (Failed()) throw Error(context);
    const unsigned char request[] = {isc_info_svc_line};
    unsigned char buffer[4096];
    for (;;) {
      m_status.init();
      m_service->query(&m_status, 0, nullptr, sizeof request, request, sizeof buffer, buffer);
      if (Failed()) throw Error(context);
      if (!ReadLine(buffer, sizeof buffer)) break;  // an empty line: the action has ended
    }
  }

 private:
  bool Failed() const { return (m_status.getState() & IStatus::STATE_ERRORS) != 0; }

  IXpbBuilder* Builder(unsigned kind) {
    m_status.init();
    IXpbBuilder* builder = m_util->getXpbBuilder(&m_status, kind, nullptr, 0);
    if (Failed()) throw Error("cannot build service parameters");
    return builder;
  }

  void Check(IXpbBuilder* builder, const std::string& context) {
    if (!Failed()) return;
    DbError error = Error(context);
    builder->dispose();
    throw error;
  }

  DbError Error(const std::string& context) {
    char text[4096];
    m_util->formatStatus(text, sizeof text, &m_status);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    const ISC_STATUS* vector = reinterpret_cast<const ISC_STATUS*>(m_status.getErrors());
    const std::int64_t gds = vector && vector[0] == isc_arg_gds ? vector[1] : 0;
    m_status.init();
    return DbError(context + (message.empty() ? "" : "\n" + message), 0, gds);
  }

  // True when the answer carries a line of output (the action is still going or has more to say).
  static bool ReadLine(const unsigned char* buffer, std::size_t size) {
    const unsigned char* at = buffer;
    const unsigned char* end = buffer + size;
    bool text = false;
    while (at < end && *at != isc_info_end) {
      const unsigned char item = *at++;
      if (item == isc_info_svc_line && end - at >= 2) {
        const unsigned length = at[0] | (at[1] << 8);
        at += 2 + length;
        if (length > 0) text = true;
      } else if (item == isc_info_truncated || item == isc_info_data_not_ready ||
                 item == isc_info_svc_timeout) {
        return true;  // ask again
      } else {
        break;
      }
    }
    return text;
  }

  void Cleanup() {
    if (m_service != nullptr) {
      m_status.init();
      m_service->detach(&m_status);
      if (Failed()) m_service->release();
      m_service = nullptr;
    }
    if (m_provider != nullptr) m_provider->release();
    m_provider = nullptr;
    if (m_rawStatus != nullptr) m_rawStatus->dispose();
    m_rawStatus = nullptr;
  }

  IMaster* m_master;
  IUtil* m_util;
  IStatus* m_rawStatus;
  CheckStatusWrapper m_status;
  IProvider* m_provider;
  IService* m_service = nullptr;
};

// Removes a file that may be there; raises when one is there and stays.
void RemoveIfPresent(const std::string& path) {
  std::error_code error;
  fs::remove(path, error);
  if (error) throw platform::FileError("cannot remove " + path + ": " + error.message());
}

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

// The engine writes the restored pages without flushing them; the copy must be on the disk before its
// rename makes it the backup.
void FlushFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    const std::string reason = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    throw platform::FileError("cannot flush " + path + ": " + reason);
  }
  ::close(fd);
}

}  // namespace

void BackupDatabaseFile(const Database::Options& source, const std::string& target) {
  const fs::path targetPath(target);
  const fs::path folder = targetPath.has_parent_path() ? targetPath.parent_path() : fs::path(".");
  const std::string name = targetPath.filename().string();
  const std::string levelZero = (folder / ("." + name + ".nbk")).string();
  const std::string restored = (folder / ("." + name + ".part")).string();

  std::error_code folderError;
  if (!fs::is_directory(folder, folderError)) {
    throw platform::FileError("the folder " + folder.string() + " does not exist");
  }
  // Both engine steps create their file exclusively: leftovers of an interrupted run must go first.
  RemoveIfPresent(levelZero);
  RemoveIfPresent(restored);

  const ServiceAddress address = AddressOf(source.name);
  if (address.embedded) PrepareEmbeddedAccess();
  try {
    ServiceManager services(source, address);
    services.Run(isc_action_svc_nbak, {{isc_spb_dbname, address.path}, {isc_spb_nbk_file, levelZero}},
                 {{isc_spb_nbk_level, 0}}, "backup of " + source.name + " failed");
    services.Run(isc_action_svc_nrest, {{isc_spb_dbname, restored}, {isc_spb_nbk_file, levelZero}}, {},
                 "restore of the backup into " + restored + " failed");
  } catch (...) {
    RemoveQuietly(levelZero);
    RemoveQuietly(restored);
    throw;
  }
  RemoveQuietly(levelZero);
  try {
    // A server's file belongs to the server's user, who may be the only one allowed to open it.
    if (address.embedded) FlushFile(restored);
  } catch (...) {
    RemoveQuietly(restored);
    throw;
  }
  if (std::rename(restored.c_str(), target.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    RemoveQuietly(restored);
    throw platform::FileError("cannot rename " + restored + " to " + target + ": " + reason);
  }
  platform::SyncFolder(folder.string());
}

}  // namespace telvano::db
