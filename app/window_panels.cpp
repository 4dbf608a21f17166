#include "app/window_panels.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "app/panel_flow.h"
#include "app/panels.h"

void WindowPanels::Build(GuiEventCallback callback, void* context) {
  settingsDialog.Init();
  BuildDevicePanel(devicePanel, resources, callback, context);
  BuildParametersPanel(parametersPanel, resources, callback, context);
  BuildSimulationPanel(simulationPanel, resources, callback, context);
  BuildExportPanel(exportPanel, resources, callback, context);
  BuildSourcePanel(sourcePanel, resources, callback, context);
  BuildLookPanel(lookPanel, resources, callback, context);
  BuildQuitQuestionPanel(quitQuestion, resources, callback, context);
  BuildFileBrowserPanel(fileBrowser, resources, callback, context);
}

void WindowPanels::GrowSimulationPanel(int extra) {
  simulationExtra = extra;
  if (placedWidth > 0) Place(placedWidth, placedHeight);
}

void WindowPanels::Place(int width, int height) {
  constexpr int kMargin = 5;
  placedWidth = width;
  placedHeight = height;
  // Reading order: pick and set up a model, weather it, then export it.
  // The look and the weather's source before the export panel, so that they go on top of it and
  // the export panel keeps its place: at 800 x 600 the three share the short column.
  Dialog* const stacked[] = {&parametersPanel, &simulationPanel, &lookPanel, &sourcePanel, &exportPanel};
  const std::vector<int> heights = {kParametersPanelHeight, kSimulationPanelHeight + simulationExtra, kLookPanelHeight,
                                    kSourcePanelHeight, kExportPanelHeight};
  const std::vector<Platform::Point> corners =
      FlowPanels(width, height, kPanelWidth, kMargin, kDevicePanelHeight, heights);
  devicePanel.SetLocation(corners[0].x, corners[0].y);
  devicePanel.SetSize(kPanelWidth, kDevicePanelHeight);
  for (size_t i = 0; i < std::size(stacked); ++i) {
    stacked[i]->SetLocation(corners[i + 1].x, corners[i + 1].y);
    stacked[i]->SetSize(kPanelWidth, heights[i]);
  }
  quitQuestion.SetLocation((width - kQuitQuestionWidth) / 2, (height - kQuitQuestionHeight) / 2);
  quitQuestion.SetSize(kQuitQuestionWidth, kQuitQuestionHeight);
  fileBrowser.SetLocation(std::max((width - kFileBrowserWidth) / 2, 0), std::max((height - kFileBrowserHeight) / 2, 0));
  fileBrowser.SetSize(kFileBrowserWidth, kFileBrowserHeight);
}
