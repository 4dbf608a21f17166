#pragma once

// The surface samples of the loaded model and the points that show them. New samples are made
// off the window thread (BackgroundSampling) and replace the old ones when done. A run reads the
// samples: no sampling starts while a run is kept, and none is under way when a run starts.

// Starts sampling the current model's surface at the density in use; the samples there are stay
// until the new ones replace them. Does nothing without a model or while a run is kept.
void StartResampling();
// Cancels a sampling under way without waiting for it, and drops a run waiting for its samples.
void CancelResampling();
bool ResamplingUnderWay();
// Once a sampling has finished, its samples replace the model's (their mask history ends), their
// points are made anew and the status line says how it went; true then (also when it found no
// samples). Called every frame; it keeps resamplingPercent up to date.
bool TakeFinishedResampling();
// Has the points show the samples as they are now: one point per sample, its position and the
// colour (d, d, d, 1), d its dirt. They are made over the next frames (WriteSamplePoints).
void FillSampleVertexBuffer();
// Makes the next points, on the CPU from the samples unless a run is kept (it changes them as it
// goes) and on the device from the CPU; the frame calls it while points are left, and asks for
// the next frame.
void WriteSamplePoints();
// The points kept on the CPU from the samples as they are, before a run starts changing them.
void CopySamplePointsBeforeRun();
// The device goes: the points on it with it, to be written again on the next one.
void ReleaseSampleVertexBuffer();
// Frees the samples and their points; their mask history ends with them.
void ReleaseSamples();
