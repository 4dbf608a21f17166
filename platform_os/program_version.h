#pragma once

namespace Platform {

// The release the programs were built as ("0.1.0"): CMake's project version, so that --version,
// the exported assets' generator and the install agree without a second place to edit.
const char* ProgramVersion();

}  // namespace Platform
