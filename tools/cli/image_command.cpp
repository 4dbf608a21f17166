#include <cstdio>
#include <string>
#include <vector>

#include "imagelib/image.h"
#include "imagelib/image_decoder.h"
#include "tools/cli/binary_file.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_output.h"

namespace PatinexCli {
namespace {

int RunImage(const Arguments& arguments);

const Command kImageCommand = {
    "image",
    "image FILE [--dump OUT.f32]",
    "Loads FILE as the program loads textures (.tga, .hdr, .jpg or .png, chosen by a case-sensitive\n"
    "match anywhere in the name) and prints {\"file\", \"valid\", \"width\", \"height\", \"channels\",\n"
    "\"formatCode\"} as JSON: format code 1, 7 or 15 for 1, 3 or 4 channels of 8-bit or 16-bit\n"
    "samples (grey with alpha loads as RGBA), 167 for Radiance floats. With --dump, also writes the\n"
    "float samples to OUT.f32: little-endian float32, top row first, channels interleaved. Exit\n"
    "status 0 when the image loads, 1 when it does not (reason on stderr), 2 on a usage error.",
    RunImage,
};

const CommandRegistration kRegistration(kImageCommand);

// Why ImageF::Load turned the file down, as far as can be told from outside.
std::string FailureReason(const std::string& path, const ImageLib::ImageF& image) {
  const std::optional<ImageLib::ImageFormat> format = ImageLib::FormatOfName(path.c_str());
  if (!format) return path + ": unknown extension: the name must contain .tga, .hdr, .jpg or .png (lower case)";
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ImageLib::ReadImageFile(path.c_str(), bytes, error)) return error;
  if (image.width != 0) {
    return path + ": decoded as " + std::to_string(image.width) + " x " + std::to_string(image.height) + " with " +
           std::to_string(image.channels) + " channels and format code " + std::to_string(image.formatCode) +
           ", which has no float conversion";
  }
  ImageLib::DecodedImage decoded;
  ImageLib::DecodeImage(*format, bytes.data(), bytes.size(), decoded, error);
  return path + ": could not decode as a " + ImageLib::ExtensionOf(*format) + " image (" + error + ")";
}

// The samples as little-endian float32, top row first, channels interleaved.
bool DumpSamples(const ImageLib::ImageF& image, const std::string& destination, std::string& error) {
  WordFileWriter writer(destination);
  if (!writer.Open(error)) return false;
  writer.Floats(image.samples, size_t(image.width) * image.height * image.channels);
  return writer.Commit(error);
}

int RunImage(const Arguments& arguments) {
  std::string path;
  std::string dump;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--dump") {
      if (i + 1 == arguments.size()) return UsageError(kImageCommand, "--dump needs a file name");
      dump = arguments[++i];
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError(kImageCommand, "unknown option " + argument);
    } else if (!path.empty()) {
      return UsageError(kImageCommand, "one image at a time");
    } else {
      path = argument;
    }
  }
  if (path.empty()) return UsageError(kImageCommand, "no image file given");

  ImageLib::ImageF image;
  bool loaded = image.Load(path.c_str());
  PrintJson(Json{{"file", path},
                 {"valid", image.valid},
                 {"width", image.width},
                 {"height", image.height},
                 {"channels", image.channels},
                 {"formatCode", image.formatCode}});
  std::fflush(stdout);

  if (!loaded) {
    std::fprintf(stderr, "patinex-cli image: %s\n", FailureReason(path, image).c_str());
    return kExitFailure;
  }
  std::string error;
  if (!dump.empty() && !DumpSamples(image, dump, error)) {
    std::fprintf(stderr, "patinex-cli image: %s\n", error.c_str());
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
