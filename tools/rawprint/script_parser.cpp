#include "script_parser.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <utility>

namespace telvano::rawprint {

namespace {

constexpr std::array<std::pair<std::string_view, unsigned char>, 34> kControlNames = {{
    {"NUL", 0},   {"SOH", 1},   {"STX", 2},  {"ETX", 3},  {"EOT", 4},  {"ENQ", 5},  {"ACK", 6},
    {"BEL", 7},   {"BS", 8},    {"HT", 9},   {"LF", 10},  {"VT", 11},  {"FF", 12},  {"CR", 13},
    {"SO", 14},   {"SI", 15},   {"DLE", 16}, {"DC1", 17}, {"DC2", 18}, {"DC3", 19}, {"DC4", 20},
    {"NAK", 21},  {"SYN", 22},  {"ETB", 23}, {"CAN", 24}, {"EM", 25},  {"SUB", 26}, {"ESC", 27},
    {"FS", 28},   {"GS", 29},   {"RS", 30},  {"US", 31},  {"SP", 32},  {"DEL", 127},
}};

// One element of a line: a byte from a command token, the bytes of a quoted text, or a pause.
struct Piece {
  enum class Kind { Command, Text, Pause } kind;
  std::string bytes;
  int pauseMs = 0;
};

bool IsDigits(std::string_view token) {
  if (token.empty()) return false;
  for (char c : token)
    if (c < '0' || c > '9') return false;
  return true;
}

std::optional<unsigned long> ToNumber(std::string_view digits) {
  unsigned long value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

std::string Printable(std::string_view token) {
  std::string out;
  for (unsigned char c : token.substr(0, 40)) out.push_back(c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c));
  return out;
}

Piece TokenPiece(std::string_view token, int line) {
  for (const auto& [name, byte] : kControlNames)
    if (token == name) return {Piece::Kind::Command, std::string(1, static_cast<char>(byte))};
  if (IsDigits(token)) {
    const auto value = ToNumber(token);
    if (!value || *value > 255) throw ScriptError(line, "number above 255: " + Printable(token));
    return {Piece::Kind::Command, std::string(1, static_cast<char>(*value))};
  }
  if (token.size() > 1 && token[0] == '*' && IsDigits(token.substr(1))) {
    const auto value = ToNumber(token.substr(1));
    if (!value || *value > static_cast<unsigned long>(kMaxPauseMs))
      throw ScriptError(line, "pause longer than " + std::to_string(kMaxPauseMs) + " ms: " + Printable(token));
    return {Piece::Kind::Pause, {}, static_cast<int>(*value)};
  }
  const auto c = static_cast<unsigned char>(token.size() == 1 ? token[0] : 0);
  if (token.size() == 1 && c > 0x20 && c != 0x7F) return {Piece::Kind::Command, std::string(token)};
  throw ScriptError(line, "unknown token: " + Printable(token));
}

void AppendTokens(std::string_view text, int line, std::vector<Piece>& pieces) {
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    std::size_t end = at;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    if (end > at) pieces.push_back(TokenPiece(text.substr(at, end - at), line));
    at = end;
  }
}

std::vector<Piece> LinePieces(std::string_view text, int line) {
  std::vector<Piece> pieces;
  const std::size_t open = text.find('"');
  if (open == std::string_view::npos) {
    AppendTokens(text, line, pieces);
    return pieces;
  }
  const std::size_t close = text.rfind('"');
  if (close == open) throw ScriptError(line, "text without its closing double quote");
  AppendTokens(text.substr(0, open), line, pieces);
  pieces.push_back({Piece::Kind::Text, std::string(text.substr(open + 1, close - open - 1))});
  AppendTokens(text.substr(close + 1), line, pieces);
  return pieces;
}

bool IsCommandByte(const std::vector<Piece>& pieces, std::size_t i, unsigned char value) {
  return i < pieces.size() && pieces[i].kind == Piece::Kind::Command &&
         static_cast<unsigned char>(pieces[i].bytes[0]) == value;
}

bool StartsWith(const std::vector<Piece>& pieces, std::size_t i, std::initializer_list<unsigned char> bytes) {
  for (unsigned char value : bytes)
    if (!IsCommandByte(pieces, i++, value)) return false;
  return true;
}

// Where a two-dimensional code function starts at `i`, the number of pieces before its length bytes.
std::size_t CodeFunctionHeader(const std::vector<Piece>& pieces, std::size_t i) {
  if (StartsWith(pieces, i, {0x1D, '(', 'k'})) return 3;             // GS ( k pL pH cn fn ...
  if (StartsWith(pieces, i, {0x1B, 0x1D, 'y', 'D', '1'})) return 6;  // ESC GS y D 1 m nL nH d...
  return 0;
}

// A code function's length bytes must announce exactly the data that follows them on the line.
void CheckCodeLengths(const std::vector<Piece>& pieces, int line) {
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::size_t header = CodeFunctionHeader(pieces, i);
    if (header == 0) continue;
    const std::size_t lengthAt = i + header;
    if (lengthAt + 1 >= pieces.size() || pieces[lengthAt].kind != Piece::Kind::Command ||
        pieces[lengthAt + 1].kind != Piece::Kind::Command)
      throw ScriptError(line, "code function without its two length bytes");
    const std::size_t announced = static_cast<unsigned char>(pieces[lengthAt].bytes[0]) +
                                  256u * static_cast<unsigned char>(pieces[lengthAt + 1].bytes[0]);
    std::size_t data = 0;
    std::size_t j = lengthAt + 2;
    for (; j < pieces.size() && CodeFunctionHeader(pieces, j) == 0; ++j) data += pieces[j].bytes.size();
    if (data != announced)
      throw ScriptError(line, "code function announces " + std::to_string(announced) + " data bytes but has " +
                                  std::to_string(data));
    i = j - 1;
  }
}

}  // namespace

std::size_t PrintJob::ByteCount() const {
  std::size_t count = 0;
  for (const auto& step : steps) count += step.bytes.size();
  return count;
}

std::string PrintJob::AllBytes() const {
  std::string all;
  for (const auto& step : steps) all += step.bytes;
  return all;
}

PrintJob ParseScript(std::string_view script) {
  PrintJob job;
  job.steps.emplace_back();
  int line = 0;
  std::size_t at = 0;
  while (at < script.size()) {
    std::size_t end = script.find('\n', at);
    if (end == std::string_view::npos) end = script.size();
    std::string_view text = script.substr(at, end - at);
    at = end + 1;
    ++line;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (line == 1 && !text.empty() && text[0] == '\'') {
      const std::size_t comma = text.find(',');
      job.model = std::string(text.substr(1, comma == std::string_view::npos ? std::string_view::npos : comma - 1));
      if (comma != std::string_view::npos) job.port = std::string(text.substr(comma + 1));
      continue;
    }
    const std::vector<Piece> pieces = LinePieces(text, line);
    CheckCodeLengths(pieces, line);
    for (const auto& piece : pieces) {
      if (piece.kind == Piece::Kind::Pause) {
        job.steps.back().pauseMs += piece.pauseMs;
        job.steps.emplace_back();
      } else {
        job.steps.back().bytes += piece.bytes;
      }
    }
  }
  if (job.steps.back().bytes.empty() && job.steps.back().pauseMs == 0) job.steps.pop_back();
  return job;
}

}  // namespace telvano::rawprint
