#pragma once

#include "platform/effect.h"
#include "platform/graphics_device.h"
#include "platform/result.h"

// The mesh effect (media/drawmesh.fx) with its four textures and layout, and the point effect
// (media/drawparticles.fx) with its layout. A failed load leaves the effect unloaded: lookups
// then go to the null effect and nothing is drawn for it.
Platform::Result LoadMeshEffect(Platform::GraphicsDevice* device);
Platform::Result LoadPointEffect(Platform::GraphicsDevice* device);
// Releases the layouts, both effects, the textures and the mask views.
void ReleaseSceneResources();
// The loaded mesh effect, or the null effect.
Platform::Effect& MeshEffect();

// The frame: collects a finished run, clears to grey, draws the model or the sample points, then
// the three panels.
void OnFrameRender(Platform::GraphicsDevice* device, double time, float elapsedSeconds, void* userContext);
void DrawSubset(uint32_t i);
// A strength slider's value as the effect takes it: 0..100 becomes 0..1.
float StrengthFactor(int sliderId);
void DrawPoints(Platform::GraphicsDevice* device);
