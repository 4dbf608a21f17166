#include "app/control_ids.h"
#include "app/panels.h"
#include "framework/ui_slider.h"

// A slider of stops rather than a picker, as for the source: a picker's open list would leave the
// smallest window wherever the flow puts this short panel. LookChoice fills its stops.
void BuildLookPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context) {
  panel.Init(&manager, true);
  panel.SetCallback(callback, context);
  StyleParameterPanel(panel, "LOOK", 52);
  panel.AddStatic(ID_LOOK_LABEL, "bronze", 58, 5, 102, 22);
  panel.AddSlider(ID_LOOK, 12, 32, 148, 22, 0, 0, 0);
}
