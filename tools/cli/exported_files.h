#pragma once

#include <string>
#include <vector>

namespace PatinexCli {

// The files an export wrote to out, absolute: the .glb alone, or the .gltf and the buffers and
// images it names beside it (read back from the written document, so the list is what a reader
// of the asset needs, not a guess at the writer's names).
std::vector<std::string> ExportedFiles(const std::string& out);

}  // namespace PatinexCli
