#include <cstring>
#include <string>
#include <vector>

#include "tests/tools/cli_fixture.h"

namespace {

class SampleCommand : public CliFixture {
protected:
  SampleCommand() : CliFixture("sample") {}
};

TEST_F(SampleCommand, WritesTheSamplesOfACube) {
  // A unit cube: at density 4 the spacing is 0.25 and every sample lies on the surface.
  const std::string cube =
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
      "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 3 4 8 7\nf 1 5 8 4\nf 2 3 7 6\n";
  std::string model = Write("cube.obj", std::vector<uint8_t>(cube.begin(), cube.end()));
  std::string out = (folder / "samples.bin").string();
  CliResult run = Cli(model + " --density 4 --out " + out);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"spacing\": 0.25"), std::string::npos) << run.out;

  std::string bytes = ReadFile(out);
  ASSERT_GE(bytes.size(), 4u);
  uint32_t count;
  std::memcpy(&count, bytes.data(), 4);
  ASSERT_GT(count, 0u);
  ASSERT_EQ(bytes.size(), 4 + count * 96u);
  EXPECT_NE(run.out.find("\"samples\": " + std::to_string(count)), std::string::npos) << run.out;
  for (uint32_t i = 0; i < count; ++i) {
    float words[24];
    std::memcpy(words, bytes.data() + 4 + 96 * i, 96);
    const float* position = words + 6;
    bool onSurface = false;
    for (int axis = 0; axis < 3; ++axis) onSurface |= position[axis] == 0.0f || position[axis] == 1.0f;
    EXPECT_TRUE(onSurface);
    EXPECT_EQ(words[1], 1.0f);  // scatterDamping
    uint32_t splitAxis;
    std::memcpy(&splitAxis, &words[23], 4);
    EXPECT_LT(splitAxis, 3u);
  }
}

TEST_F(SampleCommand, ClampsDensitiesAsWeatherDoesAndRejectsMissingModels) {
  const std::string sphere = std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj";
  CliResult run = Cli(sphere + " --density 0");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("--density 0 is outside 1..500; using 1"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("\"density\": 1,"), std::string::npos) << run.out;
  EXPECT_EQ(Cli("model.obj --density ten").status, 2);
  EXPECT_EQ(Cli("").status, 2);
  EXPECT_EQ(Cli((folder / "missing.obj").string()).status, 1);
}

}  // namespace
