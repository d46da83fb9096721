#include "raw_print_sender.h"

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

#include "port_text.h"
#include "port_writer.h"
#include "script_parser.h"
#include "sender_options.h"

namespace telvano::rawprint {

namespace {

// A failed run: exit code and reason.
struct Failure {
  int code;
  std::string reason;
};

std::string ReadScript(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure{kExitScriptUnreadable, "cannot read script " + path};
  std::string bytes;
  bytes.resize(kMaxScriptBytes + 1);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) throw Failure{kExitScriptUnreadable, "cannot read script " + path};
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() > kMaxScriptBytes) throw Failure{kExitScriptUnreadable, "script larger than 8 MiB: " + path};
  return bytes;
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
  return buffer;
}

// One write with O_APPEND, so the lines of senders running side by side never mix.
void AppendLogLine(const std::string& logDir, const std::string& script, const std::string& port,
                   std::size_t bytes, const std::string& result) {
  if (logDir.empty()) return;
  const std::string line = LocalTimeText() + "\t" + OneLine(script) + "\t" + OneLine(port) + "\t" +
                           std::to_string(bytes) + "\t" + OneLine(result) + "\r\n";
  const int fd = open((logDir + "/Ostrapo_log.txt").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t ignored = write(fd, line.data(), line.size());
  close(fd);
}

void Pause(int milliseconds, double scale) {
  const auto scaled = std::chrono::milliseconds(static_cast<long long>(milliseconds * scale));
  if (scaled.count() > 0) std::this_thread::sleep_for(scaled);
}

// Sends the job; `sent` counts the bytes handed to the port so far.
void Send(const PrintJob& job, const PortSpec& portSpec, const PortSettings& settings, double pauseScale,
          std::size_t& sent) {
  std::unique_ptr<PortWriter> port;
  try {
    port = OpenPort(portSpec, settings);
  } catch (const PortRefused& refused) {
    throw Failure{kExitPortRefused, std::string("port refused: ") + refused.what()};
  } catch (const PortUnavailable& unavailable) {
    throw Failure{kExitPortUnavailable, unavailable.what()};
  }
  try {
    for (const auto& step : job.steps) {
      port->Write(step.bytes);
      sent += step.bytes.size();
      Pause(step.pauseMs, pauseScale);
    }
    port->Finish();
  } catch (const SendFailed& failed) {
    throw Failure{kExitSendFailed, failed.what()};
  }
}

}  // namespace

int RunOstrapo(const std::vector<std::string>& arguments, std::ostream& err) {
  SenderOptions options;
  try {
    options = ParseArguments(arguments);
  } catch (const UsageError& usage) {
    err << "Ostrapo: " << usage.what() << "\n";
    return kExitUsage;
  }
  if (!options.logDir || !options.fileDir) {
    const InstallationFolders folders = ReadInstallationFolders();
    if (!options.logDir) options.logDir = folders.logsDir;
    if (!options.fileDir) options.fileDir = folders.printFileDir;
  }

  std::string port = options.port;
  std::size_t sent = 0;
  try {
    const std::string script = ReadScript(options.scriptPath);
    PrintJob job;
    try {
      job = ParseScript(script);
    } catch (const ScriptError& error) {
      throw Failure{kExitScriptRefused, std::string("script refused: ") + error.what()};
    }
    if (port.empty()) port = job.port;
    PortSpec portSpec;
    try {
      portSpec = ParsePortText(port);
    } catch (const PortRefused& refused) {
      throw Failure{kExitPortRefused, std::string("port refused: ") + refused.what()};
    }
    PortSettings settings;
    settings.fileDir = *options.fileDir;
    settings.printerModel = job.model;
    settings.connectTimeout = options.connectTimeout;
    Send(job, portSpec, settings, options.pauseScale, sent);
  } catch (const Failure& failure) {
    err << "Ostrapo: " << OneLine(failure.reason) << "\n";
    AppendLogLine(*options.logDir, options.scriptPath, port, sent, "exit " + std::to_string(failure.code) + ": " + failure.reason);
    return failure.code;
  }
  AppendLogLine(*options.logDir, options.scriptPath, port, sent, "OK");
  return kExitOk;
}

}  // namespace telvano::rawprint
