#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace telvano::rawprint {

// Columns of a receipt line in the normal character width.
inline constexpr int kReceiptColumns = 42;

enum class Alignment { Left, Centre, Right };

// Text printed in one style.
struct TextRun {
  std::string text;  // UTF-8, decoded in the code table that was selected when the bytes arrived
  int width = 1;     // character width multiple (1 to 8)
  int height = 1;    // character height multiple (1 to 8)
  bool bold = false;
  bool underline = false;
};

// One thing the printer puts on the paper, top to bottom.
struct ReceiptItem {
  enum class Kind { Line, Qr, Feed, Cut } kind = Kind::Line;
  Alignment alignment = Alignment::Left;  // Line, Qr: as selected when the line began
  std::vector<TextRun> runs;              // Line; none for an empty line
  std::string qrData;                     // Qr: the stored bytes, as sent
  int qrModule = 3;                       // Qr: dots per module
  char qrLevel = 'L';                     // Qr: error correction L, M, Q or H
  int feedDots = 0;                       // Feed: paper fed without printing
  bool partialCut = false;                // Cut

  std::string Text() const;  // Line: the runs' text joined
  int Height() const;        // Line: the tallest run's height multiple (1 for an empty line)
};

// What a receipt printer makes of a byte stream, without the paper.
struct Receipt {
  std::vector<ReceiptItem> items;
};

// Reads the ESC/POS bytes Ostrapo would send as a printer of `model` (the name on the script's first line:
// EPSON, POSIFLEX, STAR, STAR-2, SAMTEC; any other name reads as EPSON) would print them on a line of
// `columns` characters. Understood: text and LF (CR is ignored, HT goes to the next multiple of 8 columns,
// text beyond the line wraps), ESC @, ESC ! (bold, double height and width, underline), GS ! (width and
// height 1 to 8), ESC E, ESC G, ESC -, ESC a and Star's ESC GS a (alignment), ESC t and Star's ESC GS t
// (code table), ESC d and ESC J (feeds), GS V (cut), the QR functions of GS ( k and Star's ESC GS y (model,
// size, error correction, store, print). Other commands with a known length are passed over; an unknown
// ESC, GS or FS command is passed over with its command byte; control bytes print nothing. A command cut
// off by the end of the bytes ends the reading.
Receipt ReadEscPos(std::string_view bytes, std::string_view model, int columns = kReceiptColumns);

}  // namespace telvano::rawprint
