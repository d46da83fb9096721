#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace telvano::invoice {

// Turns the bytes of an invoice file into UTF-8 text. A leading UTF-8 byte-order mark is skipped.
// Bytes that are not valid UTF-8 are read in `codePage` when that names another code page than UTF-8
// (the POS then writes in the shop's legacy code page); with UTF-8 configured they make the invoice fail
// with InvalidTextError naming the first bad line, so nothing doubtful is ever sent.
std::string DecodeInvoiceText(std::string_view bytes, std::string_view codePage);

// The text split into lines at CR LF, lone CR and lone LF, without the lines that hold nothing but
// characters with codes 0 to 32. The remaining lines are kept as they are.
std::vector<std::string> SplitInvoiceLines(std::string_view text);

// One line split into fields: a blank (code 1 to 32) outside double quotes separates fields like a comma,
// blanks around commas belong to no field, "" inside a quoted field is one double quote, a trailing comma
// gives a trailing empty field.
std::vector<std::string> SplitFields(std::string_view line);

// The first field of a line, as SplitFields would give it (empty for a line without fields).
std::string FirstField(std::string_view line);

// The number of fields SplitFields gives, without building them.
std::size_t CountFields(std::string_view line);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
// `badOffset` receives the offset of the first bad byte otherwise.
bool IsValidUtf8(std::string_view text, std::size_t* badOffset = nullptr);

// Converts `bytes` from `codePage` to UTF-8 with iconv; a byte the code page does not define becomes "?".
// Raises std::runtime_error when the code page is unknown.
std::string CodePageToUtf8(std::string_view bytes, std::string_view codePage);

bool IsUtf8CodePageName(std::string_view codePage);

}  // namespace telvano::invoice
