#pragma once

class Dialog;
class DialogResourceManager;

// The three panels drawn over the scene at the window's right edge; every control reports to
// OnGuiEvent.
void BuildDevicePanel(Dialog& panel, DialogResourceManager& manager);
void BuildParametersPanel(Dialog& panel, DialogResourceManager& manager);
void BuildSimulationPanel(Dialog& panel, DialogResourceManager& manager);
// Puts the panels in place for a back buffer of width × height.
void PlacePanels(int width, int height);
// The font, static-text element and background shared by the parameters and simulation panels.
void StyleParameterPanel(Dialog& panel);
