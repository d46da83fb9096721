#include "core/status_info_line.h"

#include "core/text_utils.h"
#include "core/time_text.h"

namespace telvano::core {

std::string SchemaLevelOf(const std::string& dbVersion) { return Utf8Substr(dbVersion, 17, 5); }

std::string StatusInfoLine(const platform::LocalDateTime& now, const WorkingState& state,
                           const std::string& programVersion, const std::string& dbVersion) {
  const std::string separator = " | ";
  return DateTimeText(now) + separator + state.WorkSerial + separator + state.WorkTin + separator +
         state.WorkUnit + separator + state.WorkEnv + separator + (state.WorkIsLpfr ? "LPFR" : "VPFR") +
         separator + programVersion + " / " + SchemaLevelOf(dbVersion);
}

}  // namespace telvano::core
