#include <cstdint>
#include <cstdio>
#include <string>

#include "simulation/session_file.h"

// The session reader over any bytes: it must refuse what is not a whole session, without
// crashing or allocating what the bytes merely claim.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen takes no empty buffer
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  Simulation::SessionState state;
  std::string error;
  Simulation::ReadSession(file, &state, &error);
  std::fclose(file);
  return 0;
}
