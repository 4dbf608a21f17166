#include "app/window_sessions.h"

#include <memory>

#include "app/control_ids.h"
#include "app/look_choice.h"
#include "app/mask_history.h"
#include "app/media_folders.h"
#include "app/model_table.h"
#include "app/number_boxes.h"
#include "app/scene_view.h"
#include "app/source_controls.h"
#include "app/status_line.h"
#include "app/surface_samples.h"
#include "app/window_panels.h"
#include "app/work_model.h"
#include "framework/ui_combo_box.h"
#include "simulation/mask_files.h"
#include "simulation/mask_spaces.h"
#include "simulation/run_record.h"
#include "simulation/sample_map.h"
#include "simulation/session_file.h"

namespace fs = std::filesystem;

namespace {

// The window bakes 1024 x 1024 JPEG masks: a session of other masks is not one it can go on with.
constexpr uint32_t kWindowMaskSize = 1024;

bool FolderIsEmpty(const std::string& folder) {
  std::error_code code;
  return fs::is_empty(folder, code) && !code;
}

}  // namespace

WindowSessions::WindowSessions(MediaFolders& folders, const ModelTable& models, const WorkModel& model,
                               SurfaceSamples& samples, MaskHistory& history, NumberBoxes& numbers, SceneView& view,
                               WindowPanels& panels, StatusLine& status, LookChoice& looks)
    : folders(folders),
      models(models),
      model(model),
      samples(samples),
      history(history),
      numbers(numbers),
      view(view),
      panels(panels),
      status(status),
      looks(looks) {}

const std::string& WindowSessions::ModelFile() const {
  static const std::string none;
  const int loaded = models.Loaded();
  return loaded > 0 && size_t(loaded) < models.Size() ? models[size_t(loaded)].file : none;
}

void WindowSessions::Refresh() {
  listed.clear();
  current = -1;
  if (!folders.masks.empty() && !ModelFile().empty()) listed = ListSessions(folders.masks, ModelFile());
  for (size_t i = 0; i < listed.size(); ++i) {
    if (!folders.session.empty() && listed[i].folder == folders.session) current = int(i);
  }
  CUIComboBox* picker = panels.SimulationPanel().GetComboBox(ID_SESSION);
  if (picker == nullptr) return;
  picker->RemoveAllItems();
  if (listed.empty()) picker->AddItem("No session", nullptr);
  for (const SessionListing& session : listed) picker->AddItem(SessionLabel(session), nullptr);
  // With no session current the picker shows none of them as chosen.
  if (current >= 0) {
    picker->SetSelectedByIndex(current);
  } else if (!listed.empty()) {
    picker->AddItem("New session", nullptr);
    picker->SetSelectedByIndex(picker->GetNumItems() - 1);
  }
}

void WindowSessions::OpenMostRecent() {
  Refresh();
  const int latest = MostRecentSession(listed);
  if (latest >= 0) Open(latest);
}

void WindowSessions::ShowSession(const SessionListing& session, bool mayContinue) {
  folders.session = session.folder;
  continuable = mayContinue;
  Refresh();
  history.Extend(session.steps);
  view.LoadMaskViews(session.steps - 1);
}

void WindowSessions::Open(int index) {
  if (index < 0 || size_t(index) >= listed.size() || !model.Soup()) return;
  const SessionListing session = listed[size_t(index)];
  Simulation::SessionState state;
  std::string why;
  const Simulation::SessionLoad load = Simulation::ReadSessionFile(session.folder, &state, &why);
  if (load == Simulation::SessionLoad::kFound) {
    Simulation::HistoryIdentity mine = state.identity;
    mine.modelChecksum = Simulation::ModelChecksum(*model.Soup());
    mine.maskWidth = mine.maskHeight = kWindowMaskSize;
    mine.maskFormat = Simulation::kMaskJpeg;
    mine.maskSpaces = Simulation::AssignMaskSpaces(*model.Soup()).count;
    if (const std::string difference = mine.Difference(state.identity); !difference.empty()) {
      why = (fs::path(session.folder) / Simulation::kSessionName).string() + " holds " + difference;
    } else if (state.samples.empty()) {
      why = (fs::path(session.folder) / Simulation::kSessionName).string() + " holds no samples";
    } else if (state.lastStep + 1 != session.steps) {
      // Going on from another step than the last one shown would overwrite masks or leave a gap.
      why = (fs::path(session.folder) / Simulation::kSessionName).string() + " goes on from step " +
            std::to_string(state.lastStep + 1) + ", but the session's masks reach step " + std::to_string(session.steps);
    }
  } else if (load == Simulation::SessionLoad::kNone && session.steps > 0) {
    why = session.folder + " has masks but no session file (" + Simulation::kSessionName + ") to go on from";
  }
  const bool refused = load == Simulation::SessionLoad::kUnreadable || !why.empty();
  if (refused || load == Simulation::SessionLoad::kNone) {
    // The history the samples had ends with them: the session's masks are shown without samples.
    samples.Release();
  } else {
    auto map = std::make_unique<Simulation::SampleMap>(state.samples.data(), uint32_t(state.samples.size()),
                                                       state.identity.maskSpaces);
    samples.Adopt(std::move(map), state.sampleSpacing);
    // The density in the box is the session's, so Weather does not resample it away.
    numbers.Set(kDensityBox, state.identity.density);
    // And so is the source: Weather goes on with the weather the session had.
    ShowSource(panels.SourcePanel(), state.source);
  }
  ShowSession(session, !refused);
  const std::string name = "Session " + std::to_string(session.number);
  std::string detail = refused ? name + " cannot go on: " + AsSentence(why) + " Weather starts a new session."
                               : name + " opened.";
  // The session's look comes back with it; one that cannot be had leaves the look as it was.
  Simulation::RunRecord record;
  std::string lookWhy;
  if (Simulation::ReadRunRecord(session.folder, &record, &lookWhy) == Simulation::RecordState::kFound) {
    if (looks.Show(panels.LookPanel(), record.look, &lookWhy)) {
      view.ShowLook(looks.Current());
    } else {
      detail += " Its look is not shown: " + AsSentence(lookWhy);
    }
  }
  status.SetDetail(detail);
}

bool WindowSessions::RememberLook(std::string* why) {
  return folders.session.empty() || Simulation::RecordLook(folders.session, looks.Recorded(), why);
}

std::string WindowSessions::ShownName() const {
  if (current >= 0 && size_t(current) < listed.size()) return "session " + std::to_string(listed[size_t(current)].number);
  return ShownFolder(folders.session);
}

void WindowSessions::HistoryEnded() {
  folders.session.clear();
  continuable = false;
  Refresh();
}

void WindowSessions::SamplesReplaced() {
  if (folders.masks.empty() || ModelFile().empty() || samples.Map() == nullptr) return;
  listed = ListSessions(folders.masks, ModelFile());
  // A folder left empty (made for samples never run on) is used before another is made.
  for (const SessionListing& session : listed) {
    if (FolderIsEmpty(session.folder)) {
      folders.session = session.folder;
      continuable = true;
      Refresh();
      return;
    }
  }
  SessionListing made;
  std::string why;
  if (!MakeNextSession(folders.masks, ModelFile(), &made, &why)) {
    status.SetDetail("No session could be made: " + AsSentence(why));
    Refresh();
    return;
  }
  folders.session = made.folder;
  continuable = true;
  Refresh();
}

std::string WindowSessions::FolderForRun(SessionContinuation* continuation, std::string* why) {
  *continuation = SessionContinuation();
  if (folders.session.empty() || !continuable) {
    history.End();
    SessionListing made;
    if (!MakeNextSession(folders.masks, ModelFile(), &made, why)) return "";
    folders.session = made.folder;
    continuable = true;
    Refresh();
    return folders.session;
  }
  if (history.Steps() > 0) {
    // The session file is what a continuation goes on from, whoever wrote it last.
    Simulation::SessionState state;
    std::string unread;
    if (Simulation::ReadSessionFile(folders.session, &state, &unread) == Simulation::SessionLoad::kFound &&
        state.lastStep == history.Steps() - 1) {
      continuation->resumed = true;
      continuation->emissionRotation = state.emissionRotation;
      continuation->emissionsUsed = state.emissionsUsed;
      continuation->source = state.source;
    }
  }
  return folders.session;
}

bool WindowSessions::DeleteCurrent() {
  if (current < 0 || size_t(current) >= listed.size()) {
    status.SetActivity("No session to delete.");
    status.SetDetail("");
    return false;
  }
  const SessionListing session = listed[size_t(current)];
  // Its masks are let go before their files are.
  samples.Release();
  std::string why;
  const bool deleted = DeleteSessionFolder(session.folder, &why);
  OpenMostRecent();
  if (!deleted) {
    status.SetActivity("Session " + std::to_string(session.number) + " was not deleted whole.");
    status.SetDetail(AsSentence(why));
    return false;
  }
  status.SetActivity("Session " + std::to_string(session.number) + " deleted.");
  if (current < 0) status.SetDetail("");
  return true;
}
