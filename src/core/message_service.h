#pragma once

#include <string>

namespace telvano::core {

// How every module puts a message in front of the operator. TFormYellowMsg implements the numbered
// messages; the program's view implements the plain boxes. Tests record the calls.
class MessageService {
 public:
  virtual ~MessageService() = default;
  // A message of the numbered bilingual table; modal.
  virtual void ShowMessageNo(int no) = 0;
  // Given texts under the kind and title of `no`; modal.
  virtual void ShowMessageText(int no, const std::string& serbianText, const std::string& englishText) = 0;
  // The text of a four-digit processor code under the fatal kind (title 1019); modal.
  virtual void ShowProcessorError(const std::string& code) = 0;
  // A plain information box with one OK button.
  virtual void ShowInfo(const std::string& text) = 0;
};

}  // namespace telvano::core
