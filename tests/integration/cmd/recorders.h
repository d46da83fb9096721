#pragma once

#include <string>
#include <vector>

#include "core/application_control.h"
#include "core/message_service.h"

namespace telvano::cmd::testing {

// Records what the command module asks of the program.
class RecordingApplication final : public core::ApplicationControl {
 public:
  void RequestTerminate() override { calls.push_back("RequestTerminate"); }
  void WriteStartStopNotice(bool isStart, bool ok) override {
    calls.push_back(std::string("WriteStartStopNotice(") + (isStart ? "start" : "stop") + "," + (ok ? "OK" : "ERR") +
                    ")");
  }
  std::vector<std::string> calls;
};

// Records every message instead of showing it (nobody is at the screen in these tests).
class RecordingMessages final : public core::MessageService {
 public:
  void ShowMessageNo(int no) override { shown.push_back("No " + std::to_string(no)); }
  void ShowMessageText(int no, const std::string& serbian, const std::string&) override {
    shown.push_back("Text " + std::to_string(no) + " " + serbian);
  }
  void ShowProcessorError(const std::string& code) override { shown.push_back("Code " + code); }
  void ShowInfo(const std::string& text) override { shown.push_back("Info " + text); }
  std::vector<std::string> shown;
};

}  // namespace telvano::cmd::testing
