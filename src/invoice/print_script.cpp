#include "invoice/print_script.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <unicode/uchar.h>

#include "platform/code_page.h"

namespace telvano::invoice {

namespace {

// Receipt words as the processor writes them.
constexpr std::string_view kTaxTableHeading = "Ознака";
constexpr std::string_view kNotFiscal = "ОВО НИЈЕ ФИСКАЛНИ РАЧУН";
constexpr std::array<std::string_view, 4> kEmphasised = {"ОБУКА", "КОПИЈА", "ПРЕДРАЧУН", kNotFiscal};
constexpr std::array<std::string_view, 5> kHeaderLabels = {"ПИБ:", "Предузеће:", "Место продаје:", "Адреса:",
                                                           "Општина:"};
constexpr std::string_view kChangeLabel = "Повраћај:";
constexpr std::size_t kChangeWidth = 31;
constexpr std::string_view kSignatureLabel = "Потпис купца: ";
constexpr std::size_t kSignatureUnderscores = 26;
constexpr std::size_t kLinesPerPause = 50;
constexpr std::string_view kLineEnd = "\r\n";
// The receipt printers are set to Windows Cyrillic.
constexpr const char* kCodePage = "CP1251";

struct ModelSetup {
  std::string_view name;
  std::vector<std::string_view> lines;
};

ModelSetup SetupOf(PrinterModel model) {
  switch (model) {
    case PrinterModel::Epson: return {"EPSON", {"ESC @", "ESC t 46", "ESC R 14"}};
    case PrinterModel::Posiflex: return {"POSIFLEX", {"ESC @", "ESC t 28", "ESC R 15"}};
    case PrinterModel::Star: return {"STAR", {"ESC @", "ESC GS t 34", "ESC R 14"}};
    case PrinterModel::Star2: return {"STAR-2", {"ESC @", "ESC GS t 34"}};
    case PrinterModel::Samtec: return {"SAMTEC", {"ESC @", "ESC t 23", "ESC R 14", "31 27 31 19 20 3"}};
  }
  throw std::invalid_argument("unknown printer model");
}

// ---- UTF-8 <-> code points -------------------------------------------------------------------------

constexpr char32_t kReplacement = U'?';

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    char32_t cp = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    bool valid = true;
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next >> 6) != 0x2) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 2 && cp < 0x80) || (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (!valid || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += length;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t cp : text) AppendUtf8(out, cp);
  return out;
}

bool IsBlank(char32_t cp) { return cp <= U' '; }

std::u32string Trim(std::u32string text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::u32string Upper(std::u32string text) {
  for (auto& cp : text) cp = static_cast<char32_t>(u_toupper(static_cast<UChar32>(cp)));
  return text;
}

bool Contains(std::string_view line, std::string_view word) { return line.find(word) != std::string_view::npos; }

bool ContainsIgnoringCase(const std::u32string& line, std::string_view word) {
  return Upper(line).find(Upper(DecodeUtf8(word))) != std::u32string::npos;
}

// Removes every occurrence of `label` from `line`, comparing without regard to case. Upper-casing maps
// one code point to one, so positions in the upper-cased copy are positions in the line.
std::u32string RemoveIgnoringCase(std::u32string line, std::string_view label) {
  const std::u32string needle = Upper(DecodeUtf8(label));
  std::u32string upper = Upper(line);
  for (std::size_t at = upper.find(needle); at != std::u32string::npos; at = upper.find(needle, at)) {
    line.erase(at, needle.size());
    upper.erase(at, needle.size());
  }
  return line;
}

// The five Serbian Latin letters that code page 1251 lacks. STAR-2 drops their marks (Đ gives D); the
// other models write the digraph readers know from text without marks, so Đ stays apart from D.
std::u32string MapSerbianLatin(std::u32string_view text, PrinterModel model) {
  const bool plain = model == PrinterModel::Star2;
  std::u32string out;
  out.reserve(text.size());
  for (char32_t cp : text) {
    switch (cp) {
      case U'Ž': out += U'Z'; break;
      case U'Š': out += U'S'; break;
      case U'Ć': case U'Č': out += U'C'; break;
      case U'ž': out += U'z'; break;
      case U'š': out += U's'; break;
      case U'ć': case U'č': out += U'c'; break;
      case U'Đ': out += plain ? U"D" : U"Dj"; break;
      case U'đ': out += plain ? U"d" : U"dj"; break;
      default: out += cp;
    }
  }
  return out;
}

// Control characters would reach the printer as commands (a cut, a drawer kick): a tab becomes a blank,
// every other one "?".
std::u32string Harmless(std::u32string text) {
  for (auto& cp : text) {
    if (cp == U'\t') cp = U' ';
    else if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) cp = kReplacement;
  }
  return text;
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string Number(std::uint64_t value) { return std::to_string(value); }

}  // namespace

int PrinterModelFromText(const std::string& modelText) {
  if (modelText.size() == 1 && modelText[0] >= '0' && modelText[0] <= '4') return modelText[0] - '0';
  return -1;
}

std::string ToCodePage1251(const std::string& utf8) { return platform::FromUtf8(utf8, kCodePage); }

std::string FromCodePage1251(const std::string& bytes) { return platform::ToUtf8(bytes, kCodePage); }

std::vector<std::string> JournalLines(const std::string& journal) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin <= journal.size()) {
    std::size_t end = journal.find_first_of("\r\n", begin);
    if (end == std::string::npos) end = journal.size();
    const std::string line = journal.substr(begin, end - begin);
    if (!Trim(DecodeUtf8(line)).empty()) lines.push_back(line);
    if (end == journal.size()) break;
    begin = end + ((journal[end] == '\r' && end + 1 < journal.size() && journal[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::string ChangeAmountText(const db::Decimal& amount) {
  if (amount.scale < 0 || amount.scale > 18) throw std::invalid_argument("change amount out of range");
  // Hundredths, rounded half away from zero.
  const bool negative = amount.units < 0;
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(amount.units) : amount.units;
  if (amount.scale > 2) {
    std::uint64_t divisor = 1;
    for (int k = 2; k < amount.scale; ++k) divisor *= 10;
    const std::uint64_t rest = magnitude % divisor;
    magnitude = magnitude / divisor + (rest >= divisor - rest ? 1 : 0);
  } else {
    for (int k = amount.scale; k < 2; ++k) magnitude *= 10;
  }
  std::string whole = Number(magnitude / 100);
  std::string grouped;
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) grouped.push_back('.');
    grouped.push_back(whole[i]);
  }
  const std::uint64_t cents = magnitude % 100;
  std::string text = (negative && magnitude != 0 ? "-" : "") + grouped + "," + (cents < 10 ? "0" : "") + Number(cents);
  return text;
}

std::string ReceiptLineText(const std::string& journalLine, PrinterModel model) {
  std::u32string line = DecodeUtf8(journalLine);
  for (std::string_view label : kHeaderLabels) {
    if (ContainsIgnoringCase(line, label)) {
      line = Trim(RemoveIgnoringCase(std::move(line), label));
      break;
    }
  }
  return EncodeUtf8(Harmless(MapSerbianLatin(line, model)));
}

namespace {

// Collects the script lines; every line ends in CR LF, texts are stored as code page 1251.
class ScriptWriter {
 public:
  void Command(std::string_view line) {
    m_script.append(line);
    m_script.append(kLineEnd);
  }
  // A quoted text (already harmless UTF-8) followed by a line feed for the printer.
  void TextLine(const std::string& utf8) { Command(Quote(ToCodePage1251(utf8)) + " CR LF"); }
  std::string Take() { return std::move(m_script); }

 private:
  std::string m_script;
};

void AppendQrCode(ScriptWriter& script, PrinterModel model, const std::string& url1251) {
  const std::uint64_t n = url1251.size();
  if (model == PrinterModel::Star2) {
    script.Command("27 29 121 83 48 50");
    script.Command("27 29 121 83 49 48");
    script.Command("27 29 121 83 50 52");
    script.Command("27 29 121 68 49 50 " + Number(n % 256) + " " + Number(n / 256) + " " + Quote(url1251));
    script.Command("27 29 121 73");
    script.Command("27 29 121 80");
  } else {
    script.Command(model == PrinterModel::Posiflex ? "GS ( k 4 0 49 65 49 0" : "GS ( k 4 0 49 65 50 0");
    script.Command("GS ( k 3 0 49 67 4");
    script.Command("GS ( k 3 0 49 69 48");
    script.Command("GS ( k " + Number((n + 3) % 256) + " " + Number((n + 3) / 256) + " 49 80 48 " + Quote(url1251));
    script.Command("GS ( k 3 0 49 82 48");
    script.Command("GS ( k 3 0 49 81 48");
  }
  script.Command("CR LF");
}

bool IsPositive(const db::Decimal& amount) { return amount.units > 0; }

// The change line stands right above the tax-label table: directly, or, on a receipt that is not fiscal,
// above the "not fiscal" line that comes two lines before the table.
bool ChangeLineBefore(const std::vector<std::string>& lines, std::size_t i) {
  const std::size_t last = lines.size() - 1;
  const bool previousNotFiscal = i > 0 && Contains(lines[i - 1], kNotFiscal);
  if (i < last && Contains(lines[i + 1], kTaxTableHeading) && !previousNotFiscal) return true;
  return i + 2 < last && Contains(lines[i + 3], kTaxTableHeading) && Contains(lines[i + 1], kNotFiscal);
}

std::string ChangeLineText(const db::Decimal& amount) {
  const std::string text = ChangeAmountText(amount);
  const std::size_t blanks = text.size() < kChangeWidth ? kChangeWidth - text.size() : 0;
  return std::string(kChangeLabel) + std::string(blanks, ' ') + text;
}

std::string HarmlessHeaderPort(const std::string& port) {
  return EncodeUtf8(Harmless(DecodeUtf8(port)));
}

}  // namespace

std::string BuildPrintScript(const PrintScriptInput& input) {
  const ModelSetup setup = SetupOf(input.model);
  ScriptWriter script;
  script.Command("'" + std::string(setup.name) + "," + ToCodePage1251(HarmlessHeaderPort(input.port)));
  for (std::string_view line : setup.lines) script.Command(line);
  script.Command("ESC a 1");

  const std::vector<std::string> lines = JournalLines(input.journal);
  const std::string url1251 = ToCodePage1251(EncodeUtf8(Harmless(DecodeUtf8(input.verificationUrl))));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (i > 0 && i % kLinesPerPause == 0) script.Command("*1000");
    if (i + 1 == lines.size()) {
      AppendQrCode(script, input.model, url1251);
      if (input.signatureLine) {
        script.Command("CR LF");
        script.TextLine(std::string(kSignatureLabel) + std::string(kSignatureUnderscores, '_'));
        script.Command("CR LF");
      }
    }
    if (IsPositive(input.changeAmount) && ChangeLineBefore(lines, i)) script.TextLine(ChangeLineText(input.changeAmount));
    bool emphasised = false;
    for (std::string_view word : kEmphasised) emphasised = emphasised || Contains(line, word);
    if (emphasised) script.Command("GS ! 1");
    script.TextLine(ReceiptLineText(line, input.model));
    if (emphasised) script.Command("GS ! 0");
  }
  script.Command("CR LF");
  script.Command("GS V A 1");
  script.Command("ESC @");
  return script.Take();
}

}  // namespace telvano::invoice
