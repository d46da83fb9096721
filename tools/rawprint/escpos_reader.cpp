#include "escpos_reader.h"

#include <algorithm>
#include <cstdint>

#include "platform/code_page.h"

namespace telvano::rawprint {

namespace {

constexpr unsigned char kHt = 0x09;
constexpr unsigned char kLf = 0x0A;
constexpr unsigned char kFf = 0x0C;
constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kFs = 0x1C;
constexpr unsigned char kGs = 0x1D;
constexpr unsigned char kDel = 0x7F;
constexpr int kTabColumns = 8;

// The table a printer starts with and returns to after ESC @.
constexpr const char* kDefaultCodePage = "CP437";

struct CodeTable {
  int number;
  const char* codePage;  // as iconv names it
};

// ESC t n as Epson numbers its tables.
constexpr CodeTable kEscPosTables[] = {{0, "CP437"},  {2, "CP850"},   {3, "CP860"},  {4, "CP863"},
                                       {5, "CP865"},  {16, "CP1252"}, {17, "CP866"}, {18, "CP852"},
                                       {19, "CP858"}, {45, "CP1250"}, {46, "CP1251"}};
// ESC GS t n as Star numbers its tables.
constexpr CodeTable kStarTables[] = {{0, "CP437"},   {1, "CP437"},   {3, "CP437"},
                                     {4, "CP858"},   {5, "CP852"},   {10, "CP866"},
                                     {32, "CP1252"}, {33, "CP1250"}, {34, "CP1251"}};

// Models whose ESC t numbers differ from Epson's: the number TELVANO's print scripts select on them is the
// Windows Cyrillic table they are set up with.
struct ModelTable {
  std::string_view model;
  int number;
  const char* codePage;
};
constexpr ModelTable kModelTables[] = {{"POSIFLEX", 28, "CP1251"}, {"SAMTEC", 23, "CP1251"}};

template <typename Tables>
const char* Lookup(const Tables& tables, int number) {
  for (const CodeTable& table : tables)
    if (table.number == number) return table.codePage;
  return kDefaultCodePage;
}

struct Style {
  int width = 1;
  int height = 1;
  bool bold = false;
  bool underline = false;
  bool operator==(const Style&) const = default;
};

// Bytes waiting in the line buffer, in one style and one code table.
struct PendingRun {
  std::string bytes;
  Style style;
  const char* codePage;
};

// ESC a n, ESC GS a n: 0 or '0' left, 1 or '1' centre, 2 or '2' right; anything else changes nothing.
bool AlignmentOf(unsigned char n, Alignment& alignment) {
  const int value = n >= '0' ? n - '0' : n;
  if (value < 0 || value > 2) return false;
  alignment = value == 0 ? Alignment::Left : value == 1 ? Alignment::Centre : Alignment::Right;
  return true;
}

// A Star setting given as a number or as its digit ('4' for 4).
int StarNumber(unsigned char n) { return n >= '0' && n <= '9' ? n - '0' : n; }

class Interpreter {
 public:
  Interpreter(std::string_view bytes, std::string_view model, int columns)
      : m_bytes(bytes), m_model(model), m_columns(std::max(1, columns)) {}

  Receipt Run() {
    bool complete = true;
    while (complete && m_at < m_bytes.size()) {
      const unsigned char c = At(0);
      if (c == kEsc)
        complete = Escape();
      else if (c == kGs)
        complete = GroupSeparator();
      else if (c == kFs)
        complete = FileSeparator();
      else
        Plain(c);
    }
    // Bytes without a final line feed stay in the printer's buffer: they are not printed.
    return std::move(m_receipt);
  }

 private:
  bool Has(std::size_t count) const { return m_bytes.size() - m_at >= count; }
  unsigned char At(std::size_t offset) const { return static_cast<unsigned char>(m_bytes[m_at + offset]); }
  bool Skip(std::size_t count) {
    if (!Has(count)) return false;
    m_at += count;
    return true;
  }

  void Plain(unsigned char c) {
    ++m_at;
    if (c == kLf || c == kFf)
      PrintLine();
    else if (c == kHt)
      Tab();
    else if (c >= 0x20 && c != kDel)
      AddCharacter(c);
    // CR and every other control byte print nothing.
  }

  void AddCharacter(unsigned char c) {
    const int width = std::min(m_style.width, m_columns);
    if (m_used > 0 && m_used + width > m_columns) PrintLine();  // the printer wraps a full line
    if (m_line.empty()) m_lineAlignment = m_alignment;          // alignment counts at the start of a line
    if (m_line.empty() || !(m_line.back().style == m_style) || m_line.back().codePage != m_codePage)
      m_line.push_back({{}, m_style, m_codePage});
    m_line.back().bytes.push_back(static_cast<char>(c));
    m_used += width;
  }

  void Tab() {
    do AddCharacter(' ');
    while (m_used % kTabColumns != 0 && m_used < m_columns);
  }

  void PrintLine() {
    ReceiptItem item;
    item.kind = ReceiptItem::Kind::Line;
    item.alignment = m_lineAlignment;
    for (const PendingRun& pending : m_line) {
      item.runs.push_back({platform::ToUtf8(pending.bytes, pending.codePage), pending.style.width,
                           pending.style.height, pending.style.bold, pending.style.underline});
    }
    m_receipt.items.push_back(std::move(item));
    ClearLine();
  }

  void ClearLine() {
    m_line.clear();
    m_used = 0;
  }

  void FinishLine() {
    if (!m_line.empty()) PrintLine();
  }

  void Reset() {
    ClearLine();
    m_style = {};
    m_alignment = Alignment::Left;
    m_codePage = kDefaultCodePage;
    m_qrModule = 3;
    m_qrLevel = 'L';
  }

  void Cut(bool partial) {
    FinishLine();
    ReceiptItem item;
    item.kind = ReceiptItem::Kind::Cut;
    item.partialCut = partial;
    m_receipt.items.push_back(item);
  }

  void Feed(int dots) {
    FinishLine();
    ReceiptItem item;
    item.kind = ReceiptItem::Kind::Feed;
    item.feedDots = dots;
    m_receipt.items.push_back(item);
  }

  void PrintQr() {
    FinishLine();
    if (m_qrData.empty()) return;
    ReceiptItem item;
    item.kind = ReceiptItem::Kind::Qr;
    item.alignment = m_alignment;
    item.qrData = m_qrData;
    item.qrModule = m_qrModule;
    item.qrLevel = m_qrLevel;
    m_receipt.items.push_back(std::move(item));
  }

  void SelectTable(unsigned char number) {
    for (const ModelTable& table : kModelTables) {
      if (table.model == m_model && table.number == number) {
        m_codePage = table.codePage;
        return;
      }
    }
    m_codePage = Lookup(kEscPosTables, number);
  }

  // ESC ...
  bool Escape() {
    if (!Has(2)) return false;
    const unsigned char command = At(1);
    switch (command) {
      case '@':
        Reset();
        return Skip(2);
      case 'i':
        Cut(false);
        return Skip(2);
      case 'm':
        Cut(true);
        return Skip(2);
      case 0x1D:
        return StarCommand();
      case '$':
      case '\\':
      case 'c':
        return Skip(4);
      case 'p':
        return Skip(5);
      default:
        break;
    }
    static constexpr std::string_view kOneParameter = " !%-3=EGJMRTUVadert{";
    if (kOneParameter.find(static_cast<char>(command)) == std::string_view::npos) return Skip(2);
    if (!Has(3)) return false;
    ApplyParameterCommand(command, At(2));
    return Skip(3);
  }

  // ESC <command> n: the style, alignment, code table and feed commands that take one byte.
  void ApplyParameterCommand(unsigned char command, unsigned char n) {
    switch (command) {
      case '!':
        m_style.bold = (n & 0x08) != 0;
        m_style.height = (n & 0x10) != 0 ? 2 : 1;
        m_style.width = (n & 0x20) != 0 ? 2 : 1;
        m_style.underline = (n & 0x80) != 0;
        break;
      case 'E':
      case 'G':
        m_style.bold = (n & 1) != 0;
        break;
      case '-':
        m_style.underline = n == 1 || n == 2 || n == '1' || n == '2';
        break;
      case 'a':
        AlignmentOf(n, m_alignment);
        break;
      case 't':
        SelectTable(n);
        break;
      case 'd': {
        const bool pending = !m_line.empty();
        FinishLine();
        for (int line = pending ? 1 : 0; line < n; ++line) PrintLine();
        break;
      }
      case 'J':
        Feed(n);
        break;
      default:
        break;
    }
  }

  // ESC GS ...: Star's commands.
  bool StarCommand() {
    if (!Has(3)) return false;
    const unsigned char command = At(2);
    if (command == 'y') return StarQr();
    if (command != 't' && command != 'a') return Skip(3);
    if (!Has(4)) return false;
    if (command == 't')
      m_codePage = Lookup(kStarTables, At(3));
    else
      AlignmentOf(At(3), m_alignment);
    return Skip(4);
  }

  // ESC GS y S a n (settings), ESC GS y D 1 m nL nH d... (store), ESC GS y P (print), ESC GS y I (size).
  bool StarQr() {
    if (!Has(4)) return false;
    const unsigned char function = At(3);
    if (function == 'P') {
      PrintQr();
      return Skip(4);
    }
    if (function == 'S') {
      if (!Has(6)) return false;
      const int setting = StarNumber(At(4));
      const int n = StarNumber(At(5));
      if (setting == 1 && n >= 0 && n <= 3) m_qrLevel = "LMQH"[n];
      if (setting == 2 && n >= 1 && n <= 8) m_qrModule = n;
      return Skip(6);
    }
    if (function == 'D') {
      if (!Has(8)) return false;
      const std::size_t length = At(6) + 256u * At(7);
      if (!Has(8 + length)) return false;
      if (StarNumber(At(4)) == 1) m_qrData = std::string(m_bytes.substr(m_at + 8, length));
      return Skip(8 + length);
    }
    return Skip(4);
  }

  // GS ...
  bool GroupSeparator() {
    if (!Has(2)) return false;
    const unsigned char command = At(1);
    switch (command) {
      case '!': {
        if (!Has(3)) return false;
        const unsigned char n = At(2);
        m_style.width = ((n >> 4) & 0x07) + 1;
        m_style.height = (n & 0x07) + 1;
        return Skip(3);
      }
      case '(': {
        if (!Has(5)) return false;
        const std::size_t length = At(3) + 256u * At(4);
        if (!Has(5 + length)) return false;
        if (At(2) == 'k' && length >= 2) CodeFunction(At(5), At(6), m_bytes.substr(m_at + 7, length - 2));
        return Skip(5 + length);
      }
      case 'V': {
        if (!Has(3)) return false;
        const unsigned char m = At(2);
        const std::size_t size = m >= 65 ? 4 : 3;  // 65, 66, 97, 98, 103, 104 carry a feed amount
        if (!Has(size)) return false;
        Cut(m >= 65 ? m % 2 == 0 : (m & 1) != 0);
        return Skip(size);
      }
      case 'k': {  // a barcode: data up to NUL (m 0 to 6) or of the length n (m 65 and above)
        if (!Has(3)) return false;
        if (At(2) >= 65) return Has(4) && Skip(4 + At(3));
        const std::size_t end = m_bytes.find('\0', m_at + 3);
        return end != std::string_view::npos && Skip(end + 1 - m_at);
      }
      case 'v': {  // GS v 0 m xL xH yL yH d...: a raster image, not drawn
        if (!Has(8)) return false;
        return Skip(8 + static_cast<std::size_t>(At(4) + 256u * At(5)) * (At(6) + 256u * At(7)));
      }
      default:
        break;
    }
    static constexpr std::string_view kOneParameter = "BHIabfhrw";
    static constexpr std::string_view kTwoParameters = "LPW$\\";
    if (kOneParameter.find(static_cast<char>(command)) != std::string_view::npos) return Skip(3);
    if (kTwoParameters.find(static_cast<char>(command)) != std::string_view::npos) return Skip(4);
    return Skip(2);
  }

  // GS ( k pL pH cn fn parameters: cn 49 is QR Code.
  void CodeFunction(unsigned char cn, unsigned char fn, std::string_view parameters) {
    if (cn != 49) return;
    if (fn == 67 && !parameters.empty()) {
      const int size = static_cast<unsigned char>(parameters[0]);
      if (size >= 1 && size <= 16) m_qrModule = size;
    } else if (fn == 69 && !parameters.empty()) {
      const int level = static_cast<unsigned char>(parameters[0]) - 48;
      if (level >= 0 && level <= 3) m_qrLevel = "LMQH"[level];
    } else if (fn == 80 && !parameters.empty()) {
      m_qrData = std::string(parameters.substr(1));
    } else if (fn == 81) {
      PrintQr();
    }
  }

  // FS ...
  bool FileSeparator() {
    if (!Has(2)) return false;
    const unsigned char command = At(1);
    if (command == '(') {
      if (!Has(5)) return false;
      return Skip(5 + At(3) + 256u * At(4));
    }
    static constexpr std::string_view kOneParameter = "!-CW";
    static constexpr std::string_view kTwoParameters = "Sp";
    if (kOneParameter.find(static_cast<char>(command)) != std::string_view::npos) return Skip(3);
    if (kTwoParameters.find(static_cast<char>(command)) != std::string_view::npos) return Skip(4);
    return Skip(2);
  }

  std::string_view m_bytes;
  std::string_view m_model;
  int m_columns;
  std::size_t m_at = 0;
  Receipt m_receipt;

  Style m_style;
  Alignment m_alignment = Alignment::Left;
  const char* m_codePage = kDefaultCodePage;

  std::vector<PendingRun> m_line;
  int m_used = 0;  // columns the line buffer fills
  Alignment m_lineAlignment = Alignment::Left;

  std::string m_qrData;
  int m_qrModule = 3;
  char m_qrLevel = 'L';
};

}  // namespace

std::string ReceiptItem::Text() const {
  std::string text;
  for (const TextRun& run : runs) text += run.text;
  return text;
}

int ReceiptItem::Height() const {
  int height = 1;
  for (const TextRun& run : runs) height = std::max(height, run.height);
  return height;
}

Receipt ReadEscPos(std::string_view bytes, std::string_view model, int columns) {
  return Interpreter(bytes, model, columns).Run();
}

}  // namespace telvano::rawprint
