#include "app/source_controls.h"

#include <cmath>
#include <cstdio>

#include "app/control_ids.h"
#include "app/panels.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"

namespace {

struct Preset {
  const char* name;
  RenderLib::Vector3 towards;
};
constexpr Preset kPresets[] = {{"Above", {0.0f, 1.0f, 0.0f}},  {"+X", {1.0f, 0.0f, 0.0f}},
                               {"-X", {-1.0f, 0.0f, 0.0f}},   {"+Z", {0.0f, 0.0f, 1.0f}},
                               {"-Z", {0.0f, 0.0f, -1.0f}}};
constexpr int kPresetCount = int(sizeof kPresets / sizeof kPresets[0]);

// The direction of an opened session that no preset has: the slider gets one more stop for it,
// past the presets. Window thread only.
struct SavedDirection {
  bool held = false;
  RenderLib::Vector3 towards;
};
SavedDirection saved;

std::string DirectionName(const RenderLib::Vector3& d) {
  for (const Preset& preset : kPresets) {
    if (RenderLib::Dot(preset.towards, d) > 0.99999f) return preset.name;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.2g,%.2g,%.2g", d.x, d.y, d.z);
  return text;
}

}  // namespace

// A slider of stops rather than a picker: a picker's open list would leave the smallest window
// wherever the flow puts this short panel.
void BuildSourcePanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context) {
  panel.Init(&manager, true);
  panel.SetCallback(callback, context);
  StyleParameterPanel(panel, "FROM", 52);
  panel.AddStatic(ID_SOURCE_LABEL, "", 58, 5, 102, 22);
  panel.AddSlider(ID_SOURCE, 12, 32, 148, 22, 0, kPresetCount - 1, 0);
  panel.AddStatic(ID_SPREAD_LABEL, "", 12, 56, 76, 22);
  panel.AddSlider(ID_SPREAD, 90, 56, 70, 22, int(Simulation::kMinSpreadDegrees), int(Simulation::kMaxSpreadDegrees), 90);
  UpdateSourceLabels(panel);
}

Simulation::EmissionSource SourceOfControls(Dialog& panel) {
  Simulation::EmissionSource source;
  if (const CUISlider* spread = panel.GetSlider(ID_SPREAD)) source.spreadDegrees = float(spread->GetValue());
  const CUISlider* direction = panel.GetSlider(ID_SOURCE);
  const int stop = direction != nullptr ? direction->GetValue() : 0;
  if (stop >= 0 && stop < kPresetCount) {
    source.towards = kPresets[stop].towards;
  } else if (saved.held) {
    source.towards = saved.towards;
  }
  return source;
}

void ShowSource(Dialog& panel, const Simulation::EmissionSource& source) {
  if (CUISlider* spread = panel.GetSlider(ID_SPREAD)) spread->SetValue(int(std::lround(source.spreadDegrees)));
  CUISlider* direction = panel.GetSlider(ID_SOURCE);
  if (direction == nullptr) return;
  int stop = -1;
  for (int i = 0; i < kPresetCount; ++i) {
    if (RenderLib::Dot(kPresets[i].towards, source.towards) > 0.99999f) stop = i;
  }
  saved.held = stop < 0;
  saved.towards = source.towards;
  direction->SetRange(0, saved.held ? kPresetCount : kPresetCount - 1);
  direction->SetValue(stop < 0 ? kPresetCount : stop);
  UpdateSourceLabels(panel);
}

void UpdateSourceLabels(Dialog& panel) {
  if (CUIStatic* label = panel.GetStatic(ID_SOURCE_LABEL)) label->SetText(DirectionName(SourceOfControls(panel).towards));
  const CUISlider* spread = panel.GetSlider(ID_SPREAD);
  CUIStatic* label = panel.GetStatic(ID_SPREAD_LABEL);
  if (spread == nullptr || label == nullptr) return;
  label->SetText("Spread " + std::to_string(spread->GetValue()) + "\xC2\xB0");
}

std::string SourceText(const Simulation::EmissionSource& source) {
  return DirectionName(source.towards) + ", spread " + std::to_string(int(std::lround(source.spreadDegrees))) +
         "\xC2\xB0";
}
