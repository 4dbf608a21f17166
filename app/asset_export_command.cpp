#include "app/asset_export_command.h"

#include <cstdio>
#include <string>

#include "app/control_ids.h"
#include "app/mask_history.h"
#include "app/media_folders.h"
#include "app/model_table.h"
#include "app/status_line.h"
#include "app/window_panels.h"
#include "app/work_model.h"
#include "assetexport/aged_export.h"
#include "framework/ui_slider.h"

void AssetExportCommand::Report(const std::string& activity, const std::string& detail) {
  std::fprintf(stderr, "patinex: %s %s\n", activity.c_str(), detail.c_str());
  status.SetActivity(activity);
  status.SetDetail(detail);
  status.Show();
}

float AssetExportCommand::SliderShare(int id) {
  const CUISlider* slider = panels.SimulationPanel().GetSlider(id);
  return slider != nullptr ? float(slider->GetValue()) * 0.01f : 1.0f;
}

// Steps are counted from 1 on the panel; files keep the number of the masks they were made from.
std::string AssetExportCommand::StepOfHistory(int32_t step) const {
  return "step " + std::to_string(step + 1) + " of " + std::to_string(history.Steps());
}

void AssetExportCommand::Export() {
  if (exporting.UnderWay()) {
    Report("Export: one is under way already.", "");
    return;
  }
  const int loaded = models.Loaded();
  if (!model.AsRead() || loaded <= 0 || size_t(loaded) >= models.Size()) {
    Report("Export: pick a model first.", "");
    return;
  }
  // Only the current samples' history is this model's: older masks in the folder may be another's.
  const CUISlider* stepSlider = panels.SimulationPanel().GetSlider(ID_STEP);
  const int32_t step = stepSlider != nullptr ? stepSlider->GetValue() : 0;
  if (folders.masks.empty() || step < 0 || step >= history.Steps()) {
    Report("Export: no step of this model is saved yet.", "Press Weather first.");
    return;
  }
  AssetExport::ExportSettings settings;
  settings.look.rustFactor = SliderShare(ID_RUST_FACTOR);
  settings.look.dirtFactor = SliderShare(ID_DIRT_FACTOR);
  const std::string out = AssetExport::WindowExportPath(folders.masks, models[size_t(loaded)].file, step);
  std::string why;
  if (!exporting.Start(model.AsRead(), folders.masks, step, settings, out, &why)) {
    Report("Export failed.", why);
    return;
  }
  Report("Exporting " + StepOfHistory(step) + "...", "To " + ShownFolder(out) + ".");
}

void AssetExportCommand::ApplyFinished() {
  BackgroundExport::Result finished;
  if (!exporting.TakeFinished(finished)) return;
  if (!finished.written) {
    Report("Export failed.", finished.error);
    return;
  }
  Report("Exported " + StepOfHistory(finished.step) + ".", "Written to " + ShownFolder(finished.out) + ".");
}
