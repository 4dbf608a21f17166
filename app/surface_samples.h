#pragma once

// The surface samples of the loaded model and the points that show them. A run reads the
// samples: the caller ends a running simulation before resampling or releasing them.

// Samples the current model's surface at the Density box's value and fills the point buffer.
// Does nothing while a run is kept.
void ResampleSurface();
// Writes one point per sample: its position and the colour (d, d, d, 1), d its dirt.
void FillSampleVertexBuffer();
void ReleaseSamples();
