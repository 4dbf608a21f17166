#pragma once

// The Simulation panel's Export button: writes the loaded model aged by the step on the step
// slider, at the Dirt and Rust sliders' strengths, as <model>_step<k>.glb in the mask folder.
// The file is written off the window thread; the status line says where it goes and, once
// ApplyFinishedExport has seen it end, where it went or why it did not.
void ExportAgedModel();
// Started and not yet reported.
bool ExportUnderWay();
// Reports an export that has ended (window thread, once a frame).
void ApplyFinishedExport();
