#include "app/application.h"

#include <cctype>
#include <cstdio>

#include "app/control_ids.h"
#include "app/mask_folder.h"
#include "framework/ui_combo_box.h"
#include "platform/window.h"

namespace {

// The platform's message box; "No", the safe answer, is what Enter and Escape give.
bool AskWhetherToQuitDuringRun() {
  return Platform::ShowMessageBox(FrameworkGetWindow(), "Patinex: a run is in progress",
                                  "A run is in progress. Quit anyway?", Platform::MessageBoxIcon::Question,
                                  {"&Yes", "&No"}, 1, 1) == 0;
}

}  // namespace

PatinexApplication::PatinexApplication()
    : status(panels.SimulationPanel()),
      numbers(panels.ParametersPanel(), status),
      history(panels.SimulationPanel(), [this] { view.ReleaseMaskViews(); }),
      model([this] { view.MarkChanged(); }),
      samples(status, history, panels.UiLock(), [this] { view.MarkChanged(); }),
      view(model, samples, history, panels, folders),
      run(model, samples, history, view, panels, status, numbers, folders),
      exporter(model, models, history, panels, status, folders) {}

bool PatinexApplication::Start(bool parseCommandLine, const char* extraCommandLine) {
  folders.media = FindShippedMediaFolder();
  if (folders.media.empty()) std::fprintf(stderr, "patinex: no media folder found; the views stay empty\n");
  folders.masks = ChooseMaskFolder(folders.media, &folders.masksProblem);
  confirmQuitDuringRun = AskWhetherToQuitDuringRun;
  if (!folders.masks.empty()) std::fprintf(stderr, "patinex: masks are written to %s\n", folders.masks.c_str());
  models.Reset(folders.media);
  status.SetActivity("Pick a model, then press Weather.");

  FrameworkSetGammaCorrectMode(false);
  // Nothing changes on screen unless something happens: the window rests in between.
  FrameworkSetRenderOnDemand(true);
  RegisterCallbacks();
  panels.Build(ControlEventCallback, this);
  if (Platform::Failed(FrameworkInit(parseCommandLine, true, extraCommandLine, false))) return false;
  FrameworkSetCursorSettings(true, true);
  if (Platform::Failed(FrameworkCreateWindow("Patinex"))) {
    std::fprintf(stderr, "patinex: patinex-cli inspects models and weathers them without a window or display\n");
    return false;
  }
  return Platform::Succeeded(FrameworkCreateDevice(true, 800, 600));
}

int PatinexApplication::Shutdown() {
  run.End(false);
  FrameworkShutdown(FrameworkGetExitCode());
  // A cancelled sampling reports to the samples: it ends before they do.
  samples.WaitForAll();
  exporter.Wait();
  // The model and the samples outlive device changes; they go with the program.
  ReleaseModel();
  samples.Release();
  return FrameworkGetExitCode();
}

void PatinexApplication::ReleaseModel() {
  // A sampling of this model is no longer wanted; it holds the model until it stops.
  run.CancelResampling();
  model.Release();
}

void PatinexApplication::LoadSelectedModel() {
  CUIComboBox* picker = panels.ParametersPanel().GetComboBox(ID_MODEL);
  const int selected = picker ? picker->GetSelectedIndex() : 0;
  // Choosing the entry already loaded changes nothing (and keeps a run going).
  if (selected == models.Loaded()) return;
  const bool runEnded = run.Kept();
  run.End();
  ReleaseModel();
  samples.Release();
  view.ReleaseMaskViews();
  models.SetLoaded(0);
  status.SetNotice("");
  status.SetDetail(runEnded ? "The run on the previous model was stopped; its masks stay." : "");
  if (selected >= 1 && selected < int(models.Size())) {
    const ModelEntry& entry = models[size_t(selected)];
    std::string why;
    if (model.Load(FrameworkGetDevice(), entry.file, view.MeshEffect(), &why)) {
      models.SetLoaded(selected);
      exporter.SuggestNameFor(entry.file);
      char text[160];
      std::snprintf(text, sizeof text, "%s: %u triangles. Press Weather.", entry.label.c_str(),
                    model.Soup()->GetIndexCount() / 3);
      status.SetActivity(text);
    } else {
      const std::string file = entry.file.empty() ? entry.label : ShownFolder(entry.file);
      status.SetActivity("Cannot read " + file + ".");
      if (!why.empty()) why[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(why[0])));
      status.SetDetail(why + ".");
    }
  } else {
    status.SetActivity("Pick a model, then press Weather.");
  }
  view.FrameLoadedModel();
}

void PatinexApplication::AddDroppedModel(const std::string& path) {
  if (path.empty()) return;
  const size_t entriesBefore = models.Size();
  const int index = models.Add(path);
  CUIComboBox* picker = panels.ParametersPanel().GetComboBox(ID_MODEL);
  if (picker != nullptr) {
    if (models.Size() > entriesBefore) picker->AddItem(models[size_t(index)].label, reinterpret_cast<void*>(intptr_t(-1)));
    picker->SetSelectedByIndex(index);
  }
  view.ShowSamplePoints(false);
  LoadSelectedModel();
  if (models.Loaded() != index && models.Size() > entriesBefore) {
    models.RemoveLast();
    models.Fill(picker);
  }
}

bool PatinexApplication::EscapeMayQuit(const Platform::WindowEvent& event) {
  if (event.type != Platform::EventType::KeyDown || event.key != Platform::VK_ESCAPE || !run.Running()) return true;
  return confirmQuitDuringRun != nullptr && confirmQuitDuringRun();
}
