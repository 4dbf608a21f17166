#include "tools/mesh_preview/preview_options.h"

#include "platform_os/ranged_number.h"

namespace {

constexpr Platform::RealRange kFactorRange{0.0, 1.0};
constexpr Platform::RealRange kYawRange{-360.0, 360.0};
// Short of straight above or below, where the camera's up direction would be lost.
constexpr Platform::RealRange kPitchRange{-89.0, 89.0};
// Just outside the bounding sphere, so the eye is never inside the model.
constexpr Platform::RealRange kDistanceRange{1.05, 100.0};
constexpr Platform::WholeRange kSideRange{16, 8192};
constexpr Platform::RealRange kExposureRange{0.0, 64.0};

}  // namespace

const std::string kPreviewUsage =
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
    "  --view NAME         Shaded (default), Dirt, Rust, AgedColorMetallic (the aged colour and\n"
    "                      metallic before lighting), AgedNormalRoughness (its normal and\n"
    "                      roughness), Points (the vertices as points lit by their normal,\n"
    "                      through media/drawparticles.fx), or None (no model)\n"
    "  --dirt PATH         dirt mask (JPEG or PNG, grey, brighter = more); default none\n"
    "  --rust PATH         rust mask; default none\n"
    "  --dirt-factor F     share of the dirt mask shown, " + Platform::RangeText(kFactorRange) + " (default 1)\n"
    "  --rust-factor F     share of the rust mask shown, " + Platform::RangeText(kFactorRange) + " (default 1)\n"
    "  --media DIR         folder of the effect files and tex_*.jpg textures (default media)\n"
    "  --environment E     the HDR environment that lights the model: Studio (default), Overcast,\n"
    "                      Low sun (the shipped ones in media/environments) or the path of a\n"
    "                      Radiance .hdr file\n"
    "  --background on|off the environment behind the model instead of plain grey; default off\n"
    "  --exposure F        scales the environment's light, " + Platform::RangeText(kExposureRange) + " (default 1)\n"
    "  --environment-turn DEGREES  turns the environment about the vertical axis, +z towards\n"
    "                      +x, " + Platform::RangeText(kYawRange) + " (default 0)\n"
    "  --yaw DEGREES       turns the model about the vertical axis, " + Platform::RangeText(kYawRange) +
    " (default 0)\n"
    "  --pitch DEGREES     camera height as an angle above the model's centre, " + Platform::RangeText(kPitchRange) +
    "\n"
    "                      (default 0)\n"
    "  --distance R        camera distance in bounding-sphere radii, " + Platform::RangeText(kDistanceRange) +
    " (default 2)\n"
    "  --size WxH          picture size, each side " + Platform::RangeText(kSideRange) + " (default 800x600)\n"
    "  --out PATH          PNG to write (default preview.png)\n"
    "  --help              this text\n"
    "\n"
    "Numbers outside their range are clamped, with a note.\n"
    "\n"
    "Example, after patinex-cli weather media/beethoven.obj --steps 3 --out /tmp/masks:\n"
    "  mesh-preview --rust /tmp/masks/mask_rust02.jpg --dirt /tmp/masks/mask_dirt02.jpg --out bust.png\n"
    "\n"
    "Exit status 0 when the picture is written, 1 when drawing or writing fails, 2 for a bad\n"
    "command line.\n";

namespace {

bool ReadFloat(const std::string& name, const char* text, Platform::RealRange range, float* value,
               std::vector<std::string>* notes, std::string* error) {
  double read = 0.0;
  std::string note;
  if (!Platform::ReadRealOption(name, text, range, &read, &note, error)) return false;
  if (!note.empty()) notes->push_back(note);
  *value = float(read);
  return true;
}

bool ReadSide(const std::string& text, int* side, std::vector<std::string>* notes, std::string* error) {
  int64_t read = 0;
  std::string note;
  if (!Platform::ReadWholeOption("--size", text, kSideRange, &read, &note, error)) return false;
  if (!note.empty()) notes->push_back(note);
  *side = int(read);
  return true;
}

// WxH, each side a whole number.
bool ReadSize(const std::string& text, int* width, int* height, std::vector<std::string>* notes, std::string* error) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) {
    *error = "--size takes WxH, two whole numbers from " + Platform::RangeText(kSideRange) + ", not '" + text + "'";
    return false;
  }
  return ReadSide(text.substr(0, x), width, notes, error) && ReadSide(text.substr(x + 1), height, notes, error);
}

bool ReadSwitch(const std::string& name, const std::string& text, bool* value, std::string* error) {
  if (text != "on" && text != "off") {
    *error = name + " takes on or off, not '" + text + "'";
    return false;
  }
  *value = text == "on";
  return true;
}

}  // namespace

bool ParsePreviewOptions(int argc, char** argv, PreviewOptions* options, std::vector<std::string>* notes,
                         std::string* error) {
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
    else if (name == "--environment") options->environment = value;
    else if (name == "--background") ok = ReadSwitch(name, value, &options->background, error);
    else if (name == "--dirt-factor") ok = ReadFloat(name, value, kFactorRange, &options->dirtFactor, notes, error);
    else if (name == "--rust-factor") ok = ReadFloat(name, value, kFactorRange, &options->rustFactor, notes, error);
    else if (name == "--exposure") ok = ReadFloat(name, value, kExposureRange, &options->exposure, notes, error);
    else if (name == "--environment-turn")
      ok = ReadFloat(name, value, kYawRange, &options->environmentTurnDegrees, notes, error);
    else if (name == "--yaw") ok = ReadFloat(name, value, kYawRange, &options->yawDegrees, notes, error);
    else if (name == "--pitch") ok = ReadFloat(name, value, kPitchRange, &options->pitchDegrees, notes, error);
    else if (name == "--distance") ok = ReadFloat(name, value, kDistanceRange, &options->distance, notes, error);
    else if (name == "--size") ok = ReadSize(value, &options->width, &options->height, notes, error);
    else {
      *error = "unknown option " + name;
      return false;
    }
    if (!ok) return false;
  }
  return true;
}
