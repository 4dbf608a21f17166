#include <cstring>
#include <string>
#include <vector>

#include "tests/tools/cli_fixture.h"

namespace {

class RaysCommand : public CliFixture {
protected:
  RaysCommand() : CliFixture("rays") {}

  std::string Segments(const std::vector<std::vector<float>>& segments) {
    std::vector<uint8_t> bytes;
    for (const auto& s : segments) {
      const auto* raw = reinterpret_cast<const uint8_t*>(s.data());
      bytes.insert(bytes.end(), raw, raw + 24);
    }
    return Write("in.bin", bytes);
  }
};

const std::string kSquare = "v 0 0 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\nf 1 2 3 4\n";

struct Record {
  int32_t triangle;
  float distance, u, v;
};

TEST_F(RaysCommand, AnswersEverySegmentInOrder) {
  std::string model = Write("square.obj", std::vector<uint8_t>(kSquare.begin(), kSquare.end()));
  std::string in = Segments({{1.5f, 0.5f, 3, 1.5f, 0.5f, -3},    // first triangle, 3 units down
                             {0.5f, 1.5f, -1, 0.5f, 1.5f, 1},    // second triangle, from below
                             {5, 5, 1, 5, 5, -1},                 // beside the square
                             {1.5f, 0.5f, 3, 1.5f, 0.5f, 1}});    // ends short of it
  std::string out = (folder / "out.bin").string();
  CliResult run = Cli(model + " " + in + " " + out);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"segments\": 4"), std::string::npos) << run.out;

  std::string bytes = ReadFile(out);
  ASSERT_EQ(bytes.size(), 4 * sizeof(Record));
  Record records[4];
  std::memcpy(records, bytes.data(), bytes.size());
  EXPECT_EQ(records[0].triangle, 0);
  EXPECT_FLOAT_EQ(records[0].distance, 3.0f);
  EXPECT_FLOAT_EQ(records[0].u, 0.5f);   // weight of (2, 0, 0)
  EXPECT_FLOAT_EQ(records[0].v, 0.25f);  // weight of (2, 2, 0)
  EXPECT_EQ(records[1].triangle, 1);
  EXPECT_FLOAT_EQ(records[1].distance, 1.0f);
  EXPECT_EQ(records[2].triangle, -1);
  EXPECT_EQ(records[3].triangle, -1);
}

TEST_F(RaysCommand, RejectsBrokenInput) {
  std::string model = Write("square.obj", std::vector<uint8_t>(kSquare.begin(), kSquare.end()));
  std::string out = (folder / "out.bin").string();
  EXPECT_EQ(Cli(model + " " + Write("odd.bin", std::vector<uint8_t>(25)) + " " + out).status, 1);
  EXPECT_EQ(Cli((folder / "missing.obj").string() + " " + Segments({{0, 0, 1, 0, 0, -1}}) + " " + out).status, 1);
  std::string empty = Write("empty.obj", {'v', ' ', '0', ' ', '0', ' ', '0', '\n'});
  CliResult noTriangles = Cli(empty + " " + Segments({{0, 0, 1, 0, 0, -1}}) + " " + out);
  EXPECT_EQ(noTriangles.status, 1);
  EXPECT_NE(noTriangles.err.find("no triangles"), std::string::npos) << noTriangles.err;
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(Cli(model).status, 2);
}

}  // namespace
