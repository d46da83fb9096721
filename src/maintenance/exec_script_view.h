#pragma once

#include <string>

namespace telvano::maintenance {

// The window "Execute SQL script" as TFormExecScript drives it. The Qt window forwards a click on
// PanelExecScript (or Enter) to TFormExecScript::PanelExecScriptClick.
class ExecScriptView {
 public:
  virtual ~ExecScriptView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  // PanelFile: the name of the script that a click runs (empty: none).
  virtual void SetPanelFile(const std::string& text) = 0;
  // Shows the window modally; returns when the operator has closed it.
  virtual void ExecModal() = 0;
};

}  // namespace telvano::maintenance
