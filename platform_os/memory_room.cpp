#include "platform_os/memory_room.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace Platform {
namespace {

// The bytes a "Key:  N kB" line of /proc/meminfo gives, or none.
uint64_t MeminfoBytes(const char* key) {
  std::ifstream meminfo("/proc/meminfo");
  std::string name;
  uint64_t kilobytes = 0;
  std::string unit;
  while (meminfo >> name >> kilobytes) {
    std::getline(meminfo, unit);
    if (name == key) return kilobytes * 1024;
  }
  return MemoryRoom::kUnlimited;
}

uint64_t MappedBytes() {
  std::ifstream statm("/proc/self/statm");
  uint64_t pages = 0;
  if (!(statm >> pages)) return 0;
  return pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

uint64_t NumberIn(const std::string& path) {
  std::ifstream file(path);
  std::string text;
  if (!(file >> text) || text == "max") return MemoryRoom::kUnlimited;
  try {
    return std::stoull(text);
  } catch (...) {
    return MemoryRoom::kUnlimited;
  }
}

// What the process's control group (version 2) still allows, or unlimited.
uint64_t ControlGroupRoom() {
  std::ifstream membership("/proc/self/cgroup");
  std::string line;
  while (std::getline(membership, line)) {
    if (line.rfind("0::", 0) != 0) continue;
    const std::string folder = "/sys/fs/cgroup" + line.substr(3);
    const uint64_t limit = NumberIn(folder + "/memory.max");
    if (limit == MemoryRoom::kUnlimited) return limit;
    const uint64_t used = NumberIn(folder + "/memory.current");
    if (used == MemoryRoom::kUnlimited) return limit;
    return limit > used ? limit - used : 0;
  }
  return MemoryRoom::kUnlimited;
}

}  // namespace

MemoryRoom AvailableMemory() {
  MemoryRoom room;
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    const uint64_t mapped = MappedBytes();
    room.addressSpace = limit.rlim_cur > mapped ? limit.rlim_cur - mapped : 0;
  }
  room.physical = MeminfoBytes("MemAvailable:");
  const uint64_t group = ControlGroupRoom();
  if (group < room.physical) {
    room.physical = group;
    room.physicalLimit = "the control group's memory limit";
  }
  return room;
}

}  // namespace Platform
