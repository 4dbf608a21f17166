#pragma once

#include <array>

#include "framework/device_settings_dialog.h"
#include "framework/dialog.h"
#include "framework/dialog_resource_manager.h"
#include "threadinglib/critical_lock.h"

// The smallest window the program allows: the panels fit in two columns at the right, leaving
// the scene about as wide as they are, and the window still shares a 1280 × 800 laptop screen
// side by side with another one.
inline constexpr int kMinimumWindowWidth = 640;
inline constexpr int kMinimumWindowHeight = 400;

// The window's controls: the six panels (four framing the scene, the look and source panels over
// it) drawn over the scene, the device settings dialog shown
// instead of it, and what they draw with. Window thread; the application builds and places them,
// and the objects that show something (the status line, the step slider, the Weather button)
// write into their controls.
//
// The UI lock guards what a frame draws from: the sample points' contents and the frame itself.
// Locks nest in this order only: UI lock, then the model's lock (WorkModel), then the samples'
// lock (SurfaceSamples).
class WindowPanels {
public:
  // Builds the six panels, every control reporting to callback with context.
  void Build(GuiEventCallback callback, void* context);
  // Puts the panels in place for a back buffer of width × height: the device panel at the top
  // right, the parameters, simulation and export panels stacked up from the bottom edge below it,
  // flowing into a column further left where the window is too short for them.
  void Place(int width, int height);
  // The simulation panel taller by extra pixels (its status line needs them), placed anew.
  void GrowSimulationPanel(int extra);

  DialogResourceManager& Resources() { return resources; }
  // Shown instead of the scene while active; it keeps its own active flag and clears it on closing.
  CDeviceSettingsDialog& SettingsDialog() { return settingsDialog; }
  Dialog& DevicePanel() { return devicePanel; }
  Dialog& ParametersPanel() { return parametersPanel; }
  Dialog& SimulationPanel() { return simulationPanel; }
  Dialog& ExportPanel() { return exportPanel; }
  // Where the weather comes from: placed in the flow with the others, but the scene is framed
  // without it (it lies over a corner the model seldom reaches), so adding it moved no model.
  Dialog& SourcePanel() { return sourcePanel; }
  // The look shown and exported: placed and drawn as the source panel is.
  Dialog& LookPanel() { return lookPanel; }
  // Over everything else while visible, in the middle of the window.
  Dialog& QuitQuestion() { return quitQuestion; }
  // Over the scene and the panels while visible, in the middle of the window.
  Dialog& FileBrowserPanel() { return fileBrowser; }
  // The panels drawn over the scene, in the order they are drawn; the scene is framed in what
  // they leave free. Drawn in this order, so the panels that take input first are drawn last, on top: a picker's
  // open list reaching over a neighbouring panel shows whole and gets the clicks.
  std::array<Dialog*, 4> OverScene() { return {&exportPanel, &simulationPanel, &parametersPanel, &devicePanel}; }
  ThreadingLib::CriticalLock& UiLock() { return uiLock; }

private:
  DialogResourceManager resources;
  CDeviceSettingsDialog settingsDialog;
  Dialog devicePanel;
  Dialog parametersPanel;
  Dialog simulationPanel;
  Dialog exportPanel;
  Dialog sourcePanel;
  Dialog lookPanel;
  Dialog quitQuestion;
  Dialog fileBrowser;
  int simulationExtra = 0;
  int placedWidth = 0;
  int placedHeight = 0;
  ThreadingLib::CriticalLock uiLock;
};
