#include <string>

#include "app/application.h"
#include "app/control_ids.h"
#include "framework/ui_combo_box.h"

void PatinexApplication::ChooseSession() {
  const CUIComboBox* picker = panels.SimulationPanel().GetComboBox(ID_SESSION);
  const int index = picker != nullptr ? picker->GetSelectedIndex() : -1;
  if (index == sessions.Current()) return;
  if (run.Kept()) {
    // The run writes into the session shown; the picker goes back to it.
    sessions.Refresh();
    status.SetActivity("The session stays during a run.");
    status.SetDetail("Stop the run to open another session.");
    return;
  }
  if (index < 0 || size_t(index) >= sessions.Listed().size()) {
    sessions.Refresh();
    return;
  }
  view.ShowSamplePoints(false);
  // A sampling under way would replace the opened session's samples.
  run.CancelResampling();
  samples.DropRequest();
  sessions.Open(index);
}

void PatinexApplication::StartNewSession() {
  if (run.Kept()) {
    status.SetActivity("A new session starts once the run has ended.");
    status.SetDetail("");
    return;
  }
  if (!model.Soup()) {
    status.SetActivity("Pick a model first.");
    status.SetDetail("");
    return;
  }
  // Fresh samples start a history of their own: once they are in, it goes into a new session
  // beside the others, which stay as they are.
  view.ShowSamplePoints(false);
  run.CancelResampling();
  samples.Release();
  run.RequestResample();
}

void PatinexApplication::AskToDeleteSession() {
  if (run.Kept()) {
    status.SetActivity("No session is deleted during a run.");
    status.SetDetail("Stop the run first.");
    return;
  }
  const int current = sessions.Current();
  if (current < 0) {
    status.SetActivity("No session to delete.");
    status.SetDetail("");
    return;
  }
  const SessionListing& session = sessions.Listed()[size_t(current)];
  AskQuestion(Question::kDeleteSession, "Delete session " + std::to_string(session.number) + " and its " +
                                            std::to_string(session.steps) + " step" +
                                            (session.steps == 1 ? "" : "s") + "? This cannot be undone.");
}
