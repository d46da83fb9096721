#pragma once

#include <string>

#include "api/api_folders.h"
#include "api/api_queue.h"
#include "cmd/tform_cmd.h"

namespace telvano::api {

// The command files of the API: the text goes through the API's own command module as a command file of
// that name would, and the answer file's text comes back, with any processor file a command saved (GET-ENV,
// GET-STATUS) beside it.
class ApiCommands {
 public:
  ApiCommands(const ApiFolders& folders, cmd::TFormCmd& commands) : m_folders(folders), m_commands(commands) {}

  ApiAnswer Post(const std::string& name, const std::string& text);

 private:
  ApiFolders m_folders;
  cmd::TFormCmd& m_commands;
};

}  // namespace telvano::api
