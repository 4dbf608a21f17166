#pragma once

#include "platform/graphics_device.h"

// The mesh effect (drawmesh.fx) with its four textures and the point effect (drawparticles.fx),
// from the media folder. A failed load leaves that effect unloaded, says why on stderr, and
// nothing is drawn with it.
void LoadSceneEffects(Platform::GraphicsDevice* device);
// Releases both effects, their textures and layouts, and the mask views.
void ReleaseSceneResources();
// The camera's projection, its far plane twice the eye's distance from the look-at point, and its
// arc balls, for a back buffer of width × height.
void FitCameraToBackBuffer(uint32_t width, uint32_t height);

// Anything that changes what the scene shows besides the camera, the view, the strength sliders
// and the back buffer's size (the model, the points' contents, the masks, the effects) calls
// this, so that the kept picture of the scene is drawn again.
void MarkSceneChanged();
// The frame: collects a finished run, clears to grey, draws the model or the sample points into
// the scene's picture unless it shows them already, copies it, then draws the three panels.
void OnFrameRender(Platform::GraphicsDevice* device, double time, float elapsedSeconds, void* userContext);
// A strength slider's value as the effect takes it: 0..100 becomes 0..1.
float StrengthFactor(int sliderId);
