#pragma once

// The surface samples of the loaded model and the points that show them. New samples are made
// off the window thread (BackgroundSampling) and replace the old ones when done. A run reads the
// samples: no sampling starts while a run is kept, and none is under way when a run starts.

// Starts sampling the current model's surface at the Density box's value (read, clamped and
// written back) and lets the old samples go. Does nothing without a model or while a run is
// kept (the caller ends it first).
void StartResampling();
// Cancels a sampling under way without waiting for it, and drops a run waiting for its samples.
void CancelResampling();
bool ResamplingUnderWay();
// Once a sampling has finished, its samples become the model's and the point buffer is made and
// filled; true then (also when it found no samples). Called every frame.
bool TakeFinishedResampling();
// Has the points show the samples as they are now (on the current device): one point per
// sample, its position and the colour (d, d, d, 1), d its dirt. They are written over the next
// frames that show them (WriteSamplePoints).
void FillSampleVertexBuffer();
// Writes the next points, unless a run is kept (it changes the samples as it goes); the frame
// calls it while it shows the points.
void WriteSamplePoints();
void ReleaseSamples();
