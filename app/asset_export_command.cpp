#include "app/asset_export_command.h"

#include <cstdio>
#include <string>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "app/status_line.h"
#include "assetexport/aged_export.h"
#include "framework/ui_slider.h"

namespace {

void Report(const std::string& activity, const std::string& detail) {
  std::fprintf(stderr, "patinex: %s %s\n", activity.c_str(), detail.c_str());
  SetStatusActivity(activity);
  SetStatusDetail(detail);
  ShowStatusLine();
}

float SliderShare(int id) {
  const CUISlider* slider = App().simulationPanel.GetSlider(id);
  return slider != nullptr ? float(slider->GetValue()) * 0.01f : 1.0f;
}

}  // namespace

void ExportAgedModel() {
  ApplicationState& app = App();
  if (!app.objModel || app.loadedModel <= 0 || size_t(app.loadedModel) >= app.models.size()) {
    Report("Export: pick a model first.", "");
    return;
  }
  // Only the current samples' history is this model's: older masks in the folder may be another's.
  const CUISlider* stepSlider = app.simulationPanel.GetSlider(ID_STEP);
  int32_t step = stepSlider != nullptr ? stepSlider->GetValue() : 0;
  if (app.maskFolder.empty() || step < 0 || step >= app.maskHistorySteps) {
    Report("Export: no step of this model is saved yet.", "Press Weather first.");
    return;
  }
  const std::string& modelFile = app.models[size_t(app.loadedModel)].file;
  AssetExport::ExportSettings settings;
  settings.look.rustFactor = SliderShare(ID_RUST_FACTOR);
  settings.look.dirtFactor = SliderShare(ID_DIRT_FACTOR);
  const std::string out = AssetExport::WindowExportPath(app.maskFolder, modelFile, step);
  std::string error;
  // The run, if one goes on, only reads the model too.
  if (!AssetExport::ExportAgedAssetFromFolder(*app.objModel, app.maskFolder, &step, settings, out, &error)) {
    Report("Export failed.", error);
    return;
  }
  // Steps are counted from 1 on the panel; files keep the number of the masks they were made from.
  Report("Exported step " + std::to_string(step + 1) + " of " + std::to_string(app.maskHistorySteps) + ".",
         "Written to " + ShownFolder(out) + ".");
}
