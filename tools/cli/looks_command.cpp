#include <string>

#include "assetexport/look_catalog.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_output.h"

namespace PatinexCli {
namespace {

int RunLooks(const Arguments& arguments);

const Command kLooksCommand = {
    "looks",
    "looks",
    "Lists the looks weather --look and export --look take by name: the shipped ones\n"
    "(media/looks/NAME.json) and your own ($XDG_CONFIG_HOME/Patinex/looks/NAME.json, ~/.config\n"
    "when unset), which hide a shipped look of the same name. docs/looks.md says how to write one.\n"
    "Prints on stdout {\"schema\", \"command\", \"userFolder\", \"looks\": [{\"name\", \"file\" (absolute),\n"
    "\"description\", \"shipped\", \"error\" (only for a file that is not a valid look: the key and why)}]}.",
    RunLooks,
};

const CommandRegistration kRegistration(kLooksCommand);

int RunLooks(const Arguments& arguments) {
  if (!arguments.empty()) return UsageError(kLooksCommand, "looks takes no arguments, not " + arguments.front());
  Json looks = Json::array();
  for (const AssetExport::LookEntry& entry : AssetExport::ListLooks()) {
    Json look{{"name", entry.name}, {"file", entry.file}, {"description", entry.description}, {"shipped", entry.shipped}};
    if (!entry.error.empty()) look["error"] = entry.error;
    looks.push_back(look);
  }
  Json document = JsonDocument("looks");
  document["userFolder"] = AssetExport::UserLooksFolder();
  document["looks"] = looks;
  PrintJson(document);
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
