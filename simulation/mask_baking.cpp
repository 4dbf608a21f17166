#include "simulation/mask_baking.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "imagelib/jpeg_writer.h"
#include "imagelib/png_writer.h"
#include "platform/media_folder.h"
#include "simulation/built_in_splat.h"
#include "simulation/sample_splats.h"
#include "simulation/splat_image.h"
#include "simulation/splat_raster.h"

namespace Simulation {
namespace {

constexpr const char* kSplatName = "SPLAT.png";
constexpr int kJpegQuality = 95;

// A file created under a unique temporary name beside its final name. Publish renames it over
// the final name; if that never happens the destructor removes it, so no partial file stays.
class TemporaryFile {
public:
  explicit TemporaryFile(const char* finalName) : finalName(finalName), path(std::string(finalName) + ".partXXXXXX") {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (file != nullptr) std::fclose(file);
    if (created) ::unlink(path.c_str());
  }

  // Returns false with errno set when the folder does not take a new file.
  bool Create() {
    const int descriptor = ::mkstemp(path.data());
    if (descriptor < 0) return false;
    created = true;
    // Masks are ordinary files for every reader, not private like a fresh temporary.
    ::fchmod(descriptor, 0644);
    file = ::fdopen(descriptor, "wb");
    if (file == nullptr) {
      const int error = errno;
      ::close(descriptor);
      errno = error;
      return false;
    }
    return true;
  }

  std::FILE* File() const { return file; }

  // Closes the file and renames it over the final name. Returns what failed (errno tells
  // why; the temporary is then removed by the destructor), or nullptr.
  const char* Publish() {
    const int closed = std::fclose(file);
    file = nullptr;
    if (closed != 0) return "closing the finished file failed";
    if (std::rename(path.c_str(), finalName) != 0) return "cannot rename the finished file onto it";
    created = false;
    return nullptr;
  }

private:
  const char* finalName;
  std::string path;
  std::FILE* file = nullptr;
  bool created = false;
};

bool EndsWith(const char* text, const char* ending) {
  const size_t length = std::strlen(text), endingLength = std::strlen(ending);
  return length >= endingLength && std::strcmp(text + length - endingLength, ending) == 0;
}

// media/SPLAT.png where the media search finds one, else the copy built into the program.
bool LoadSplat(SplatImage& splat, const char* fileName) {
  std::string error;
  const std::string path = Platform::FindMediaFile(kSplatName);
  if (path.empty()) {
    if (splat.LoadFromMemory(kBuiltInSplatPng, kBuiltInSplatPngSize, error)) return true;
    std::fprintf(stderr, "mask %s not written: no media/%s was found and the built-in one is unreadable: %s\n",
                 fileName, kSplatName, error.c_str());
    return false;
  }
  if (splat.Load(path.c_str(), error)) return true;
  std::fprintf(stderr, "mask %s not written: cannot read the splat %s: %s\n", fileName, path.c_str(), error.c_str());
  return false;
}

}  // namespace

int32_t BakeAndSaveMask(int32_t channel, const char* fileName, uint32_t width, uint32_t height, const SampleMap& map,
                        float spacing) {
  if (fileName == nullptr || fileName[0] == '\0') {
    std::fprintf(stderr, "mask not written: no file name given\n");
    return kMaskBadArguments;
  }
  if (channel < 0 || channel > 2) {
    std::fprintf(stderr, "mask %s not written: channel %d is not 0 (humidity), 1 (dirt) or 2 (rust)\n", fileName,
                 channel);
    return kMaskBadArguments;
  }
  const bool png = EndsWith(fileName, ".png");
  const uint32_t maxSide = png ? ImageLib::kMaxPngDimension : ImageLib::kMaxJpegDimension;
  if (width == 0 || height == 0 || width > maxSide || height > maxSide) {
    std::fprintf(stderr, "mask %s not written: a %s mask cannot be %u x %u pixels\n", fileName, png ? "PNG" : "JPEG",
                 width, height);
    return kMaskBadArguments;
  }

  SplatImage splat;
  if (!LoadSplat(splat, fileName)) return kMaskNoSplat;

  // The output file comes first, so that a folder that takes no files costs no baking.
  TemporaryFile output(fileName);
  if (!output.Create()) {
    std::fprintf(stderr, "mask %s not written: cannot create a file in its folder: %s\n", fileName,
                 std::strerror(errno));
    return kMaskNotWritten;
  }

  std::unique_ptr<SplatRaster> raster;
  std::unique_ptr<uint8_t[]> rgb;
  std::unique_ptr<uint16_t[]> grey;
  try {
    raster = std::make_unique<SplatRaster>(width, height);
    if (png) {
      grey.reset(new uint16_t[size_t(width) * height]);
    } else {
      rgb.reset(new uint8_t[size_t(width) * height * 3]);
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "mask %s not written: no memory for a %u x %u mask\n", fileName, width, height);
    return kMaskNoMemory;
  }
  SplatSamples(map, channel, spacing, splat, *raster);
  raster->Resolve();
  raster->Dilate(kMaskDilationPasses);

  bool written;
  if (png) {
    raster->ToGrey16(grey.get());
    written = ImageLib::WritePngGrey16(output.File(), fileName, grey.get(), width, height);
  } else {
    raster->ToRgb(rgb.get());
    written = ImageLib::WriteJpeg(output.File(), fileName, rgb.get(), width, height, kJpegQuality);
  }
  if (!written) return kMaskNotWritten;  // the writer said why
  if (const char* failure = output.Publish()) {
    std::fprintf(stderr, "mask %s not written: %s: %s\n", fileName, failure, std::strerror(errno));
    return kMaskNotWritten;
  }
  return 0;
}

}  // namespace Simulation
