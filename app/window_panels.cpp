#include "app/window_panels.h"

#include "app/panels.h"

void WindowPanels::Build(GuiEventCallback callback, void* context) {
  settingsDialog.Init();
  BuildDevicePanel(devicePanel, resources, callback, context);
  BuildParametersPanel(parametersPanel, resources, callback, context);
  BuildSimulationPanel(simulationPanel, resources, callback, context);
}

void WindowPanels::Place(int width, int height) {
  constexpr int kMargin = 5;
  const int x = width - kPanelWidth - kMargin;
  const int simulationTop = height - kMargin - kSimulationPanelHeight;
  devicePanel.SetLocation(x, 0);
  devicePanel.SetSize(kPanelWidth, kDevicePanelHeight);
  parametersPanel.SetLocation(x, simulationTop - kMargin - kParametersPanelHeight);
  parametersPanel.SetSize(kPanelWidth, kParametersPanelHeight);
  simulationPanel.SetLocation(x, simulationTop);
  simulationPanel.SetSize(kPanelWidth, kSimulationPanelHeight);
}
