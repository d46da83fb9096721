#include "sender_options.h"

#include <charconv>
#include <cstdlib>
#include <fstream>

namespace telvano::rawprint {

namespace {

constexpr const char* kDefaultRegistry = "/etc/xdg/Dravicor/TELVANO.conf";

std::string Trim(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

double ParseScale(const std::string& text) {
  double value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !(value >= 0 && value <= 10))
    throw UsageError("--pause-scale wants a number from 0 to 10");
  return value;
}

std::chrono::milliseconds ParseMilliseconds(const std::string& text) {
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 600000)
    throw UsageError("--connect-timeout wants milliseconds from 1 to 600000");
  return std::chrono::milliseconds(value);
}

}  // namespace

SenderOptions ParseArguments(const std::vector<std::string>& arguments) {
  SenderOptions options;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument.rfind("--", 0) != 0) {
      positional.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (i + 1 >= arguments.size()) throw UsageError(argument + " wants a value");
    const std::string& value = arguments[++i];
    if (argument == "--log-dir") options.logDir = value;
    else if (argument == "--file-dir") options.fileDir = value;
    else if (argument == "--pause-scale") options.pauseScale = ParseScale(value);
    else if (argument == "--connect-timeout") options.connectTimeout = ParseMilliseconds(value);
    else throw UsageError("unknown option " + argument);
  }
  if (positional.empty() || positional.size() > 2) throw UsageError("usage: Ostrapo [options] [--] SCRIPT [PORT]");
  options.scriptPath = positional[0];
  if (positional.size() == 2) options.port = positional[1];
  return options;
}

InstallationFolders ReadInstallationFolders() {
  const char* named = std::getenv("TELVANO_REGISTRY");
  std::ifstream in(named && *named ? named : kDefaultRegistry);
  InstallationFolders folders;
  std::string line;
  while (std::getline(in, line)) {
    const std::string text = Trim(line);
    if (text.empty() || text[0] == '#' || text[0] == ';') continue;
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trim(text.substr(0, equals));
    const std::string value = Trim(text.substr(equals + 1));
    if (key == "Appl_Root" && !value.empty()) folders.logsDir = value + "/Logs";
    if (key == "PrintFileDir") folders.printFileDir = value;
  }
  return folders;
}

}  // namespace telvano::rawprint
