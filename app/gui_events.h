#pragma once

#include <cstdint>

class CUIControl;

// Every control of the three panels reports here; the action depends on the control and, for the
// number boxes, on whether the user is done typing (Enter or leaving the box).
void OnGuiEvent(uint32_t eventCode, int controlId, CUIControl* control, void* userContext);

// The "Change device (F2)" button: shows the device settings dialog, or hides it when shown.
void OpenDeviceSettings();

// Shows the sample points instead of the model, or the model in the view last picked; the view
// picker follows, so it always names what is drawn.
void ShowSamplePoints(bool show);

// New samples at the density in use, shortly (once a running simulation has ended: the run
// reads the samples). The status line says so.
void RequestResample();
// The wait before a requested resampling: long enough for a frame to show the status first.
inline constexpr float kResampleDelaySeconds = 0.1f;
