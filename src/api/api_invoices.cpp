#include "api/api_invoices.h"

#include "core/text_utils.h"
#include "invoice/result_files.h"
#include "platform/whole_file.h"

namespace telvano::api {
namespace {

std::string LocationOf(const std::string& key) { return "/v1/invoices/" + key; }

}  // namespace

ApiAnswer JsonAnswer(int status, std::string body) { return {status, std::move(body), {}}; }

ApiInvoices::ApiInvoices(const ApiFolders& folders, db::Database& database, invoice::TFormInvoice& road,
                         platform::Clock& clock)
    : m_folders(folders), m_database(database), m_road(road), m_clock(clock), m_keys(database, folders.answers) {}

ApiAnswer ApiInvoices::Post(const std::string& key, const std::string& name, const std::string& csv) {
  m_ranRoad = false;
  const std::string hash = BodyHash(name, csv);
  if (const auto row = m_keys.Find(key)) {
    if (row->bodyHash != hash) return JsonAnswer(409, StatusBody("conflict", kKeyReusedText));
    return Current(*row, &csv);
  }
  // The open invoice's input must not be replaced: the new key is not taken, nothing is done.
  if (IsOpen(name)) return JsonAnswer(409, StatusBody("conflict", kNameOpenText));
  m_keys.Insert(key, hash, name);
  return Run({key, hash, name, false, 0}, csv);
}

ApiAnswer ApiInvoices::Get(const std::string& key) {
  const auto row = m_keys.Find(key);
  if (!row) return JsonAnswer(404, StatusBody("unknown", "Nepoznat ključ / Unknown key"));
  return Current(*row, nullptr);
}

ApiAnswer ApiInvoices::Current(const KeyRow& row, const std::string* csv) {
  if (row.answered) return Kept(row);
  if (const auto finished = Finished(row)) return *finished;
  if (IsOpen(row.inputName)) return PendingAnswer(row);
  // Taken, but nothing reached the processor (a crash before sending, an unreachable processor): sending it
  // now is safe, and only the same request may do it.
  if (csv != nullptr) return Run(row, *csv);
  return JsonAnswer(503, StatusBody("notSent", kNotSentText));
}

ApiAnswer ApiInvoices::Run(const KeyRow& row, const std::string& csv) {
  const std::string base = invoice::BaseName(row.inputName);
  RemoveResultFiles(m_folders.output, base);  // of an earlier try of this key: nothing else has this name now
  // Not flushed: the key is taken already, and the same request writes it again should a crash lose it.
  platform::WriteFileWhole(m_folders.input + "/" + row.inputName, csv, 0600);
  m_ranRoad = true;
  const auto unreachable = m_road.ProcessCsvInvoice(row.inputName);
  switch (m_road.LastOutcome().kind) {
    case invoice::OutcomeKind::Pending:
      return PendingAnswer(row);
    case invoice::OutcomeKind::Waiting:
      return JsonAnswer(409, StatusBody("conflict", kNameOpenText));
    case invoice::OutcomeKind::NotSent: {
      const ResultTexts texts = ReadResultTexts(m_folders.output, base);
      RemoveResultFiles(m_folders.output, base);
      const std::string why = texts.error ? *texts.error : unreachable ? *unreachable : std::string(kNotSentText);
      return JsonAnswer(503, StatusBody("notSent", why));
    }
    case invoice::OutcomeKind::Signed:
    case invoice::OutcomeKind::Refused:
    case invoice::OutcomeKind::None:
      break;
  }
  if (const auto finished = Finished(row)) return *finished;
  // The result files could not be written or read: the road logged why; the same request asks again.
  return JsonAnswer(500, StatusBody("error", "Ishod računa nije moguće pročitati / The outcome of the invoice "
                                             "could not be read; ask again with the same key"));
}

std::optional<ApiAnswer> ApiInvoices::Finished(const KeyRow& row) {
  if (IsOpen(row.inputName)) return std::nullopt;
  const ResultTexts texts = ReadResultTexts(m_folders.output, invoice::BaseName(row.inputName));
  if (texts.Signed()) return Keep(row, 200, SignedBody(texts, InvoiceNumberOf(row.inputName)));
  if (texts.error && !texts.error->empty()) return Keep(row, 422, StatusBody("refused", *texts.error));
  return std::nullopt;
}

ApiAnswer ApiInvoices::Keep(const KeyRow& row, int status, const std::string& body) {
  m_keys.Keep(row.key, status, body);
  RemoveResultFiles(m_folders.output, invoice::BaseName(row.inputName));
  return JsonAnswer(status, body);
}

ApiAnswer ApiInvoices::Kept(const KeyRow& row) { return JsonAnswer(row.httpStatus, m_keys.KeptBody(row.key)); }

ApiAnswer ApiInvoices::PendingAnswer(const KeyRow& row) {
  const ResultTexts texts = ReadResultTexts(m_folders.output, invoice::BaseName(row.inputName));
  ApiAnswer answer =
      JsonAnswer(202, StatusBody("pending", texts.error ? *texts.error : invoice::kMessageOutcomeUnknown));
  answer.headers.emplace_back("Location", LocationOf(row.key));
  return answer;
}

std::string ApiInvoices::InvoiceNumberOf(const std::string& name) {
  const auto row = m_database.QueryFirst(
      "select r.invoice_number from inv_request q join inv_response r on r.inv_uuid=q.inv_uuid "
      "where q.ext_filename=?",
      {core::UpperCaseUnicode(name)});
  return row ? (*row)[0].AsString() : std::string();
}

bool ApiInvoices::IsOpen(const std::string& name) {
  return m_road.HoldsInput(name) || m_road.Flight().IsOpenFor(core::UpperCaseUnicode(name));
}

void ApiInvoices::CollectFinished() {
  for (const KeyRow& row : m_keys.Unanswered()) Finished(row);
  m_keys.MarkKept();
  if (m_clock.Now() - m_lastPurge > std::chrono::hours(1)) {
    m_lastPurge = m_clock.Now();
    m_keys.Purge(kRetention);
  }
}

}  // namespace telvano::api
