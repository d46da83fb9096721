#pragma once

#include <string>

namespace telvano::platform {

// The priorities systemd's journal takes from a "<N>" in front of a line written to stderr (sd-daemon.h).
enum class Priority { Error = 3, Warning = 4, Information = 6 };

// True when stderr is a stream to the journal: systemd names its device and inode in JOURNAL_STREAM.
bool StderrIsJournal();

// "<N>" + text: the line as the journal reads it with its priority.
std::string JournalLine(Priority priority, const std::string& text);

// Writes each line of `text` to stderr with the priority in front (the journal takes every line on its own).
void WriteJournalLines(Priority priority, const std::string& text);

}  // namespace telvano::platform
