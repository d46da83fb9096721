#pragma once

// Firebird's status vectors as this layer's errors. Internal to the database room.
#include <firebird/Interface.h>

#include <string>

#include "db/database.h"

namespace telvano::db::detail {

// Firebird's status as one text: every line of its message, joined by "\n"; `context` goes first.
DbError ErrorFrom(Firebird::IUtil* util, Firebird::IStatus* status, const std::string& context = {});

bool Failed(Firebird::CheckStatusWrapper& status);

// Raises the status's error, if any; a lost link is also noted in `connectionLost`.
void CheckStatus(Firebird::IUtil* util, Firebird::CheckStatusWrapper& status, bool& connectionLost,
                 const std::string& context = {});

template <typename T>
void Release(T*& object) {
  if (object) object->release();
  object = nullptr;
}

}  // namespace telvano::db::detail
