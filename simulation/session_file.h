#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "simulation/emission_source.h"
#include "simulation/run_record.h"
#include "simulation/surface_sample.h"

namespace Simulation {

// The state a run needs to carry on, kept beside its masks as patinex_session.bin and rewritten
// (whole or not at all) after every step saved: the folder is what a user or a farm moves, and
// a restart, a crash or the next job of a farm continues from it. The samples are kept in the
// sample map's own order, so the continued map searches, trades and bakes exactly as the first.

// Its name beside the masks is kSessionName (run_record.h, with the history's other files).

struct SessionState {
  HistoryIdentity identity;  // as the folder's run record has it
  int32_t lastStep = 0;      // the number of the last step saved
  int32_t tonsPerStep = 0;
  uint32_t seed = 0;
  bool seeded = false;
  bool deterministic = false;     // the history is a reproducible run's; a continuation keeps it so
  float emissionRotation = 0.0f;  // the history's turn of its emission points
  uint64_t emissionsUsed = 0;     // emission points its tons have started from
  float sampleSpacing = 0.0f;
  EmissionSource source;          // sessions from before sources were chosen hold the default, above
  std::vector<SurfaceSample> samples;  // in the sample map's heap order
};

// Writes the state as path (whole or not at all). False, with what failed and why.
bool WriteSessionFile(const std::string& path, const SurfaceSample* samples, uint32_t count,
                      const SessionState& state, std::string* error);

// Reads a state from file (positioned at its start). Anything that is not a whole, unaltered
// session of this version or an older one (truncated, foreign, corrupted, of another version, or describing
// impossible values) is refused: false with the cause in error. Sizes are checked against the
// file's length before anything is allocated for them.
bool ReadSession(std::FILE* file, SessionState* state, std::string* error);

// What a folder's session file holds. kNone: the folder has none; kUnreadable: error names the
// file and why it was refused.
enum class SessionLoad { kFound, kNone, kUnreadable };
SessionLoad ReadSessionFile(const std::string& folder, SessionState* state, std::string* error);

}  // namespace Simulation
