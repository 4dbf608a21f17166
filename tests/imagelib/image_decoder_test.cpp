#include "imagelib/image_decoder.h"

#include <gtest/gtest.h>

#include "tests/imagelib/image_test_files.h"

using namespace ImageLib;

TEST(ImageDecoder, PicksTheDecoderByCaseSensitiveSubstringInTableOrder) {
  ScratchFolder folder;
  Bytes greyTarga = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 8, 0, 200};
  auto readsTarga = [&](const std::string& name) {
    Decoded decoded = DecodeWith(Decode, folder.Write(name, greyTarga));
    return decoded.ok && decoded.raw == Bytes{200};
  };
  EXPECT_TRUE(readsTarga("a.tga"));
  EXPECT_TRUE(readsTarga("a.tga.jpg"));  // ".tga" anywhere wins over ".jpg"
  EXPECT_TRUE(readsTarga("a.hdr.tga"));  // ".tga" comes first in the table
  EXPECT_TRUE(readsTarga("a.tgax"));
  EXPECT_FALSE(readsTarga("a.TGA"));
  EXPECT_FALSE(readsTarga("a.JPG"));
  EXPECT_FALSE(readsTarga("a.hdr"));  // the Radiance decoder turns a Targa down
  EXPECT_FALSE(readsTarga("a.png"));
  EXPECT_FALSE(DecodeWith(Decode, (folder.path / "missing.tga").string()).ok);
  ImageDescription description;
  RawBuffer raw;
  EXPECT_FALSE(Decode(nullptr, description, raw));
}
