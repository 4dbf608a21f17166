#include "app/background_export.h"

#include <new>
#include <system_error>
#include <utility>

bool BackgroundExport::Start(std::shared_ptr<const RenderLib::ObjModel> model, const std::string& maskFolder,
                             int32_t step, const AssetExport::ExportSettings& settings, const std::string& out,
                             std::string* why) {
  if (UnderWay()) {
    *why = "an export is under way";
    return false;
  }
  done.store(false, std::memory_order_relaxed);
  result = Result();
  result.step = step;
  result.out = out;
  try {
    thread = std::thread([this, model = std::move(model), maskFolder, settings] { Run(*model, maskFolder, settings); });
  } catch (const std::system_error& error) {
    *why = std::string("no thread could be started for it: ") + error.what();
    return false;
  }
  return true;
}

void BackgroundExport::Run(const RenderLib::ObjModel& model, const std::string& maskFolder,
                           const AssetExport::ExportSettings& settings) {
  try {
    result.written =
        AssetExport::ExportAgedAssetFromFolder(model, maskFolder, &result.step, settings, result.out, &result.error);
  } catch (const std::bad_alloc&) {
    result.written = false;
    result.error = "there was not enough memory for it";
  }
  done.store(true, std::memory_order_release);
}

bool BackgroundExport::TakeFinished(Result& finished) {
  if (!UnderWay() || !done.load(std::memory_order_acquire)) return false;
  thread.join();
  finished = std::move(result);
  return true;
}

void BackgroundExport::Wait() {
  if (UnderWay()) thread.join();
}
