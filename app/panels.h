#pragma once

#include "framework/dialog.h"

// The three panels drawn over the scene at the window's right edge; every control reports to
// callback with context.
void BuildDevicePanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
void BuildParametersPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
void BuildSimulationPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
// The font, static-text element and background shared by the parameters and simulation panels.
void StyleParameterPanel(Dialog& panel);

inline constexpr int kPanelWidth = 170;
inline constexpr int kDevicePanelHeight = 106;
inline constexpr int kParametersPanelHeight = 145;
// The status line ends the simulation panel. In an 800 × 600 window the panels leave room for one
// more row of buttons (28 pixels) in it.
inline constexpr int kSimulationPanelHeight = 308;
