#include "app/simulation_run.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/control_ids.h"
#include "app/mask_history.h"
#include "app/media_folders.h"
#include "app/number_boxes.h"
#include "app/scene_view.h"
#include "app/look_choice.h"
#include "app/source_controls.h"
#include "app/status_line.h"
#include "app/surface_samples.h"
#include "app/window_panels.h"
#include "app/window_sessions.h"
#include "app/work_model.h"
#include "framework/ui_button.h"
#include "framework/ui_slider.h"
#include "shipped_media/shipped_splat.h"
#include "simulation/mask_baking.h"

namespace {

using Clock = std::chrono::steady_clock;

// The wait before a requested resampling: long enough for a frame to show the status first.
constexpr float kResampleDelaySeconds = 0.1f;

// "steps 1–6" or "step 1" of the history, 1-based as the step label counts.
std::string HistoryRange(int32_t steps) {
  char text[48];
  if (steps == 1) std::snprintf(text, sizeof text, "step 1");
  else std::snprintf(text, sizeof text, "steps 1\xE2\x80\x93%d", steps);
  return text;
}

}  // namespace

SimulationRun::SimulationRun(WorkModel& model, SurfaceSamples& samples, MaskHistory& history, SceneView& view,
                             WindowPanels& panels, StatusLine& status, NumberBoxes& numbers,
                             const MediaFolders& folders, WindowSessions& sessions, const LookChoice& looks)
    : model(model),
      samples(samples),
      history(history),
      view(view),
      panels(panels),
      status(status),
      numbers(numbers),
      folders(folders),
      sessions(sessions),
      looks(looks) {}

void SimulationRun::SetButtonText(const char* text) {
  if (CUIButton* button = panels.SimulationPanel().GetButton(ID_WEATHER)) button->SetText(text);
}

std::string SimulationRun::MasksWentText() const {
  return "Masks of " + HistoryRange(history.Steps()) + " in " + sessions.ShownName() + ".";
}

// Refuses to start, saying why in the status line.
void SimulationRun::NoRun(const std::string& activity, const std::string& detail) {
  SetButtonText("Weather");
  status.SetActivity(activity);
  status.SetDetail(detail);
}

std::string MaskErrorText(int32_t code) {
  switch (code) {
    case Simulation::kMaskNotWritten: return "the files could not be written";
    case Simulation::kMaskNoMemory: return "there was not enough memory to bake them";
    case Simulation::kMaskNoSplat: return "there was no splat image to bake them with";
    default: return "baking them failed";
  }
}

void SimulationRun::RequestResample() {
  if (!model.Soup()) return;
  samples.Request(kResampleDelaySeconds);
  char text[96];
  // A run waiting for its samples takes the new density: the sampling starts over at once.
  if (queued) {
    samples.DropRequest();
    StartResampling();
  } else if (Kept()) {
    std::snprintf(text, sizeof text, "Density %d applies once the run has ended.", numbers.Density());
    status.SetNotice(text);
    waitingDensityNotice = text;
    return;
  }
  std::snprintf(text, sizeof text, "Sampling the surface at density %d...", numbers.Density());
  status.SetActivity(text);
}

void SimulationRun::StartResampling() {
  if (!model.Soup() || !model.KdTree() || thread) return;
  // The density that waited for the run's end applies now.
  status.DropNotice(waitingDensityNotice);
  waitingDensityNotice.clear();
  samples.Start(model.KdTree(), model.Soup(), numbers.Density());
}

void SimulationRun::CancelResampling() {
  samples.Cancel();
  CancelQueued();
}

void SimulationRun::Start() {
  if (thread) return;
  // A run that waited for its samples starts now, or says why it cannot.
  queued = false;
  status.SetNotice("");
  if (numbers.CommitAll()) RequestResample();
  if (!model.Soup()) {
    NoRun("Pick a model first, then press Weather.", "");
    return;
  }
  // Refused before anything is written or moved aside: the masks would stay empty.
  if (!model.LayoutRefusal().empty()) {
    std::fprintf(stderr, "patinex: no run: %s\n", model.LayoutRefusal().c_str());
    NoRun("No run: the model cannot be weathered.", AsSentence(model.LayoutRefusal()));
    return;
  }
  if (folders.masks.empty()) {
    NoRun("No run: the masks could not be saved anywhere.", folders.masksProblem);
    return;
  }
  std::string error;
  if (!ShippedMedia::LoadSplat(splat, &error)) {
    std::fprintf(stderr, "patinex: no masks can be baked: %s\n", error.c_str());
    NoRun("No run: the masks cannot be baked.", error);
    return;
  }
  // A density entered just before settles now: the run waits for samples of that density, made
  // off the window thread, and no resampling comes later to replace the samples under it.
  if (samples.Requested() || samples.Map() == nullptr || samples.UnderWay()) {
    if (samples.Requested() || !samples.UnderWay()) {
      samples.DropRequest();
      StartResampling();
    }
    if (!samples.UnderWay()) {
      NoRun("No run: the surface could not be sampled.", "");
      return;
    }
    queued = true;
    SetButtonText("Stop");
    status.SetDetail("The run starts once the surface is sampled.");
    return;
  }
  if (samples.Map() == nullptr) {
    NoRun("No run: sampling found no surface on the model.", "");
    return;
  }
  // Every history has a session folder of its own: nothing another run left is moved or
  // overwritten.
  SessionContinuation continuation;
  std::string why;
  runFolder = sessions.FolderForRun(&continuation, &why);
  if (runFolder.empty()) {
    NoRun("No run: no session folder could be made.", AsSentence(why));
    return;
  }

  SetButtonText("Stop");
  finished.store(0, std::memory_order_relaxed);
  lastStep.store(-1, std::memory_order_relaxed);
  stepReportPending.store(false, std::memory_order_relaxed);
  tracedPercent.store(-1.0f, std::memory_order_relaxed);
  stepsSaved.store(0, std::memory_order_relaxed);
  failedStep.store(-1, std::memory_order_relaxed);
  maskError.store(0, std::memory_order_relaxed);
  steps = numbers.Steps();
  firstMaskNumber = history.Steps();
  stopAsked = false;
  startTime = Clock::now();
  legs.store(0, std::memory_order_relaxed);
  traceSeconds.store(0.0, std::memory_order_relaxed);

  params = Simulation::SimulationParams();
  params.maskWidth = 1024;
  params.maskHeight = 1024;
  params.sampleSpacing = samples.Spacing();
  params.splat = &splat;
  params.steps = steps;
  params.tonsPerStep = numbers.TonsPerStep();
  params.mesh = model.Soup().get();
  params.sampleMap = samples.Map();
  params.kdTree = model.KdTree().get();
  params.finished = &finished;
  // The run bakes in software and its files appear by rename: it needs no UI lock, so the
  // window never waits for a bake.
  params.uiLock = nullptr;
  params.progress = OnProgress;
  params.stepFinished = OnStepFinished;
  params.userData = this;
  params.density = numbers.Density();
  params.maskFolder = runFolder.c_str();
  params.modelName = sessions.ModelFile().empty() ? nullptr : sessions.ModelFile().c_str();
  params.firstMaskNumber = firstMaskNumber;
  params.source = SourceOfControls(panels.SourcePanel());
  // The run record keeps the look, so a later export of the session (here or from the command
  // line) bakes what was shown. A copy: the choice may change while the run goes on.
  runLook = looks.Recorded();
  params.look = runLook.c_str();
  // The emission points go on where the session left them only for weather from the same side;
  // a source changed since starts its own cone's points afresh.
  params.resumed = continuation.resumed && Simulation::SameSource(continuation.source, params.source);
  params.emissionRotation = continuation.emissionRotation;
  params.emissionsUsed = continuation.emissionsUsed;

  // The points keep showing the samples as they are now while the run changes them.
  samples.CopyPointsBeforeRun();
  status.SetDetail("Masks go to " + sessions.ShownName() + ".");

  thread = std::make_unique<ThreadingLib::Thread>("Patinex", &process, 2, 0);
  if (!thread->Start(&params, sizeof params)) {
    std::fprintf(stderr, "patinex: the simulation thread could not be started\n");
    thread.reset();
    NoRun("No run: its thread could not be started.", "");
    return;
  }
  ApplyReports();
}

void SimulationRun::StartQueued() {
  if (!queued) return;
  if (samples.Map() == nullptr) {
    CancelQueued();
    status.SetDetail("No run: there are no samples to run on.");
    return;
  }
  Start();
}

void SimulationRun::CancelQueued() {
  if (!queued) return;
  queued = false;
  SetButtonText("Weather");
  status.SetDetail("");
}

void SimulationRun::RequestStop() {
  CancelQueued();
  if (!thread) return;
  stopAsked = true;
  thread->Stop();
  ApplyReports();
}

void SimulationRun::End(bool loadMasks) {
  if (!thread) return;
  const auto start = Clock::now();
  stopAsked = true;
  thread->Stop();
  thread->Wait();
  longestWait = std::max(longestWait, std::chrono::duration<double>(Clock::now() - start).count());
  Collect(loadMasks);
}

void SimulationRun::Collect(bool loadMasks) {
  // Joins the run's thread (it has ended or ends now), so its last writes are seen.
  thread.reset();
  finished.store(0, std::memory_order_relaxed);
  ApplyReports();
  samples.FillPoints();

  const double seconds = std::chrono::duration<double>(Clock::now() - startTime).count();
  const int32_t saved = stepsSaved.load(std::memory_order_acquire);
  const int32_t failed = failedStep.load(std::memory_order_acquire);
  char text[160];
  if (failed >= 0) {
    // The masks of the step that did save would sit beside the history as if they belonged to it.
    RemoveMasksOfStep(runFolder, firstMaskNumber + failed);
    std::snprintf(text, sizeof text, "Stopped: step %d not saved.", firstMaskNumber + failed + 1);
    status.SetActivity(text);
    std::string detail =
        MaskErrorText(maskError.load(std::memory_order_relaxed)) + " in " + ShownFolder(runFolder) + ".";
    detail[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(detail[0])));
    if (history.Steps() > 0) {
      std::string kept = HistoryRange(history.Steps());
      kept[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(kept[0])));
      detail += " " + kept + " kept.";
    }
    status.SetDetail(detail);
  } else {
    if (saved == steps) {
      std::snprintf(text, sizeof text, "Done: %d step%s in %.1f s.", saved, saved == 1 ? "" : "s", seconds);
    } else {
      std::snprintf(text, sizeof text, "Stopped after %d of %d steps (%.1f s).", saved, steps, seconds);
    }
    status.SetActivity(text);
    status.SetDetail(history.Steps() > 0 ? MasksWentText() : "");
  }
  if (loadMasks) view.LoadMaskViews(history.Steps() - 1);
  sessions.Refresh();
  // A look chosen during the run goes into the record the run wrote with the one it started with.
  std::string lookWhy;
  if (!sessions.RememberLook(&lookWhy)) std::fprintf(stderr, "patinex: the session keeps its earlier look: %s\n", lookWhy.c_str());
  // Without the dialog sending programmatic events, a set value is not reported.
  for (const int id : {ID_DIRT_FACTOR, ID_RUST_FACTOR}) {
    if (CUISlider* slider = panels.SimulationPanel().GetSlider(id)) slider->SetValue(100);
  }
  SetButtonText("Weather");
  tracedPercent.store(-1.0f, std::memory_order_relaxed);
  status.Show();
}

void SimulationRun::ApplyReports() {
  if (stepReportPending.exchange(false, std::memory_order_acquire)) {
    const int32_t historySteps = firstMaskNumber + stepsSaved.load(std::memory_order_acquire);
    if (historySteps != history.Steps()) {
      history.Extend(historySteps);
      view.ReloadMasksSoon();
    }
  }
  if (!Running()) return;
  const int32_t step = std::min(lastStep.load(std::memory_order_relaxed) + 2, steps);
  const float percent = tracedPercent.load(std::memory_order_relaxed);
  char text[96];
  if (stopAsked) {
    std::snprintf(text, sizeof text, "Stopping the run at step %d of %d...", step, steps);
  } else if (percent < 0.0f) {
    std::snprintf(text, sizeof text, "Run step %d of %d: starting", step, steps);
  } else if (percent >= 100.0f) {
    std::snprintf(text, sizeof text, "Run step %d of %d: baking masks", step, steps);
  } else {
    std::snprintf(text, sizeof text, "Run step %d of %d: traced %0.1f\u00a0%%", step, steps, percent);
  }
  status.SetActivity(text);
}

void SimulationRun::OnProgress(int32_t done, int32_t total, void* userData) {
  auto* run = static_cast<SimulationRun*>(userData);
  if (total > 0) run->tracedPercent.store(float(done) / float(total) * 100.0f, std::memory_order_relaxed);
}

void SimulationRun::OnStepFinished(const Simulation::StepReport& report, void* userData) {
  SimulationRun& run = *static_cast<SimulationRun*>(userData);
  // Only the run's thread writes these while it runs.
  run.legs.store(run.legs.load(std::memory_order_relaxed) + report.legs, std::memory_order_relaxed);
  run.traceSeconds.store(run.traceSeconds.load(std::memory_order_relaxed) + report.traceSeconds,
                         std::memory_order_relaxed);
  if (report.masksSaved == report.masks) {
    if (run.failedStep.load(std::memory_order_relaxed) < 0) {
      run.stepsSaved.store(report.step + 1, std::memory_order_release);
    }
  } else {
    // Only saved masks count: a step without them would show older files of the same name, or
    // leave a hole in the history. The run ends here and the window says why.
    run.maskError.store(report.maskError != 0 ? report.maskError : Simulation::kMaskNotWritten,
                        std::memory_order_relaxed);
    run.failedStep.store(report.step, std::memory_order_release);
    run.process.Stop();
  }
  run.tracedPercent.store(-1.0f, std::memory_order_relaxed);
  run.lastStep.store(report.step, std::memory_order_release);
  run.stepReportPending.store(true, std::memory_order_release);
}
