#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace telvano::app {

// Tells whether another process still holds the file open (the POS is still writing it).
using StillBeingWrittenProbe = std::function<bool(const std::string& path)>;

// True when `name` qualifies for the poller: "*.csv" and "INV_" or "CMD_" in front, without regard to case.
bool IsPollableName(std::string_view name);

// True for "INV_" in front (an invoice); false for a command file.
bool IsInvoiceName(std::string_view name);

// Orders names without regard to case, byte by byte (ASCII letters folded to upper case), so "CMD_" comes
// before "INV_" and digits before letters.
bool NameLess(std::string_view left, std::string_view right);

// One look into the input folder: the regular, non-hidden qualifying files in enumeration order until the
// first one that is still being written (it and everything after it wait for the next look), then the
// smallest name of those collected. No file is opened for reading, moved or changed.
std::optional<std::string> FirstWaitingFile(const std::string& inputDir, const StillBeingWrittenProbe& probe);

}  // namespace telvano::app
