#pragma once

#include <string>

#include "core/working_state.h"
#include "platform/clock.h"

namespace telvano::core {

// The schema level of a DB_VERSION mark: its five characters from the 18th on ("ODS13.0/FB4.0/DDL10.16"
// gives "10.16"); shorter marks give what is there, an empty mark an empty level.
std::string SchemaLevelOf(const std::string& dbVersion);

// The message window's information line: local time "yyyy-mm-dd hh:nn:ss", WorkSerial, WorkTin, WorkUnit,
// WorkEnv, "LPFR" or "VPFR", and ProgramVersion + " / " + the schema level, joined by " | ".
std::string StatusInfoLine(const platform::LocalDateTime& now, const WorkingState& state,
                           const std::string& programVersion, const std::string& dbVersion);

}  // namespace telvano::core
