#include "certificate_fixture.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "invoice/test_invoice.h"

namespace telvano::cert::testing {

namespace fs = std::filesystem;

namespace {

CertificateServices Services(CertificateFixture& fixture) {
  CertificateServices services;
  services.loadTaxGroups = [&fixture] { fixture.m_taxGroups->LoadTaxGroups(); };
  services.createTestInvoice = [&fixture] {
    fixture.m_taxGroups->LoadCurrentTaxLabels();
    invoice::CreateTestInvoice(
        fixture.m_configuration, fixture.m_clock, fixture.m_taxGroups->CurrentTaxLabels(),
        [&fixture](const std::string& name) { fixture.m_invoice->ProcessCsvInvoice(name); });
  };
  services.backupDatabase = [&fixture](const std::string& suffix) {
    bool keyFile = false;
    for (const std::string& name : fixture.CertificateFiles())
      keyFile = keyFile || name.ends_with("_key.pem");
    fixture.m_backups.push_back(suffix + (keyFile ? " after a key file" : ""));
    if (fixture.m_backupFails) throw std::runtime_error("BACKUP nije sačuvan!");
  };
  return services;
}

}  // namespace

CertificateFixture::CertificateFixture()
    : m_form(m_configuration, m_state, m_connection, m_http, m_common, m_workingCertificate, m_messages,
             Services(*this)) {
  m_testDatabase.Close();
  m_connection = db::Database::Attach(db::Database::Options::For(m_testDatabase.Path()));
  for (const char* folder : {"Certificate", "SDC_Inp", "SDC_Out", "Archive", "Logs", "RunTime"}) {
    fs::create_directories(m_root.Path() / folder);
  }
  m_configuration.DB_Fullname = m_testDatabase.Path();
  m_configuration.CertificateDir = m_root / "Certificate";
  m_configuration.InputDir = m_root / "SDC_Inp";
  m_configuration.OutputDir = m_root / "SDC_Out";
  m_configuration.ArchiveDir = m_root / "Archive";
  m_configuration.LogsDir = m_root / "Logs";
  m_configuration.RunTimeDir = m_root / "RunTime";
  m_invoice =
      std::make_unique<invoice::TFormInvoice>(m_configuration, *m_connection, m_http, m_clock, m_printer);
  m_taxGroups = std::make_unique<sdc::TaxGroups>(m_state, m_http, *m_connection, m_clock);
  m_form.AttachView(m_view);
}

CertificateFixture::~CertificateFixture() {
  m_taxGroups.reset();
  m_invoice.reset();
  m_connection->Close();
}

std::vector<std::string> CertificateFixture::CertificateRows(const std::string& columns) {
  std::vector<std::string> rows;
  for (const db::Row& row : m_connection->Query("select " + columns + " from cert_se order by serial")) {
    std::string text;
    for (std::size_t i = 0; i < row.size(); ++i) text += (i == 0 ? "" : "|") + row[i].AsString();
    rows.push_back(text);
  }
  return rows;
}

std::vector<std::string> CertificateFixture::CertificateFiles() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(m_configuration.CertificateDir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void CertificateFixture::ChooseNew(bool lpfr, const std::string& pinOrPac) {
  m_workingCertificate.LoadWorkingCertificate("CLEAR");
  m_state.WorkIsLpfr = lpfr;
  m_state.WorkPin = pinOrPac;
}

}  // namespace telvano::cert::testing
