#pragma once

#include <string>
#include <vector>

namespace telvano::app {

// One row of cert_se as the login list shows it.
struct CertificateListRow {
  std::string serial;
  std::string sub_tin;
  std::string sub_ou;
  std::string env_name;
  std::string ind_lpfr;
};

// The operations of the other modules that the start-up sequence and the login window call. Each one shows
// its own messages and raises on failure; the callers only react to success or error. The program wires
// them to the real modules (ModuleServices); tests script them.
class StartupServices {
 public:
  virtual ~StartupServices() = default;

  virtual void LoadWorkingCertificate(const std::string& serialOrCommand) = 0;
  virtual std::string WindowCaption() = 0;

  virtual void ConnectDatabase() = 0;
  virtual void ProbeDatabase() = 0;
  virtual void CheckAndUpgradeSchema() = 0;
  virtual std::string ReadSetting(const std::string& key) = 0;
  // "select * from cert_se order by sub_tin, sub_ou, ind_lpfr"
  virtual std::vector<CertificateListRow> ListCertificates() = 0;

  virtual void CheckAttention() = 0;
  virtual void CheckLpfrStatus() = 0;
  virtual std::string GetProcessorUid() = 0;
  virtual void SendPin() = 0;
  virtual void CheckVpfrPac() = 0;
  virtual void LoadTaxGroups() = 0;
  virtual void CreateTestInvoice() = 0;
  // Finishes the invoices that the last run left open (unattended start, once the processor is ready).
  virtual void ResolveOpenInvoices() {}
};

}  // namespace telvano::app
