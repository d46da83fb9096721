#include "invoice/invoice_recovery.h"

#include <algorithm>

#include "core/text_utils.h"
#include "invoice/invoice_answer.h"

namespace telvano::invoice {

namespace {

constexpr std::chrono::seconds kFirstPause{2};
constexpr std::chrono::seconds kLongestPause{60};

}  // namespace

InvoiceRecovery::InvoiceRecovery(InvoiceFlight& flight, InvoiceCompletion& completion, sdc::TFormHTTP& http,
                                 platform::Clock& clock)
    : m_flight(flight), m_completion(completion), m_http(http), m_clock(clock), m_runStart(clock.Now()) {}

bool InvoiceRecovery::NotSignedIsFinal(const FlightRecord& record) const {
  const auto closedAt = record.closedAt ? std::min(*record.closedAt, m_clock.Now()) : m_runStart;
  return m_clock.Now() - closedAt > m_http.RequestDeadline();
}

void InvoiceRecovery::ResolveOpenInvoices() {
  std::vector<FlightRecord> records = m_flight.AllOpenInvoices();
  std::set<std::string> held;
  bool processorSilent = false;
  for (FlightRecord& record : records) {
    // Another road's invoice is that road's to finish; an input of its name waits here all the same.
    if (record.road != m_flight.Road()) {
      held.insert(record.extFilename);
      continue;
    }
    Outcome outcome = Outcome::Waiting;
    if (!processorSilent && Due(record.uuid)) {
      outcome = Resolve(record);
      processorSilent = outcome == Outcome::ProcessorSilent;
      if (outcome == Outcome::Finished) {
        m_pauses.erase(record.uuid);
      } else {
        Postpone(record.uuid);
      }
    }
    if (outcome != Outcome::Finished) held.insert(record.extFilename);
  }
  m_heldNames = std::move(held);
  // Pauses of invoices that are no longer open are forgotten.
  for (auto it = m_pauses.begin(); it != m_pauses.end();) {
    const bool open = std::any_of(records.begin(), records.end(),
                                  [&it](const FlightRecord& r) { return r.uuid == it->first; });
    it = open ? std::next(it) : m_pauses.erase(it);
  }
}

InvoiceRecovery::Outcome InvoiceRecovery::Resolve(FlightRecord& record) {
  switch (record.state) {
    case FlightState::Prepared:
      // Nothing was sent: undoing is safe, and the waiting input is fiscalised as if it were new.
      m_completion.Undo(record);
      m_completion.Log("Račun " + record.inputName + " nije bio poslat; biće fiskalizovan ponovo / " +
                       "The invoice had not been sent; it is fiscalised anew");
      return Outcome::Finished;
    case FlightState::Sent:
      return ResolveSent(record);
    case FlightState::Stored:
    case FlightState::Delivered:
      break;
  }
  const CompletionStep step = m_completion.Complete(record);
  if (step == CompletionStep::Done) return Outcome::Finished;
  if (step == CompletionStep::Waiting) return Outcome::Waiting;
  return ResolveSent(record);  // stored, but the saved answer is gone: ask the processor for it again
}

InvoiceRecovery::Outcome InvoiceRecovery::ResolveSent(FlightRecord& record) {
  CompletionStep step = m_completion.Complete(record);
  if (step == CompletionStep::Done) return Outcome::Finished;
  if (step == CompletionStep::Waiting) return Outcome::Waiting;

  const InvoiceAnswer answer = LookUpSignedInvoice(m_http, record.processor, record.uuid);
  if (answer.kind == AnswerKind::NotSigned) {
    if (record.state != FlightState::Sent) {
      // Stored fiscal records are never undone, whatever the processor says now.
      m_completion.Log("Račun " + record.inputName + " je upisan, a PFR ga ne nalazi / stored, but the processor "
                       "does not find it");
      return Outcome::Waiting;
    }
    if (!NotSignedIsFinal(record)) {
      m_completion.Log("PFR još ne nalazi račun " + record.inputName + "; zahtev bi još mogao da stigne / The " +
                       "processor does not find the invoice yet; the request may still arrive");
      return Outcome::Waiting;
    }
    m_completion.Undo(record);
    if (m_completion.ConcludeNotSigned(record)) {
      m_completion.Log("Račun " + record.inputName + " nije potpisan; biće fiskalizovan ponovo / The processor " +
                       "did not sign the invoice; the waiting input is fiscalised anew");
    } else {
      m_completion.Log("Račun " + record.inputName + " nije potpisan / The processor did not sign the invoice: " +
                       core::Utf8Prefix(core::OneLine(record.lastError), 300));
    }
    return Outcome::Finished;
  }
  if (answer.kind != AnswerKind::Signed) {
    m_completion.Log("Ishod računa " + record.inputName + " još nije poznat / The outcome of the invoice is not " +
                     "known yet: " + core::Utf8Prefix(answer.failureText, 300));
    return answer.processorAnswered ? Outcome::Waiting : Outcome::ProcessorSilent;
  }
  m_completion.SaveAnswer(record.uuid, answer.body);
  record.answer = answer.body;
  step = m_completion.Complete(record);
  return step == CompletionStep::Done ? Outcome::Finished : Outcome::Waiting;
}

bool InvoiceRecovery::HoldsInput(const std::string& bareName) const {
  return !m_heldNames.empty() && m_heldNames.count(core::UpperCaseUnicode(bareName)) > 0;
}

bool InvoiceRecovery::Due(const std::string& uuid) const {
  const auto it = m_pauses.find(uuid);
  return it == m_pauses.end() || m_clock.Now() >= it->second.due;
}

void InvoiceRecovery::Postpone(const std::string& uuid) {
  Pause& pause = m_pauses[uuid];
  pause.length = pause.length.count() == 0 ? kFirstPause : std::min(pause.length * 2, kLongestPause);
  pause.due = m_clock.Now() + pause.length;
}

}  // namespace telvano::invoice
