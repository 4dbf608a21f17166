#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace Platform {

// A file written out of sight and put under its final name once complete (renamed over it), so
// that a reader of the final name finds the old file or the whole new one, never a part.
//
// Where the folder's file system allows it the file has no name at all until it is published,
// so a process that dies meanwhile, even by SIGKILL, leaves nothing. Elsewhere, and for the
// instant between naming and renaming, it is named ".NAME.part-XXXXXX" beside the final NAME:
// hidden, and matched by no pattern that matches the final names. Such a name is removed on
// every way out the program controls: when the object goes, and when a signal ends the process
// (the interrupt handling removes what exit_removals.h lists).
//
// An existing final path that is not a regular file (a device such as /dev/null or /dev/stdout,
// a FIFO, a socket) is written directly instead: renaming over it would replace the device
// node with a file. A FIFO that no process reads is refused rather than waited on.
class TemporaryFile {
public:
  explicit TemporaryFile(std::string finalPath);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Makes the file and opens it for writing, with the mode any new file gets (the umask
  // applies). False, with the system's reason in error, when the folder takes no new file, or
  // the final path names a folder or a FIFO nobody reads.
  bool Create(std::string* error);
  std::FILE* File() const { return file; }
  // Flushes and closes the file and puts it under the final path. False, with what failed and
  // why in error, when that cannot be done; nothing is then left of it. The same as Finish and
  // then PutInPlace.
  bool Publish(std::string* error);

  // The two halves of Publish, for a set of files that must appear together: Finish flushes,
  // closes and gives the file its hidden name (still removed with the object or by a signal);
  // PutInPlace renames a finished file onto the final path, which cannot run out of space.
  bool Finish(std::string* error);
  bool PutInPlace(std::string* error);

  // The name the final path's file carries while it is named but not yet published.
  static std::string HiddenNameFor(const std::string& finalPath);

private:
  bool CreateNamed(std::string* error);
  // Opens an existing device, FIFO or socket at the final path for writing in place.
  bool OpenInPlace(std::string* error);
  // Gives the unnamed file a hidden name in the folder, or, where the system will not name it,
  // copies it into a named one.
  bool NameUnnamed(std::string* error);
  bool CopyUnnamed(std::string* error);
  void Remove();

  std::string finalPath;
  std::string path;  // the hidden name, while the file has one
  int32_t removal = -1;
  std::FILE* file = nullptr;
  bool unnamed = false;
  bool inPlace = false;  // writing straight into a non-regular final path
  bool finished = false;  // whole and closed, waiting under its hidden name (or written in place)
};

}  // namespace Platform
