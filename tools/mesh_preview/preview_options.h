#pragma once

#include <string>
#include <vector>

#include "viewer/scene_placement.h"

// What mesh-preview draws and where it writes the picture.
struct PreviewOptions {
  bool help = false;
  std::string model = "media/beethoven.obj";
  // A technique of drawmesh.fx, "Points" for the vertices as points coloured by normal, or
  // "None" for no model (the background alone).
  std::string view = "Shaded";
  std::string dirtMask;  // empty: no dirt
  std::string rustMask;  // empty: no patina
  float dirtFactor = 1.0f;
  float rustFactor = 1.0f;
  std::string media = "media";
  // The shipped environment (Studio, Overcast, Low sun) or .hdr file that lights the model and
  // makes the background; empty: Studio.
  std::string environment;
  bool background = false;  // the environment drawn behind the model instead of plain grey
  float exposure = 1.0f;    // scales the environment's light
  float environmentTurnDegrees = 0.0f;  // turns the environment about y, +z towards +x
  float yawDegrees = 0.0f;    // turns the model about its vertical axis
  float pitchDegrees = 0.0f;  // raises the camera above the model's centre
  float distance = Viewer::kStartDistance;  // camera distance in bounding-sphere radii
  int width = 800;
  int height = 600;
  std::string out = "preview.png";
};

extern const std::string kPreviewUsage;

// False with error saying what is wrong with the command line. A number outside its range is
// used as its nearest bound, and notes says so.
bool ParsePreviewOptions(int argc, char** argv, PreviewOptions* options, std::vector<std::string>* notes,
                         std::string* error);
