#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace telvano::core {

// The numbered bilingual messages: 100 slots (0 to 99), each with a Serbian and an English text; slots
// without a message hold empty texts. Built once, only read afterwards.
class MessageTable {
 public:
  static constexpr int kSlotCount = 100;

  // `language` is "SRB" for the whole run; "ENG" is the only other value the lookup knows.
  explicit MessageTable(std::string language = "SRB");

  const std::string& Language() const { return m_language; }

  // The text in the selected language, falling back to the other one when it is empty ("SRB": Serbian,
  // else English; "ENG": the reverse). Empty for a number outside 0..99.
  std::string TextInLanguage(int no) const;

  // The English text, or the Serbian one when the English one is empty; empty outside 0..99.
  std::string TextEnglish(int no) const;

 private:
  struct Slot {
    std::string serbian;
    std::string english;
  };
  const Slot* SlotOf(int no) const;

  std::string m_language;
  std::array<Slot, kSlotCount> m_slots;
};

// One entry of the processor's status and error codes: the four-digit code and "English / Serbian".
struct ProcessorErrorText {
  std::string_view code;
  std::string_view text;
};

// The 21 known processor codes in their fixed order, texts exactly as the system has them.
const std::vector<ProcessorErrorText>& ProcessorErrorTexts();

// The text of `code`, or an empty text for a code that is not in the list.
std::string ProcessorErrorTextOf(std::string_view code);

}  // namespace telvano::core
