#pragma once

#include <stdexcept>
#include <string>

#include "core/configuration.h"
#include "platform/clock.h"
#include "platform/journal_stream.h"

namespace telvano::core {

// The log file's name in LogsDir.
inline constexpr const char* kLogFileName = "TELVANO_log.txt";

// A log line that could not be written (no folder, no rights, disk full); what() says which file and why.
class LogWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a log line goes besides the file: nowhere, to stderr as "TELVANO: " + the line, or to stderr as
// the journal reads it, "<N>" + the line with its priority (systemd's stream to the journal).
enum class LogEcho { None, Stderr, Journal };

// The plain-text log in LogsDir: one line per event, "yyyy-mm-dd hh:nn:ss" + " " + the first line of the
// text, lines ended by CR LF, in the configured code page. Lines are only ever appended; the file is never
// trimmed, rotated or rewritten. The priority of a line shows only in its echo: the file keeps its form.
class LogWriter {
 public:
  LogWriter(const Configuration& configuration, const platform::Clock& clock, LogEcho echo = LogEcho::None);

  // Echoes the line (see LogEcho), then appends it to LogsDir/fileName, creating the file if needed.
  // Throws LogWriteError when the line cannot be written (the lines already there are never touched).
  void AppendLogLine(const std::string& fileName, const std::string& text,
                     platform::Priority priority = platform::Priority::Warning) const;
  // A line for stderr only (a log line that could not be written, say): with its priority under the
  // journal, else as "TELVANO: " + the line.
  void Echo(const std::string& text, platform::Priority priority) const;

  // The line as it goes into the file (UTF-8, without the line end).
  std::string LogLine(const std::string& text) const;

 private:
  const Configuration& m_configuration;
  const platform::Clock& m_clock;
  LogEcho m_echo;
};

}  // namespace telvano::core
