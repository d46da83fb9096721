#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cert/tform_certificate.h"
#include "core/configuration.h"
#include "core/working_certificate.h"
#include "core/working_state.h"
#include "invoice/print_journal.h"
#include "invoice/tform_invoice.h"
#include "platform/clock.h"
#include "sdc/tax_groups.h"
#include "sdc/tform_common.h"
#include "sdc/tform_http.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace telvano::cert::testing {

// Records every message as one text: "no:4", "text:18", "processor:1300", "info:<text>".
class RecordingMessages final : public core::MessageService {
 public:
  void ShowMessageNo(int no) override { calls.push_back("no:" + std::to_string(no)); }
  void ShowMessageText(int no, const std::string&, const std::string&) override {
    calls.push_back("text:" + std::to_string(no));
  }
  void ShowProcessorError(const std::string& code) override { calls.push_back("processor:" + code); }
  void ShowInfo(const std::string& text) override { calls.push_back("info:" + text); }
  std::string Last() const { return calls.empty() ? std::string() : calls.back(); }

  std::vector<std::string> calls;
};

// Notes the caption and focus the module gives its window (texts and states it keeps itself).
class RecordingView final : public CertificateView {
 public:
  void SetCaption(const std::string& text) override { caption = text; }
  void SetText(CertificateComponent, const std::string&) override {}
  void SetVisible(CertificateComponent, bool) override {}
  void SetReadOnly(CertificateComponent, bool) override {}
  void SetFocus(CertificateComponent component) override { focus = ComponentName(component); }
  void ExecModal() override {}
  void CloseForm() override {}

  std::string caption;
  std::string focus;
};

// TFormCertificate wired as the program wires it: an installation's folders in a temporary folder, a real
// database, the transport, the processor checks, the tax groups and the test invoice through the real
// invoice handler. The clock stands still (every prescribed wait takes no time); the backup is a fake that
// notes each suffix and whether a key file existed at that moment.
class CertificateFixture {
 public:
  CertificateFixture();
  ~CertificateFixture();

  // "select <columns> from cert_se" as one text per row: the values joined by "|".
  std::vector<std::string> CertificateRows(const std::string& columns);
  // The names of CertificateDir's files, sorted.
  std::vector<std::string> CertificateFiles() const;
  // A fresh working state as the login leaves it for a "Novi" entry.
  void ChooseNew(bool lpfr, const std::string& pinOrPac);

  telvano::testing::TempDir m_root;
  telvano::testing::TestDatabase m_testDatabase;
  std::unique_ptr<db::Database> m_connection;
  core::Configuration m_configuration;
  core::WorkingState m_state;
  platform::ManualClock m_clock;
  sdc::TFormHTTP m_http{m_configuration, m_state};
  RecordingMessages m_messages;
  sdc::TFormCommon m_common{m_configuration, m_state, m_http, m_messages};
  core::WorkingCertificate m_workingCertificate{m_state, m_connection, m_messages};
  invoice::JournalPrinter m_printer{m_configuration};
  std::unique_ptr<invoice::TFormInvoice> m_invoice;
  std::unique_ptr<sdc::TaxGroups> m_taxGroups;
  std::vector<std::string> m_backups;  // "<suffix>" or "<suffix> after a key file"
  bool m_backupFails = false;
  RecordingView m_view;
  TFormCertificate m_form;
};

}  // namespace telvano::cert::testing
