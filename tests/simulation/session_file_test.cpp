#include "simulation/session_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "simulation/mask_files.h"

namespace Simulation {
namespace {

namespace fs = std::filesystem;

class SessionFileTest : public testing::Test {
protected:
  SessionFileTest() : folder(fs::temp_directory_path() / ("patinex_session_" + std::to_string(std::random_device{}()))) {
    fs::create_directories(folder);
    state.identity.modelName = "vase.obj";
    state.identity.modelChecksum = 0x0123456789ABCDEFull;
    state.identity.maskWidth = 512;
    state.identity.maskHeight = 256;
    state.identity.maskFormat = kMaskPng;
    state.identity.density = 40;
    state.identity.maskSpaces = 2;
    state.lastStep = 7;
    state.tonsPerStep = 1500;
    state.seed = 99;
    state.seeded = true;
    state.deterministic = true;
    state.emissionRotation = 1.25f;
    state.emissionsUsed = 12000;
    state.sampleSpacing = 0.03f;
    state.source.towards = {0.6f, 0.0f, -0.8f};
    state.source.spreadDegrees = 25.0f;
    for (uint32_t i = 0; i < 50; ++i) {
      SurfaceSample sample{};
      sample.humidity = 0.01f * float(i);
      sample.rust = 0.5f - 0.005f * float(i);
      sample.position = {float(i), -float(i), 0.5f * float(i)};
      sample.u = 0.02f * float(i);
      sample.splitAxis = i % 3;
      SetMaskSpace(sample, int32_t(i % 2));
      state.samples.push_back(sample);
    }
  }
  ~SessionFileTest() override { fs::remove_all(folder); }

  std::string Path() const { return (folder / kSessionName).string(); }
  void Write() {
    std::string error;
    ASSERT_TRUE(WriteSessionFile(Path(), state.samples.data(), uint32_t(state.samples.size()), state, &error)) << error;
  }
  std::vector<char> Bytes() const {
    std::ifstream in(Path(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void Put(const std::vector<char>& bytes) const {
    std::ofstream(Path(), std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
  }
  // The message a refused file gives; empty when it was read.
  std::string Refusal() const {
    SessionState read;
    std::string error;
    const SessionLoad load = ReadSessionFile(folder.string(), &read, &error);
    if (load == SessionLoad::kFound) return {};
    EXPECT_EQ(load, SessionLoad::kUnreadable);
    EXPECT_NE(error.find(Path()), std::string::npos) << error;  // names the file
    return error;
  }

  fs::path folder;
  SessionState state;
};

TEST_F(SessionFileTest, ReadsBackWhatWasWrittenAndKnowsAFolderWithoutOne) {
  SessionState read;
  std::string error;
  EXPECT_EQ(ReadSessionFile(folder.string(), &read, &error), SessionLoad::kNone);
  Write();
  ASSERT_EQ(ReadSessionFile(folder.string(), &read, &error), SessionLoad::kFound) << error;
  EXPECT_TRUE(read.identity.Difference(state.identity).empty());
  EXPECT_EQ(read.identity.modelName, "vase.obj");
  EXPECT_EQ(read.lastStep, 7);
  EXPECT_EQ(read.tonsPerStep, 1500);
  EXPECT_EQ(read.seed, 99u);
  EXPECT_TRUE(read.seeded);
  EXPECT_TRUE(read.deterministic);
  EXPECT_EQ(read.emissionRotation, 1.25f);
  EXPECT_EQ(read.emissionsUsed, 12000u);
  EXPECT_EQ(read.sampleSpacing, 0.03f);
  EXPECT_EQ(read.source.towards, RenderLib::Vector3(0.6f, 0.0f, -0.8f));
  EXPECT_EQ(read.source.spreadDegrees, 25.0f);
  ASSERT_EQ(read.samples.size(), state.samples.size());
  EXPECT_EQ(std::memcmp(read.samples.data(), state.samples.data(), state.samples.size() * sizeof(SurfaceSample)), 0);
}

TEST_F(SessionFileTest, RefusesCutFlippedForeignAndOtherVersionFiles) {
  Write();
  const std::vector<char> whole = Bytes();
  for (const size_t length : {size_t(0), size_t(10), size_t(40), whole.size() / 2, whole.size() - 1}) {
    Put(std::vector<char>(whole.begin(), whole.begin() + long(length)));
    const std::string why = Refusal();
    EXPECT_TRUE(why.find("short") != std::string::npos || why.find("truncated") != std::string::npos)
        << length << ": " << why;
  }
  // A byte flipped in the header's fields, the identity and a sample: never trusted.
  for (const size_t at : {size_t(30), size_t(60), whole.size() - 100}) {
    std::vector<char> flipped = whole;
    flipped[at] = char(flipped[at] ^ 0x10);
    Put(flipped);
    EXPECT_NE(Refusal().find("corrupted"), std::string::npos) << at;
  }
  std::vector<char> foreign = whole;
  foreign[0] = 'Q';
  Put(foreign);
  EXPECT_NE(Refusal().find("not a Patinex session"), std::string::npos);
  std::vector<char> later = whole;
  later[8] = 4;
  Put(later);
  EXPECT_NE(Refusal().find("version 4"), std::string::npos);
  // A header claiming more samples than the file holds is refused before any allocation.
  std::vector<char> huge = whole;
  const uint64_t claimed = uint64_t(1) << 40;
  std::memcpy(huge.data() + 12, &claimed, sizeof claimed);
  Put(huge);
  EXPECT_NE(Refusal().find("truncated"), std::string::npos);
  Put(whole);
  EXPECT_EQ(Refusal(), "");
}

// zlib's crc32, bit by bit, to re-seal a session rewritten in the older layout.
uint32_t Crc32(const char* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= uint8_t(data[i]);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// Version 1 had no byte for a reproducible history after the seeded flag, and versions 1 and 2
// no weather source after the sample spacing: they are read as not reproducible (version 1) and
// as weather from above with a spread of 90 degrees.
TEST_F(SessionFileTest, ReadsOlderSessionsWithTheDefaultsOfTheirTime) {
  Write();
  const std::vector<char> current = Bytes();
  constexpr size_t kHeader = 20;
  const size_t seededAt = kHeader + 4 + std::strlen("vase.obj") + 8 + 5 * 4 + 3 * 4;
  const size_t sourceAt = seededAt + 2 + 4 + 8 + 4;
  ASSERT_EQ(current[seededAt], 1);
  ASSERT_EQ(current[seededAt + 1], 1);
  float towardsX = 0.0f;
  std::memcpy(&towardsX, current.data() + sourceAt, sizeof towardsX);
  ASSERT_EQ(towardsX, 0.6f);
  for (const int version : {1, 2}) {
    std::vector<char> bytes = current;
    bytes.erase(bytes.begin() + long(sourceAt), bytes.begin() + long(sourceAt) + 16);
    if (version == 1) bytes.erase(bytes.begin() + long(seededAt) + 1);
    bytes[8] = char(version);
    const uint64_t payload = bytes.size() - kHeader - 4;
    std::memcpy(bytes.data() + 12, &payload, sizeof payload);
    const uint32_t crc = Crc32(bytes.data() + kHeader, payload);
    std::memcpy(bytes.data() + bytes.size() - 4, &crc, sizeof crc);
    Put(bytes);

    SessionState read;
    std::string error;
    ASSERT_EQ(ReadSessionFile(folder.string(), &read, &error), SessionLoad::kFound) << version << ": " << error;
    EXPECT_TRUE(read.seeded);
    EXPECT_EQ(read.deterministic, version == 2);
    EXPECT_EQ(read.emissionRotation, 1.25f);
    EXPECT_EQ(read.sampleSpacing, 0.03f);
    EXPECT_EQ(read.source.towards, RenderLib::Vector3(0.0f, 1.0f, 0.0f)) << version;
    EXPECT_EQ(read.source.spreadDegrees, 90.0f) << version;
    EXPECT_EQ(read.samples.size(), state.samples.size());
  }
}

}  // namespace
}  // namespace Simulation
