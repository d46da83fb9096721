#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "core/file_window_view.h"

namespace telvano::ui {

// The invoice, command and JSON invoice windows (one shape, three designs: invoice::kInvoiceWindowForm,
// cmd::kCmdWindowForm, invoice::kInvoiceJsonWindowForm). The module decides what they show; the window
// paints PanelFile and forwards a click on Panel1 (Enter or Space, it holds the focus) to the module.
// Escape or the window's close button closes it.
class FileWindow final : public QDialog, public core::FileWindowView {
 public:
  explicit FileWindow(const core::FileWindowForm& form, QWidget* parent = nullptr);
  // Tells the module that the window has gone (FormDestroy).
  ~FileWindow() override;

  void SetEvents(core::FileWindowEvents* events) override { m_events = events; }
  void SetCaption(const std::string& text) override;
  void SetPanelFile(const std::string& text) override;
  void ExecModal() override;

  QLabel* PanelFile() const { return m_panelFile; }
  QPushButton* Panel1() const { return m_panel1; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  core::FileWindowEvents* m_events = nullptr;
  QLabel* m_panelFile;
  QPushButton* m_panel1;
};

}  // namespace telvano::ui
