#include "platform/temporary_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace Platform {

TemporaryFile::TemporaryFile(std::string finalPath) : finalPath(std::move(finalPath)) {}

TemporaryFile::~TemporaryFile() { Remove(); }

bool TemporaryFile::Create(std::string* error) {
  Remove();
  path = finalPath + ".partXXXXXX";
  const int descriptor = ::mkstemp(path.data());
  if (descriptor < 0) {
    *error = std::strerror(errno);
    return false;
  }
  created = true;
  // mkstemp makes the file private to its owner.
  ::fchmod(descriptor, 0644);
  file = ::fdopen(descriptor, "wb");
  if (file == nullptr) {
    *error = std::strerror(errno);
    ::close(descriptor);
    Remove();
    return false;
  }
  return true;
}

bool TemporaryFile::Publish(std::string* error) {
  if (file == nullptr) {
    *error = "the file was never made";
    return false;
  }
  const int closed = std::fclose(file);
  file = nullptr;
  if (closed != 0) {
    *error = std::string("closing the finished file failed: ") + std::strerror(errno);
  } else if (std::rename(path.c_str(), finalPath.c_str()) != 0) {
    *error = std::string("cannot rename the finished file onto it: ") + std::strerror(errno);
  } else {
    created = false;
    return true;
  }
  Remove();
  return false;
}

void TemporaryFile::Remove() {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
  if (created) std::remove(path.c_str());
  created = false;
}

}  // namespace Platform
