#include "app/asset_export_command.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/export_target.h"
#include "app/look_choice.h"
#include "app/mask_history.h"
#include "app/media_folders.h"
#include "app/model_table.h"
#include "app/status_line.h"
#include "app/window_panels.h"
#include "app/work_model.h"
#include "assetexport/aged_export.h"
#include "framework/framework.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_slider.h"
#include "platform/window.h"

namespace {

// The platform's message box; "Cancel", the safe answer, is what Enter and Escape give.
bool AskWhetherToReplace(const std::string& question) {
  return Platform::ShowMessageBox(FrameworkGetWindow(), "Patinex: replace the file?", question,
                                  Platform::MessageBoxIcon::Warning, {"&Replace", "&Cancel"}, 1, 1) == 0;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home != nullptr ? home : "";
}

bool IsTextGltf(const std::string& path) { return std::filesystem::path(path).extension() == ".gltf"; }

}  // namespace

AssetExportCommand::AssetExportCommand(WorkModel& model, const ModelTable& models, const MaskHistory& history,
                                       WindowPanels& panels, StatusLine& status, const MediaFolders& folders,
                                       const LookChoice& looks)
    : model(model),
      models(models),
      history(history),
      panels(panels),
      status(status),
      folders(folders),
      looks(looks),
      confirmReplace(AskWhetherToReplace) {}

void AssetExportCommand::Report(const std::string& activity, const std::string& detail) {
  std::fprintf(stderr, "patinex: %s %s\n", activity.c_str(), detail.c_str());
  status.SetActivity(activity);
  status.SetDetail(detail);
  status.Show();
}

float AssetExportCommand::SliderShare(int id) {
  const CUISlider* slider = panels.SimulationPanel().GetSlider(id);
  return slider != nullptr ? float(slider->GetValue()) * 0.01f : 1.0f;
}

// Steps are counted from 1, as the step slider's label counts them; the masks are numbered from 0.
std::string AssetExportCommand::StepOfHistory(int32_t step) const {
  return "step " + std::to_string(step + 1) + " of " + std::to_string(history.Steps());
}

void AssetExportCommand::SuggestNameFor(const std::string& modelPath) {
  if (CUIEditBox* name = panels.ExportPanel().GetEditBox(ID_EXPORT_NAME)) {
    name->SetText(SuggestedExportName(modelPath, name->GetText()));
  }
}

bool AssetExportCommand::MayWrite(const std::string& path) {
  const std::vector<std::string> existing = ExistingExportFiles(path);
  if (existing.empty()) return true;
  const std::filesystem::path first(existing.front());
  std::string question = first.filename().string() + " already exists in " + ShownFolder(first.parent_path().string()) + ".";
  if (existing.size() > 1) question += " So do " + std::to_string(existing.size() - 1) + " more files the export writes.";
  question += existing.size() > 1 ? " Replace them with the new export?" : " Replace it with the new export?";
  if (confirmReplace != nullptr && confirmReplace(question)) return true;
  Report("Export: nothing written.", ShownFolder(first.string()) + " exists already and was kept.");
  return false;
}

void AssetExportCommand::Export() {
  if (exporting.UnderWay()) {
    Report("Export: one is under way already.", "");
    return;
  }
  const int loaded = models.Loaded();
  if (!model.AsRead() || loaded <= 0 || size_t(loaded) >= models.Size()) {
    Report("Export: pick a model first.", "");
    return;
  }
  // The steps the slider offers are the current session's, in its folder.
  const CUISlider* stepSlider = panels.SimulationPanel().GetSlider(ID_STEP);
  const int32_t step = stepSlider != nullptr ? stepSlider->GetValue() : 0;
  if (folders.session.empty() || step < 0 || step >= history.Steps()) {
    Report("Export: no step of this model is saved yet.", "Press Weather first.");
    return;
  }
  CUIEditBox* nameBox = panels.ExportPanel().GetEditBox(ID_EXPORT_NAME);
  const CUIEditBox* folderBox = panels.ExportPanel().GetEditBox(ID_EXPORT_FOLDER);
  if (nameBox == nullptr || folderBox == nullptr) return;
  const ExportTarget target = ResolveExportTarget(nameBox->GetText(), folderBox->GetText(), HomeFolder());
  if (!target.problem.empty()) {
    Report("Export: nothing written.", target.problem);
    return;
  }
  nameBox->SetText(target.name);
  if (!MayWrite(target.path)) return;
  AssetExport::ExportSettings settings;
  settings.look.rustFactor = SliderShare(ID_RUST_FACTOR);
  settings.look.dirtFactor = SliderShare(ID_DIRT_FACTOR);
  settings.agedLook = looks.Current();
  std::string why;
  if (!exporting.Start(model.AsRead(), folders.session, step, settings, target.path, &why)) {
    Report("Export failed.", why);
    return;
  }
  Report("Exporting " + StepOfHistory(step) + " as " + looks.Current().name + "...", "To " + ShownFolder(target.path) + ".");
}

void AssetExportCommand::ApplyFinished() {
  BackgroundExport::Result finished;
  if (!exporting.TakeFinished(finished)) return;
  if (!finished.written) {
    Report("Export failed.", finished.error);
    return;
  }
  const std::string beside = IsTextGltf(finished.out) ? ", its buffer and images beside it" : "";
  Report("Exported " + StepOfHistory(finished.step) + ".", "Written to " + ShownFolder(finished.out) + beside + ".");
}
