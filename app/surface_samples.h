#pragma once

// The surface samples of the loaded model and the points that show them. A run reads the
// samples: the caller ends a running simulation before resampling or releasing them.

// Samples the current model's surface at the density in use and fills the point buffer. Does
// nothing while a run is kept.
void ResampleSurface();
// Writes one point per sample: its position and the colour (d, d, d, 1), d its dirt; the points
// are kept on the CPU too.
void FillSampleVertexBuffer();
// The point buffer anew on the current device from the points kept on the CPU (after a device
// change), and its release when the device goes.
void RecreateSampleVertexBuffer();
void ReleaseSampleVertexBuffer();
// Frees the samples and their points; their mask history ends with them.
void ReleaseSamples();
