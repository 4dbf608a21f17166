#include "app/mask_history.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/control_ids.h"
#include "framework/dialog.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"
#include "simulation/mask_files.h"

namespace fs = std::filesystem;

void MaskHistory::ShowStepLabel() {
  CUIStatic* label = panel.GetStatic(ID_STEP_LABEL);
  if (label == nullptr) return;
  const CUISlider* slider = panel.GetSlider(ID_STEP);
  if (steps <= 0 || slider == nullptr) {
    label->SetText("No steps yet");
    return;
  }
  char text[48];
  std::snprintf(text, sizeof text, "Step %d of %d", slider->GetValue() + 1, steps);
  label->SetText(text);
}

void MaskHistory::Extend(int32_t count) {
  steps = std::max(count, 0);
  if (CUISlider* slider = panel.GetSlider(ID_STEP)) {
    slider->SetRange(0, std::max(steps - 1, 0));
    slider->SetValue(std::max(steps - 1, 0));
    slider->SetEnabled(steps > 0);
  }
  ShowStepLabel();
}

void MaskHistory::End() {
  Extend(0);
  if (ended) ended();
}

void RemoveMasksOfStep(const std::string& folder, int32_t number) {
  // Every mask space's files of the step, whatever their number.
  std::error_code error;
  std::vector<fs::path> masks;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    int32_t step = -1;
    std::error_code kind;
    if (Simulation::ParseMaskFileName(it->path().filename().string(), nullptr, &step) && step == number &&
        it->is_regular_file(kind)) {
      masks.push_back(it->path());
    }
  }
  for (const fs::path& mask : masks) fs::remove(mask, error);
}
