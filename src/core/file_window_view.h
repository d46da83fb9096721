#pragma once

#include <string>

namespace telvano::core {

// The invoice, command and JSON invoice windows have one shape: a white panel PanelFile with the name of
// the file waiting in InputDir and a button panel Panel1 that handles it. What differs is fixed at design
// time and given to the Qt window when it is built.
struct FileWindowForm {
  const char* objectName;     // "FormInvoice"
  const char* caption;        // the caption until FormShow sets another one
  const char* panel1Caption;  // "Fiskalizuj račun"
};

// What the window hands to its module: a click on Panel1 (or its key), and the window going away.
class FileWindowEvents {
 public:
  virtual ~FileWindowEvents() = default;
  virtual void Panel1Click() = 0;
  // The window is being destroyed: the module must not use it any more.
  virtual void FormDestroy() = 0;
};

// The window as the module drives it. The Qt window implements it; tests record the calls.
class FileWindowView {
 public:
  virtual ~FileWindowView() = default;
  // Where clicks go from now on; nullptr when the module has gone (clicks are then ignored).
  virtual void SetEvents(FileWindowEvents* events) = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetPanelFile(const std::string& text) = 0;
  // Shows the window modally; returns once the operator has closed it.
  virtual void ExecModal() = 0;
};

}  // namespace telvano::core
