#pragma once

#include <string>

namespace telvano::platform {

// The priorities systemd's journal takes from a "<N>" in front of a line written to stderr (sd-daemon.h).
enum class Priority { Error = 3, Warning = 4, Information = 6 };

// True when stderr is a stream to the journal: systemd names its device and inode in JOURNAL_STREAM.
bool StderrIsJournal();

// "<N>" + text: the line as the journal reads it with its priority.
std::string JournalLine(Priority priority, const std::string& text);

// Every line of `text` with the priority in front, each ended by a line feed (the journal takes every line
// on its own); a CR before a line feed goes.
std::string JournalLines(Priority priority, const std::string& text);

// Writes JournalLines(priority, text) to stderr.
void WriteJournalLines(Priority priority, const std::string& text);

}  // namespace telvano::platform
