// An aged model written out and loaded back looks as the live view drew it: mesh-preview draws
// the sphere with a real run's masks over it, and the exported file with none, from the same
// camera in the same environment, and the two pictures are compared block by block.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "imagelib/image_decoder.h"
#include "tests/tools/cli_fixture.h"

#ifdef PATINEX_MESH_PREVIEW

namespace {

const std::string kSphere = std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj";
constexpr int kWidth = 320, kHeight = 240;
// Texture filtering differs between the two: the live view blends masks and textures in the
// pixel shader, the export samples one baked texel set through its own mip chain. Averaging
// blocks of 8 x 8 pixels washes that out but keeps any change of colour a look drift makes.
constexpr int kBlock = 8;
// The largest difference left between block means (0 to 1, per channel), about 10 levels of 255.
// Filtering leaves up to about 0.02: the brushed bronze's fine normals, baked once a texel and
// then mip-mapped, sparkle in the export's highlights where the live view's filtered ones blend
// smoothly, and the rim's blocks are part background. A drift of the look moves blocks by far more: the dirt strength at
// 0.8 instead of 1 by about 0.1, the masks laid over the export a second time by over 0.2.
constexpr float kTolerance = 0.04f;

class ExportedLook : public CliFixture {
protected:
  ExportedLook() : CliFixture("export") {}

  void SetUp() override {
    masks = (folder / "masks").string();
    const CliResult run = Shell(std::string(PATINEX_CLI) + " weather " + kSphere +
                                " --density 20 --tons 8000 --steps 1 --threads 1 --size 256 --out " + masks +
                                " --export " + (folder / "aged.glb").string());
    ASSERT_EQ(run.status, 0) << run.err;
  }

  // The block means of a picture mesh-preview draws (RGB, row by row); empty when it fails.
  std::vector<float> Drawn(const std::string& model, const std::string& options) {
    const std::string out = (folder / "drawn.png").string();
    const CliResult run = Shell(std::string(PATINEX_MESH_PREVIEW) + " --media " PATINEX_SOURCE_DIR "/media --size " +
                                std::to_string(kWidth) + "x" + std::to_string(kHeight) + " --model " + model + " " +
                                options + " --out " + out);
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<uint8_t> bytes;
    ImageLib::DecodedImage image;
    std::string error;
    if (run.status != 0 || !ImageLib::ReadImageFile(out.c_str(), bytes, error) ||
        !ImageLib::DecodeImage(bytes.data(), bytes.size(), image, error)) {
      ADD_FAILURE() << "cannot read what mesh-preview drew: " << error;
      return {};
    }
    const int columns = kWidth / kBlock, rows = kHeight / kBlock;
    std::vector<float> means(size_t(columns) * rows * 3, 0.0f);
    for (uint32_t y = 0; y < image.height; ++y) {
      for (uint32_t x = 0; x < image.width; ++x) {
        for (int c = 0; c < 3; ++c) {
          const size_t sample =
              (size_t(y) * image.width + x) * image.channels + size_t(ImageLib::RgbaSource(image.channels, c));
          means[((y / kBlock) * columns + x / kBlock) * 3 + c] += image.Value(sample) / float(kBlock * kBlock);
        }
      }
    }
    return means;
  }

  std::string Masks(const std::string& extra = "") const {
    return "--rust " + masks + "/mask_rust00.jpg --dirt " + masks + "/mask_dirt00.jpg" + extra;
  }

  std::string masks;
};

// The largest difference of one block's channel between two pictures; infinite for pictures
// that cannot be compared.
float LargestDifference(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.empty() || a.size() != b.size()) return INFINITY;
  float largest = 0.0f;
  for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
  return largest;
}

TEST_F(ExportedLook, TheExportLoadedBackLooksAsTheLiveView) {
  const std::string exported = (folder / "aged.glb").string();
  const std::vector<float> live = Drawn(kSphere, Masks());
  const std::vector<float> loadedBack = Drawn(exported, "");
  EXPECT_LE(LargestDifference(live, loadedBack), kTolerance);

  // The step aged the sphere visibly, and drifts of the look are seen, down to a strength
  // slider moved by a fifth: the comparison is not blind to what the export is there to keep.
  EXPECT_GT(LargestDifference(live, Drawn(kSphere, "")), 4.0f * kTolerance);
  EXPECT_GT(LargestDifference(live, Drawn(kSphere, Masks(" --dirt-factor 0.8"))), 2.0f * kTolerance);
  EXPECT_GT(LargestDifference(live, Drawn(exported, Masks())), 2.0f * kTolerance);
}

}  // namespace

#endif  // PATINEX_MESH_PREVIEW
