#include "app/application_state.h"
#include "app/panels.h"

void PlacePanels(int width, int height) {
  ApplicationState& app = App();
  app.devicePanel.SetLocation(width - 175, 0);
  app.devicePanel.SetSize(170, 170);
  app.parametersPanel.SetLocation(width - 175, height - 440);
  app.parametersPanel.SetSize(170, 145);
  app.simulationPanel.SetLocation(width - 175, height - 290);
  app.simulationPanel.SetSize(170, 285);
}
