#pragma once

#include <string>
#include <vector>

#include "core/message_service.h"

namespace telvano::testing {

// Records every message as one text: "no:4", "text:18|<serbian>|<english>", "processor:1300", "info:<text>".
class RecordingMessages : public core::MessageService {
 public:
  void ShowMessageNo(int no) override { calls.push_back("no:" + std::to_string(no)); }
  void ShowMessageText(int no, const std::string& serbianText, const std::string& englishText) override {
    calls.push_back("text:" + std::to_string(no) + "|" + serbianText + "|" + englishText);
  }
  void ShowProcessorError(const std::string& code) override { calls.push_back("processor:" + code); }
  void ShowInfo(const std::string& text) override { calls.push_back("info:" + text); }

  std::vector<std::string> calls;
};

}  // namespace telvano::testing
