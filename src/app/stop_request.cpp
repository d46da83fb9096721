#include "app/stop_request.h"

#include <filesystem>
#include <system_error>

#include "app/input_scan.h"
#include "cmd/command_file_text.h"
#include "core/text_utils.h"
#include "invoice/csv_text.h"
#include "platform/whole_file.h"

namespace telvano::app {

namespace {

constexpr std::chrono::milliseconds kLookEvery{500};
// A real command file is a few lines; a larger one is no stop request worth reading while a request waits.
constexpr std::size_t kLargestStopFile = 64 * 1024;

}  // namespace

StopRequest::StopRequest(std::string inputDir, std::string codePage, SignalTest signalPending,
                         SignalTest pollerRunning)
    : m_inputDir(std::move(inputDir)),
      m_codePage(std::move(codePage)),
      m_signalPending(std::move(signalPending)),
      m_pollerRunning(std::move(pollerRunning)) {}

bool StopRequest::operator()() {
  if (m_signalPending && m_signalPending()) return true;
  if (!m_pollerRunning || !m_pollerRunning()) return false;
  const auto now = std::chrono::steady_clock::now();
  if (now < m_nextLook) return m_stopCommandSeen;
  m_nextLook = now + kLookEvery;
  m_stopCommandSeen = StopCommandWaiting();
  return m_stopCommandSeen;
}

bool StopRequest::StopCommandWaiting() const {
  namespace fs = std::filesystem;
  std::error_code error;
  for (fs::directory_iterator it(m_inputDir, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.front() == '.' || !IsPollableName(name) || IsInvoiceName(name)) continue;
    if (AsksToStop(it->path().string(), m_codePage)) return true;
  }
  return false;
}

bool AsksToStop(const std::string& path, const std::string& codePage) {
  try {
    const std::string text = cmd::DecodeCommandFileText(platform::ReadRegularFile(path, kLargestStopFile), codePage);
    for (const std::string& line : cmd::SplitCommandLines(text)) {
      const std::vector<std::string> fields = invoice::SplitFields(line);
      if (!fields.empty() && core::UpperCaseUnicode(fields[0]) == "STOP-TELVANO") return true;
    }
  } catch (const std::exception&) {
  }
  return false;
}

}  // namespace telvano::app
