#include "invoice/tform_invoice_json.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/text_utils.h"
#include "invoice/invoice_answer.h"
#include "invoice/invoice_storage.h"
#include "invoice/tform_invoice.h"
#include "platform/directory_listing.h"
#include "platform/whole_file.h"

namespace telvano::invoice {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kCrLf = "\r\n";
constexpr const char* kPattern = "INV_*.json";
constexpr const char* kPendingSuffix = ".pending";
// A pending record is one request id and one failure text: far below this.
constexpr std::size_t kMaxPendingBytes = 64u * 1024u;
constexpr std::size_t kRequestIdLength = 32;
constexpr std::size_t kLoggedTextLength = 300;

// Right after an answer got lost: the processor is asked at once, after 2 s and after 3 s more, as the
// invoice road does. A later pass asks once.
const std::vector<std::chrono::milliseconds> kLookupWaits = {0ms, 2000ms, 3000ms};
const std::vector<std::chrono::milliseconds> kPassWaits = {0ms};

bool IsJsonInvoiceName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos &&
         name != "." && name != ".." && platform::MatchesPattern(name, kPattern);
}

bool IsRequestId(const std::string& text) {
  return text.size() == kRequestIdLength && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// 32 lower-case hexadecimal digits: a random GUID without its hyphens, within the processor's 32 characters.
std::string NewRequestId() {
  std::string id = NewInvoiceUuid();
  id.erase(std::remove(id.begin(), id.end(), '-'), id.end());
  return id;
}

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

std::string OneLine(std::string text) { return core::Utf8Prefix(core::OneLine(std::move(text)), kLoggedTextLength); }

// The first line of an open invoice's record: its request id and the processor it went to, separated by
// tabs ("<id>\t<LPFR|VPFR>\t<serial>\t<url>"). A record of an older version holds the id alone.
std::string PendingLine(const std::string& requestId, const sdc::ProcessorTarget& processor) {
  return requestId + "\t" + processor.Kind() + "\t" + processor.serial + "\t" + processor.url;
}

bool ParsePendingLine(const std::string& line, std::string& requestId, sdc::ProcessorTarget& processor) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1) {
    parts.push_back(line.substr(from, tab - from));
  }
  parts.push_back(line.substr(from));
  if (parts.size() != 1 && parts.size() != 4) return false;
  requestId = parts[0];
  if (parts.size() == 4) processor = {parts[2], parts[1] != "VPFR", parts[3]};
  return true;
}

}  // namespace

TFormInvoiceJSON::TFormInvoiceJSON(const core::Configuration& configuration, sdc::TFormHTTP& http,
                                   platform::Clock& clock)
    : m_configuration(configuration),
      m_http(http),
      m_clock(clock),
      m_runStart(clock.Now()),
      m_window(configuration, kPattern, kInvoiceJsonDoneText,
               [this](const std::string& name) { ProcessJsonInvoice(name); }) {
  m_window.SetBeforePick([this] { ResolveOpenJsonInvoices(); });
  m_window.SetHeldTest([this](const std::string& name) { return IsOpen(name); });
}

std::string TFormInvoiceJSON::ResponseFileName(const std::string& name) {
  const std::string base = name.size() >= 5 ? name.substr(0, name.size() - 5) : name;
  return base + "_resp.txt";
}

bool TFormInvoiceJSON::IsOpen(const std::string& name) const {
  std::error_code error;
  return IsJsonInvoiceName(name) && fs::exists(fs::symlink_status(PendingPath(name), error));
}

void TFormInvoiceJSON::ProcessJsonInvoice(const std::string& name) {
  try {
    if (!IsJsonInvoiceName(name)) {
      Log("Nije naziv JSON računa / Not the name of a JSON invoice: " + OneLine(name));
      return;
    }
    // An invoice whose outcome is unknown is never sent again: the processor is asked about it instead, and
    // only its "nothing signed" lets the waiting input go out as a new invoice.
    if (IsOpen(name) && ResolveOpen(name, kLookupWaits, false) != Outcome::NotSigned) return;

    std::error_code error;
    if (!fs::exists(fs::symlink_status(InputPath(name), error))) {
      Log("JSON račun " + name + " ne postoji / The JSON invoice file does not exist");
      return;
    }
    if (!NamesFit(name)) {
      SetAside(name, kMessageNameTooLong);
      return;
    }
    // A FIFO or device would block the one thread, and a link may point anywhere: only plain files are read,
    // through the one descriptor that was checked.
    std::string bytes;
    try {
      bytes = platform::ReadRegularFile(InputPath(name), kMaxInvoiceFileBytes);
    } catch (const platform::NotRegularFileError&) {
      SetAside(name, "Nije običan fajl / Not a regular file: " + name);
      return;
    } catch (const platform::FileTooLargeError&) {
      SetAside(name, kMessageFileTooLarge);
      return;
    } catch (const platform::FileError& readError) {
      // Nothing was sent; the input stays for another try.
      TryWriteResponse(name, readError.what());
      Log("JSON račun " + name +
          " nije pročitan / The JSON invoice could not be read: " + OneLine(readError.what()));
      return;
    }
    Send(name, bytes);
  } catch (const std::exception& error) {
    Log("JSON račun " + name + ": " + OneLine(error.what()));
  } catch (...) {
    Log("JSON račun " + name + ": Nepoznata greška / Unknown error");
  }
}

void TFormInvoiceJSON::Send(const std::string& name, const std::string& bytes) {
  const std::string requestId = NewRequestId();
  const sdc::ProcessorTarget processor = m_http.WorkingTarget();
  // The request the transport posts, and the id that finds its answer again, are on the disk before the
  // request leaves: after a crash the id is still there to be asked about.
  try {
    platform::WriteFileDurably(ArchivePath(name), bytes);
    platform::WriteFileDurably(PendingPath(name), PendingLine(requestId, processor) + kCrLf);
  } catch (const std::exception& error) {
    RemoveQuietly(PendingPath(name));
    RemoveQuietly(ArchivePath(name));
    TryWriteResponse(name, error.what());
    Log("JSON račun " + name + " nije poslat / The JSON invoice was not sent: " + OneLine(error.what()));
    return;
  }

  try {
    m_http.CallTarget(processor, sdc::kOpInvoices, name, requestId);
    m_closedAt[name] = m_clock.Now();
  } catch (const std::exception& error) {
    DeliverUnsigned(name, error.what());  // the request file could not be read: nothing left
    return;
  }
  const InvoiceAnswer answer = ClassifyInvoiceAnswer(m_http, ValueList{});
  switch (answer.kind) {
    case AnswerKind::Signed:
      DeliverSigned(name, m_http.ResponseBody);
      return;
    case AnswerKind::Refused:
      DeliverUnsigned(name, m_http.ResponseBody);  // a refusal is an answer: its body goes to the POS
      return;
    case AnswerKind::NotSent:
      DeliverUnsigned(name, m_http.ErrorText);
      return;
    case AnswerKind::NotSigned:
    case AnswerKind::Unknown:
      break;
  }
  // The processor may have signed, but its answer is lost or cannot be used: neither is an answer for the
  // POS.
  std::string why =
      m_http.ResponseCode < 1
          ? m_http.ErrorText
          : "Odgovor PFR-a nije upotrebljiv / The processor's answer cannot be used: " + answer.failureText;
  Log("Odgovor PFR-a za JSON račun " + name +
      " nije stigao ili nije čitljiv; pita se PFR / The answer was lost "
      "or unreadable; the processor is asked for it: " +
      OneLine(why));
  switch (LookUp(name, requestId, processor, kLookupWaits, why)) {
    case Outcome::Done:
      return;
    case Outcome::NotSigned:
      DeliverUnsigned(name, why);
      return;
    case Outcome::Waiting:
    case Outcome::ProcessorSilent:
      Wait(name, requestId, processor, why);
      return;
  }
}

TFormInvoiceJSON::Outcome TFormInvoiceJSON::LookUp(const std::string& name, const std::string& requestId,
                                                   const sdc::ProcessorTarget& processor,
                                                   const std::vector<std::chrono::milliseconds>& waits,
                                                   std::string& why) {
  bool answered = false;
  for (const std::chrono::milliseconds wait : waits) {
    if (m_http.StopRequested()) break;  // the next start asks again
    if (wait.count() > 0) m_clock.Sleep(wait);
    const InvoiceAnswer lookup = LookUpSignedInvoice(m_http, processor, requestId);
    if (lookup.kind == AnswerKind::Signed)
      return DeliverSigned(name, lookup.body) ? Outcome::Done : Outcome::Waiting;
    if (lookup.kind == AnswerKind::NotSigned && NotSignedIsFinal(name)) return Outcome::NotSigned;
    answered = lookup.processorAnswered;
    if (why.empty()) why = lookup.failureText;
  }
  return answered ? Outcome::Waiting : Outcome::ProcessorSilent;
}

void TFormInvoiceJSON::ResolveOpenJsonInvoices() {
  std::vector<std::string> records;
  try {
    records = platform::ListFiles(m_configuration.ArchiveDir, std::string(kPattern) + kPendingSuffix);
  } catch (const std::exception& error) {
    Log(std::string("Otvoreni JSON računi nisu provereni / The open JSON invoices could not be checked: ") +
        OneLine(error.what()));
    return;
  }
  std::sort(records.begin(), records.end());
  const std::size_t suffixLength = std::string(kPendingSuffix).size();
  for (const std::string& record : records) {
    const std::string name = record.substr(0, record.size() - suffixLength);
    if (!IsJsonInvoiceName(name)) continue;
    try {
      // Once the processor does not answer at all, the rest waits for the next pass.
      if (ResolveOpen(name, kPassWaits, true) == Outcome::ProcessorSilent) break;
    } catch (const std::exception& error) {
      Log("JSON račun " + name + ": " + OneLine(error.what()));
    }
  }
}

TFormInvoiceJSON::Outcome TFormInvoiceJSON::ResolveOpen(const std::string& name,
                                                        const std::vector<std::chrono::milliseconds>& waits,
                                                        bool tellNotSigned) {
  std::string why;
  sdc::ProcessorTarget processor;
  const std::string requestId = ReadRequestId(name, why, processor);
  if (requestId.empty()) {
    // Without its id the invoice can be neither asked about nor safely sent again: it waits for a person.
    Log("Zapis JSON računa nije čitljiv / The record of the JSON invoice cannot be read: " +
        PendingPath(name));
    return Outcome::Waiting;
  }
  const Outcome outcome = LookUp(name, requestId, processor, waits, why);
  switch (outcome) {
    case Outcome::Done:
      return outcome;
    case Outcome::NotSigned:
      Close(name);
      Log("JSON račun " + name +
          " nije potpisan; može se poslati ponovo / The JSON invoice was not signed; it "
          "may be sent again");
      if (tellNotSigned) TryWriteResponse(name, kMessageJsonNotSigned);
      return outcome;
    case Outcome::Waiting:
    case Outcome::ProcessorSilent:
      Wait(name, requestId, processor, why);
      return outcome;
  }
  return outcome;
}

bool TFormInvoiceJSON::DeliverSigned(const std::string& name, const std::string& body) {
  // The processor keeps the signed answer under its id: when the POS's file cannot be written now, the
  // invoice stays open and the answer is asked for again.
  if (!TryWriteResponse(name, body)) {
    Log("JSON račun " + name +
        " je potpisan; odgovor će biti upisan kasnije / The JSON invoice is signed; its "
        "answer is written once the response file can be written");
    return false;
  }
  ConsumeInput(name);
  Close(name);
  return true;
}

void TFormInvoiceJSON::DeliverUnsigned(const std::string& name, const std::string& text) {
  RemoveQuietly(PendingPath(name));  // nothing was signed: there is nothing to ask about
  RemoveQuietly(ArchivePath(name));
  if (!TryWriteResponse(name, text)) return;  // the input stays: the POS has not been told
  RemoveQuietly(InputPath(name));
  Log("JSON račun " + name + " nije fiskalizovan / The JSON invoice was not fiscalised: " + OneLine(text));
}

void TFormInvoiceJSON::Wait(const std::string& name, const std::string& requestId,
                            const sdc::ProcessorTarget& processor, const std::string& why) {
  try {
    platform::WriteFileDurably(PendingPath(name), PendingLine(requestId, processor) + kCrLf + why);
  } catch (const std::exception&) {
    // the id line is already there; only the reason is not kept
  }
  TryWriteResponse(name, std::string(kMessageJsonOutcomeUnknown) + kCrLf + kCrLf + "RequestId: " + requestId +
                             kCrLf + why);
  Log("JSON račun " + name + " čeka ishod od PFR-a / The JSON invoice waits for its outcome (RequestId " +
      requestId + "): " + OneLine(why));
}

void TFormInvoiceJSON::SetAside(const std::string& name, const std::string& reason) {
  if (!platform::MoveAside(InputPath(name), ArchivePath(name))) {
    Log("JSON račun " + name + " nije premešten u arhivu / The JSON invoice file could not be archived");
  }
  TryWriteResponse(name, reason);
  Log("JSON račun " + name + " nije poslat / The JSON invoice was not sent: " + OneLine(reason));
}

// The waiting input is the invoice that was signed, unless the POS has put a different file of that name
// there meanwhile: that one stays and is sent when it is picked.
void TFormInvoiceJSON::ConsumeInput(const std::string& name) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(InputPath(name), error))) return;
  if (fs::exists(fs::symlink_status(ArchivePath(name), error))) {
    try {
      if (platform::ReadRegularFile(InputPath(name), kMaxInvoiceFileBytes) !=
          platform::ReadRegularFile(ArchivePath(name), kMaxInvoiceFileBytes)) {
        Log("JSON račun " + name +
            " je potpisan; drugi fajl istog naziva čeka / The JSON invoice is signed; a "
            "different file of that name waits");
        return;
      }
    } catch (const std::exception&) {
      return;  // cannot be compared: kept rather than lost
    }
  }
  RemoveQuietly(InputPath(name));
}

bool TFormInvoiceJSON::TryWriteResponse(const std::string& name, const std::string& text) {
  try {
    platform::WriteFileDurably(ResponsePath(name), text + kCrLf);
    return true;
  } catch (const std::exception& error) {
    Log("Odgovor za JSON račun " + name +
        " nije upisan / The response file could not be written: " + OneLine(error.what()));
    return false;
  }
}

std::string TFormInvoiceJSON::ReadRequestId(const std::string& name, std::string& why,
                                            sdc::ProcessorTarget& processor) const {
  std::string text;
  try {
    text = platform::ReadRegularFile(PendingPath(name), kMaxPendingBytes);
  } catch (const std::exception&) {
    return {};
  }
  const std::size_t end = text.find(kCrLf);
  std::string id;
  if (!ParsePendingLine(text.substr(0, end), id, processor) || !IsRequestId(id)) return {};
  if (end != std::string::npos) why = text.substr(end + 2);
  return id;
}

bool TFormInvoiceJSON::NotSignedIsFinal(const std::string& name) const {
  const auto closed = m_closedAt.find(name);
  const auto closedAt = closed == m_closedAt.end() ? m_runStart : std::min(closed->second, m_clock.Now());
  return m_clock.Now() - closedAt > m_http.RequestDeadline();
}

void TFormInvoiceJSON::Close(const std::string& name) {
  m_closedAt.erase(name);
  RemoveQuietly(ArchivePath(name));
  RemoveQuietly(PendingPath(name));  // last: until it goes, the invoice is asked about again
}

bool TFormInvoiceJSON::NamesFit(const std::string& name) const {
  return ResponseFileName(name).size() + platform::kTemporaryNameExtra <=
             platform::MaxFileNameLength(m_configuration.OutputDir) &&
         name.size() + std::string(kPendingSuffix).size() + platform::kTemporaryNameExtra <=
             platform::MaxFileNameLength(m_configuration.ArchiveDir);
}

void TFormInvoiceJSON::Log(const std::string& line) const {
  if (m_log) m_log(line);
}

std::size_t CountOpenJsonInvoices(const core::Configuration& configuration) {
  try {
    return platform::ListFiles(configuration.ArchiveDir, std::string(kPattern) + kPendingSuffix).size();
  } catch (const std::exception&) {
    return 0;
  }
}

std::vector<OpenJsonInvoice> ListOpenJsonInvoices(const core::Configuration& configuration) {
  std::vector<OpenJsonInvoice> open;
  std::vector<std::string> records;
  try {
    records = platform::ListFiles(configuration.ArchiveDir, std::string(kPattern) + kPendingSuffix);
  } catch (const std::exception&) {
    return open;
  }
  std::sort(records.begin(), records.end());
  const std::size_t suffixLength = std::string(kPendingSuffix).size();
  for (const std::string& record : records) {
    const std::string path = configuration.ArchiveDir + "/" + record;
    OpenJsonInvoice invoice{record.substr(0, record.size() - suffixLength), {}, {}};
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
      invoice.since = std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec);
    }
    try {
      const std::string text = platform::ReadRegularFile(path, kMaxPendingBytes);
      if (const std::size_t end = text.find(kCrLf); end != std::string::npos) {
        invoice.reason = core::OneLine(text.substr(end + 2));
      }
    } catch (const std::exception&) {
      invoice.reason = "Zapis nije čitljiv / The record cannot be read";
    }
    open.push_back(std::move(invoice));
  }
  return open;
}

}  // namespace telvano::invoice
