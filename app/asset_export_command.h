#pragma once

#include "app/background_export.h"

class MaskHistory;
class ModelTable;
class StatusLine;
class WindowPanels;
class WorkModel;
struct MediaFolders;

// The Simulation panel's Export button: writes the loaded model aged by the step on the step
// slider, at the Dirt and Rust sliders' strengths, as <model>_step<k>.glb in the mask folder.
// The file is written off the window thread; the status line says where it goes and, once
// ApplyFinished has seen it end, where it went or why it did not. Window thread.
class AssetExportCommand {
public:
  AssetExportCommand(WorkModel& model, const ModelTable& models, const MaskHistory& history, WindowPanels& panels,
                     StatusLine& status, const MediaFolders& folders)
      : model(model), models(models), history(history), panels(panels), status(status), folders(folders) {}

  void Export();
  // Started and not yet reported.
  bool UnderWay() const { return exporting.UnderWay(); }
  // Reports an export that has ended (once a frame).
  void ApplyFinished();
  // Waits for an export under way: its file is left whole or not at all.
  void Wait() { exporting.Wait(); }

private:
  void Report(const std::string& activity, const std::string& detail);
  float SliderShare(int id);
  std::string StepOfHistory(int32_t step) const;

  WorkModel& model;
  const ModelTable& models;
  const MaskHistory& history;
  WindowPanels& panels;
  StatusLine& status;
  const MediaFolders& folders;
  BackgroundExport exporting;
};
