#include "tools/mesh_preview/preview_options.h"

#include <cstdlib>
#include <cstring>

const char kPreviewUsage[] =
    "usage: mesh-preview [options]\n"
    "\n"
    "Draws a model (OBJ or glTF) offscreen the way the program does (device mesh,\n"
    "media/drawmesh.fx with the base and patina textures and optional dirt and rust masks) and\n"
    "writes it as a PNG.\n"
    "The camera and the lights start where the program puts them: the eye on the model's +z side,\n"
    "the side the shipped models face, two bounding-sphere radii from its centre.\n"
    "Needs a display with OpenGL 3.3 (for example xvfb-run).\n"
    "\n"
    "  --model PATH        OBJ or glTF model with its materials (default media/beethoven.obj)\n"
    "  --view NAME         Shaded (default), Dirt, Rust, TexturedSpecular, TexturedNoSpecular,\n"
    "                      Specular, NoSpecular, or Points (the vertices as points coloured by\n"
    "                      their normal, through media/drawparticles.fx)\n"
    "  --dirt PATH         dirt mask (JPEG or PNG, grey, brighter = more); default none\n"
    "  --rust PATH         rust mask; default none\n"
    "  --dirt-factor F     share of the dirt mask shown, 0 to 1 (default 1)\n"
    "  --rust-factor F     share of the rust mask shown, 0 to 1 (default 1)\n"
    "  --media DIR         folder of the effect files and tex_*.jpg textures (default media)\n"
    "  --yaw DEGREES       turns the model about the vertical axis (default 0)\n"
    "  --pitch DEGREES     camera height as an angle above the model's centre (default 0)\n"
    "  --distance R        camera distance in bounding-sphere radii (default 2)\n"
    "  --size WxH          picture size (default 800x600)\n"
    "  --out PATH          PNG to write (default preview.png)\n"
    "  --help              this text\n"
    "\n"
    "Example, after patinex-cli weather media/beethoven.obj --steps 3 --out /tmp/masks:\n"
    "  mesh-preview --rust /tmp/masks/mask_rust02.jpg --dirt /tmp/masks/mask_dirt02.jpg --out bust.png\n"
    "\n"
    "Exit status 0 when the picture is written, 1 when drawing or writing fails, 2 for a bad\n"
    "command line.\n";

namespace {

bool ParseFloat(const char* text, float low, float high, float* value) {
  char* end = nullptr;
  const float parsed = std::strtof(text, &end);
  if (end == text || *end != '\0' || !(parsed >= low && parsed <= high)) return false;
  *value = parsed;
  return true;
}

bool ParseSize(const char* text, int* width, int* height) {
  char* end = nullptr;
  const long w = std::strtol(text, &end, 10);
  if (end == text || (*end != 'x' && *end != 'X')) return false;
  const char* rest = end + 1;
  const long h = std::strtol(rest, &end, 10);
  if (end == rest || *end != '\0' || w < 16 || h < 16 || w > 8192 || h > 8192) return false;
  *width = int(w);
  *height = int(h);
  return true;
}

}  // namespace

bool ParsePreviewOptions(int argc, char** argv, PreviewOptions* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      options->help = true;
      continue;
    }
    if (i + 1 >= argc) {
      *error = name.rfind("--", 0) == 0 ? name + " needs a value" : "unknown argument " + name;
      return false;
    }
    const char* value = argv[++i];
    bool ok = true;
    if (name == "--model") options->model = value;
    else if (name == "--view") options->view = value;
    else if (name == "--dirt") options->dirtMask = value;
    else if (name == "--rust") options->rustMask = value;
    else if (name == "--media") options->media = value;
    else if (name == "--out") options->out = value;
    else if (name == "--dirt-factor") ok = ParseFloat(value, 0.0f, 1.0f, &options->dirtFactor);
    else if (name == "--rust-factor") ok = ParseFloat(value, 0.0f, 1.0f, &options->rustFactor);
    else if (name == "--yaw") ok = ParseFloat(value, -360.0f, 360.0f, &options->yawDegrees);
    else if (name == "--pitch") ok = ParseFloat(value, -89.0f, 89.0f, &options->pitchDegrees);
    else if (name == "--distance") ok = ParseFloat(value, 1.05f, 100.0f, &options->distance);
    else if (name == "--size") ok = ParseSize(value, &options->width, &options->height);
    else {
      *error = "unknown option " + name;
      return false;
    }
    if (!ok) {
      *error = "bad value '" + std::string(value) + "' for " + name;
      return false;
    }
  }
  return true;
}
