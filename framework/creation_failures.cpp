#include "framework/creation_failures.h"

#include <cstdlib>
#include <sstream>
#include <string>

bool CreationFailsOnPurpose(CreationKind kind) {
  static int windows = 0;
  static int devices = 0;
  const int ordinal = kind == CreationKind::Window ? ++windows : ++devices;
  const char* failures = std::getenv("PATINEX_FAIL_CREATION");
  if (failures == nullptr) return false;
  const std::string wanted = (kind == CreationKind::Window ? "window:" : "device:") + std::to_string(ordinal);
  std::stringstream list(failures);
  std::string item;
  while (std::getline(list, item, ',')) {
    if (item == wanted) return true;
  }
  return false;
}
