#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/background_job.h"
#include "assetexport/aged_export.h"
#include "renderlib/obj_model.h"

// Writes the aged asset on a thread of its own: baking and encoding three textures takes about a
// second for the bust, too long to hold the window. The thread shares the model, so a model
// swapped meanwhile lives until the export is done. Used from one thread (the window thread).
class BackgroundExport {
public:
  struct Result {
    bool written = false;
    int32_t step = -1;
    std::string out;
    std::string error;  // why nothing was written
  };

  BackgroundExport() = default;
  // Waits for an export under way: its file is left whole or not at all.
  ~BackgroundExport() { Wait(); }
  BackgroundExport(const BackgroundExport&) = delete;
  BackgroundExport& operator=(const BackgroundExport&) = delete;

  // Exports the model aged by the step's masks from the folder to out; false with the reason when
  // an export is under way already or no thread can be started for it.
  bool Start(std::shared_ptr<const RenderLib::ObjModel> model, const std::string& maskFolder, int32_t step,
             const AssetExport::ExportSettings& settings, const std::string& out, std::string* why);
  // Started and not yet taken.
  bool UnderWay() const { return job.Started(); }
  // Once the export under way has ended: what it did, and true; false while it goes on or when
  // none is under way.
  bool TakeFinished(Result& finished);
  // Waits for the export under way, if any, and drops its result.
  void Wait();

private:
  void Run(const RenderLib::ObjModel& model, const std::string& maskFolder, const AssetExport::ExportSettings& settings);

  Result result;  // the job's until done, then the window thread's
  BackgroundJob job;  // last: it ends before the result goes
};
