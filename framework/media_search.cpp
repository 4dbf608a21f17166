#include "framework/media_search.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform_os/media_folder.h"

Platform::Result FrameworkFindMediaFile(char* destination, int destinationChars, const char* name) {
  if (!name || name[0] == '\0' || !destination || destinationChars < 10) return Platform::kInvalidArgument;
  std::string portable = name;
  std::replace(portable.begin(), portable.end(), '\\', '/');
  const std::string found = Platform::FindMediaFile(portable);
  const size_t room = static_cast<size_t>(destinationChars) - 1;
  if (found.empty()) {
    const size_t length = std::min(std::strlen(name), room);
    std::memcpy(destination, name, length);
    destination[length] = '\0';
    return kFrameworkMediaNotFound;
  }
  if (found.size() > room) {
    destination[0] = '\0';
    return kFrameworkBufferTooSmall;
  }
  std::memcpy(destination, found.c_str(), found.size() + 1);
  return Platform::kOk;
}
