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

// Steps are counted from 1 on the panel; files keep the number of the masks they were made from.
std::string StepOfHistory(int32_t step) {
  return "step " + std::to_string(step + 1) + " of " + std::to_string(App().maskHistorySteps);
}

}  // namespace

void ExportAgedModel() {
  ApplicationState& app = App();
  if (app.exporting.UnderWay()) {
    Report("Export: one is under way already.", "");
    return;
  }
  if (!app.objModel || app.loadedModel <= 0 || size_t(app.loadedModel) >= app.models.size()) {
    Report("Export: pick a model first.", "");
    return;
  }
  // Only the current samples' history is this model's: older masks in the folder may be another's.
  const CUISlider* stepSlider = app.simulationPanel.GetSlider(ID_STEP);
  const int32_t step = stepSlider != nullptr ? stepSlider->GetValue() : 0;
  if (app.maskFolder.empty() || step < 0 || step >= app.maskHistorySteps) {
    Report("Export: no step of this model is saved yet.", "Press Weather first.");
    return;
  }
  AssetExport::ExportSettings settings;
  settings.look.rustFactor = SliderShare(ID_RUST_FACTOR);
  settings.look.dirtFactor = SliderShare(ID_DIRT_FACTOR);
  const std::string out =
      AssetExport::WindowExportPath(app.maskFolder, app.models[size_t(app.loadedModel)].file, step);
  std::string why;
  if (!app.exporting.Start(app.objModel, app.maskFolder, step, settings, out, &why)) {
    Report("Export failed.", why);
    return;
  }
  Report("Exporting " + StepOfHistory(step) + "...", "To " + ShownFolder(out) + ".");
}

bool ExportUnderWay() { return App().exporting.UnderWay(); }

void ApplyFinishedExport() {
  BackgroundExport::Result finished;
  if (!App().exporting.TakeFinished(finished)) return;
  if (!finished.written) {
    Report("Export failed.", finished.error);
    return;
  }
  Report("Exported " + StepOfHistory(finished.step) + ".", "Written to " + ShownFolder(finished.out) + ".");
}
