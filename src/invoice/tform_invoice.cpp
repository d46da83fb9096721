#include "invoice/tform_invoice.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "core/message_table.h"
#include "invoice/csv_text.h"
#include "invoice/invoice_error.h"
#include "invoice/invoice_request.h"
#include "invoice/sdc_error_text.h"

namespace telvano::invoice {
namespace {

constexpr const char* kCrLf = "\r\n";

// A name the handler may join to a folder: no separator, no NUL, not "." or "..".
bool IsBareName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos &&
         name != "." && name != "..";
}

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace

TFormInvoice::TFormInvoice(const core::Configuration& configuration, db::Database& database, sdc::TFormHTTP& http,
                           platform::Clock& clock, ReceiptPrinter& printer)
    : m_configuration(configuration),
      m_database(database),
      m_http(http),
      m_clock(clock),
      m_storage(database),
      m_resultFiles(configuration, clock, printer),
      m_responses(configuration, database, m_resultFiles) {
  for (const core::ProcessorErrorText& entry : core::ProcessorErrorTexts()) {
    m_processorErrorTexts.Add(std::string(entry.code), std::string(entry.text));
  }
}

void TFormInvoice::ProcessCsvInvoice(const std::string& fileName) {
  Attempt attempt;
  try {
    Fiscalise(fileName, attempt);
  } catch (const std::exception& error) {
    Fail(fileName, attempt, error.what());
  } catch (...) {
    Fail(fileName, attempt, "Nepoznata greška / Unknown error");
  }
}

void TFormInvoice::Fiscalise(const std::string& fileName, Attempt& attempt) {
  const InvoiceFileName name = CheckInvoiceFileName(fileName, m_lists);
  // Grouped: the duplicate check, the rows and the reading of the request share one transaction, committed
  // before anything is sent; a failure before that point leaves no row (the transaction ends as this
  // function unwinds, before the undo of the failure path runs).
  std::optional<db::Database::Transaction> transaction;
  if (m_groupedStores && !m_database.InTransaction()) transaction.emplace(m_database);
  if (m_storage.IsStored(name.extFilename)) throw InvoiceError(kMessageDuplicate);

  std::vector<std::string> lines;
  if (name.hasCsvExtension) {
    // Opening a FIFO or device would block the one thread of the program; only plain files are read.
    std::error_code error;
    if (std::filesystem::exists(InputPath(fileName), error) &&
        !std::filesystem::is_regular_file(InputPath(fileName), error)) {
      throw InvoiceError("Nije običan fajl / Not a regular file: " + fileName);
    }
    lines = SplitInvoiceLines(DecodeInvoiceText(ReadWholeFile(InputPath(fileName)), m_configuration.CodePage));
  }
  std::size_t itemCount = 0;
  InvoiceOptions options;
  {
    const ParsedInvoice parsed = ParseInvoiceLines(lines);
    lines.clear();
    options = ReadInvoiceOptions(parsed.others);
    attempt.uuid = NewInvoiceUuid();
    itemCount = m_storage.StoreInvoice(attempt.uuid, name, parsed, options.taxLabelCodes);
  }
  attempt.keepJson = options.keepJson;

  const std::string request = BuildInvoiceRequest(m_database, attempt.uuid, m_lists);
  if (transaction) transaction->Commit();
  transaction.reset();

  const std::string requestName = attempt.uuid + "_req.json";
  WriteWholeFile(ArchivePath(requestName), request + kCrLf);
  attempt.requestWritten = true;

  m_http.CallWorking(sdc::kOpInvoices, requestName, attempt.uuid);
  if (m_http.ResponseCode == 200) {
    HandleAnswer(fileName, attempt, options, itemCount);
    return;
  }
  if (m_http.ResponseCode < 1) throw InvoiceError(BuildNoReplyText(m_http.ErrorText));
  throw InvoiceError(BuildSdcErrorText(m_http.ResponseBody, m_processorErrorTexts));
}

void TFormInvoice::HandleAnswer(const std::string& fileName, const Attempt& attempt, const InvoiceOptions& options,
                                std::size_t itemCount) {
  // The transport already refuses bigger answers; this keeps a stand-in transport to the same rule.
  if (m_http.ResponseBody.size() > sdc::kMaxResponseBytes) throw InvoiceError(BuildNoReplyText(sdc::kResponseTooLargeText));
  const std::string responsePath = ArchivePath(attempt.uuid + "_resp.json");
  WriteWholeFile(responsePath, m_http.ResponseBody + kCrLf);
  m_responses.ProcessResponse(attempt.uuid, options.printerModel, options.printerPort, options.changeAmount,
                              options.signatureLine, options.taxLabelCodes, m_groupedStores, BaseName(fileName));

  // The invoice is fiscalised and stored from here on: a file that cannot be removed must not turn it into
  // a failure (that would delete the records of a receipt the processor has signed).
  RemoveQuietly(InputPath(fileName));
  if (!attempt.keepJson) {
    RemoveQuietly(ArchivePath(attempt.uuid + "_req.json"));
    RemoveQuietly(responsePath);
  }
  SendPause(itemCount);
}

void TFormInvoice::Fail(const std::string& fileName, const Attempt& attempt, const std::string& message) {
  // Each step is tried on its own: one that fails must not keep the POS from learning the outcome.
  if (!attempt.uuid.empty()) {
    try {
      m_storage.RollbackInvoice(attempt.uuid);
    } catch (const std::exception&) {
    }
  }
  if (!IsBareName(fileName)) return;  // never join such a name to a folder
  std::error_code error;
  if (std::filesystem::copy_file(InputPath(fileName), ArchivePath(fileName),
                                 std::filesystem::copy_options::overwrite_existing, error)) {
    RemoveQuietly(InputPath(fileName));
  }
  if (attempt.requestWritten && !attempt.keepJson) RemoveQuietly(ArchivePath(attempt.uuid + "_req.json"));
  try {
    m_resultFiles.WriteErrorFile(fileName, message);
  } catch (const std::exception&) {
  }
}

std::chrono::milliseconds TFormInvoice::PauseFor(std::size_t itemCount) {
  std::size_t ms = 2000 + 2000 * (itemCount / 50);
  if (itemCount > 20) ms += 20 * (itemCount % 50);
  return std::chrono::milliseconds(ms);
}

void TFormInvoice::SendPause(std::size_t itemCount) { m_clock.Sleep(PauseFor(itemCount)); }

}  // namespace telvano::invoice
