#include "api/api_commands.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

#include "api/api_invoices.h"
#include "platform/whole_file.h"

namespace telvano::api {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr std::size_t kLargestAnswerFile = 16u * 1024u * 1024u;

// Takes every file the command left in the output folder: read, then removed.
Json TakeFiles(const std::string& folder) {
  Json files = Json::object();
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::error_code statusError;
    if (!entry.is_regular_file(statusError) || entry.path().filename().string().starts_with(".")) continue;
    try {
      files[entry.path().filename().string()] = platform::ReadRegularFile(entry.path().string(), kLargestAnswerFile);
    } catch (const platform::FileError&) {
      continue;
    }
    fs::remove(entry.path(), statusError);
  }
  return files;
}

}  // namespace

ApiAnswer ApiCommands::Post(const std::string& name, const std::string& text) {
  const std::string responseName = cmd::TFormCmd::ResponseFileName(name);
  // What an earlier command left (a crash in between) is not this one's answer.
  TakeFiles(m_folders.output);
  platform::WriteFileWhole(m_folders.input + "/" + name, text, 0600);
  try {
    m_commands.ProcessCmdFile(name);
  } catch (const std::exception& error) {
    TakeFiles(m_folders.output);
    return JsonAnswer(500, StatusBody("error", error.what()));
  }
  Json files = TakeFiles(m_folders.output);
  Json body;
  // STOP-TELVANO answers nothing at all: the program ends.
  body["answer"] = files.contains(responseName) ? files[responseName] : Json("");
  files.erase(responseName);
  if (!files.empty()) body["files"] = std::move(files);
  return JsonAnswer(200, body.dump(-1, ' ', false, Json::error_handler_t::replace));
}

}  // namespace telvano::api
