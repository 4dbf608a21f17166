#pragma once

#include <string>

#include "app/background_export.h"

class LookChoice;
class MaskHistory;
class ModelTable;
class StatusLine;
class WindowPanels;
class WorkModel;
struct MediaFolders;

// The Export panel: writes the loaded model aged by the step on the step slider in the chosen
// look, at the Dirt and Rust sliders' strengths, under the name and into the folder its boxes give (.glb, or a .gltf
// with its files beside it). An existing file is replaced only when the user says so. The file is
// written off the window thread; the status line says which step goes where and, once
// ApplyFinished has seen it end, where it went or why it did not. Window thread.
class AssetExportCommand {
public:
  AssetExportCommand(WorkModel& model, const ModelTable& models, const MaskHistory& history, WindowPanels& panels,
                     StatusLine& status, const MediaFolders& folders, const LookChoice& looks);

  void Export();
  // Names the file after a newly loaded model: <model>_aged.glb (.gltf when the name was one).
  void SuggestNameFor(const std::string& modelPath);
  // Started and not yet reported.
  bool UnderWay() const { return exporting.UnderWay(); }
  // Reports an export that has ended (once a frame).
  void ApplyFinished();
  // Waits for an export under way: its file is left whole or not at all.
  void Wait() { exporting.Wait(); }

  // Asked, with the question's text, before files are replaced; true to replace them. A message
  // box by default; replaceable for tests.
  using ReplaceQuestion = bool (*)(const std::string& question);
  void SetConfirmReplace(ReplaceQuestion confirm) { confirmReplace = confirm; }

private:
  void Report(const std::string& activity, const std::string& detail);
  float SliderShare(int id);
  std::string StepOfHistory(int32_t step) const;
  // Whether nothing is in the way of writing to path: no file there, or the user lets it go.
  bool MayWrite(const std::string& path);

  WorkModel& model;
  const ModelTable& models;
  const MaskHistory& history;
  WindowPanels& panels;
  StatusLine& status;
  const MediaFolders& folders;
  const LookChoice& looks;
  ReplaceQuestion confirmReplace;
  BackgroundExport exporting;
};
