#pragma once

#include <memory>

#include "core/tform_yellow_msg.h"

namespace telvano::db {
class Database;
}

namespace telvano::core {

// The message window's reader of DB_VERSION on the program's connection slot. The slot may be empty, or
// its connection closed or broken: the reader then throws, and the information line shows no level.
DbVersionReader DbVersionFrom(const std::unique_ptr<db::Database>& connection);

}  // namespace telvano::core
