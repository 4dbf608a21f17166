#pragma once

#include <string>

// What mesh-preview draws and where it writes the picture.
struct PreviewOptions {
  bool help = false;
  std::string model = "media/beethoven.obj";
  // A technique of drawmesh.fx, or "Points" for the vertices as points coloured by normal.
  std::string view = "Shaded";
  std::string dirtMask;  // empty: no dirt
  std::string rustMask;  // empty: no patina
  float dirtFactor = 1.0f;
  float rustFactor = 1.0f;
  std::string media = "media";
  float yawDegrees = 180.0f;  // the shipped models face +z; turned, they face the camera
  float pitchDegrees = 12.0f;  // how far above the model the camera looks down from
  float distance = 2.4f;       // camera distance in bounding-sphere radii
  int width = 800;
  int height = 600;
  std::string out = "preview.png";
};

extern const char kPreviewUsage[];

// False with error saying what is wrong with the command line.
bool ParsePreviewOptions(int argc, char** argv, PreviewOptions* options, std::string* error);
