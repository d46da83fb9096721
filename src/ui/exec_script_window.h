#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "maintenance/exec_script_view.h"
#include "maintenance/tform_exec_script.h"

namespace telvano::ui {

// The window "Execute SQL script" of TFormExecScript: PanelFile shows the script that will run, the tile
// PanelExecScript runs it (a click, Enter or Space: it holds the focus). Escape or the close button closes
// the window. The module decides everything; the window paints and forwards.
class ExecScriptWindow final : public QDialog, public maintenance::ExecScriptView {
 public:
  explicit ExecScriptWindow(maintenance::TFormExecScript& form, QWidget* parent = nullptr);

  void SetCaption(const std::string& text) override;
  void SetPanelFile(const std::string& text) override;
  void ExecModal() override;

  QLabel* PanelFile() const { return m_panelFile; }
  QPushButton* PanelExecScript() const { return m_panelExecScript; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  maintenance::TFormExecScript& m_form;
  QLabel* m_panelFile;
  QPushButton* m_panelExecScript;
};

}  // namespace telvano::ui
