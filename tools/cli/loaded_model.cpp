#include "tools/cli/loaded_model.h"

#include <chrono>
#include <new>

#include "platform_os/file_system.h"
#include "renderlib/model_file.h"
#include "tools/cli/position_limits.h"

namespace PatinexCli {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

bool LoadModelFile(const std::string& path, RenderLib::Textures textures, LoadedModel& loaded, std::string& error) {
  const Clock::time_point start = Clock::now();
  // Asked first, so that the reason comes in the system's words (and a FIFO is not waited on).
  if (!Platform::IsReadableRegularFile(path, &error)) return false;
  try {
    loaded.messages.clear();
    loaded.model = RenderLib::LoadModelFile(path, &loaded.messages, error, textures);
    if (!loaded.model) return false;
    loaded.soup = std::make_unique<RenderLib::TriangleSoup>(*loaded.model);
  } catch (const std::bad_alloc&) {
    error = "out of memory loading " + path;
    return false;
  }
  loaded.loadSeconds = SecondsSince(start);
  const RenderLib::VertexNormalUV* vertices = loaded.soup->GetVertices();
  return CheckPositions(path, vertices != nullptr ? &vertices->position : nullptr,
                        static_cast<size_t>(loaded.soup->GetVertexCount()), sizeof(RenderLib::VertexNormalUV), error);
}

bool LoadModelForTracing(const std::string& path, LoadedModel& loaded, std::string& error, RenderLib::Textures textures) {
  if (!LoadModelFile(path, textures, loaded, error)) return false;
  if (loaded.soup->GetIndexCount() < 3) {
    error = path + " has no triangles";
    return false;
  }
  const Clock::time_point start = Clock::now();
  try {
    loaded.tree = std::make_unique<RenderLib::KdTree>();
    loaded.tree->Build(*loaded.soup, 24, 16);
  } catch (const std::bad_alloc&) {
    error = "out of memory building the kd-tree of " + path;
    return false;
  }
  loaded.buildSeconds = SecondsSince(start);
  return true;
}

}  // namespace PatinexCli
