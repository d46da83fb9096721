#pragma once

#include <chrono>
#include <string>

#include "api/api_folders.h"
#include "api/api_keys.h"
#include "api/api_queue.h"
#include "api/result_texts.h"
#include "db/database.h"
#include "invoice/tform_invoice.h"
#include "platform/clock.h"

namespace telvano::api {

// Text of 409 for a key that was used with another body.
inline constexpr const char* kKeyReusedText =
    "Ključ je već upotrebljen za drugi račun / The Idempotency-Key was used with a different body";
// Text of 409 while an invoice of the same name waits for its outcome (on either road): nothing was done.
inline constexpr const char* kNameOpenText =
    "Račun istog naziva još čeka ishod; ništa nije poslato / An invoice of this name is still waiting for its "
    "outcome; nothing was sent";
// Text of 503 for a key whose invoice was never sent: the same request may be sent again.
inline constexpr const char* kNotSentText =
    "Račun nije poslat PFR-u; pošaljite isti zahtev ponovo / The invoice was not sent to the processor; send the "
    "same request again";

// The invoices of the API on the program's one thread: each key is taken once, its invoice goes through the
// API's own invoice handler (the same road as a file of that name, in the API's folders), and its final
// answer is kept, so that the key answers the same ever after.
class ApiInvoices {
 public:
  ApiInvoices(const ApiFolders& folders, db::Database& database, invoice::TFormInvoice& road, platform::Clock& clock);

  ApiAnswer Post(const std::string& key, const std::string& name, const std::string& csv);
  ApiAnswer Get(const std::string& key);
  // Keeps the answers of keys whose invoice the road has finished meanwhile (after its recovery), and now and
  // then forgets keys older than the retention.
  void CollectFinished();
  // True when the last Post ran the invoice road (its outcome is the road's LastOutcome()).
  bool RanRoad() const { return m_ranRoad; }
  // How long a key is kept: at least 30 days.
  static constexpr std::chrono::hours kRetention{24 * 40};

 private:
  // `csv` is the posted text (none for a GET, which never sends anything).
  ApiAnswer Current(const KeyRow& row, const std::string* csv);
  ApiAnswer Run(const KeyRow& row, const std::string& csv);
  // The final answer once the road has finished the invoice; none while it is open or was never sent.
  std::optional<ApiAnswer> Finished(const KeyRow& row);
  ApiAnswer Kept(const KeyRow& row);
  ApiAnswer Keep(const KeyRow& row, int status, const std::string& body);
  ApiAnswer PendingAnswer(const KeyRow& row);
  std::string InvoiceNumberOf(const std::string& name);
  bool IsOpen(const std::string& name);

  ApiFolders m_folders;
  db::Database& m_database;
  invoice::TFormInvoice& m_road;
  platform::Clock& m_clock;
  ApiKeys m_keys;
  std::chrono::system_clock::time_point m_lastPurge{};
  bool m_ranRoad = false;
};

// A JSON answer with its status.
ApiAnswer JsonAnswer(int status, std::string body);

}  // namespace telvano::api
