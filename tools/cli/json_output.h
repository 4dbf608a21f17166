#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace PatinexCli {

// Every document starts with "schema": kJsonSchema and "command": the command's name. The
// number grows when a key is renamed or removed or changes meaning; new keys do not change it.
constexpr int kJsonSchema = 1;

// The commands' JSON documents keep their keys in the order they are written, which is the
// order the help texts list them in.
using Json = nlohmann::ordered_json;

// Prints the document on stdout, indented by two spaces and ended by a line feed. Bytes that
// are not UTF-8 (a file or material name in another encoding) become U+FFFD, so the output is
// always valid JSON.
void PrintJson(const Json& document);

// {"schema": kJsonSchema, "command": command}, to which a command adds its own keys.
Json JsonDocument(const char* command);

// A failure once the command line was read: "patinex-cli COMMAND: reason" on stderr and
// {"schema", "command", "error": reason} on stdout, so that a pipeline reading stdout learns of
// it too. Returns the failure exit status.
int CommandFailure(const char* command, const std::string& reason);

// A number as the commands print it: a whole value without a fraction ("1", not "1.0"), a float
// as the shortest decimal that reads back as the same float ("0.8", not the 0.800000011920929
// it widens to), and null for what is not finite, which JSON has no number for.
Json JsonNumber(double value);
Json JsonNumber(float value);

}  // namespace PatinexCli
