#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/tools/cli_fixture.h"

namespace {

struct Point {
  float x, y, z;
};

std::vector<uint8_t> PositionsFile(const std::vector<Point>& points) {
  std::vector<uint8_t> bytes(4 + 12 * points.size());
  uint32_t count = static_cast<uint32_t>(points.size());
  std::memcpy(bytes.data(), &count, 4);
  std::memcpy(bytes.data() + 4, points.data(), 12 * points.size());
  return bytes;
}

class KnnCommand : public CliFixture {
protected:
  KnnCommand() : CliFixture("knn") {}
};

TEST_F(KnnCommand, AnswersEveryQueryWithTheSortedNearestDistances) {
  std::mt19937 random(4);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<Point> points(2000), queries(50);
  for (Point& p : points) p = {unit(random), unit(random), unit(random)};
  for (Point& q : queries) q = {unit(random), unit(random), unit(random)};
  const int k = 12;
  const float radius = 0.3f;

  std::string out = (folder / "out.bin").string();
  CliResult run = Cli(Write("points.bin", PositionsFile(points)) + " " + Write("queries.bin", PositionsFile(queries)) +
                      " " + std::to_string(k) + " 0.3 " + out);
  ASSERT_EQ(run.status, 0) << run.err;

  std::string bytes = ReadFile(out);
  size_t offset = 0;
  for (const Point& q : queries) {
    std::vector<float> expected;
    for (const Point& p : points) {
      float dx = p.x - q.x, dy = p.y - q.y, dz = p.z - q.z;
      float d = dx * dx + dy * dy + dz * dz;
      if (d < radius * radius) expected.push_back(d);
    }
    std::sort(expected.begin(), expected.end());
    if (expected.size() > k) expected.resize(k);

    ASSERT_LE(offset + 4, bytes.size());
    uint32_t found;
    std::memcpy(&found, bytes.data() + offset, 4);
    ASSERT_EQ(found, expected.size());
    std::vector<float> got(found);
    std::memcpy(got.data(), bytes.data() + offset + 4, 4 * found);
    EXPECT_EQ(got, expected);
    offset += 4 + 4 * found;
  }
  EXPECT_EQ(offset, bytes.size());
}

TEST_F(KnnCommand, RejectsBadInputWithoutWritingOutput) {
  std::string points = Write("points.bin", PositionsFile({{0, 0, 0}, {1, 0, 0}}));
  std::vector<uint8_t> lying = PositionsFile({{0, 0, 0}});
  lying[0] = 9;  // claims nine points
  std::string out = (folder / "out.bin").string();

  EXPECT_EQ(Cli(points + " " + Write("lying.bin", lying) + " 3 1 " + out).status, 1);
  EXPECT_EQ(Cli(points + " " + (folder / "missing.bin").string() + " 3 1 " + out).status, 1);
  EXPECT_FALSE(fs::exists(out));
  const CliResult unreadable = Cli(points + " " + points + " 2.5 1 " + out);
  EXPECT_EQ(unreadable.status, 2);
  EXPECT_NE(unreadable.err.find("K takes a whole number from 1 to 500, not '2.5'"), std::string::npos)
      << unreadable.err;
  EXPECT_EQ(Cli(points + " " + points + " 3 near " + out).status, 2);
  EXPECT_EQ(Cli(points + " " + points + " 3").status, 2);
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(KnnCommand, ClampsNumbersOutsideTheirRangeWithANote) {
  std::string points = Write("points.bin", PositionsFile({{0, 0, 0}, {1, 0, 0}}));
  std::string out = (folder / "out.bin").string();
  std::string queries = Write("queries.bin", PositionsFile({{5, 5, 5}, {6, 6, 6}}));
  const CliResult run = Cli(points + " " + queries + " 501 -1 " + out);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("K 501 is outside 1..500; using 500"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("RADIUS -1 is outside 0..4e+15; using 0"), std::string::npos) << run.err;
  // Within a radius of 0 of queries away from every point lies nothing: a zero count for each.
  EXPECT_EQ(ReadFile(out), std::string(8, '\0'));
}

// A device named as the output is written into, never replaced: run as root, renaming a file
// over it would replace the system's /dev/null. A private node stands in for it here.
TEST_F(KnnCommand, WritesIntoADeviceNamedAsTheOutputInsteadOfReplacingIt) {
  const fs::path null = folder / "null";
  if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "cannot make a device node here";
  std::string points = Write("points.bin", PositionsFile({{0, 0, 0}, {1, 0, 0}}));
  CliResult run = Cli(points + " " + points + " 1 1 " + null.string());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_character_file(null));
}

}  // namespace
