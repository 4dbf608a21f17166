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
#include "simulation/run_record.h"
#include "simulation/session_file.h"

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
  earlierMovedAside = false;
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

int MoveMasksAside(const std::string& folder, std::string* why) {
  std::error_code error;
  std::error_code kind;
  std::vector<fs::path> masks;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (Simulation::ParseMaskFileName(it->path().filename().string(), nullptr, nullptr) && !it->is_directory(kind)) masks.push_back(it->path());
  }
  if (error) {
    if (why) *why = "cannot read " + folder + ": " + error.message();
    return -1;
  }
  if (masks.empty()) return 0;
  const fs::path previous = fs::path(folder) / "previous";
  fs::create_directories(previous, error);
  if (error) {
    if (why) *why = "cannot make " + previous.string() + ": " + error.message();
    return -1;
  }
  // One generation is kept: the masks moved aside last time make room.
  for (fs::directory_iterator it(previous, error), end; !error && it != end; it.increment(error)) {
    if (Simulation::ParseMaskFileName(it->path().filename().string(), nullptr, nullptr)) fs::remove(it->path(), error);
    if (error) break;
  }
  for (const fs::path& mask : masks) {
    if (error) break;
    fs::rename(mask, previous / mask.filename(), error);
  }
  // The record of the history goes with its masks (replacing the one moved aside last time).
  const fs::path record = fs::path(folder) / Simulation::kRunRecordName;
  if (!error && fs::is_regular_file(record, kind)) fs::rename(record, previous / Simulation::kRunRecordName, error);
  // And so does its session, which continues those masks and no others.
  const fs::path session = fs::path(folder) / Simulation::kSessionName;
  if (!error && fs::is_regular_file(session, kind)) fs::rename(session, previous / Simulation::kSessionName, error);
  if (error) {
    if (why) *why = "cannot move the masks into " + previous.string() + ": " + error.message();
    return -1;
  }
  return static_cast<int>(masks.size());
}
