#include "app/number_boxes.h"

#include <algorithm>
#include <cstdio>

#include "app/control_ids.h"
#include "app/status_line.h"
#include "framework/dialog.h"
#include "framework/ui_edit_box.h"
#include "platform_os/ranged_number.h"
#include "simulation/simulation_params.h"

const NumberBox kDensityBox{ID_DENSITY, "Density", Simulation::kMinDensity, Simulation::kMaxDensity};
const NumberBox kStepsBox{ID_STEPS, "Steps", Simulation::kMinSteps, Simulation::kMaxSteps};
const NumberBox kTonsPerStepBox{ID_TONS_PER_STEP, "Tons/Step", Simulation::kMinTonsPerStep,
                                Simulation::kMaxTonsPerStep};

NumberReading ReadNumber(const std::string& text, const NumberBox& box, int32_t current) {
  const Platform::NumberReading<int64_t> reading = Platform::ReadWholeNumber(text, {box.lowest, box.highest});
  switch (reading.verdict) {
    case Platform::NumberVerdict::kTaken: return {static_cast<int32_t>(reading.value), NumberVerdict::Taken};
    case Platform::NumberVerdict::kClamped: return {static_cast<int32_t>(reading.value), NumberVerdict::Clamped};
    case Platform::NumberVerdict::kRefused: break;
  }
  return {current, NumberVerdict::Refused};
}

std::string NumberNotice(const NumberBox& box, const std::string& typed, const NumberReading& reading) {
  char text[160];
  switch (reading.verdict) {
    case NumberVerdict::Taken: return std::string();
    case NumberVerdict::Clamped: {
      // A long paste is shown by its start.
      const std::string shown = typed.size() > 12 ? typed.substr(0, 11) + "\xE2\x80\xA6" : typed;
      std::snprintf(text, sizeof text, "%s is %d to %d: %s became %d.", box.name, box.lowest, box.highest, shown.c_str(),
                    reading.value);
      break;
    }
    case NumberVerdict::Refused:
      std::snprintf(text, sizeof text, "%s takes whole numbers from %d to %d: kept %d.", box.name, box.lowest,
                    box.highest, reading.value);
      break;
  }
  return text;
}

int32_t& NumberBoxes::ValueOf(const NumberBox& box) {
  if (box.id == kStepsBox.id) return steps;
  if (box.id == kTonsPerStepBox.id) return tonsPerStep;
  return density;
}

int32_t NumberBoxes::ValueOf(const NumberBox& box) const {
  if (box.id == kStepsBox.id) return steps;
  if (box.id == kTonsPerStepBox.id) return tonsPerStep;
  return density;
}

bool NumberBoxes::Commit(const NumberBox& box) {
  int32_t& value = ValueOf(box);
  CUIEditBox* edit = panel.GetEditBox(box.id);
  if (edit == nullptr) return false;
  const std::string typed = edit->GetText();
  const NumberReading reading = ReadNumber(typed, box, value);
  char text[16];
  std::snprintf(text, sizeof text, "%d", reading.value);
  if (typed != text) edit->SetText(text);
  if (reading.verdict != NumberVerdict::Taken) status.SetNotice(NumberNotice(box, typed, reading));
  const bool changed = reading.value != value;
  value = reading.value;
  return changed;
}

bool NumberBoxes::CommitAll() {
  const bool densityChanged = Commit(kDensityBox);
  Commit(kStepsBox);
  Commit(kTonsPerStepBox);
  return densityChanged;
}

void NumberBoxes::Set(const NumberBox& box, int32_t value) {
  ValueOf(box) = std::clamp(value, box.lowest, box.highest);
  if (CUIEditBox* edit = panel.GetEditBox(box.id)) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", ValueOf(box));
    edit->SetText(text);
  }
}

void NumberBoxes::Show(const NumberBox& box) const {
  if (CUIEditBox* edit = panel.GetEditBox(box.id); edit != nullptr && !edit->HasFocus()) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", ValueOf(box));
    edit->SetText(text);
  }
}
