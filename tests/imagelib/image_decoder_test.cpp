#include "imagelib/image_decoder.h"

#include <gtest/gtest.h>

#include "tests/imagelib/image_test_files.h"
#include "tests/support/test_images.h"

using namespace ImageLib;

namespace {

const Bytes kGreyTarga = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0, 200, 100};

}  // namespace

TEST(ImageDecoder, NamesPickTheFormatByCaseSensitiveSubstringInTableOrder) {
  EXPECT_EQ(FormatOfName("a.tga"), ImageFormat::Targa);
  EXPECT_EQ(FormatOfName("a.tga.jpg"), ImageFormat::Targa);  // ".tga" anywhere wins over ".jpg"
  EXPECT_EQ(FormatOfName("a.hdr.tga"), ImageFormat::Targa);  // ".tga" comes first in the table
  EXPECT_EQ(FormatOfName("a.tgax"), ImageFormat::Targa);
  EXPECT_EQ(FormatOfName("a.png.jpg"), ImageFormat::Jpeg);
  EXPECT_EQ(FormatOfName("dir.hdr/a.png"), ImageFormat::Radiance);
  EXPECT_EQ(FormatOfName("a.png"), ImageFormat::Png);
  for (const char* none : {"a.TGA", "a.JPG", "a.jpeg", "a.gif", ""}) {
    EXPECT_EQ(FormatOfName(none), std::nullopt) << none;
  }
  EXPECT_EQ(FormatOfName(nullptr), std::nullopt);
  EXPECT_STREQ(ExtensionOf(ImageFormat::Radiance), ".hdr");
}

TEST(ImageDecoder, SignaturesTellJpegFromPngAndNothingElse) {
  const Bytes jpeg = TestImages::EncodeJpeg(8, 8, 1, Bytes(64, 30));
  const Bytes png = TestImages::EncodePng({1, 1, PNG_COLOR_TYPE_GRAY, 8, {{7}}, {}, {}, {}, false});
  DecodedImage image;
  std::string error;
  ASSERT_TRUE(DecodeImage(jpeg.data(), jpeg.size(), image, error)) << error;
  EXPECT_EQ(image.width, 8u);
  ASSERT_TRUE(DecodeImage(png.data(), png.size(), image, error)) << error;
  EXPECT_EQ(image.samples, Bytes{7});
  // A Targa has no signature: given as such it decodes, given to the signature test it does not.
  ASSERT_TRUE(DecodeImage(ImageFormat::Targa, kGreyTarga.data(), kGreyTarga.size(), image, error));
  EXPECT_FALSE(DecodeImage(kGreyTarga.data(), kGreyTarga.size(), image, error));
  EXPECT_EQ(error, "neither a JPEG nor a PNG file");
  EXPECT_TRUE(image.samples.empty());
  EXPECT_FALSE(DecodeImage(nullptr, 0, image, error));
}

// Cut anywhere, a file of any format is refused with a reason naming the format, never taken as
// a whole picture with its missing part painted in. Radiance files are the one exception: cut
// after their resolution they load, with the pixels not read left black.
TEST(ImageDecoder, TruncatedFilesOfEveryFormatAreRefused) {
  Bytes radiance = Text("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 1\n");
  radiance.insert(radiance.end(), {128, 64, 0, 129});
  const std::pair<ImageFormat, Bytes> files[] = {
      {ImageFormat::Targa, kGreyTarga},
      {ImageFormat::Radiance, radiance},
      {ImageFormat::Jpeg, TestImages::EncodeJpeg(16, 16, 3, Bytes(16 * 16 * 3, 90))},
      {ImageFormat::Png,
       TestImages::EncodePng({3, 2, PNG_COLOR_TYPE_RGB, 8, {Bytes(9, 1), Bytes(9, 2)}, {}, {}, {}, true})},
  };
  const char* names[] = {"Targa: ", "Radiance: ", "JPEG: ", "PNG: "};
  for (const auto& [format, file] : files) {
    DecodedImage image;
    std::string error;
    ASSERT_TRUE(DecodeImage(format, file.data(), file.size(), image, error)) << error;
    const size_t cuts = format == ImageFormat::Radiance ? file.size() - 5 : file.size();
    for (size_t size = 0; size < cuts; ++size) {
      EXPECT_FALSE(DecodeImage(format, file.data(), size, image, error)) << names[int(format)] << size;
      EXPECT_EQ(error.rfind(names[int(format)], 0), 0u) << error;
      EXPECT_TRUE(image.samples.empty());
    }
  }
}

TEST(ImageDecoder, ReadingAFileSaysWhyItFailed) {
  ScratchFolder folder;
  Bytes bytes;
  std::string error;
  ASSERT_TRUE(ReadImageFile(folder.Write("a.tga", kGreyTarga).c_str(), bytes, error));
  EXPECT_EQ(bytes, kGreyTarga);
  const std::string missing = (folder.path / "missing.tga").string();
  EXPECT_FALSE(ReadImageFile(missing.c_str(), bytes, error));
  EXPECT_EQ(error, "cannot open " + missing + ": No such file or directory");
  EXPECT_FALSE(ReadImageFile(folder.path.c_str(), bytes, error));
  EXPECT_EQ(error, folder.path.string() + " is not a regular file (it is a folder)");
  // A device would never end; it is refused unread.
  EXPECT_FALSE(ReadImageFile("/dev/zero", bytes, error));
  EXPECT_EQ(error, "/dev/zero is not a regular file (it is a character device)");
  EXPECT_TRUE(bytes.empty());
}
