#include "tools/cli/source_option.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace PatinexCli {
namespace {

// The number at text[at..], which must end at the end or at a comma; at moves past it.
bool ReadNumber(const std::string& text, size_t* at, float* value) {
  const char* start = text.c_str() + *at;
  char* end = nullptr;
  errno = 0;
  const float number = std::strtof(start, &end);
  if (end == start || errno == ERANGE || !std::isfinite(number) || (*end != '\0' && *end != ',')) return false;
  *value = number;
  *at += size_t(end - start);
  return true;
}

}  // namespace

bool ParseDirectionText(const std::string& text, RenderLib::Vector3* direction, std::string* error) {
  float parts[3] = {};
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && (at >= text.size() || text[at++] != ',')) break;
    if (!ReadNumber(text, &at, &parts[i])) {
      *error = "the direction is three numbers X,Y,Z, not '" + text + "'";
      return false;
    }
    if (i == 2 && at == text.size()) {
      *direction = {parts[0], parts[1], parts[2]};
      return true;
    }
  }
  *error = "the direction is three numbers X,Y,Z, not '" + text + "'";
  return false;
}

bool ParseSpreadText(const std::string& text, float* degrees, std::string* error) {
  size_t at = 0;
  float value = 0.0f;
  if (!ReadNumber(text, &at, &value) || at != text.size()) {
    *error = "the spread is a number of degrees, not '" + text + "'";
    return false;
  }
  *degrees = value;
  return true;
}

std::string DirectionText(const RenderLib::Vector3& direction) {
  char text[96];
  std::snprintf(text, sizeof text, "%.9g,%.9g,%.9g", direction.x, direction.y, direction.z);
  return text;
}

}  // namespace PatinexCli
