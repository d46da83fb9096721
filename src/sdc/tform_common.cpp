#include "sdc/tform_common.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <system_error>
#include <vector>

#include "core/message_table.h"
#include "platform/whole_file.h"
#include "sdc/processor_json.h"

namespace telvano::sdc {

namespace {

using Json = nlohmann::json;

constexpr int kMessageSdcNotAvailable = 4;
constexpr int kMessagePacInvalid = 17;
constexpr int kMessageConnectionError = 18;

// General status codes that stop the work, in the order they are looked for.
constexpr std::array<const char*, 9> kBlockingCodes = {"1300", "2100", "2110", "2210", "2220",
                                                       "2230", "2310", "2400", "1999"};

bool NoReply(const TFormHTTP& http) { return http.ResponseCode < 1; }

// 401 and 403 are how a VPFR turns away a request whose PAC or certificate it does not accept.
bool RefusesTheCredentials(int status) { return status == 401 || status == 403; }

// The codes of "gsc". The processor sends an array of four-digit strings; a lone string or bare numbers
// are read the same way. An answer that is not JSON or has no "gsc" has no codes.
std::vector<std::string> GeneralStatusCodes(const std::string& body) {
  std::vector<std::string> codes;
  const Json answer = ParseProcessorJson(body);
  if (!answer.is_object()) return codes;
  const auto found = answer.find("gsc");
  if (found == answer.end()) return codes;
  auto take = [&codes](const Json& value) {
    if (value.is_string()) {
      codes.push_back(value.get<std::string>());
    } else if (value.is_number_integer()) {
      codes.push_back(value.dump());
    }
  };
  if (found->is_array()) {
    for (const Json& value : *found) take(value);
  } else {
    take(*found);
  }
  for (std::string& code : codes) {
    const auto first = code.find_first_not_of(" \t\r\n");
    const auto last = code.find_last_not_of(" \t\r\n");
    code = first == std::string::npos ? std::string() : code.substr(first, last - first + 1);
  }
  return codes;
}

// The text member `name` of a JSON object text, or "" when the text is not such an object.
std::string TextMember(const std::string& body, const char* name) {
  const Json answer = ParseProcessorJson(body);
  if (!answer.is_object()) return {};
  const auto found = answer.find(name);
  if (found == answer.end() || !found->is_string()) return {};
  return found->get<std::string>();
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

TFormCommon::TFormCommon(const core::Configuration& configuration, const core::WorkingState& workingState,
                         TFormHTTP& http, core::MessageService& messages, db::Database* database)
    : m_configuration(configuration),
      m_workingState(workingState),
      m_http(http),
      m_messages(messages),
      m_database(database) {}

void TFormCommon::CheckLpfrStatus() {
  m_http.CallLPFR(kOpStatus, "", "");
  if (m_http.ResponseCode != 200) {
    const std::string text = NoReply(m_http) ? kConnectionErrorText + m_http.ErrorText : m_http.ResponseBody;
    m_messages.ShowInfo(text);
    throw SdcError(text);
  }
  const std::vector<std::string> codes = GeneralStatusCodes(m_http.ResponseBody);
  for (const char* blocking : kBlockingCodes) {
    for (const std::string& code : codes) {
      if (code == blocking) {
        m_messages.ShowProcessorError(code);
        throw SdcError(code);
      }
    }
  }
}

void TFormCommon::SendPin() {
  m_http.CallLPFR(kOpPin, "", "");
  // The local processor answers with a JSON string such as "0100"; some send the bare code.
  std::string answer;
  for (char c : m_http.ResponseBody) {
    if (c != '"') answer += c;
  }
  answer = Trim(answer);
  if (answer == "0100") return;
  if (!answer.empty() && !core::ProcessorErrorTextOf(answer).empty()) {
    m_messages.ShowProcessorError(answer);
    throw SdcError(answer);
  }
  m_messages.ShowMessageText(kMessageConnectionError, kConnectionErrorSerbian + m_http.ErrorText,
                             kConnectionErrorEnglish + m_http.ErrorText);
  throw SdcError(kConnectionErrorText + m_http.ErrorText);
}

void TFormCommon::CheckVpfrPac() {
  m_http.CallVPFR(kOpStatus, "", "");
  if (m_http.ResponseCode == 200) return;
  std::string text;
  if (NoReply(m_http)) {
    m_messages.ShowMessageText(kMessageConnectionError, kConnectionErrorSerbian + m_http.ErrorText,
                               kConnectionErrorEnglish + m_http.ErrorText);
    text = kConnectionErrorText + m_http.ErrorText;
  } else {
    m_messages.ShowMessageNo(kMessagePacInvalid);
    text = kPacInvalidText + m_http.ResponseBody;
  }
  m_messages.ShowInfo(text);
  throw SdcError(text);
}

void TFormCommon::CheckAttention(bool showMessage) {
  m_http.CallWorking(kOpAttention, "", "");
  if (m_http.ResponseCode == 200) return;
  if (!m_workingState.WorkIsLpfr && RefusesTheCredentials(m_http.ResponseCode)) {
    // A VPFR that refuses the PAC (or the client certificate) refuses every request, the availability check
    // first: the operator is told what to correct instead of being sent to look at the network.
    if (showMessage) m_messages.ShowMessageNo(kMessagePacInvalid);
    const std::string text = kPacInvalidText + m_http.ResponseBody;
    if (showMessage) m_messages.ShowInfo(text);
    throw SdcError(text);
  }
  const std::string text = NoReply(m_http) ? kConnectionErrorText + m_http.ErrorText
                                           : kSdcNotAvailableText + m_http.ResponseBody;
  if (showMessage && m_http.ErrorText.rfind(kClientCertificateRefusedText, 0) == 0) {
    m_messages.ShowInfo(text);  // the certificate is to be mended, not the network
  } else if (showMessage) {
    m_messages.ShowMessageNo(kMessageSdcNotAvailable);
  }
  throw SdcError(text);
}

std::string TFormCommon::WorkingJson(int operation) {
  m_http.CallWorking(operation, "", "");
  if (m_http.ResponseCode == 200) return m_http.ResponseBody;
  if (NoReply(m_http)) throw SdcError(kConnectionErrorText + m_http.ErrorText);
  m_messages.ShowInfo(m_http.ResponseBody);
  return {};
}

std::string TFormCommon::GetStatusJson() { return WorkingJson(kOpStatus); }

std::string TFormCommon::GetEnvironmentJson() { return WorkingJson(kOpEnvironmentParameters); }

std::string TFormCommon::GetProcessorUid() {
  try {
    return TextMember(GetStatusJson(), "uid");
  } catch (const SdcError&) {
    return {};
  }
}

std::string TFormCommon::GetEnvironmentName() {
  m_http.CallWorking(kOpEnvironmentParameters, "", "");
  if (m_http.ResponseCode != 200) return {};
  return TextMember(m_http.ResponseBody, "environmentName");
}

void TFormCommon::SaveProcessorInfo(int kind, bool showDone) {
  if (kind != kProcessorInfoEnvironment && kind != kProcessorInfoStatus) {
    throw SdcError("Unknown processor information kind " + std::to_string(kind));
  }
  // The serial names a file inside OutputDir and must not lead anywhere else.
  const std::string& serial = m_workingState.WorkSerial;
  if (serial.find('/') != std::string::npos || serial.find('\0') != std::string::npos || serial == "." ||
      serial == "..") {
    throw SdcError("Invalid certificate serial for a file name: " + serial);
  }
  const bool environment = kind == kProcessorInfoEnvironment;
  const std::string text = environment ? GetEnvironmentJson() : GetStatusJson();
  const std::string file =
      m_configuration.OutputDir + "/" + serial + (environment ? "_Environment.json" : "_Status.json");
  try {
    platform::WriteFileDurably(file, text + "\r\n");
  } catch (const platform::FileError& error) {
    throw SdcError(error.what());
  }
  if (showDone) m_messages.ShowInfo("Sačuvan u: " + file);
}

}  // namespace telvano::sdc

namespace telvano::sdc {

std::chrono::year_month_day TFormCommon::ParseCertDate(const std::string& text) {
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const auto invalid = [&text] { return SdcError("'" + text + "' is not a valid date"); };
  if (text.size() < 20) throw invalid();
  unsigned month = 0;
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (text.compare(0, 3, kMonths[i]) == 0) month = static_cast<unsigned>(i + 1);
  }
  const auto number = [&invalid](const std::string& digits) {
    const std::string trimmed = Trim(digits);
    if (trimmed.empty() || trimmed.find_first_not_of("0123456789") != std::string::npos) throw invalid();
    return std::stoi(trimmed);
  };
  const int day = number(text.substr(4, 2));
  const int year = number(text.substr(16, 4));
  const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{month},
                                         std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok()) throw invalid();
  return date;
}

std::string TFormCommon::FormatDate(const std::chrono::year_month_day& date) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

}  // namespace telvano::sdc
