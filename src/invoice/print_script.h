#pragma once

#include <string>
#include <vector>

#include "db/database.h"

namespace telvano::invoice {

// Receipt printer models by their number in CustomizedExport order.
enum class PrinterModel : int { Epson = 0, Posiflex = 1, Star = 2, Star2 = 3, Samtec = 4 };

// The model of a model text "0" to "4"; -1 for anything else.
int PrinterModelFromText(const std::string& modelText);

// Everything one print script is made of.
struct PrintScriptInput {
  PrinterModel model = PrinterModel::Epson;
  std::string port;             // CustomizedSerial as given (named on the first line only)
  std::string journal;          // the text of <base>_journal.txt, UTF-8
  std::string verificationUrl;  // the text of <base>_vurl.txt without its line end, UTF-8
  db::Decimal changeAmount{-1, 0};
  bool signatureLine = false;
};

// The print script for Ostrapo: one command per line, each line ending in CR LF; commands and numbers
// in ASCII, texts in double quotes as code page 1251 bytes. Pure: reads and writes nothing.
std::string BuildPrintScript(const PrintScriptInput& input);

// The journal's lines (split at CR LF, LF or CR) without those that are blank after trimming.
std::vector<std::string> JournalLines(const std::string& journal);

// A change amount for the receipt: two decimals (rounded half away from zero), "," before the decimals
// and "." between thousands: 1234.5 gives "1.234,50".
std::string ChangeAmountText(const db::Decimal& amount);

// The receipt text of a journal line, still UTF-8: header label removed, Serbian Latin letters mapped
// for the model, control characters made harmless.
std::string ReceiptLineText(const std::string& journalLine, PrinterModel model);

// UTF-8 to code page 1251; a character the code page lacks (or a broken UTF-8 sequence) becomes "?".
std::string ToCodePage1251(const std::string& utf8);
// Code page 1251 to UTF-8 (every byte has a character, except 0x98, which becomes "?").
std::string FromCodePage1251(const std::string& bytes);

}  // namespace telvano::invoice
