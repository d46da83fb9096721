#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace telvano::testing {

// A real X display for the operator's windows: Xvfb on a free display number, driven with xdotool as an
// operator's keyboard would, and read back by window names.
class XvfbDisplay {
 public:
  // Xvfb and xdotool are installed.
  static bool Available();
  static constexpr const char* kUnavailable = "no Xvfb or xdotool here (apt-get install xvfb xdotool)";

  XvfbDisplay();  // starts Xvfb; fails the test when it does not come up
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  std::string Name() const { return ":" + std::to_string(m_number); }  // for DISPLAY

  // The id of the first visible window whose name matches the regular expression, once there is one; "" after
  // `limit` (generous: a program's windows take their time on a loaded machine), or as soon as `worthWaiting`
  // says the window can no longer come (its program has ended).
  std::string WaitForWindow(const std::string& namePattern,
                            std::chrono::milliseconds limit = std::chrono::seconds(45),
                            const std::function<bool()>& worthWaiting = {}) const;
  // Like WaitForWindow, for a window other than `except` (a dialog that carries its parent's caption).
  std::string WaitForOtherWindow(const std::string& namePattern, const std::string& except,
                                 std::chrono::milliseconds limit = std::chrono::seconds(45)) const;
  // True when the window is no longer visible within `limit`.
  bool WaitForWindowClosed(const std::string& window,
                           std::chrono::milliseconds limit = std::chrono::seconds(45)) const;
  // True when no visible window's name matches any more within `limit`.
  bool WaitForWindowGone(const std::string& namePattern,
                         std::chrono::milliseconds limit = std::chrono::seconds(45)) const;
  // Gives `window` the keyboard, then types the text / presses the keys (xdotool key names: Return, Escape).
  void Type(const std::string& window, const std::string& text) const;
  void Keys(const std::string& window, const std::vector<std::string>& keys) const;
  // The text of a message box, as Ctrl+C in it puts it on the clipboard (read back with xclip); "" without
  // xclip, or when the clipboard did not change.
  std::string CopiedText(const std::string& window) const;
  // The names of all visible windows (for failure messages).
  std::string WindowNames() const;

 private:
  std::string Xdotool(std::vector<std::string> arguments, int* exitCode = nullptr) const;

  int m_number = 0;
  pid_t m_pid = -1;
};

}  // namespace telvano::testing
