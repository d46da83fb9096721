#include "core/message_kind.h"

namespace telvano::core {

MessageKind KindOfMessage(int no) {
  if (no >= 20 && no <= 29) return MessageKind::Warning;
  if (no >= 30 && no <= 39) return MessageKind::Information;
  return MessageKind::Fatal;
}

const MessageKindStyle& StyleOf(MessageKind kind) {
  static constexpr MessageKindStyle kFatal{MessageKind::Fatal,
                                           "GREŠKA / ERROR",
                                           "ZATVORI PROGRAM / CLOSE PROGRAM",
                                           kRed,
                                           kWhite,
                                           "PROGRAM SE GASI, NE POSTOJE USLOVI ZA RAD!\n\n",
                                           "PROGRAM WILL QUIT, NO NECESSARY CONDITION TO RUN!\n\n"};
  static constexpr MessageKindStyle kWarning{
      MessageKind::Warning, "UPOZORENJE / WARNING", "OK / POTVRDI", kYellow, kBlack, "", ""};
  static constexpr MessageKindStyle kInformation{
      MessageKind::Information, "OBAVEŠTENJE / INFO", "OK / POTVRDI", kGreen, kWhite, "", ""};
  switch (kind) {
    case MessageKind::Warning:
      return kWarning;
    case MessageKind::Information:
      return kInformation;
    case MessageKind::Fatal:
      break;
  }
  return kFatal;
}

}  // namespace telvano::core
