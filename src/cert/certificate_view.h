#pragma once

#include <cstddef>
#include <string>

namespace telvano::cert {

// The components of the working-certificate window, under their own names.
enum class CertificateComponent : std::size_t {
  EditNotAfter,
  EditSerialNumber,
  EditC,
  EditOID3586,  // the TIN
  EditCN,
  EditO,
  LEOU,  // "Poslovni prostor"
  EditST,
  EditL,
  EditStreet,
  LEOID3587,               // "HTTP server url ( http://localhost:port )"
  LESDCMrc,                // "Oznaka PFR"
  LEDeveloperTin,          // "ESIR developer (PIB)"
  LEPfx,                   // "File sertifikat ( .p12, .pfx )"
  LEPassword,              // "lozinka"
  PanelImportCertificate,  // "Sačuvaj"
  EditCursorPlace,         // takes the focus when nothing may be typed
};
inline constexpr std::size_t kCertificateComponentCount =
    static_cast<std::size_t>(CertificateComponent::EditCursorPlace) + 1;

// The component's object name ("EditNotAfter", "LEOID3587", …).
const char* ComponentName(CertificateComponent component);

// The working-certificate window as TFormCertificate drives it. The Qt window forwards the operator's edits
// of LEOID3587, LEDeveloperTin and LEPassword to the module's *Change handlers, a click on
// PanelImportCertificate to PanelImportCertificateClick and key presses to FormKeyPress.
class CertificateView {
 public:
  virtual ~CertificateView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetText(CertificateComponent component, const std::string& text) = 0;
  virtual void SetVisible(CertificateComponent component, bool visible) = 0;
  virtual void SetReadOnly(CertificateComponent component, bool readOnly) = 0;
  virtual void SetFocus(CertificateComponent component) = 0;
  // Shows the window modally; returns when it has closed.
  virtual void ExecModal() = 0;
  virtual void CloseForm() = 0;
};

}  // namespace telvano::cert
