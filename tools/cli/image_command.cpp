#include <cstdio>
#include <string>
#include <vector>

#include "imagelib/image.h"
#include "imagelib/image_decoder.h"
#include "tools/cli/binary_file.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_output.h"
#include "tools/cli/output_path.h"

namespace PatinexCli {
namespace {

int RunImage(const Arguments& arguments);

const Command kImageCommand = {
    "image",
    "image FILE [--dump OUT.f32]",
    "Loads FILE as the program loads textures (.tga, .hdr, .jpg or .png, chosen by a case-sensitive\n"
    "match anywhere in the name) and prints {\"schema\", \"command\", \"image\", \"valid\", \"width\",\n"
    "\"height\", \"channels\", \"formatCode\", \"files\"} as JSON: format code 1, 7 or 15 for 1, 3 or 4\n"
    "channels of 8-bit or 16-bit samples (grey with alpha loads as RGBA), 167 for Radiance floats;\n"
    "null for what an image that does not load lacks. With --dump, also writes the float samples\n"
    "to OUT.f32 (its folder made if missing; listed in files, absolute): little-endian float32, top\n"
    "row first, channels interleaved. Exit status 0 when the image loads, 1 when it does not (the\n"
    "reason on stderr and as \"error\" in the JSON), 2 on a usage error.",
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
  if (!MakeParentFolder(destination, &error)) return false;
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
  const bool loaded = image.Load(path.c_str());
  // An image that did not load has no size or format: null, not a made-up number.
  const auto known = [&](int value) { return loaded ? Json(value) : Json(nullptr); };
  Json document = JsonDocument("image");
  document["image"] = path;
  document["valid"] = image.valid;
  document["width"] = known(image.width);
  document["height"] = known(image.height);
  document["channels"] = known(image.channels);
  document["formatCode"] = known(image.formatCode);
  document["files"] = Json::array();
  std::string error;
  if (!loaded) {
    error = FailureReason(path, image);
  } else if (!dump.empty()) {
    if (DumpSamples(image, dump, error)) document["files"].push_back(AbsolutePath(dump));
  }
  if (!error.empty()) {
    std::fprintf(stderr, "patinex-cli image: %s\n", error.c_str());
    document["error"] = error;
  }
  PrintJson(document);
  return error.empty() ? kExitSuccess : kExitFailure;
}

}  // namespace
}  // namespace PatinexCli
