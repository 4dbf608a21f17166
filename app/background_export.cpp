#include "app/background_export.h"

#include <new>
#include <utility>

bool BackgroundExport::Start(std::shared_ptr<const RenderLib::ObjModel> model, const std::string& maskFolder,
                             int32_t step, const AssetExport::ExportSettings& settings, const std::string& out,
                             std::string* why) {
  if (UnderWay()) {
    *why = "an export is under way";
    return false;
  }
  result = Result();
  result.step = step;
  result.out = out;
  std::string failure;
  if (!job.Start([this, model = std::move(model), maskFolder, settings] { Run(*model, maskFolder, settings); },
                 &failure)) {
    *why = "no thread could be started for it: " + failure;
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
}

bool BackgroundExport::TakeFinished(Result& finished) {
  if (!job.Reap()) return false;
  finished = std::move(result);
  return true;
}

void BackgroundExport::Wait() { job.Wait(); }
