#include "app/asset_export_command.h"

#include <cstdio>
#include <memory>
#include <string>

#include "app/application_state.h"
#include "app/control_ids.h"
#include "assetexport/aged_export.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"
#include "renderlib/obj_loader.h"

namespace {

void ShowStatus(const std::string& text) {
  std::fprintf(stderr, "patinex: %s\n", text.c_str());
  if (CUIStatic* line = App().simulationPanel.GetStatic(ID_PROGRESS)) {
    line->SetVisible(true);
    line->SetText(text.c_str());
  }
}

float SliderShare(int id) {
  const CUISlider* slider = App().simulationPanel.GetSlider(id);
  return slider != nullptr ? float(slider->GetValue()) * 0.01f : 1.0f;
}

}  // namespace

void ExportAgedModel() {
  ApplicationState& app = App();
  if (app.loadedModel <= 0 || size_t(app.loadedModel) >= app.models.size() || app.models[app.loadedModel].file.empty()) {
    ShowStatus("Export: pick a model first");
    return;
  }
  const std::string& modelFile = app.models[size_t(app.loadedModel)].file;
  const CUISlider* stepSlider = app.simulationPanel.GetSlider(ID_STEP);
  int32_t step = stepSlider != nullptr ? stepSlider->GetValue() : 0;
  // The device mesh keeps no texture coordinates apart from its vertices: the file is read again.
  std::unique_ptr<RenderLib::ObjModel> model = RenderLib::LoadObj(modelFile.c_str(), nullptr);
  if (!model) {
    ShowStatus("Export failed: cannot read " + modelFile);
    return;
  }
  AssetExport::ExportSettings settings;
  settings.look.rustFactor = SliderShare(ID_RUST_FACTOR);
  settings.look.dirtFactor = SliderShare(ID_DIRT_FACTOR);
  const std::string folder = app.maskFolder.empty() ? std::string("media") : app.maskFolder;
  const std::string out = AssetExport::WindowExportPath(folder, modelFile, step);
  std::string error;
  if (!AssetExport::ExportAgedAssetFromFolder(*model, folder, &step, settings, out, &error)) {
    ShowStatus("Export failed: " + error);
    return;
  }
  ShowStatus("Exported to " + out);
}
