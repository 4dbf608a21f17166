#include "tools/cli/loaded_model.h"

#include <chrono>

#include "renderlib/model_file.h"

namespace PatinexCli {

bool LoadModelForTracing(const std::string& path, LoadedModel& loaded, std::string& error) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  loaded.model = RenderLib::LoadModelFile(path, nullptr, error);
  if (!loaded.model) return false;
  loaded.soup = std::make_unique<RenderLib::TriangleSoupStaticMesh>(*loaded.model);
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
