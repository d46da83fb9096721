#include "cert/tform_certificate.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "cert/certificate_rows.h"
#include "cert/pfx_file.h"
#include "db/settings.h"
#include "invoice/invoice_flight.h"
#include "invoice/result_files.h"
#include "invoice/tform_invoice_json.h"
#include "platform/directory_listing.h"
#include "platform/text_case.h"
#include "platform/whole_file.h"
#include "sdc/sdc_error.h"

namespace telvano::cert {

namespace {

using Component = CertificateComponent;

constexpr const char* kComponentNames[kCertificateComponentCount] = {
    "EditNotAfter",   "EditSerialNumber",
    "EditC",          "EditOID3586",
    "EditCN",         "EditO",
    "LEOU",           "EditST",
    "EditL",          "EditStreet",
    "LEOID3587",      "LESDCMrc",
    "LEDeveloperTin", "LEPfx",
    "LEPassword",     "PanelImportCertificate",
    "EditCursorPlace"};

// The components that show the working certificate's row.
constexpr Component kDetails[] = {Component::EditNotAfter, Component::EditSerialNumber, Component::EditC,
                                  Component::EditOID3586,  Component::EditCN,           Component::EditO,
                                  Component::LEOU,         Component::EditST,           Component::EditL,
                                  Component::EditStreet};
// The details taken from the certificate's subject: shown only for a working certificate.
constexpr Component kSubjectDetails[] = {Component::EditC, Component::EditOID3586, Component::EditCN,
                                         Component::EditO, Component::LEOU,        Component::EditST,
                                         Component::EditL, Component::EditStreet};

// A key file whose durable write was interrupted is left under a hidden temporary name:
// ".<serial>_key.pem.<tag>.tmp" (or ".<serial>_key.pem.tmp", as older versions wrote it).
bool IsInterruptedCertificateWrite(const std::string& name) {
  return name.size() > 1 && name[0] == '.' && name.ends_with(".tmp") &&
         (name.find("_key.pem.") != std::string::npos || name.find("_cert.pem.") != std::string::npos);
}

// Opening for reading is the test the original makes of each entry; a file that cannot be opened ends the
// search.
bool CanOpenForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::string UpperExtension(const std::string& name) {
  return platform::ToUpperUnicode(std::filesystem::path(name).extension().string());
}

// A failure of one step of a procedure, carrying the text shown inside "Obrada sertifikata NIJE uspela!".
class StepFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace

const char* ComponentName(CertificateComponent component) {
  return kComponentNames[static_cast<std::size_t>(component)];
}

std::string NormalizeProcessorUrl(const std::string& text) {
  std::string url = text;
  if (url.size() >= 4 && platform::ToUpperUnicode(url.substr(url.size() - 4)) == "/API")
    url.erase(url.size() - 4);
  if (!url.empty() && url.back() == '/') url.pop_back();
  return url;
}

TFormCertificate::TFormCertificate(const core::Configuration& configuration, core::WorkingState& workingState,
                                   const std::unique_ptr<db::Database>& connection, sdc::TFormHTTP& http,
                                   sdc::TFormCommon& common, core::WorkingCertificate& workingCertificate,
                                   core::MessageService& messages, CertificateServices services)
    : m_configuration(configuration),
      m_workingState(workingState),
      m_connection(connection),
      m_http(http),
      m_common(common),
      m_workingCertificate(workingCertificate),
      m_messages(messages),
      m_services(std::move(services)) {
  if (!m_services.loadTaxGroups || !m_services.createTestInvoice || !m_services.backupDatabase) {
    throw std::invalid_argument("TFormCertificate needs the tax groups, the test invoice and the backup");
  }
  m_visible.fill(true);
}

db::Database& TFormCertificate::Connection() const {
  if (!m_connection || !m_connection->IsOpen()) throw db::DbError("the database is not connected");
  return *m_connection;
}

void TFormCertificate::SetText(Component component, const std::string& text) {
  m_texts[Index(component)] = text;
  if (View() != nullptr) View()->SetText(component, text);
}

void TFormCertificate::SetVisible(Component component, bool visible) {
  m_visible[Index(component)] = visible;
  if (View() != nullptr) View()->SetVisible(component, visible);
}

void TFormCertificate::SetReadOnly(Component component, bool readOnly) {
  m_readOnly[Index(component)] = readOnly;
  if (View() != nullptr) View()->SetReadOnly(component, readOnly);
}

CertificateMode TFormCertificate::Mode() const {
  if (!m_workingState.WorkSerial.empty()) return CertificateMode::Show;
  return m_workingState.WorkIsLpfr ? CertificateMode::NewLpfr : CertificateMode::NewVpfr;
}

void TFormCertificate::ShowModal() {
  FormShow();
  if (View() != nullptr) View()->ExecModal();
  FormClose();
}

void TFormCertificate::FormShow() {
  ShowWorkingCertificate();
  ConfigureCertificateForm();
  ForgetPassword();
  m_pfxFileName.clear();
  m_pfxPath.clear();
  SetText(Component::LEPfx, "");
  const CertificateMode mode = Mode();
  if (mode == CertificateMode::NewVpfr) {
    FindPfxFile();
    if (m_pfxFileName.empty()) m_messages.ShowInfo(kNoPfxFileText + m_configuration.CertificateDir);
  }
  if (View() == nullptr) return;
  switch (mode) {
    case CertificateMode::Show:
      View()->SetFocus(Component::EditCursorPlace);
      break;
    case CertificateMode::NewLpfr:
      View()->SetFocus(Component::LEOID3587);
      break;
    case CertificateMode::NewVpfr:
      View()->SetFocus(Component::LEPassword);
      break;
  }
}

// The first PFX or P12 file of CertificateDir, in name order (a stable stand-in for the listing order).
void TFormCertificate::FindPfxFile() {
  std::vector<platform::DirectoryEntry> entries;
  try {
    entries = platform::ListDirectory(m_configuration.CertificateDir);
  } catch (const std::system_error&) {
    return;  // no folder: no file, and the operator is told so
  }
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.hidden || entry.system || entry.directory) continue;
    if (!CanOpenForReading(m_configuration.CertificateDir + "/" + entry.name)) return;
    const std::string extension = UpperExtension(entry.name);
    if (extension == ".PFX" || extension == ".P12") {
      m_pfxFileName = entry.name;
      SetText(Component::LEPfx, entry.name);
      return;
    }
  }
}

void TFormCertificate::FormKeyPress(int key) {
  if (key == kEscapeKey && View() != nullptr) View()->CloseForm();
}

void TFormCertificate::FormClose() {
  ForgetPassword();
  m_pfxFileName.clear();
  m_pfxPath.clear();
  std::vector<platform::DirectoryEntry> entries;
  try {
    entries = platform::ListDirectory(m_configuration.CertificateDir);
  } catch (const std::system_error&) {
    return;
  }
  for (const platform::DirectoryEntry& entry : entries) {
    if (!entry.directory && IsInterruptedCertificateWrite(entry.name)) {
      ::unlink((m_configuration.CertificateDir + "/" + entry.name).c_str());
    }
  }
}

void TFormCertificate::ForgetPassword() {
  WipeSecret(m_texts[Index(Component::LEPassword)]);
  if (View() != nullptr) View()->SetText(Component::LEPassword, "");
}

void TFormCertificate::LEPasswordChange(const std::string& text) {
  std::string& password = m_texts[Index(Component::LEPassword)];
  WipeSecret(password);
  password = text;
}

void TFormCertificate::ChoosePfxFile(const std::string& path) {
  m_pfxPath = path;
  m_pfxFileName = std::filesystem::path(path).filename().string();
  SetText(Component::LEPfx, m_pfxFileName);
}

void TFormCertificate::ShowWorkingCertificate() {
  const auto row = Connection().QueryFirst(
      "select not_after, serial, sub_c, sub_tin, sub_cn, sub_o, sub_ou, sub_st, sub_l, sub_street, srv_url, "
      "ind_lpfr from cert_se where serial=?",
      {m_workingState.WorkSerial});
  if (!row) {
    for (Component component : kDetails) SetText(component, "");
    SetText(Component::LEOID3587, m_workingState.WorkIsLpfr ? kLocalhostPortText : "");
  } else {
    // The columns come in the order of kDetails, then srv_url and ind_lpfr.
    for (std::size_t i = 0; i < std::size(kDetails); ++i) SetText(kDetails[i], (*row)[i].AsString());
    std::string notAfter = (*row)["not_after"].AsString();
    if ((*row)["ind_lpfr"].AsString() != "Y") {
      try {
        notAfter = sdc::TFormCommon::FormatDate(sdc::TFormCommon::ParseCertDate(notAfter));
      } catch (const sdc::SdcError&) {
        // A date in another layout is shown as stored rather than making the window unusable.
      }
    }
    SetText(Component::EditNotAfter, notAfter);
    SetText(Component::LEOID3587, (*row)["srv_url"].AsString());
  }
  m_caption = core::WindowCaption(m_workingState, m_configuration.ProgramVersion);
  if (View() != nullptr) View()->SetCaption(m_caption);
  SetText(Component::LESDCMrc, db::ReadSetting(Connection(), "SDC_MRC"));
  SetText(Component::LEDeveloperTin, db::ReadSetting(Connection(), "DEVELOPER_TIN"));
}

void TFormCertificate::ConfigureCertificateForm() {
  const CertificateMode mode = Mode();
  for (Component component : kDetails) SetReadOnly(component, true);
  SetReadOnly(Component::LESDCMrc, true);
  SetReadOnly(Component::LEPfx, true);
  for (Component component : kSubjectDetails) SetVisible(component, mode == CertificateMode::Show);
  SetVisible(Component::LEDeveloperTin, true);
  SetReadOnly(Component::LEOID3587, mode != CertificateMode::NewLpfr);
  SetVisible(Component::LEOID3587, mode != CertificateMode::NewVpfr);
  SetVisible(Component::LEPassword, mode == CertificateMode::NewVpfr);
  SetVisible(Component::LEPfx, mode == CertificateMode::NewVpfr);
  SetVisible(Component::PanelImportCertificate, mode != CertificateMode::Show);
}

void TFormCertificate::Refresh() {
  ShowWorkingCertificate();
  ConfigureCertificateForm();
}

void TFormCertificate::PanelImportCertificateClick() {
  if (Mode() == CertificateMode::Show)
    return;  // a shown certificate is neither replaced nor registered again
  if (m_workingState.WorkIsLpfr) {
    RegisterLocalProcessor();
  } else {
    ImportPfxCertificate();
  }
}

bool TFormCertificate::SerialIsStored(const std::string& serial) {
  return Connection().QueryFirst("select serial from cert_se where serial=?", {serial}).has_value();
}

std::string TFormCertificate::OpenInvoicesNote() {
  std::size_t open = invoice::CountOpenJsonInvoices(m_configuration);
  try {
    open += invoice::InvoiceFlight(Connection()).OpenCount();
  } catch (const std::exception&) {
    // the count is a note; the certificate is done either way
  }
  if (open == 0) return {};
  const std::string count = std::to_string(open);
  return "\n\nNedovršenih računa: " + count + ". Svaki se proverava kod PFR-a kojem je poslat. / Open invoices: " +
         count + "; each is resolved at the processor it was sent to.";
}

void TFormCertificate::LoadTaxGroupsAndTestInvoice() {
  m_services.loadTaxGroups();
  try {
    m_services.createTestInvoice();
  } catch (const std::exception& error) {
    throw StepFailure(sdc::kConnectionErrorText + std::string(error.what()));
  }
}

void TFormCertificate::ForgetCertificateRow(const std::string& serial) {
  try {
    Connection().Execute("delete from cert_se where serial=?", {serial});
  } catch (const db::DbError&) {
    // the failure shown below is the one that matters
  }
}

void TFormCertificate::InsertLpfrCertificate(const std::string& serial, const db::Row& response,
                                             const std::string& url, const std::string& envName) {
  try {
    // The table has no unique key: a second row of one serial is refused here, as a unique key would.
    if (SerialIsStored(serial)) throw db::DbError("a certificate with the serial " + serial + " exists");
    InsertLpfrRow(Connection(), serial, response, url, envName);
  } catch (const db::DbError& error) {
    throw StepFailure(kInsertFailedText + std::string(error.what()));
  }
}

void TFormCertificate::InsertVpfrCertificate(const PfxContents& pfx, const std::string& url,
                                             const std::string& envName) {
  try {
    InsertVpfrRow(Connection(), pfx, url, envName);
  } catch (const db::DbError& error) {
    throw StepFailure(kInsertFailedText + std::string(error.what()));
  }
}

bool TFormCertificate::ReadPfxToImport(const std::string& path, std::optional<PfxContents>& pfx,
                                       std::string& url) {
  try {
    pfx = ReadPfxFile(path, Text(Component::LEPassword), m_configuration.CertTinOid,
                      m_configuration.CertUrlOid);
    ForgetPassword();
    url = NormalizeProcessorUrl(m_urlOverride.empty() ? pfx->subUrl : m_urlOverride);
    if (url.empty()) {
      throw StepFailure("Sertifikat ne sadrži adresu VPFR-a (" + m_configuration.CertUrlOid +
                        ") / The certificate carries no processor address (" + m_configuration.CertUrlOid +
                        ")");
    }
    if (SerialIsStored(pfx->serial)) {
      throw StepFailure("Sertifikat " + pfx->serial + " je već u bazi / The certificate " + pfx->serial +
                        " is already stored");
    }
  } catch (const std::exception& error) {
    ForgetPassword();
    m_messages.ShowInfo(kCertificateFailedText + std::string(error.what()) + kCheckPasswordOrPacText);
    return false;
  }
  return true;
}

bool TFormCertificate::RegisterLocalProcessor() {
  const std::string typedUrl = Text(Component::LEOID3587);
  const std::string developerTin = Text(Component::LEDeveloperTin);
  if (typedUrl.empty()) {
    m_messages.ShowInfo(kNoLpfrUrlText);
    return false;
  }
  if (developerTin.empty()) {
    m_messages.ShowInfo(kNoDeveloperTinText);
    return false;
  }
  // A failed try leaves the working state as it was, the PIN included, so the operator can correct the
  // address or the PIN and try again.
  const core::WorkingState before = m_workingState;
  std::string insertedSerial;
  try {
    const std::string url = NormalizeProcessorUrl(typedUrl);
    m_workingState.WorkUrl = url;
    m_common.CheckAttention(true);
    m_common.CheckLpfrStatus();
    m_common.SendPin();
    LoadTaxGroupsAndTestInvoice();
    const auto response = Connection().QueryFirst(
        "select requested_by, business_name, location_name, address, tin, district from inv_response "
        "where inv_uuid=?",
        {m_http.RequestId});
    if (!response) throw StepFailure(kNoInvoiceText);
    const std::string serial = (*response)["requested_by"].AsString();
    const std::string envName = m_common.GetEnvironmentName();
    InsertLpfrCertificate(serial, *response, url, envName);
    insertedSerial = serial;
    db::WriteSetting(Connection(), "DEVELOPER_TIN", developerTin);
    m_workingCertificate.LoadWorkingCertificate(serial);
    Refresh();
    m_services.backupDatabase(kInitBackupSuffix);
    m_messages.ShowInfo(kCertificateDoneText + OpenInvoicesNote());
    return true;
  } catch (const std::exception& error) {
    if (!insertedSerial.empty()) ForgetCertificateRow(insertedSerial);
    m_workingState = before;
    Refresh();
    SetText(Component::LEOID3587, typedUrl);  // corrected, not typed again
    SetText(Component::LEDeveloperTin, developerTin);
    m_messages.ShowInfo(kCertificateFailedText + std::string(error.what()) + kCheckPinOrAddressText);
    return false;
  }
}

void TFormCertificate::WriteCertificateFiles(const std::string& serial, const std::string& certificatePem,
                                             const std::string& keyPem, std::vector<std::string>& written) {
  const std::string stem = m_configuration.CertificateDir + "/" + serial;
  platform::WriteFileDurably(stem + "_cert.pem", certificatePem);
  written.push_back(stem + "_cert.pem");
  platform::WriteFileDurably(stem + "_key.pem", keyPem, 0600);
  written.push_back(stem + "_key.pem");
}

bool TFormCertificate::ImportPfxCertificate() {
  const std::string path = !m_pfxPath.empty()       ? m_pfxPath
                           : !m_pfxFileName.empty() ? m_configuration.CertificateDir + "/" + m_pfxFileName
                                                    : std::string();
  if (path.empty()) {
    m_messages.ShowInfo(kNoPfxFileText + m_configuration.CertificateDir);
    return false;
  }
  // Everything before the backup only reads: a failure there changes nothing.
  std::optional<PfxContents> pfx;
  std::string url;
  if (!ReadPfxToImport(path, pfx, url)) return false;

  const core::WorkingState before = m_workingState;
  const std::string developerTin = Text(Component::LEDeveloperTin);
  std::vector<std::string> written;
  bool inserted = false;
  try {
    m_services.backupDatabase(kInitBackupSuffix);
    WriteCertificateFiles(pfx->serial, pfx->certificatePem, pfx->keyPem, written);
    m_workingState.WorkSerial = pfx->serial;
    m_workingState.WorkUrl = url;
    m_workingState.WorkIsLpfr = false;
    m_common.CheckVpfrPac();
    m_common.CheckAttention(true);
    const std::string envName = m_common.GetEnvironmentName();
    InsertVpfrCertificate(*pfx, url, envName);
    inserted = true;
    if (!developerTin.empty()) db::WriteSetting(Connection(), "DEVELOPER_TIN", developerTin);
    LoadTaxGroupsAndTestInvoice();
    m_workingCertificate.LoadWorkingCertificate(pfx->serial);
    Refresh();
    m_messages.ShowInfo(kCertificateDoneText + OpenInvoicesNote());
    return true;
  } catch (const std::exception& error) {
    if (inserted) ForgetCertificateRow(pfx->serial);
    for (const std::string& file : written) ::unlink(file.c_str());
    m_workingState = before;
    Refresh();
    m_messages.ShowInfo(kCertificateFailedText + std::string(error.what()) + kCheckPasswordOrPacText);
    return false;
  }
}

void TFormCertificate::ExportCertificateList() {
  std::string text = "\xEF\xBB\xBF";
  for (const db::Row& row : Connection().Query("select serial, sub_tin, sub_ou, env_name, ind_lpfr, "
                                               "not_after, sub_o, sub_st, sub_street, srv_url "
                                               "from cert_se order by sub_tin,sub_ou,ind_lpfr")) {
    const std::string fields[] = {row["serial"].AsString(),
                                  row["sub_tin"].AsString(),
                                  row["sub_ou"].AsString(),
                                  core::WorkingCertificate::EnvironmentOf(row["env_name"].AsString()),
                                  row["ind_lpfr"].AsString() == "Y" ? "LPFR" : "VPFR",
                                  row["not_after"].AsString(),
                                  row["sub_o"].AsString(),
                                  row["sub_st"].AsString(),
                                  row["sub_street"].AsString(),
                                  row["srv_url"].AsString()};
    bool first = true;
    for (const std::string& field : fields) {
      if (!first) text += ',';
      text += invoice::QuoteCsvField(field);
      first = false;
    }
    text += "\r\n";
  }
  const std::string path = m_configuration.CertificateDir + "/" + kCertificateListFile;
  platform::WriteFileDurably(path, text);
  m_messages.ShowInfo(kListSavedText + path);
}

}  // namespace telvano::cert
