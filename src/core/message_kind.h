#pragma once

#include <cstdint>

namespace telvano::core {

// The four kinds of the message window collapse into three looks, chosen by the message number.
enum class MessageKind { Fatal, Warning, Information };

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kRed{0xFF, 0x00, 0x00};
inline constexpr Rgb kYellow{0xFF, 0xFF, 0x00};
inline constexpr Rgb kGreen{0x00, 0x80, 0x00};
inline constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
inline constexpr Rgb kBlack{0x00, 0x00, 0x00};

// How a kind looks: the captions of PanelType and PanelOk, the colours of both panels, and the texts put
// in front of the two columns (fatal kind only).
struct MessageKindStyle {
  MessageKind kind;
  const char* typeCaption;
  const char* okCaption;
  Rgb background;
  Rgb foreground;
  const char* serbianPrefix;
  const char* englishPrefix;
};

// 0..19 and every number outside 0..39: fatal; 20..29: warning; 30..39: information.
MessageKind KindOfMessage(int no);

const MessageKindStyle& StyleOf(MessageKind kind);

}  // namespace telvano::core
