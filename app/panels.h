#pragma once

#include "framework/dialog.h"

// The four panels drawn over the scene at the window's right edge; every control reports to
// callback with context.
void BuildDevicePanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
void BuildParametersPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
void BuildSimulationPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
// Where the next run's weather comes from: the direction and Spread sliders (source_controls.h
// reads and sets them).
void BuildSourcePanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
// Which look the Shaded view shows and the export bakes: a slider of looks, the chosen one named
// beside the title (look_choice.h fills and reads it).
void BuildLookPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
// The file name box starts empty (a loaded model names it); the folder box starts at the
// default export folder.
void BuildExportPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
// The question asked in the window when Escape would end a run: its text and the buttons Yes and
// No; hidden until asked. It is asked in the window rather than in a box of its own so that the
// window goes on drawing the run's progress while the question waits.
void BuildQuitQuestionPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
inline constexpr int kQuitQuestionWidth = 300;
inline constexpr int kQuitQuestionHeight = 100;

// The file browser that "Open" shows over the scene: a path box with a Parent button, recent
// folders, the folder's entries, a line for what went wrong, and Open and Cancel; hidden until
// asked for. Its size suits an 800 × 600 window.
void BuildFileBrowserPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context);
inline constexpr int kFileBrowserWidth = 440;
inline constexpr int kFileBrowserHeight = 380;

// The font, static-text element, title and background shared by the parameters, simulation and
// export panels. The title keeps to the panel's left, leaving room for a button beside it.
void StyleParameterPanel(Dialog& panel, const char* title, int titleWidth);

inline constexpr int kPanelWidth = 170;
inline constexpr int kDevicePanelHeight = 106;
inline constexpr int kParametersPanelHeight = 145;
// The status line ends the simulation panel.
inline constexpr int kSimulationPanelHeight = 332;
inline constexpr int kExportPanelHeight = 86;
inline constexpr int kSourcePanelHeight = 84;
inline constexpr int kLookPanelHeight = 60;
// Every combo box's open list, below the box: the layout keeps it inside the window.
inline constexpr int kComboListHeight = 100;
