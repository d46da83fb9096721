#pragma once

#include <string>

namespace telvano::app {

// What the items of the main menu start. Each action shows its own window or message and returns when the
// operator is done with it (the windows are modal); none raises.
class MenuActions {
 public:
  virtual ~MenuActions() = default;

  virtual void ShowWorkingCertificate() = 0;  // 1 / 5 "Radni CERT"
  virtual void ExportCertificateList() = 0;   // 1 / 6 "Lista CERT"
  virtual void ShowCommandWindow() = 0;       // 3 / 5 "Komande CMD_"
  virtual void ShowInvoiceWindow() = 0;       // 3 / 6 "Računi INV_"
  virtual void SaveProcessorInfo(int kind) = 0;  // 3 / 7 environment (1), 3 / 8 status (3)
  virtual void ShowJsonInvoiceWindow() = 0;   // 3 / 9 "Računi JSON"
  virtual void ShowChangePassword() = 0;      // 4 / 5 "Promeni lozinke"
  virtual void ShowExecScript() = 0;          // 4 / 7 "Izvrši SQL script_xxx.sql"
  virtual void BackupDatabase() = 0;          // 4 / 8 "Backup baze podataka"
  virtual void StartProgramUpdate() = 0;      // 4 / 9 "Nova verzija programa"

  // The home screen's end of validity of the working certificate.
  virtual std::string CertificateEndText() = 0;
  // The home screen's warning that the working certificate ends soon or has ended; "" when it does not.
  virtual std::string CertificateEndWarning() = 0;
};

}  // namespace telvano::app
