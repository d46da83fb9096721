#pragma once

#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

namespace telvano::platform {

// A file that could not be read or written; what() names the file and the system's reason.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file larger than the reader accepts; raised before its content is read.
class FileTooLargeError : public FileError {
 public:
  using FileError::FileError;
};

// The whole content of a file. Raises FileError when it cannot be read and FileTooLargeError when it holds
// more than `maxBytes`.
std::string ReadWholeFile(const std::string& path, std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// A folder entry that is not a plain file (a link, a folder, a FIFO, a device); what() names it.
class NotRegularFileError : public FileError {
 public:
  explicit NotRegularFileError(const std::string& path)
      : FileError("Nije običan fajl / Not a regular file: " + path) {}
};

// Reads a file from a folder that others may write: opened once without following a link and without
// waiting, checked through that descriptor to be a plain file of at most `maxBytes`, and read through it.
// Raises NotRegularFileError, FileTooLargeError or FileError.
std::string ReadRegularFile(const std::string& path, std::size_t maxBytes);

// How much longer than the target's name WriteFileDurably's temporary name is (".", ".", 8 random hex
// digits, ".tmp").
inline constexpr std::size_t kTemporaryNameExtra = 14;

// Replaces `path` as a whole, so that no reader ever sees half of it and a crash leaves either the old file
// or the new one: the bytes go to a fresh, unguessable hidden name in the same folder (created with O_EXCL,
// never through a link, with its final mode), are flushed to the disk,
// renamed into place, and the folder itself is flushed. On any failure (a full disk, a read-only folder, a
// name too long) the temporary file is removed, nothing is left behind, and FileError says why.
// `mode` is the new file's permission (less the process's umask); a key file passes 0600, so not even the
// temporary file is ever readable by others.
void WriteFileDurably(const std::string& path, std::string_view bytes, unsigned mode = 0644);

// The same without flushing to the disk: a reader never sees half of it, but a crash may lose it. For files
// that are made again when lost.
void WriteFileWhole(const std::string& path, std::string_view bytes, unsigned mode = 0644);

// The first half of WriteFileDurably: `bytes` in a fresh temporary file beside `path` (flushed when `flush`),
// whose name is returned for the caller to rename into place. Raises FileError, leaving nothing behind.
std::string WriteTemporaryBeside(const std::string& path, std::string_view bytes, unsigned mode, bool flush);

// The FileError of a file that could not be written: its path and the system's reason for `error` (errno).
FileError WriteError(const std::string& path, int error);

// Moves a folder entry to `to` as what it is (a link, a folder or a FIFO is never followed or opened) and without
// needing space on the disk; only across file systems is a plain file copied and then removed. False when it
// could not be moved.
bool MoveAside(const std::string& from, const std::string& to);

// Flushes a folder's entries (a rename or a new file in it) to the disk; raises FileError.
void SyncFolder(const std::string& folder);

// The longest file name the folder's file system accepts (NAME_MAX of that file system; 255 when unknown).
std::size_t MaxFileNameLength(const std::string& folder);

}  // namespace telvano::platform
