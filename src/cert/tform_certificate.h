#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cert/certificate_view.h"
#include "cert/pfx_file.h"
#include "core/configuration.h"
#include "core/message_service.h"
#include "core/working_certificate.h"
#include "core/working_state.h"
#include "db/database.h"
#include "sdc/tform_common.h"
#include "sdc/tform_http.h"

namespace telvano::cert {

inline constexpr const char* kCertificateCaption = "Radni CERT";
inline constexpr const char* kLocalhostPortText = "http://localhost:port";
inline constexpr const char* kNoPfxFileText = "Ne postoji file sertifikat ( p12 ili pfx ) u folderu: ";
inline constexpr const char* kListSavedText = "Lista sertifikata sačuvana u: ";
inline constexpr const char* kCertificateListFile = "Lista_CERT.csv";
inline constexpr const char* kNoLpfrUrlText = "Niste uneli putanju do lokalnog procesora!";
inline constexpr const char* kNoDeveloperTinText = "Niste uneli PIB developera!";
inline constexpr const char* kNoInvoiceText = "Ne postoji racun";
inline constexpr const char* kInsertFailedText = "Insert sertifikata!";
inline constexpr const char* kCertificateDoneText = "Sertifikat obrađen!";
inline constexpr const char* kCertificateFailedText = "Obrada sertifikata NIJE uspela!\n\n";
inline constexpr const char* kCheckPinOrAddressText = "\n\nProverite PIN i/ili\n\nProverite adresu LPFR-a";
inline constexpr const char* kCheckPasswordOrPacText = "\n\nProverite lozinku i/ili PAK";
inline constexpr const char* kInitBackupSuffix = "_INIT";
inline constexpr int kEscapeKey = 27;

// The three ways the window is shown, decided by the working state.
enum class CertificateMode {
  Show,     // a working certificate: its details, read-only
  NewLpfr,  // no working certificate, a local processor: the address is typed, save registers it
  NewVpfr,  // no working certificate, a virtual processor: a PFX file is imported
};

// What the certificate procedures call in other modules. The program passes its own; tests pass fakes.
struct CertificateServices {
  std::function<void()> loadTaxGroups;      // refreshes tax_groups from the working processor; raises
  std::function<void()> createTestInvoice;  // fiscalises the test invoice; raises with the failure text
  // The database backup without its confirmation box (BackupDatabase(suffix, false)); raises when it fails.
  std::function<void(const std::string& suffix)> backupDatabase;
};

// An address as typed, without a final "/API" (any letter case) and then without a final "/":
// ".../api/" keeps its "/api", ".../apis" stays as it is.
std::string NormalizeProcessorUrl(const std::string& text);

// The working-certificate module: shows the working certificate, lists every certificate into
// CertificateDir/Lista_CERT.csv, imports a taxpayer's PFX file as a VPFR working certificate and registers a
// local processor (LPFR) as one. Without an attached view (telvano-setup) it runs the same procedures and
// reports through the message service only.
class TFormCertificate {
 public:
  // `connection` is the program's connection slot: it may be empty until the start-up has opened it (the
  // procedures then raise db::DbError).
  TFormCertificate(const core::Configuration& configuration, core::WorkingState& workingState,
                   const std::unique_ptr<db::Database>& connection, sdc::TFormHTTP& http,
                   sdc::TFormCommon& common, core::WorkingCertificate& workingCertificate,
                   core::MessageService& messages, CertificateServices services);

  void AttachView(CertificateView& view) { m_view = &view; }

  // FormShow, the modal window, then FormClose: what menu item 1 / 5 "Radni CERT" runs.
  void ShowModal();

  // The window's handlers.
  void FormShow();
  void FormKeyPress(int key);
  // Forgets the password and the chosen file and removes what an interrupted key write left behind.
  void FormClose();
  // "Sačuvaj": RegisterLocalProcessor for a local processor, otherwise the PFX import.
  void PanelImportCertificateClick();
  void LEOID3587Change(const std::string& text) { m_texts[Index(CertificateComponent::LEOID3587)] = text; }
  void LEDeveloperTinChange(const std::string& text) {
    m_texts[Index(CertificateComponent::LEDeveloperTin)] = text;
  }
  void LEPasswordChange(const std::string& text);

  // Fills the components from the working certificate's row (or empties them) and the window caption.
  void ShowWorkingCertificate();
  // Read-only and visible states for the current mode.
  void ConfigureCertificateForm();

  // The procedures behind "Sačuvaj". Each reports to the operator itself and returns true when the new
  // certificate has become the working certificate.
  bool RegisterLocalProcessor();
  bool ImportPfxCertificate();

  // Menu item 1 / 6 "Lista CERT". A file that cannot be written raises platform::FileError, a failed query
  // db::DbError, for the menu to report.
  void ExportCertificateList();

  // For telvano-setup: import this PFX file instead of the one found in CertificateDir, and use this
  // processor address instead of the one the certificate carries (empty: the certificate's).
  void ChoosePfxFile(const std::string& path);
  void SetProcessorUrlOverride(const std::string& url) { m_urlOverride = url; }

  CertificateMode Mode() const;
  const std::string& Caption() const { return m_caption; }
  const std::string& Text(CertificateComponent component) const { return m_texts[Index(component)]; }
  bool Visible(CertificateComponent component) const { return m_visible[Index(component)]; }
  bool ReadOnly(CertificateComponent component) const { return m_readOnly[Index(component)]; }
  const std::string& PfxFileName() const { return m_pfxFileName; }

 private:
  static std::size_t Index(CertificateComponent component) { return static_cast<std::size_t>(component); }
  CertificateView* View() { return m_view; }
  db::Database& Connection() const;
  void SetText(CertificateComponent component, const std::string& text);
  void SetVisible(CertificateComponent component, bool visible);
  void SetReadOnly(CertificateComponent component, bool readOnly);
  void Refresh();
  // What the done box adds when invoices are still open: how many, and that each resolves where it was sent.
  std::string OpenInvoicesNote();
  void FindPfxFile();
  void ForgetPassword();
  void WriteCertificateFiles(const std::string& serial, const std::string& certificatePem,
                             const std::string& keyPem, std::vector<std::string>& written);
  bool SerialIsStored(const std::string& serial);
  // The tax groups and the test invoice that prove a new working certificate; a failed test invoice is a
  // connection error.
  void LoadTaxGroupsAndTestInvoice();
  // Takes back the row of a certificate whose installation failed; a failure of its own is not shown.
  void ForgetCertificateRow(const std::string& serial);
  // The row of cert_se of a registered LPFR (from its test invoice's answer) and of an imported VPFR
  // certificate; a refusal of the database is raised with kInsertFailedText.
  void InsertLpfrCertificate(const std::string& serial, const db::Row& response, const std::string& url,
                             const std::string& envName);
  void InsertVpfrCertificate(const PfxContents& pfx, const std::string& url, const std::string& envName);
  // Reads the PFX file and the processor address, and checks that the certificate is new. Only reads; false
  // once the operator has been told why not.
  bool ReadPfxToImport(const std::string& path, std::optional<PfxContents>& pfx, std::string& url);

  const core::Configuration& m_configuration;
  core::WorkingState& m_workingState;
  const std::unique_ptr<db::Database>& m_connection;
  sdc::TFormHTTP& m_http;
  sdc::TFormCommon& m_common;
  core::WorkingCertificate& m_workingCertificate;
  core::MessageService& m_messages;
  CertificateServices m_services;
  CertificateView* m_view = nullptr;

  std::array<std::string, kCertificateComponentCount> m_texts;
  std::array<bool, kCertificateComponentCount> m_visible{};
  std::array<bool, kCertificateComponentCount> m_readOnly{};
  std::string m_caption = kCertificateCaption;
  std::string m_pfxFileName;  // the PFX file found in CertificateDir (a name without folder)
  std::string m_pfxPath;      // a PFX file chosen elsewhere (telvano-setup)
  std::string m_urlOverride;
};

}  // namespace telvano::cert
