#include "cmd/tform_cmd.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "cmd/command_file_text.h"
#include "cmd/response_line.h"
#include "core/text_utils.h"
#include "core/time_text.h"
#include "core/working_certificate.h"
#include "db/settings.h"
#include "invoice/csv_text.h"
#include "invoice/value_list.h"
#include "platform/whole_file.h"

namespace telvano::cmd {

namespace {

namespace fs = std::filesystem;

// Read once through a checked descriptor: never a link, a FIFO or a device, and never more than a command
// file can sensibly hold (a real one is a few lines).
std::string ReadCommandFile(const fs::path& path) {
  try {
    return platform::ReadRegularFile(path.string(), kMaxCommandFileBytes);
  } catch (const platform::FileTooLargeError&) {
    throw std::runtime_error(kCommandFileTooLargeText);
  } catch (const platform::NotRegularFileError& error) {
    throw std::runtime_error(error.what());
  } catch (const platform::FileError&) {
    throw std::runtime_error("Cannot read the command file / Komandni fajl nije moguće pročitati");
  }
}

// A rate as a plain decimal: at most four decimals and no trailing zeros ("20", "10.5").
std::string RateText(const db::Field& field) {
  if (field.IsNull()) return {};
  std::string text = field.AsDecimal().ToFixed(4);
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

}  // namespace

TFormCmd::TFormCmd(const core::Configuration& configuration, const core::WorkingState& workingState,
                   db::Database& database, sdc::TFormCommon& common, invoice::ReceiptPrinter& printer,
                   core::ApplicationControl& application, platform::Clock& clock)
    : m_configuration(configuration),
      m_workingState(workingState),
      m_database(database),
      m_common(common),
      m_printer(printer),
      m_application(application),
      m_clock(clock),
      m_reports(database),
      m_window(configuration, "CMD_*.csv", kCmdDoneText,
               [this](const std::string& name) { ProcessCmdFile(name); }) {
  m_window.SetCaptionSource(
      [this] { return core::WindowCaption(m_workingState, m_configuration.ProgramVersion); });
}

std::string TFormCmd::ResponseFileName(const std::string& bareName) {
  const std::string base = bareName.size() >= 4 ? bareName.substr(0, bareName.size() - 4) : bareName;
  return base + "_resp.txt";
}

void TFormCmd::ProcessCmdFile(const std::string& bareName) {
  const std::string inputPath = (fs::path(m_configuration.InputDir) / bareName).string();
  Response response;
  std::error_code statusError;
  const fs::file_status status = fs::symlink_status(inputPath, statusError);
  if (!statusError && fs::exists(status) && !fs::is_regular_file(status)) {
    // A folder, FIFO or link is never opened or followed: it is set aside into the archive as it is.
    std::error_code moveError;
    fs::rename(inputPath, (fs::path(m_configuration.ArchiveDir) / bareName), moveError);
    const std::string text = "Nije običan fajl / Not a regular file: " + bareName;
    LogFailure(bareName, text);
    WriteResponse((fs::path(m_configuration.OutputDir) / ResponseFileName(bareName)).string(), {{text}});
    return;
  }
  try {
    const auto lines =
        SplitCommandLines(DecodeCommandFileText(ReadCommandFile(inputPath), m_configuration.CodePage));
    for (const std::string& line : lines) {
      if (!RunLine(line, inputPath, response)) return;
    }
  } catch (const std::exception& error) {
    response.push_back({error.what()});
    LogFailure(bareName, error.what());
  } catch (...) {
    response.push_back({kUnknownFailureText});
    LogFailure(bareName, kUnknownFailureText);
  }
  // The file goes first, so a response the POS finds always belongs to a command file that is done with.
  std::error_code ignored;
  fs::remove(inputPath, ignored);
  WriteResponse((fs::path(m_configuration.OutputDir) / ResponseFileName(bareName)).string(), response);
}

bool TFormCmd::RunLine(const std::string& line, const std::string& inputPath, Response& response) {
  const std::vector<std::string> fields = invoice::SplitFields(line);
  if (fields.size() < 2) throw std::runtime_error(kLineWithoutParameterText);
  const std::string command = core::UpperCaseUnicode(fields[0]);
  if (command == "STOP-TELVANO") {
    StopTelvano(inputPath);
    return false;
  }
  if (command == "REPRINT") {
    Reprint(fields[1], response);
  } else {
    RunCommand(command, core::UpperCaseUnicode(fields[1]), response);
  }
  return true;
}

void TFormCmd::RunCommand(const std::string& command, const std::string& parameter, Response& response) {
  if (command == "HELLO-TELVANO") {
    response.push_back({kActiveText, TimeStamp()});
  } else if (command == "HELLO-PFR") {
    response.push_back(HelloPfr());
  } else if (command == "GET-ENV") {
    m_common.SaveProcessorInfo(sdc::kProcessorInfoEnvironment, false);
  } else if (command == "GET-STATUS") {
    m_common.SaveProcessorInfo(sdc::kProcessorInfoStatus, false);
  } else if (command == "GET-TAXGROUPS") {
    GetTaxGroups(parameter, response);
  } else if (command == "GET-BUNIT") {
    GetBusinessUnit(response);
  } else if (command == "GET-PFR") {
    GetProcessor(response);
  } else if (Reports::IsReportCommand(command)) {
    for (auto& fields : m_reports.Run(command, parameter)) response.push_back(std::move(fields));
  } else {
    response.push_back({kUnknownCommandText});
  }
}

// A processor that does not answer is an answer here, not a failure of the file.
TFormCmd::Fields TFormCmd::HelloPfr() {
  try {
    m_common.CheckAttention(false);
    return {kActiveText, TimeStamp()};
  } catch (const std::exception&) {
    return {kConnectionErrorText, TimeStamp()};
  }
}

void TFormCmd::GetTaxGroups(const std::string& parameter, Response& response) {
  const std::string labelColumn = parameter == "1" ? "label_cyr" : "label";
  const std::string sql = "select group_id," + labelColumn +
                          ",rate,category_type,name,order_id,valid_from  from tax_groups order by 1,2";
  for (const db::Row& row : m_database.Query(sql)) {
    response.push_back({row[0].AsString(), row[1].AsString(), RateText(row[2]), row[3].AsString(),
                        row[4].AsString(), row[5].AsString(), row[6].AsString()});
  }
}

void TFormCmd::GetBusinessUnit(Response& response) {
  const auto row = m_database.QueryFirst("select * from cert_se where serial=?", {m_workingState.WorkSerial});
  if (!row) return;
  const db::Row& r = *row;
  response.push_back({r["sub_tin"].AsString(), r["sub_o"].AsString(), r["sub_ou"].AsString(),
                      r["sub_st"].AsString(), r["sub_street"].AsString()});
}

void TFormCmd::GetProcessor(Response& response) {
  const auto row = m_database.QueryFirst("select * from cert_se where serial=?", {m_workingState.WorkSerial});
  if (!row) return;
  response.push_back({(*row)["sub_tin"].AsString(), (*row)["serial"].AsString(),
                      db::ReadSetting(m_database, "SDC_MRC"), m_workingState.WorkEnv});
}

// The invoice handler stores the file name upper-cased in ext_filename; both the handler's rule (ASCII
// letters) and the full Unicode rule are tried, so a name with letters outside ASCII is found either way.
void TFormCmd::Reprint(const std::string& fileName, Response& response) {
  const auto row = m_database.QueryFirst("select inv_uuid from inv_request where ext_filename=? or ext_filename=?",
                                         {invoice::AsciiUpper(fileName), core::UpperCaseUnicode(fileName)});
  if (!row) {
    response.push_back({kNoSuchInvoiceText});
    return;
  }
  m_printer.ReprintJournal((*row)[0].AsString());
}

void TFormCmd::StopTelvano(const std::string& inputPath) {
  std::error_code ignored;
  fs::remove(inputPath, ignored);
  m_application.WriteStartStopNotice(false, true);
  m_application.RequestTerminate();
}

void TFormCmd::LogFailure(const std::string& bareName, const std::string& text) const {
  if (m_log) m_log("Komanda " + bareName + " nije izvršena / The command failed: " + core::OneLine(text));
}

std::string TFormCmd::TimeStamp() const { return core::LocalIsoTime(m_clock.LocalNow()); }

// Written under a hidden temporary name and renamed, so the POS never reads half a response.
void TFormCmd::WriteResponse(const std::string& path, const Response& response) const {
  std::string bytes;
  for (const Fields& fields : response) bytes += JoinResponseFields(fields) + "\r\n";
  try {
    platform::WriteFileDurably(path, bytes);
  } catch (const platform::FileError& error) {
    throw std::runtime_error(std::string("Cannot write the response file: ") + error.what());
  }
}

}  // namespace telvano::cmd
