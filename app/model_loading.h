#pragma once

#include <string>

#include "platform/graphics_device.h"

// The model picker's entries and the model they load.

// The fixed entries: "-Pick Model-" (unload only), "Sphere", "Beethoven" and "Bunny", their files
// found in the media folder.
void ResetModelTable();
// Adds a dropped model file (OBJ or glTF) as a new entry labelled with its file name and returns its index (the
// existing entry's index when the file has one already).
int AddModelEntry(const std::string& path);
// Empties the model picker and fills it from the model table, showing the entry loaded.
void FillModelPicker();

// Ends a running simulation, releases the model, its samples and masks, and loads the picker's
// selection (framing the camera and placing the lights around it). The status line says what
// was loaded, or which file could not be read and why.
void LoadSelectedModel();
// Loads one model file (OBJ or glTF) as device mesh, triangle soup and kd-tree, keeping the model
// as read for a later device change. False with the reason in why (and on stderr) when the file
// cannot be read, holds no triangles or the device mesh fails; then nothing is loaded.
bool LoadModel(Platform::GraphicsDevice* device, const std::string& path, std::string* why = nullptr);
void ReleaseModel();

// The device mesh of the loaded model on a new device, with its lights; its release when the
// device goes. The model itself, its samples and a run stay. False (with why) when the new
// device refuses the mesh.
bool RebuildDeviceMesh(Platform::GraphicsDevice* device, std::string* why);
void ReleaseDeviceMesh();

// Places the camera's view and projection around the loaded model and the lights of the mesh
// effect; nothing without a model.
void FrameLoadedModel();
