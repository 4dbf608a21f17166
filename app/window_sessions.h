#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/session_store.h"
#include "simulation/emission_source.h"

class LookChoice;
class MaskHistory;
class ModelTable;
class NumberBoxes;
class SceneView;
class StatusLine;
class SurfaceSamples;
class WindowPanels;
class WorkModel;
struct MediaFolders;

// How a run goes on with the session it writes into: the emission state its last saved step
// left, so the tons start where the run that saved it would have gone on.
struct SessionContinuation {
  bool resumed = false;
  float emissionRotation = 0.0f;
  uint64_t emissionsUsed = 0;
  Simulation::EmissionSource source;  // where the session's weather came from
};

// The loaded model's sessions as the window shows them: the session picker, the session whose
// steps the slider offers and whose folder the views, the export and the next run use
// (MediaFolders::session), and the making, opening and deleting of sessions. Window thread; the
// application keeps these from happening during a run.
class WindowSessions {
public:
  WindowSessions(MediaFolders& folders, const ModelTable& models, const WorkModel& model, SurfaceSamples& samples,
                 MaskHistory& history, NumberBoxes& numbers, SceneView& view, WindowPanels& panels,
                 StatusLine& status, LookChoice& looks);

  // The model just loaded opens its most recent session, or none when it has none.
  void OpenMostRecent();
  // Opens the picker's session: its samples from its session file, its steps on the slider and
  // the last step's masks in the views, where its weather came from in the source controls and
  // the look its record names in the look panel and the views. A session file that cannot be read is refused (the status
  // line names it and says why); the masks its record lists stay offered, but the next run starts
  // a new session rather than write into it.
  void Open(int index);
  // The samples were replaced (a new density, "New session", a first sampling): the history they
  // start goes into a new session beside the others, or into an empty session folder there is.
  void SamplesReplaced();
  // The history ended with its samples: no session is current until new samples or an opened
  // session bring one.
  void HistoryEnded();
  // The folder the next run writes into, made when there is none or the current one may not be
  // written; how the run continues it goes into continuation. Empty, with why, when no folder
  // can be had.
  std::string FolderForRun(SessionContinuation* continuation, std::string* why);
  // Deletes the current session's folder and opens the next most recent session, or none. False,
  // with the status line saying why, when it could not be deleted whole.
  bool DeleteCurrent();
  // The current session's run record names the chosen look from now on, so that reopening the
  // session, or exporting it here or from the command line, shows what was chosen. Nothing to do
  // without a record: its first run writes the look. False, with why, when the record cannot be
  // read or written.
  bool RememberLook(std::string* why);
  // The picker lists the model's sessions as they are on disk, the current one selected.
  void Refresh();

  int Current() const { return current; }
  // "session 2", as the status line names the current session.
  std::string ShownName() const;
  const std::vector<SessionListing>& Listed() const { return listed; }
  // The loaded model's file, empty when none is loaded.
  const std::string& ModelFile() const;

private:
  void ShowSession(const SessionListing& session, bool continuable);

  MediaFolders& folders;
  const ModelTable& models;
  const WorkModel& model;
  SurfaceSamples& samples;
  MaskHistory& history;
  NumberBoxes& numbers;
  SceneView& view;
  WindowPanels& panels;
  StatusLine& status;
  LookChoice& looks;

  std::vector<SessionListing> listed;
  int current = -1;  // in listed; -1: none
  // Whether a run may write into the current session: not when its session file was refused.
  bool continuable = false;
};
