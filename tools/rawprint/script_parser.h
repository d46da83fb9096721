#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace telvano::rawprint {

// A run of bytes for the printer, followed by a pause of the sender.
struct JobStep {
  std::string bytes;
  int pauseMs = 0;
};

// A print script translated to bytes: everything that will be sent, nothing sent yet.
struct PrintJob {
  std::string model;  // from the first line ('EPSON,port); may be empty
  std::string port;   // from the first line; may be empty
  std::vector<JobStep> steps;

  std::size_t ByteCount() const;
  std::string AllBytes() const;
};

// A script that cannot be sent as a whole; `Line()` is 1-based.
class ScriptError : public std::runtime_error {
 public:
  ScriptError(int line, const std::string& reason)
      : std::runtime_error("line " + std::to_string(line) + ": " + reason), m_line(line) {}
  int Line() const { return m_line; }

 private:
  int m_line;
};

// The longest pause a script may ask for, in milliseconds.
inline constexpr int kMaxPauseMs = 60000;

// Translates a whole script. Notation, line by line:
//   'MODEL,PORT        first line only: names the printer model and port
//   ESC GS CR LF ...   ASCII control names (NUL to US, SP, DEL) give their byte
//   0 to 255           a decimal number gives that byte
//   @ t ( k ! ...      any other one-character token gives its own byte
//   "text"             the bytes between the line's first and last double quote, as they are
//   *N                 a pause of N ms (at most kMaxPauseMs)
// Blank lines are skipped; CR LF and LF line ends are both read. A GS ( k function (and Star's
// ESC GS y D 1 m nL nH) must be followed on its line by exactly the number of data bytes its length
// bytes announce. Anything else raises ScriptError.
PrintJob ParseScript(std::string_view script);

}  // namespace telvano::rawprint
