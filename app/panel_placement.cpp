#include "app/application_state.h"
#include "app/panels.h"

void PlacePanels(int width, int height) {
  constexpr int kMargin = 5;
  ApplicationState& app = App();
  const int x = width - kPanelWidth - kMargin;
  const int simulationTop = height - kMargin - kSimulationPanelHeight;
  app.devicePanel.SetLocation(x, 0);
  app.devicePanel.SetSize(kPanelWidth, kDevicePanelHeight);
  app.parametersPanel.SetLocation(x, simulationTop - kMargin - kParametersPanelHeight);
  app.parametersPanel.SetSize(kPanelWidth, kParametersPanelHeight);
  app.simulationPanel.SetLocation(x, simulationTop);
  app.simulationPanel.SetSize(kPanelWidth, kSimulationPanelHeight);
}
