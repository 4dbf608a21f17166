#pragma once

// The Simulation panel's Export button: writes the loaded model aged by the step on the step
// slider, at the Dirt and Rust sliders' strengths, as <model>_step<k>.glb in the mask folder,
// and says on the panel where it went or why it did not.
void ExportAgedModel();
