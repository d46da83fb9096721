// libFuzzer target: a command file from its raw bytes to the commands of its lines, the way the command
// handler reads it before anything reaches the database, and the quoting of answer lines for the POS.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cmd/command_file_text.h"
#include "cmd/response_line.h"
#include "core/text_utils.h"
#include "invoice/csv_text.h"

namespace {

using namespace telvano;

// A broken promise of the reader: stops the run so that libFuzzer keeps the input.
void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// An answer line must read back as the fields it was made of, whatever they hold.
void CheckAnswerLine(const std::vector<std::string>& fields) {
  Check(invoice::SplitFields(cmd::JoinResponseFields(fields)) == fields);
}

void ReadFile(std::string_view bytes, const std::string& codePage) {
  const std::string text = cmd::DecodeCommandFileText(bytes, codePage);
  for (const std::string& line : cmd::SplitCommandLines(text)) {
    Check(line.find_first_of("\r\n") == std::string::npos);
    const std::vector<std::string> fields = invoice::SplitFields(line);
    if (fields.size() >= 2) {
      core::UpperCaseUnicode(fields[0]);
      core::UpperCaseUnicode(fields[1]);
    }
    CheckAnswerLine(fields);
    CheckAnswerLine({line});  // an error text is one field
    const std::string quoted = cmd::QuoteResponseField(line);
    Check(quoted == line || (quoted.size() >= line.size() + 2 && quoted.front() == '"' && quoted.back() == '"'));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  ReadFile(input, "windows-1250");
  ReadFile(input, "");  // no code page configured: UTF-8
  return 0;
}
