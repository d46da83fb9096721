#pragma once

#include <string>
#include <string_view>

#include "invoice/value_list.h"

namespace telvano::invoice {

// The heading of every processor failure text.
inline constexpr const char* kSdcErrorHeading = "SDC:  error messages  |  PFR:  poruke o greškama";

// The failure text of a refused answer: the heading, an empty line, the body (a "modelState" list reshaped
// to one entry per line), an empty line, 60 "=", then "code: text" for every code of `errorTexts` (in table
// order) that occurs in the body. Every line ends with CR LF.
std::string BuildSdcErrorText(std::string_view body, const ValueList& errorTexts);

// The failure text when no answer came: the heading, two line feeds, the transport's error text.
std::string BuildNoReplyText(std::string_view errorText);

}  // namespace telvano::invoice
