#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/file_window_view.h"
#include "core/message_service.h"

namespace telvano::testing {

// A file window without a screen: records what it was told; ExecModal runs the operator's script (clicks
// go to the module like the Qt window forwards them).
class RecordingFileView final : public core::FileWindowView {
 public:
  std::vector<std::string> events;  // "caption:TEXT", "panel:TEXT", "exec"
  core::FileWindowEvents* target = nullptr;
  std::string panelFile;
  std::function<void()> operatorScript;

  void SetEvents(core::FileWindowEvents* events) override { target = events; }
  void SetCaption(const std::string& text) override { events.push_back("caption:" + text); }
  void SetPanelFile(const std::string& text) override {
    panelFile = text;
    events.push_back("panel:" + text);
  }
  void ExecModal() override {
    events.push_back("exec");
    if (operatorScript) operatorScript();
  }
  void ClickPanel1() {
    if (target != nullptr) target->Panel1Click();
  }
};

// The information boxes and messages the operator would see.
class RecordingInfo final : public core::MessageService {
 public:
  std::vector<std::string> shown;
  void ShowMessageNo(int no) override { shown.push_back("no:" + std::to_string(no)); }
  void ShowMessageText(int no, const std::string&, const std::string&) override {
    shown.push_back("text:" + std::to_string(no));
  }
  void ShowProcessorError(const std::string& code) override { shown.push_back("processor:" + code); }
  void ShowInfo(const std::string& text) override { shown.push_back("info:" + text); }
};

}  // namespace telvano::testing
