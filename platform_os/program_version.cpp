#include "platform_os/program_version.h"

namespace Platform {

// PATINEX_VERSION is given to this file alone, so a new version recompiles nothing else.
const char* ProgramVersion() { return PATINEX_VERSION; }

}  // namespace Platform
