#include "app/application.h"

#include <cstdio>
#include <filesystem>
#include <optional>

#include "app/control_ids.h"
#include "app/mask_folder.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_static.h"
#include "platform/window.h"

PatinexApplication::PatinexApplication()
    : status(panels.SimulationPanel(), [this](int extra) { panels.GrowSimulationPanel(extra); }),
      numbers(panels.ParametersPanel(), status),
      history(panels.SimulationPanel(),
              [this] {
                view.ReleaseMaskViews();
                sessions.HistoryEnded();
              }),
      model([this] { view.MarkChanged(); }),
      samples(status, history, panels.UiLock(), [this] { view.MarkChanged(); }),
      view(model, samples, history, panels, folders),
      sessions(folders, models, model, samples, history, numbers, view, panels, status, looks),
      run(model, samples, history, view, panels, status, numbers, folders, sessions, looks),
      exporter(model, models, history, panels, status, folders, looks),
      recentModels(PatinexStateFolder().empty() ? std::string() : PatinexStateFolder() + "/recent-models"),
      recentFolders(PatinexStateFolder().empty() ? std::string() : PatinexStateFolder() + "/recent-folders"),
      browser(panels.FileBrowserPanel(), recentFolders, [this](const std::string& path) { return AddDroppedModel(path); }) {}

bool PatinexApplication::Start(bool parseCommandLine, const char* extraCommandLine) {
  folders.media = FindShippedMediaFolder();
  if (folders.media.empty()) std::fprintf(stderr, "patinex: no media folder found; the views stay empty\n");
  folders.masks = ChooseMaskFolder(folders.media, &folders.masksProblem);
  if (!folders.masks.empty()) std::fprintf(stderr, "patinex: masks are written to %s\n", folders.masks.c_str());
  models.Reset(folders.media);
  recentModels.Load();
  recentFolders.Load();
  // Models opened before, newest first after the shipped ones; files gone since are not offered.
  for (const std::string& path : recentModels.Existing()) models.Add(path);
  status.SetActivity("Pick a model, then press Weather.");

  FrameworkSetGammaCorrectMode(false);
  // Nothing changes on screen unless something happens: the window rests in between.
  FrameworkSetRenderOnDemand(true);
  RegisterCallbacks();
  panels.Build(ControlEventCallback, this);
  looks.Fill(panels.LookPanel());
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
  // The new model is read first: a file that cannot be read leaves the model in use, its samples,
  // its masks and a run on it as they were, and the picker showing it.
  std::optional<ModelForms> forms;
  if (selected >= 1 && selected < int(models.Size())) {
    const ModelEntry& entry = models[size_t(selected)];
    std::string why;
    forms = WorkModel::Read(FrameworkGetDevice(), entry.file, view.MeshEffect(), &why);
    if (!forms) {
      if (picker != nullptr) picker->SetSelectedByIndex(models.Loaded());
      const std::string file = entry.file.empty() ? entry.label : ShownFolder(entry.file);
      status.SetNotice("");
      status.SetActivity("Cannot read " + file + ".");
      status.SetDetail(AsSentence(PlainReadFailure(why, entry.file)) + (models.Loaded() > 0 ? " " + models[size_t(models.Loaded())].label + " stays." : ""));
      return;
    }
  }
  const bool runEnded = run.Kept();
  view.ShowSamplePoints(false);
  run.End();
  ReleaseModel();
  samples.Release();
  view.ReleaseMaskViews();
  models.SetLoaded(0);
  status.SetNotice("");
  status.SetDetail(runEnded ? "The run on the previous model was stopped; its masks stay." : "");
  if (forms) {
    const ModelEntry& entry = models[size_t(selected)];
    model.Adopt(std::move(*forms));
    models.SetLoaded(selected);
    if (size_t(selected) >= models.FixedCount()) RememberModel(entry.file);
    exporter.SuggestNameFor(entry.file);
    char text[160];
    std::snprintf(text, sizeof text, "%s: %u triangles.%s", entry.label.c_str(), model.Soup()->GetIndexCount() / 3,
                  model.LayoutRefusal().empty() ? " Press Weather." : "");
    status.SetActivity(text);
    // Said short here (Weather says it whole): its masks would have no area to cover.
    if (!model.LayoutRefusal().empty()) {
      status.SetDetail("Its texture coordinates give the masks no area: it cannot be weathered.");
    } else if (!model.TilingWarning().empty()) {
      status.SetDetail("Warning: " + model.TilingWarning() + ".");
    }
  } else {
    status.SetActivity("Pick a model, then press Weather.");
  }
  // The model goes on where it was left: its most recent session, samples and steps.
  if (forms && model.LayoutRefusal().empty()) {
    sessions.OpenMostRecent();
  } else {
    sessions.Refresh();
  }
  view.FrameLoadedModel();
}

void PatinexApplication::RememberModel(const std::string& path) {
  if (recentModels.File().empty()) return;
  recentModels.Add(path);
  recentFolders.Add(std::filesystem::path(path).parent_path().string());
  std::string why;
  for (const RecentList* list : {&recentModels, &recentFolders}) {
    if (!list->Save(&why)) std::fprintf(stderr, "patinex: what was opened cannot be remembered: %s\n", why.c_str());
  }
}

bool PatinexApplication::AddDroppedModel(const std::string& path) {
  if (path.empty()) return false;
  const size_t entriesBefore = models.Size();
  const int index = models.Add(path);
  CUIComboBox* picker = panels.ParametersPanel().GetComboBox(ID_MODEL);
  if (picker != nullptr) {
    if (models.Size() > entriesBefore) picker->AddItem(models[size_t(index)].label, reinterpret_cast<void*>(intptr_t(-1)));
    picker->SetSelectedByIndex(index);
  }
  LoadSelectedModel();
  if (models.Loaded() != index && models.Size() > entriesBefore) {
    models.RemoveLast();
    models.Fill(picker);
  }
  return models.Loaded() == index;
}

void PatinexApplication::OpenModelFile(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  AddDroppedModel(error ? path : absolute.lexically_normal().string());
}

bool PatinexApplication::EscapeMayQuit(const Platform::WindowEvent& event) {
  if (event.type != Platform::EventType::KeyDown || event.key != Platform::VK_ESCAPE || !run.Running()) return true;
  AskQuestion(Question::kQuit, "A run is in progress. Quit anyway?");
  return false;
}

void PatinexApplication::AskQuestion(Question question, const std::string& text) {
  asked = question;
  if (CUIStatic* shown = panels.QuitQuestion().GetStatic(ID_QUESTION_TEXT)) shown->SetText(text);
  panels.QuitQuestion().SetVisible(true);
  FrameworkRequestFrame();
}

void PatinexApplication::AnswerQuitQuestion(bool yes) {
  panels.QuitQuestion().SetVisible(false);
  if (asked == Question::kQuit) quitAnswered = yes;
  else deleteAnswered = yes;
  FrameworkRequestFrame();
}

bool PatinexApplication::HandleQuitQuestion(Platform::Window* window, const Platform::WindowEvent& event) {
  using Platform::EventType;
  if (answeringKey != 0) {
    if (event.type == EventType::Text) return true;
    if (event.type == EventType::KeyUp && event.key == answeringKey) {
      answeringKey = 0;
      return true;
    }
  }
  if (!QuitQuestionOpen()) return false;
  if (event.type == EventType::KeyDown && !event.repeat) {
    const uint32_t key = event.key;
    if (key == 'Y' || key == 'N' || key == Platform::VK_ESCAPE || key == Platform::VK_RETURN) {
      answeringKey = key;
      AnswerQuitQuestion(key == 'Y');
    }
    return true;
  }
  if (event.IsMouse()) {
    panels.QuitQuestion().HandleEvent(window, event);
    return true;
  }
  // Other keys and typing wait for the answer; what the window itself is told (closing, resizing,
  // painting) goes on.
  return event.IsKey() || event.type == EventType::Text;
}
