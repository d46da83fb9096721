#pragma once

#include <functional>
#include <string>

#include "core/configuration.h"
#include "db/database.h"

namespace telvano::invoice {

// The message of a reprint whose print script is gone (the archive is cleaned at every start).
inline constexpr const char* kReprintNotThisSession = "Račun nije iz ove sesije!";

// What the result-file writer and the REPRINT command need of receipt printing.
class ReceiptPrinter {
 public:
  virtual ~ReceiptPrinter() = default;

  // Prints OutputDir/<base>_journal.txt with the QR code of OutputDir/<base>_vurl.txt on the printer
  // `modelText` ("0" EPSON, "1" POSIFLEX, "2" STAR, "3" STAR-2, "4" SAMTEC) at `printerPort`
  // (CustomizedSerial, handed to the sender unchanged). `changeAmount` is CustomizedKusur with four
  // decimals, -1 when none was given; `signatureLine` is CustomizedPotpis. Saves the print script as
  // ArchiveDir/<uuid> and starts the sender without waiting. Raises std::runtime_error when the journal
  // or URL file cannot be read, the model text is not 0 to 4, or the script cannot be saved.
  virtual void PrintJournal(const std::string& uuid, const std::string& base, const std::string& modelText,
                            const std::string& printerPort, const db::Decimal& changeAmount,
                            bool signatureLine) = 0;

  // REPRINT: sends the print script of invoice `uuid` again, to the port it named. Raises
  // std::runtime_error(kReprintNotThisSession) when the script is no longer in the archive.
  virtual void ReprintJournal(const std::string& uuid) = 0;
};

// The real printer: print scripts in ArchiveDir, printed by RunTimeDir/Ostrapo.
class JournalPrinter final : public ReceiptPrinter {
 public:
  // `reportFailure` hears why a sender could not be started (the invoice itself is fiscalised by then,
  // so that is no reason to fail it); may be empty.
  explicit JournalPrinter(const core::Configuration& configuration,
                          std::function<void(const std::string&)> reportFailure = {});

  void PrintJournal(const std::string& uuid, const std::string& base, const std::string& modelText,
                    const std::string& printerPort, const db::Decimal& changeAmount,
                    bool signatureLine) override;
  void ReprintJournal(const std::string& uuid) override;

  // Starts RunTimeDir/Ostrapo with ArchiveDir/<uuid> and `port` as separate arguments (no shell sees
  // them; "--" before them, so a port text can never pass for an option), preceded by the log folder and
  // the print-file folder of the configuration, and returns at once. Returns false when the sender could
  // not be started (`error` says why).
  bool StartRawPrintSender(const std::string& uuid, const std::string& port, std::string* error = nullptr);

  // The path of the print script of invoice `uuid`.
  std::string ScriptPath(const std::string& uuid) const;

 private:
  const core::Configuration& m_configuration;
  std::function<void(const std::string&)> m_reportFailure;
};

}  // namespace telvano::invoice
