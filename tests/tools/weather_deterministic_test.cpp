#include <string>

#include "tests/tools/cli_fixture.h"

namespace {

const std::string kSphere = std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj";
const char* const kMaskNames[] = {"mask_humidity", "mask_dirt", "mask_rust"};

class WeatherDeterministic : public CliFixture {
protected:
  WeatherDeterministic() : CliFixture("weather") {}

  // The three masks of a step, one after the other.
  std::string Masks(const fs::path& out, int step) const {
    std::string bytes;
    for (const char* name : kMaskNames) {
      char file[64];
      std::snprintf(file, sizeof file, "%s%02d.jpg", name, step);
      bytes += ReadFile((out / file).string());
    }
    return bytes;
  }
};

// The same masks, byte for byte, run after run and on one worker or two; a continuation of such
// a history stays reproducible without being told again.
TEST_F(WeatherDeterministic, GivesTheSameMasksOnAnyNumberOfWorkersAndResumesInThatMode) {
  const std::string options = " --density 30 --tons 1100 --seed 5 --deterministic --out ";
  const fs::path a = folder / "a", b = folder / "b", whole = folder / "whole", split = folder / "split";
  CliResult run = Cli(kSphere + options + a.string() + " --threads 2");
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Cli(kSphere + options + b.string() + " --threads 2").status, 0);
  ASSERT_EQ(Cli(kSphere + options + whole.string() + " --threads 1 --steps 2").status, 0);
  const std::string first = Masks(a, 0);
  ASSERT_GT(first.size(), 1000u);
  EXPECT_TRUE(Masks(b, 0) == first);
  EXPECT_TRUE(Masks(whole, 0) == first);
  EXPECT_NE(ReadFile((a / "patinex_run.json").string()).find("\"deterministic\": true"), std::string::npos);

  ASSERT_EQ(Cli(kSphere + options + split.string() + " --threads 2").status, 0);
  run = Cli(kSphere + " --density 30 --threads 1 --resume --out " + split.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Masks(split, 1) == Masks(whole, 1));
}

}  // namespace
