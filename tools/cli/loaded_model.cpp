#include "tools/cli/loaded_model.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "renderlib/obj_loader.h"

namespace PatinexCli {

bool LoadModelForTracing(const std::string& path, LoadedModel& loaded, std::string& error) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    std::fclose(file);
  } else {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  RenderLib::ErrorList messages;
  loaded.model = RenderLib::LoadObj(path.c_str(), &messages);
  if (!loaded.model) {
    error = "cannot load " + path;
    return false;
  }
  loaded.soup = std::make_unique<RenderLib::TriangleSoup>(*loaded.model);
  if (loaded.soup->GetIndexCount() < 3) {
    error = path + " has no triangles";
    return false;
  }
  const Clock::time_point loadedAt = Clock::now();
  loaded.tree = std::make_unique<RenderLib::KdTree>();
  loaded.tree->Build(*loaded.soup, 24, 16);
  loaded.loadSeconds = std::chrono::duration<double>(loadedAt - start).count();
  loaded.buildSeconds = std::chrono::duration<double>(Clock::now() - loadedAt).count();
  return true;
}

}  // namespace PatinexCli
