#pragma once

#include <cstdint>

class CUIControl;

// Every control of the three panels reports here; the action depends on the control alone.
void OnGuiEvent(uint32_t eventCode, int controlId, CUIControl* control, void* userContext);

// Reads and clamps the Steps box and fits the step slider's range and value to it.
void ApplyStepsBox();

// The "Change device (F2)" button: shows the device settings dialog, or hides it when shown.
void OpenDeviceSettings();
