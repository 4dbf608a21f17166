#include "app/number_boxes.h"

#include <cctype>
#include <cstdio>

#include "app/control_ids.h"
#include "app/status_line.h"
#include "framework/dialog.h"
#include "framework/ui_edit_box.h"

const NumberBox kDensityBox{ID_DENSITY, "Density", 1, 500};
const NumberBox kStepsBox{ID_STEPS, "Steps", 1, 1000};
const NumberBox kTonsPerStepBox{ID_TONS_PER_STEP, "Tons/Step", 1, 1000000};

NumberReading ReadNumber(const std::string& text, const NumberBox& box, int32_t current) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
  while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
  bool negative = false;
  if (first < last && (text[first] == '-' || text[first] == '+')) negative = text[first++] == '-';
  if (first == last) return {current, NumberVerdict::Refused};
  // Past the highest bound the exact value no longer matters: stop growing there.
  int64_t magnitude = 0;
  for (size_t i = first; i < last; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return {current, NumberVerdict::Refused};
    if (magnitude <= box.highest) magnitude = magnitude * 10 + (text[i] - '0');
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value < box.lowest) return {box.lowest, NumberVerdict::Clamped};
  if (value > box.highest) return {box.highest, NumberVerdict::Clamped};
  return {static_cast<int32_t>(value), NumberVerdict::Taken};
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

void NumberBoxes::Show(const NumberBox& box) const {
  if (CUIEditBox* edit = panel.GetEditBox(box.id); edit != nullptr && !edit->HasFocus()) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", ValueOf(box));
    edit->SetText(text);
  }
}
