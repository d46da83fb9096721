#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/configuration.h"
#include "core/file_window_view.h"
#include "core/message_service.h"

namespace telvano::core {

// The logic the invoice, command and JSON invoice windows share: FormShow picks the waiting file, Panel1Click
// hands it to the module's handler and tells the operator that it was handled. Each module owns one and
// forwards its window handlers to it.
class FileWindowLogic final : public FileWindowEvents {
 public:
  using FileHandler = std::function<void(const std::string& bareName)>;
  using NameTest = std::function<bool(const std::string& bareName)>;
  using PathTest = std::function<bool(const std::string& path)>;

  // `pattern` names the files of InputDir the window offers ("INV_*.csv"); `process` handles one (a failure
  // it raises is shown instead of `doneText`, which is shown followed by OutputDir).
  FileWindowLogic(const Configuration& configuration, std::string pattern, std::string doneText,
                  FileHandler process);
  ~FileWindowLogic() override;
  FileWindowLogic(const FileWindowLogic&) = delete;
  FileWindowLogic& operator=(const FileWindowLogic&) = delete;

  // The window and the message service of the operator; attaching again (the same or another window) is
  // allowed at any time.
  void Attach(FileWindowView& view, MessageService& messages);
  bool Attached() const { return m_view != nullptr; }

  // FormShow sets the caption to this text when given; without it the caption stays as designed.
  void SetCaptionSource(std::function<std::string()> caption) { m_caption = std::move(caption); }
  // Runs at the start of FormShow, before the file is picked (finishing what is still open).
  void SetBeforePick(std::function<void()> beforePick) { m_beforePick = std::move(beforePick); }
  // Files for which this is true are not offered (their outcome is still being resolved).
  void SetHeldTest(NameTest held) { m_held = std::move(held); }
  // True while the POS still writes the file; the default asks the kernel (platform::IsStillBeingWritten).
  void SetStillBeingWritten(PathTest probe) { m_stillBeingWritten = std::move(probe); }

  // FormShow, then the window modally until the operator closes it. Raises std::logic_error without a view.
  void ShowModal();
  // Caption, then the pick: the regular, non-hidden files of InputDir matching the pattern, taken in the
  // folder's order up to the first that is still being written; of those not held, the first by name
  // (letters compared without regard to case) goes into PanelFile, else PanelFile is emptied.
  void FormShow();
  // Nothing when PanelFile is empty; otherwise the handler runs on the shown name, PanelFile is emptied and
  // the operator gets the done text in an information box (or the handler's failure text).
  void Panel1Click() override;
  void FormDestroy() override;

  const std::string& PanelFile() const { return m_panelFile; }
  // The file FormShow would show now.
  std::optional<std::string> PickFile() const;

 private:
  FileWindowView& View();
  void SetPanelFile(std::string text);

  const Configuration& m_configuration;
  std::string m_pattern;
  std::string m_doneText;
  FileHandler m_process;
  std::function<std::string()> m_caption;
  std::function<void()> m_beforePick;
  NameTest m_held;
  PathTest m_stillBeingWritten;
  FileWindowView* m_view = nullptr;
  MessageService* m_messages = nullptr;
  std::string m_panelFile;
};

}  // namespace telvano::core
