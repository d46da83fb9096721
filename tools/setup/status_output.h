#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "status_check.h"

namespace telvano::setup {

// The check as a monitoring system shows it: "TELVANO <STATE> - <what is wrong, or the summary> | <perfdata>",
// then one detail per line.
std::string StatusText(const StatusFacts& facts, const std::vector<Finding>& findings);

// The same as one JSON object.
std::string StatusJson(const StatusFacts& facts, const std::vector<Finding>& findings);

// telvano-setup --status [--json]: prints the check and returns its exit code (0 ok, 1 warning, 2 critical,
// 3 unknown).
int RunStatus(const std::string& configFile, bool json, const StatusLimits& limits, platform::Clock& clock,
              std::ostream& out);

}  // namespace telvano::setup
