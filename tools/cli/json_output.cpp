#include "tools/cli/json_output.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/cli/command_registry.h"

namespace PatinexCli {

void PrintJson(const Json& document) {
  const std::string text = document.dump(2, ' ', false, Json::error_handler_t::replace);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

Json JsonDocument(const char* command) { return Json{{"schema", kJsonSchema}, {"command", command}}; }

int CommandFailure(const char* command, const std::string& reason) {
  std::fprintf(stderr, "patinex-cli %s: %s\n", command, reason.c_str());
  Json document = JsonDocument(command);
  document["error"] = reason;
  PrintJson(document);
  return kExitFailure;
}

Json JsonNumber(double value) {
  if (!std::isfinite(value)) return nullptr;
  // Up to 2^53 every whole double is exact as an integer too.
  if (value == std::floor(value) && std::fabs(value) <= 9007199254740992.0) return static_cast<int64_t>(value);
  return value;
}

Json JsonNumber(float value) {
  if (!std::isfinite(value)) return nullptr;
  char text[32];
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
  double shortest = value;
  std::from_chars(text, written.ptr, shortest);
  return JsonNumber(shortest);
}

}  // namespace PatinexCli
