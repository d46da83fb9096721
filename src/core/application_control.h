#pragma once

namespace telvano::core {

// What a module may ask of the running program as a whole. The program's main module implements it;
// the command module uses it for the stop command, tests record the calls.
class ApplicationControl {
 public:
  virtual ~ApplicationControl() = default;
  // Ends the program once the current tick has finished (the poller stops, the companion is ended).
  virtual void RequestTerminate() = 0;
  // Writes start_info.txt (isStart) or stop_info.txt into the output folder: "OK," or "ERR," and the
  // local time, for the POS to read.
  virtual void WriteStartStopNotice(bool isStart, bool ok) = 0;
};

}  // namespace telvano::core
