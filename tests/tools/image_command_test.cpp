#include <string>
#include <vector>

#include "tests/tools/cli_fixture.h"

namespace {

class ImageCommand : public CliFixture {
protected:
  ImageCommand() : CliFixture("image") {}
};

// A 2 x 2 24-bit Targa, bottom row first, B, G, R.
const std::vector<uint8_t> kTarga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0,
                                     0, 0, 255, 0, 255, 0, 255, 0, 0, 51, 102, 153};

}  // namespace

TEST_F(ImageCommand, PrintsTheImageAndDumpsItsSamples) {
  std::string image = Write("picture.tga", kTarga);
  std::string dump = (folder / "samples.f32").string();
  CliResult run = Cli(image + " --dump " + dump);
  EXPECT_EQ(run.status, 0) << run.err;
  for (std::string field : {"\"image\": \"" + image + "\"", std::string("\"valid\": true"), std::string("\"width\": 2"),
                            std::string("\"height\": 2"), std::string("\"channels\": 3"), std::string("\"formatCode\": 7")}) {
    EXPECT_NE(run.out.find(field), std::string::npos) << field << " in " << run.out;
  }
  // Row 0 is the file's last row; little-endian float32.
  std::vector<float> expected = {0, 0, 1, 153 / 255.0f, 102 / 255.0f, 51 / 255.0f, 1, 0, 0, 0, 1, 0};
  std::string bytes = ReadFile(dump);
  ASSERT_EQ(bytes.size(), expected.size() * 4);
  for (size_t i = 0; i < expected.size(); ++i) {
    uint32_t word = 0;
    for (int b = 3; b >= 0; --b) word = word << 8 | uint8_t(bytes[4 * i + b]);
    float value;
    std::memcpy(&value, &word, 4);
    EXPECT_EQ(value, float(expected[i])) << i;
  }
  // Nothing left beside the dump but the image.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST_F(ImageCommand, FailuresExitOneWithTheReason) {
  struct Case {
    std::string file;
    const char* reason;
  } cases[] = {
      {Write("picture.TGA", kTarga), "unknown extension"},
      {(folder / "missing.tga").string(), "cannot open"},
      {Write("short.tga", std::vector<uint8_t>(kTarga.begin(), kTarga.end() - 1)), "could not decode as a .tga image"},
  };
  for (const Case& c : cases) {
    CliResult run = Cli(c.file + " --dump " + (folder / "never.f32").string());
    EXPECT_EQ(run.status, 1) << c.file;
    EXPECT_NE(run.out.find("\"valid\": false"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"width\": null"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"error\": "), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder / "never.f32"));
  }
  // A dump that cannot be written (its folder would be a file) fails too, with no file left
  // behind.
  const std::string picture = Write("picture.tga", kTarga);
  CliResult run = Cli(picture + " --dump " + picture + "/folder.f32");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("\"error\": "), std::string::npos) << run.out;
}

TEST_F(ImageCommand, UsageErrorsExitTwo) {
  std::string image = Write("picture.tga", kTarga);
  for (std::string arguments : {std::string(""), image + " " + image, image + " --dump", image + " --size"}) {
    CliResult run = Cli(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.err.find("usage: patinex-cli image"), std::string::npos) << run.err;
  }
}
