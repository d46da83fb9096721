#include "api/api_module.h"

#include <cstdio>

#include "api/result_texts.h"
#include "core/text_utils.h"
#include "sdc/certificate_end.h"
#include "sdc/tform_common.h"

namespace telvano::api {
namespace {

constexpr const char* kDatabaseUnreachableText =
    "Baza podataka nije dostupna; ništa nije poslato / The database is not available; nothing was sent";

ApiAnswer Failure(int status, std::string_view kind, std::string_view error) {
  return JsonAnswer(status, StatusBody(kind, error));
}

}  // namespace

ApiModule::ApiModule(Parts parts)
    : m_parts(std::move(parts)),
      m_folders(ApiFolders::Under(m_parts.configuration.ApplDataDir)),
      m_roadConfiguration(m_folders.RoadConfiguration(m_parts.configuration)),
      m_common(m_roadConfiguration, m_parts.workingState, m_parts.http, m_parts.messages),
      m_board(m_parts.configuration.ProgramVersion, m_parts.clock.Now()) {}

ApiModule::~ApiModule() { Stop(); }

void ApiModule::Log(const std::string& line) const {
  std::fprintf(stderr, "TELVANO: %s\n", line.c_str());
  if (m_parts.log) m_parts.log(line);
}

void ApiModule::Connect(db::Database& database) {
  m_commandRoad.reset();
  m_invoices.reset();
  m_commands.reset();
  m_road.reset();
  m_road = std::make_unique<invoice::TFormInvoice>(m_roadConfiguration, database, m_parts.http, m_parts.clock,
                                                   m_parts.printer, invoice::InvoiceRoad{invoice::kApiRoad, false});
  m_road->SetLog([this](const std::string& line) { m_parts.log("API: " + line); });
  m_commands = std::make_unique<cmd::TFormCmd>(m_roadConfiguration, m_parts.workingState, database, m_common,
                                               m_parts.printer, m_parts.application, m_parts.clock);
  m_invoices = std::make_unique<ApiInvoices>(m_folders, database, *m_road, m_parts.clock);
  m_commandRoad = std::make_unique<ApiCommands>(m_folders, *m_commands);
}

void ApiModule::ResolveOpenInvoices() {
  if (!m_road) return;
  m_road->ResolveOpenInvoices();
  m_invoices->CollectFinished();
}

void ApiModule::Start() {
  if (m_started) return;
  m_started = true;
  try {
    const std::optional<ApiSettings> settings = ApiSettingsFrom(m_parts.configuration);
    if (!settings) return;  // off
    ApiToken token = ApiToken::Load(settings->tokenFile);
    m_folders.Create();
    NoteCertificate();
    m_board.SetProcessorUp(true);  // the unattended start has just reached it
    auto server = std::make_unique<ApiServer>(*settings, std::move(token), m_queue, m_board);
    server->Start();
    m_server = std::move(server);
    Log(std::string("API sluša na / The API listens on ") + (settings->Tls() ? "https://" : "http://") +
        m_parts.configuration.ApiListen);
  } catch (const std::exception& error) {
    Log(std::string("API nije pokrenut / The API is not started: ") + error.what());
  }
}

void ApiModule::Stop() {
  m_queue.Close();
  if (m_server) m_server->Stop();
  m_server.reset();
}

void ApiModule::Serve() {
  m_queue.ClearWake();
  if (m_busy > 0) {
    m_missed = true;  // taken once the road's step is over
    return;
  }
  Drain();
}

void ApiModule::SetBusy(bool busy) {
  m_busy += busy ? 1 : -1;
  if (m_busy == 0 && m_missed) {
    m_missed = false;
    Drain();
  }
}

void ApiModule::ServeFor(std::chrono::milliseconds pause) {
  if (!m_server) {
    m_parts.clock.Sleep(pause);
    return;
  }
  const auto deadline = m_parts.clock.Now() + pause;
  for (;;) {
    m_queue.ClearWake();
    Drain();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - m_parts.clock.Now());
    if (left.count() <= 0) return;
    m_queue.WaitForRequest(left);
  }
}

void ApiModule::Drain() {
  while (const auto ticket = m_queue.Take()) {
    const ApiRequest& request = ticket->Request();
    ApiAnswer answer = Handle(request);
    m_queue.Answer(*ticket, std::move(answer));
    if (request.kind == ApiRequest::Kind::PostInvoice && m_invoices && m_invoices->RanRoad()) {
      m_board.NoteInvoice("api", m_road->LastOutcome(), std::chrono::steady_clock::now() - request.arrived,
                          m_parts.clock.Now());
    }
  }
}

ApiAnswer ApiModule::Handle(const ApiRequest& request) {
  try {
    if (!m_invoices || !m_parts.reachDatabase()) return Failure(503, "notSent", kDatabaseUnreachableText);
    switch (request.kind) {
      case ApiRequest::Kind::PostInvoice: return m_invoices->Post(request.key, request.name, request.text);
      case ApiRequest::Kind::GetInvoice: return m_invoices->Get(request.key);
      case ApiRequest::Kind::PostCommand: return m_commandRoad->Post(request.name, request.text);
    }
  } catch (const db::DbError& error) {
    if (error.ConnectionLost()) return Failure(503, "notSent", kDatabaseUnreachableText);
    Log(std::string("API: ") + core::OneLine(error.what()));
    return Failure(500, "error", error.what());
  } catch (const std::exception& error) {
    Log(std::string("API: ") + core::OneLine(error.what()));
    return Failure(500, "error", error.what());
  }
  return Failure(500, "error", "unknown request");
}

void ApiModule::NoteFileInvoice(const invoice::InvoiceOutcome& outcome, std::chrono::duration<double> took) {
  m_board.NoteInvoice("file", outcome, took, m_parts.clock.Now());
}

void ApiModule::NoteTick(bool databaseUp, db::Database* database) {
  m_board.SetDatabaseUp(databaseUp);
  NoteCertificate();
  if (!databaseUp || database == nullptr) return;
  std::vector<OpenInvoice> open;
  try {
    for (const invoice::FlightRecord& record : invoice::InvoiceFlight(*database).AllOpenInvoices()) {
      const bool held = record.attempts > 0 || record.state != invoice::FlightState::Prepared;
      open.push_back({record.inputName, record.road.empty() ? "file" : "api", held, record.lastError});
    }
  } catch (const std::exception&) {
    return;  // the tick meets the database's failure itself
  }
  m_board.SetOpenInvoices(std::move(open));
}

void ApiModule::NoteCertificate() {
  const core::WorkingState& state = m_parts.workingState;
  CertificateFacts facts{state.WorkSerial, state.WorkIsLpfr, state.WorkEnv, state.WorkNotAfter, {}, {}};
  const auto end = sdc::CertificateEndOf(state.WorkNotAfter, sdc::TodayOf(m_parts.clock.Now()), m_parts.configuration);
  if (end) {
    facts.daysLeft = end->daysLeft;
    const std::chrono::sys_days day{end->lastDay};
    facts.notAfterUnix = std::chrono::duration_cast<std::chrono::seconds>(day.time_since_epoch()).count();
    const int y = static_cast<int>(end->lastDay.year());
    const unsigned m = static_cast<unsigned>(end->lastDay.month()), d = static_cast<unsigned>(end->lastDay.day());
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", y, m, d);
    facts.notAfter = text;
  }
  m_board.SetCertificate(std::move(facts));
}

}  // namespace telvano::api
