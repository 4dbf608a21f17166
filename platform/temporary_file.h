#pragma once

#include <cstdio>
#include <string>

namespace Platform {

// A file written under a temporary name beside its final name and renamed over that name once
// complete, so that a reader of the final name finds the old file or the whole new one, never a
// part. A temporary that was not published is removed when the object goes.
class TemporaryFile {
public:
  explicit TemporaryFile(std::string finalPath);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Makes the temporary (readable by everyone, like any file the program saves) and opens it for
  // writing. False, with the system's reason in error, when the folder takes no new file.
  bool Create(std::string* error);
  std::FILE* File() const { return file; }
  // Closes the file and renames it over the final path. False, with what failed and why in
  // error, when that cannot be done; the temporary is then removed.
  bool Publish(std::string* error);

private:
  void Remove();

  std::string finalPath;
  std::string path;
  std::FILE* file = nullptr;
  bool created = false;
};

}  // namespace Platform
