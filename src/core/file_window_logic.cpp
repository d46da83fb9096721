#include "core/file_window_logic.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <vector>

#include "platform/directory_listing.h"
#include "platform/file_probe.h"

namespace telvano::core {

namespace {

constexpr const char* kUnknownFailureText = "Nepoznata greška / Unknown error";

unsigned char Folded(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

// Names in the order of the original's sorted list: ASCII letters without regard to case, byte by byte;
// names that differ only in case keep a fixed order among themselves.
bool NameBefore(const std::string& left, const std::string& right) {
  const bool less = std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                                 [](char a, char b) { return Folded(a) < Folded(b); });
  const bool greater = std::lexicographical_compare(right.begin(), right.end(), left.begin(), left.end(),
                                                    [](char a, char b) { return Folded(a) < Folded(b); });
  return less || (!greater && left < right);
}

}  // namespace

FileWindowLogic::FileWindowLogic(const Configuration& configuration, std::string pattern,
                                 std::string doneText, FileHandler process)
    : m_configuration(configuration),
      m_pattern(std::move(pattern)),
      m_doneText(std::move(doneText)),
      m_process(std::move(process)),
      m_stillBeingWritten(platform::IsStillBeingWritten) {}

FileWindowLogic::~FileWindowLogic() {
  if (m_view != nullptr) m_view->SetEvents(nullptr);
}

void FileWindowLogic::Attach(FileWindowView& view, MessageService& messages) {
  if (m_view != nullptr && m_view != &view) m_view->SetEvents(nullptr);
  m_view = &view;
  m_messages = &messages;
  view.SetEvents(this);
}

FileWindowView& FileWindowLogic::View() {
  if (m_view == nullptr) throw std::logic_error("the window has no view");
  return *m_view;
}

void FileWindowLogic::ShowModal() {
  FileWindowView& view = View();
  FormShow();
  view.ExecModal();
}

void FileWindowLogic::FormShow() {
  if (m_caption && m_view != nullptr) m_view->SetCaption(m_caption());
  if (m_beforePick) m_beforePick();
  SetPanelFile(PickFile().value_or(std::string()));
}

std::optional<std::string> FileWindowLogic::PickFile() const {
  std::vector<std::string> names;
  try {
    names = platform::ListFiles(m_configuration.InputDir, m_pattern);
  } catch (const std::exception&) {
    return std::nullopt;  // a folder that cannot be read has nothing to offer
  }
  std::vector<std::string> complete;
  for (const std::string& name : names) {
    // The POS is still writing this one: it and everything after it wait, as the original's search ended at
    // the first file it could not open.
    if (m_stillBeingWritten && m_stillBeingWritten(m_configuration.InputDir + "/" + name)) break;
    complete.push_back(name);
  }
  std::sort(complete.begin(), complete.end(), NameBefore);
  for (const std::string& name : complete) {
    if (!m_held || !m_held(name)) return name;
  }
  return std::nullopt;
}

void FileWindowLogic::Panel1Click() {
  if (m_panelFile.empty()) return;
  const std::string name = m_panelFile;
  std::string failure;
  try {
    m_process(name);
  } catch (const std::exception& error) {
    failure = error.what();
    if (failure.empty()) failure = kUnknownFailureText;
  } catch (...) {
    failure = kUnknownFailureText;
  }
  SetPanelFile(std::string());
  // The done text names this installation's output folder, where the answer is.
  if (m_messages != nullptr) m_messages->ShowInfo(failure.empty() ? m_doneText + m_configuration.OutputDir : failure);
}

void FileWindowLogic::FormDestroy() { m_view = nullptr; }

void FileWindowLogic::SetPanelFile(std::string text) {
  m_panelFile = std::move(text);
  if (m_view != nullptr) m_view->SetPanelFile(m_panelFile);
}

}  // namespace telvano::core
