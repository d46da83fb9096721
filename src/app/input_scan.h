#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Tells whether a waiting file is held back (its invoice is still open) and must not be handed over.
using HeldInputTest = std::function<bool(const std::string& bareName)>;

// What one look into the input folder found.
struct InputScan {
  std::optional<std::string> next;  // the file to hand over now
  // Entries with a qualifying name that can never be handled: folders, FIFOs, devices, sockets, symbolic
  // links. They are never opened or followed.
  std::vector<std::string> odd;
};

// One look into the input folder: the regular, non-hidden qualifying files in enumeration order until the
// first one that is still being written (it and everything after it wait for the next look), then the
// smallest name of those collected that is not held. No file is opened for reading, moved or changed.
InputScan ScanInputFolder(const std::string& inputDir, const StillBeingWrittenProbe& probe,
                          const HeldInputTest& held = {});

// The file ScanInputFolder would hand over.
std::optional<std::string> FirstWaitingFile(const std::string& inputDir, const StillBeingWrittenProbe& probe);

}  // namespace telvano::app
