#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/tools/cli_fixture.h"

namespace {

const std::string kSphere = std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj";
const std::string kBeethoven = std::string(PATINEX_SOURCE_DIR) + "/media/beethoven.obj";

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  const std::string text = ReadFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}
const char* const kMaskNames[] = {"mask_humidity", "mask_dirt", "mask_rust"};

class WeatherCommand : public CliFixture {
protected:
  WeatherCommand() : CliFixture("weather") {}

  std::string MaskPath(const fs::path& out, int channel, int step) const {
    char name[64];
    std::snprintf(name, sizeof name, "%s%02d.jpg", kMaskNames[channel], step);
    return (out / name).string();
  }
  // The files a run left in out beside its run record and session (hidden ones included);
  // earlier/, the record and the session are not counted.
  int FileCount(const fs::path& out) const {
    return static_cast<int>(std::count_if(fs::directory_iterator(out), fs::directory_iterator(), [](const auto& entry) {
      const fs::path name = entry.path().filename();
      return !entry.is_directory() && name != "patinex_run.json" && name != "patinex_session.bin";
    }));
  }
};

// The shipped sphere with its texture coordinates changed by `edit` (u, v in, u, v out).
template <class Edit>
std::vector<uint8_t> EditedSphere(Edit edit) {
  std::istringstream lines(ReadFile(kSphere));
  std::string out, line;
  while (std::getline(lines, line)) {
    float u = 0.0f, v = 0.0f;
    if (std::sscanf(line.c_str(), "vt %f %f", &u, &v) == 2) {
      edit(u, v);
      char text[64];
      std::snprintf(text, sizeof text, "vt %.9g %.9g", u, v);
      line = text;
    }
    out += line + "\n";
  }
  return std::vector<uint8_t>(out.begin(), out.end());
}

// Width, height, bit depth and colour type from a PNG's header.
struct PngHeader {
  uint32_t width = 0, height = 0;
  int depth = 0, colourType = -1;
};
PngHeader ReadPngHeader(const std::string& bytes) {
  PngHeader header;
  if (bytes.size() < 26 || bytes.compare(1, 3, "PNG") != 0) return header;
  auto big = [&](size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
  };
  header.width = big(16);
  header.height = big(20);
  header.depth = uint8_t(bytes[24]);
  header.colourType = uint8_t(bytes[25]);
  return header;
}

TEST_F(WeatherCommand, OneWorkerWritesTheSameMasksForTheSameInputs) {
  const fs::path first = folder / "first", second = folder / "second";
  const std::string options = " --density 30 --steps 2 --tons 1500 --threads 1 --out ";
  CliResult run = Cli(kSphere + options + first.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"stepsCompleted\": 2"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"masksSaved\": 6"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"tons\": 3000"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("step 2 of 2"), std::string::npos) << run.err;
  ASSERT_EQ(Cli(kSphere + options + second.string()).status, 0);

  EXPECT_EQ(FileCount(first), 6);
  for (int step = 0; step < 2; ++step) {
    for (int channel = 0; channel < 3; ++channel) {
      const std::string a = ReadFile(MaskPath(first, channel, step));
      ASSERT_GT(a.size(), 1000u) << MaskPath(first, channel, step);
      EXPECT_TRUE(a == ReadFile(MaskPath(second, channel, step))) << MaskPath(second, channel, step);
    }
  }
  EXPECT_NE(run.out.find("\"seed\": 5489"), std::string::npos) << run.out;  // the default

  // A seed chosen is repeated exactly; another seed is another run.
  const fs::path seven = folder / "seven", again = folder / "again", eight = folder / "eight";
  ASSERT_EQ(Cli(kSphere + options + seven.string() + " --seed 7").status, 0);
  ASSERT_EQ(Cli(kSphere + options + again.string() + " --seed 7").status, 0);
  run = Cli(kSphere + options + eight.string() + " --seed 8");
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\"seed\": 8,"), std::string::npos) << run.out;
  EXPECT_TRUE(ReadFile(MaskPath(seven, 1, 1)) == ReadFile(MaskPath(again, 1, 1)));
  EXPECT_FALSE(ReadFile(MaskPath(seven, 1, 1)) == ReadFile(MaskPath(first, 1, 1)));
  EXPECT_FALSE(ReadFile(MaskPath(seven, 1, 1)) == ReadFile(MaskPath(eight, 1, 1)));
}

// Two steps, then --resume --steps 1: step 02 follows from the kept session, the earlier masks
// stay as they were, the record lists all three, and the masks are those of one three-step run.
TEST_F(WeatherCommand, ResumeContinuesTheKeptSessionAsOneRunWould) {
  const fs::path split = folder / "split", whole = folder / "whole";
  const std::string options = " --density 30 --tons 1500 --threads 1 --seed 3 --out ";
  ASSERT_EQ(Cli(kSphere + options + whole.string() + " --steps 3").status, 0);
  CliResult run = Cli(kSphere + options + split.string() + " --steps 2");
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> earlier;
  for (int step = 0; step < 2; ++step) {
    for (int channel = 0; channel < 3; ++channel) earlier.push_back(ReadFile(MaskPath(split, channel, step)));
  }
  // --tons and --seed come from the session.
  run = Cli(kSphere + " --density 30 --threads 1 --resume --steps 1 --out " + split.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"firstStep\": 3"), std::string::npos) << run.out;
  EXPECT_EQ(run.err.find("moved"), std::string::npos) << run.err;
  EXPECT_EQ(FileCount(split), 9);
  for (int step = 0; step < 2; ++step) {
    for (int channel = 0; channel < 3; ++channel) {
      EXPECT_TRUE(ReadFile(MaskPath(split, channel, step)) == earlier[size_t(3 * step + channel)]) << step;
    }
  }
  for (int step = 0; step < 3; ++step) {
    for (int channel = 0; channel < 3; ++channel) {
      EXPECT_TRUE(ReadFile(MaskPath(split, channel, step)) == ReadFile(MaskPath(whole, channel, step)))
          << MaskPath(split, channel, step);
    }
  }
  const std::string record = ReadFile((split / "patinex_run.json").string());
  for (const char* step : {"\"step\": 0", "\"step\": 1", "\"step\": 2"}) {
    EXPECT_NE(record.find(step), std::string::npos) << record;
  }
}

// The weather's source is checked before anything is loaded, reported in the summary, kept by
// the session, taken by --resume and never changed by one.
TEST_F(WeatherCommand, TheSourceIsCheckedReportedAndKeptByResume) {
  for (const char* bad : {" --from 0,0,0", " --from 1,0", " --from 1,x,0", " --spread 0.5", " --spread 181"}) {
    const CliResult run = Cli(kSphere + bad);
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_NE(run.err.find(std::string(bad).substr(1, 6)), std::string::npos) << run.err;
  }
  const fs::path out = folder / "out";
  const std::string options = " --density 30 --tons 300 --threads 1 --out " + out.string();
  CliResult run = Cli(kSphere + options + " --from 3,0,4 --spread 20");
  ASSERT_EQ(run.status, 0) << run.err;
  nlohmann::json summary = nlohmann::json::parse(run.out);
  EXPECT_NEAR(summary["from"][0].get<double>(), 0.6, 1e-6);
  EXPECT_NEAR(summary["from"][1].get<double>(), 0.0, 1e-6);
  EXPECT_NEAR(summary["from"][2].get<double>(), 0.8, 1e-6);
  EXPECT_EQ(summary["spread"].get<double>(), 20.0);

  run = Cli(kSphere + options + " --resume --from 0,1,0");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("spread of 20 degrees"), std::string::npos) << run.err;
  run = Cli(kSphere + options + " --resume");
  ASSERT_EQ(run.status, 0) << run.err;
  summary = nlohmann::json::parse(run.out);
  EXPECT_NEAR(summary["from"][0].get<double>(), 0.6, 1e-6);
  EXPECT_EQ(summary["spread"].get<double>(), 20.0);
  EXPECT_EQ(summary["firstStep"].get<int>(), 2);
}

// What cannot be continued is refused in one line and the folder is left as it was.
TEST_F(WeatherCommand, ResumeRefusesAFolderItCannotContinue) {
  const fs::path out = folder / "out", empty = folder / "empty";
  ASSERT_EQ(Cli(kSphere + " --density 30 --tons 500 --threads 1 --out " + out.string()).status, 0);
  const std::string session = ReadFile((out / "patinex_session.bin").string());
  ASSERT_FALSE(session.empty());
  const auto refusal = [&](const std::string& arguments) {
    const CliResult run = Cli(arguments + " --resume");
    EXPECT_EQ(run.status, 1) << arguments;
    // The reason is the last line, the model's own notes before it.
    const size_t last = run.err.rfind('\n', run.err.size() - 2);
    return last == std::string::npos ? run.err : run.err.substr(last + 1);
  };
  fs::create_directories(empty);
  EXPECT_NE(refusal(kSphere + " --out " + empty.string()).find("holds no session"), std::string::npos);
  const std::string otherModel = refusal(kBeethoven + " --out " + out.string());
  EXPECT_NE(otherModel.find("another model"), std::string::npos) << otherModel;
  const std::string otherDensity = refusal(kSphere + " --density 31 --out " + out.string());
  EXPECT_NE(otherDensity.find("density 30, not 31"), std::string::npos) << otherDensity;
  const std::string otherSize = refusal(kSphere + " --size 512 --out " + out.string());
  EXPECT_NE(otherSize.find("1024 x 1024, not 512 x 512"), std::string::npos) << otherSize;
  std::string damaged = session;
  damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 1);
  std::ofstream((out / "patinex_session.bin").string(), std::ios::binary | std::ios::trunc) << damaged;
  const std::string corrupted = refusal(kSphere + " --out " + out.string());
  EXPECT_NE(corrupted.find("patinex_session.bin was refused: it is corrupted"), std::string::npos) << corrupted;
  EXPECT_EQ(FileCount(out), 3);
  EXPECT_FALSE(fs::exists(out / "earlier"));
}

TEST_F(WeatherCommand, ExportsMasksOfAnySizeAs16BitPng) {
  const fs::path out = folder / "png";
  // An earlier run's JPEG masks of the same step are moved aside, not mixed with the PNG ones;
  // the export takes the masks this run wrote.
  ASSERT_EQ(Cli(kSphere + " --density 10 --tons 50 --out " + out.string()).status, 0);
  const fs::path aged = folder / "aged.glb";
  CliResult run = Cli(kSphere + " --density 10 --tons 200 --size 96 --format png --out " + out.string() +
                      " --export " + aged.string());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string asset = ReadFile(aged);
  EXPECT_NE(asset.find("image/png"), std::string::npos);
  EXPECT_EQ(asset.find("image/jpeg"), std::string::npos) << "the export embeds the earlier run's JPEG masks";
  EXPECT_NE(run.out.find("\"maskSize\": 96"), std::string::npos) << run.out;
  // --size given: the export's textures too, as the summary lists them.
  const size_t exported = run.out.find("\"exportMaterials\"");
  ASSERT_NE(exported, std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"textureSize\": 96", exported), std::string::npos) << run.out;
  for (const char* name : {"mask_humidity00.png", "mask_dirt00.png", "mask_rust00.png"}) {
    const PngHeader header = ReadPngHeader(ReadFile(out / name));
    EXPECT_EQ(header.width, 96u) << name;
    EXPECT_EQ(header.height, 96u) << name;
    EXPECT_EQ(header.depth, 16) << name;
    EXPECT_EQ(header.colourType, 0) << name;  // grey
  }
  EXPECT_EQ(FileCount(out), 3);  // this run's masks, no temporary left behind
  ASSERT_TRUE(fs::is_directory(out / "earlier"));
  EXPECT_EQ(FileCount(fs::directory_iterator(out / "earlier")->path()), 3);  // the earlier run's

  run = Cli(kSphere + " --density 10 --tons 10 --size 10 --out " + out.string());
  EXPECT_NE(run.err.find("--size 10 is outside 64..8192; using 64"), std::string::npos) << run.err;
  EXPECT_EQ(Cli(kSphere + " --format gif").status, 2);
}

TEST_F(WeatherCommand, SaysWhatTheMasksCanMakeOfTheTextureCoordinates) {
  const fs::path out = folder / "out";
  const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
  CliResult run = Cli(Write("bare.obj", std::vector<uint8_t>(triangle.begin(), triangle.end())) + " --out " +
                      out.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("masks are baked in texture space, so the model needs texture coordinates"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(out));

  // All in the tile u 1..2: the masks cover that tile and come out as for the unit square.
  const std::string options = " --density 20 --tons 500 --threads 1 --seed 3 --out ";
  run = Cli(Write("tiled.obj", EditedSphere([](float& u, float&) { u += 1.0f; })) + options + (folder / "tiled").string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("lie in the tile u 1..2, v 0..1; the masks cover that tile"), std::string::npos) << run.err;
  ASSERT_EQ(Cli(kSphere + options + (folder / "plain").string()).status, 0);
  // The tile's coordinates are the unit square's moved by one, up to float rounding, which can
  // change the order splats are stamped in: the masks agree to well under a grey level.
  std::vector<float> tiled, plain;
  for (auto [name, samples] : {std::pair{"tiled", &tiled}, std::pair{"plain", &plain}}) {
    const fs::path dump = folder / (std::string(name) + ".f32");
    ASSERT_EQ(Shell(std::string(PATINEX_CLI) + " image " + MaskPath(folder / name, 1, 0) + " --dump " +
                    dump.string()).status, 0);
    const std::string bytes = ReadFile(dump);
    samples->resize(bytes.size() / sizeof(float));
    std::memcpy(samples->data(), bytes.data(), samples->size() * sizeof(float));
  }
  ASSERT_EQ(tiled.size(), plain.size());
  ASSERT_FALSE(tiled.empty());
  double difference = 0.0, ink = 0.0;
  for (size_t i = 0; i < tiled.size(); ++i) {
    difference += std::abs(double(tiled[i]) - plain[i]);
    ink += plain[i];
  }
  EXPECT_GT(ink, 0.0);  // the masks hold something to compare
  EXPECT_LT(difference / double(tiled.size()), 0.25 / 255.0) << "ink " << ink / double(tiled.size());

  // Across two tiles: the share of triangles outside the masks is told.
  run = Cli(Write("wide.obj", EditedSphere([](float& u, float&) { u *= 2.0f; })) + " --density 5 --tons 10 --out " +
            out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("% of the triangles"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("outside [0, 1] x [0, 1]"), std::string::npos) << run.err;

  // Folded in half: every chart lies on another one.
  run = Cli(Write("folded.obj", EditedSphere([](float& u, float&) { u = u > 0.5f ? 1.0f - u : u; })) +
            " --density 5 --tons 10 --out " + out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("the texture charts of material sphere overlap on"), std::string::npos) << run.err;
  run = Cli(kSphere + " --density 5 --tons 10 --out " + out.string());
  EXPECT_EQ(run.err.find("overlap on"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("outside [0, 1]"), std::string::npos) << run.err;
}

// Two quads, each its own material, both over the whole unit square of texture space: their
// charts overlap, which is no fault of either, so each gets masks of its own.
TEST_F(WeatherCommand, MaterialsWhoseChartsOverlapEachGetMasks) {
  const std::string mtl = "newmtl Roof\nKd 0.8 0.8 0.8\nnewmtl Floor\nKd 0.5 0.5 0.5\n";
  Write("two.mtl", std::vector<uint8_t>(mtl.begin(), mtl.end()));
  const std::string obj =
      "mtllib two.mtl\n"
      "v -2 0 -2\nv 2 0 -2\nv 2 0 2\nv -2 0 2\n"
      "v -1 -2 -1\nv 1 -2 -1\nv 1 -2 1\nv -1 -2 1\n"
      "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 1 0\nvn 0 -1 0\n"
      "usemtl Roof\nf 1/1/1 3/3/1 2/2/1\nf 1/1/1 4/4/1 3/3/1\n"
      "usemtl Floor\nf 5/1/2 6/2/2 7/3/2\nf 5/1/2 7/3/2 8/4/2\n";
  const fs::path out = folder / "two";
  CliResult run = Cli(Write("two.obj", std::vector<uint8_t>(obj.begin(), obj.end())) +
                      " --density 20 --tons 300 --threads 1 --out " + out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("overlap on"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("2 mask spaces"), std::string::npos) << run.err;
  std::string summary = run.out;
  summary.erase(std::remove_if(summary.begin(), summary.end(), [](char c) { return c == ' ' || c == '\n'; }),
                summary.end());
  EXPECT_NE(summary.find("\"maskSpaceMaterials\":[[\"Roof\"],[\"Floor\"]]"), std::string::npos) << run.out;
  EXPECT_NE(summary.find("\"masksSaved\":6,"), std::string::npos) << run.out;
  for (const char* name : {"mask_humidity00", "mask_dirt00", "mask_rust00"}) {
    EXPECT_TRUE(fs::exists(out / (std::string(name) + ".jpg"))) << name;
    EXPECT_TRUE(fs::exists(out / (std::string(name) + "_space1.jpg"))) << name;
  }
  const std::string record = ReadFile(out / "patinex_run.json");
  EXPECT_NE(record.find("\"maskSpaces\": 2"), std::string::npos) << record;

  // A record of another number of spaces is another history, whose masks the export refuses.
  std::string edited = record;
  edited.replace(edited.find("\"maskSpaces\": 2"), 15, "\"maskSpaces\": 1");
  std::ofstream(out / "patinex_run.json", std::ios::binary) << edited;
  run = Shell(std::string(PATINEX_CLI) + " export " + (folder / "two.obj").string() + " --masks " + out.string() +
              " --out " + (folder / "two.glb").string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("they are masks in 1 mask space, not 2"), std::string::npos) << run.err;
}

TEST_F(WeatherCommand, InstalledOrAloneTheProgramStillBakes) {
  const fs::path prefix = folder / "prefix", work = folder / "work";
  fs::create_directories(work);
  CliResult run = Shell(std::string(PATINEX_CMAKE) + " --install " + PATINEX_BINARY_DIR + " --prefix " +
                        prefix.string());
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path installed = prefix / "bin" / "patinex-cli", media = prefix / "share" / "patinex" / "media";
  ASSERT_TRUE(fs::exists(installed));
  ASSERT_TRUE(fs::exists(media / "SPLAT.png"));
  ASSERT_TRUE(fs::exists(media / "bunny.obj"));
  const std::string weather = "cd " + work.string() + " && " + installed.string() + " weather " +
                              (media / "sphere.obj").string() + " --density 10 --tons 100 --out masks";
  run = Shell(weather);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(MaskPath(work / "masks", 2, 0)));
  // It is the installed splat that the program finds.
  std::ofstream(media / "SPLAT.png") << "not a png";
  run = Shell(weather);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find((media / "SPLAT.png").string()), std::string::npos) << run.err;

  // A lone copy of the program, with no media/ anywhere above it, bakes with its built-in splat.
  fs::create_directories(work / "alone");
  fs::copy_file(PATINEX_CLI, work / "alone" / "patinex-cli");
  run = Shell("cd " + work.string() + " && alone/patinex-cli weather " + kSphere +
              " --density 10 --tons 100 --out lone");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(MaskPath(work / "lone", 2, 0)));
}

TEST_F(WeatherCommand, NumbersOutOfRangeAreClampedWithANote) {
  const fs::path out = folder / "made" / "on" / "demand";
  CliResult run = Cli(kSphere + " --density 0 --steps -3 --tons 0 --threads 0 --out " + out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("--density 0 is outside 1..500; using 1"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("--steps -3 is outside 1..1000; using 1"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("--tons 0 is outside 1..1000000; using 1"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("--threads 0 is outside"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("\"tonsPerStep\": 1,"), std::string::npos) << run.out;
  EXPECT_EQ(FileCount(out), 3);

  run = Cli(kSphere + " --tons 99999999999999999999 --steps 1 --density 5 --out " + out.string());
  EXPECT_NE(run.err.find("using 1000000"), std::string::npos) << run.err;
}

TEST_F(WeatherCommand, BadInputFailsClearlyAndWritesNothing) {
  const fs::path out = folder / "out";
  CliResult run = Cli((folder / "missing.obj").string() + " --out " + out.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot open"), std::string::npos) << run.err;

  const std::string points = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  run = Cli(Write("points.obj", std::vector<uint8_t>(points.begin(), points.end())) + " --out " + out.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("has no triangles"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(out));

  // An export that cannot be written (its folder would be inside a file) is refused before the
  // run writes anything.
  const std::string blocked = Write("blocker", {'x'}) + "/aged.glb";
  run = Cli(kSphere + " --out " + out.string() + " --export " + blocked);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot write the export " + blocked), std::string::npos) << run.err;
  fs::create_directories(folder / "taken.glb");
  run = Cli(kSphere + " --out " + out.string() + " --export " + (folder / "taken.glb").string());
  EXPECT_NE(run.err.find("taken.glb: it is a folder"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(out));

  Write("afile", {'x'});
  run = Cli(kSphere + " --out " + (folder / "afile").string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("afile"), std::string::npos) << run.err;
  run = Cli(kSphere + " --out /proc/patinex-masks");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("/proc/patinex-masks"), std::string::npos) << run.err;

  EXPECT_EQ(Cli(kSphere + " --tons many").status, 2);
  EXPECT_EQ(Cli(kSphere + " --steps").status, 2);
  EXPECT_EQ(Cli(kSphere + " --colour red").status, 2);
  EXPECT_EQ(Cli("").status, 2);
}

TEST_F(WeatherCommand, CtrlCStopsTheRunKeepsFinishedStepsAndExitsWith130) {
  const fs::path out = folder / "out";
  const pid_t child = Start({kSphere, "--density", "30", "--steps", "1000", "--tons", "20000", "--threads", "1",
                             "--out", out.string()});
  ASSERT_GT(child, 0);
  // Interrupt once the first step's masks are on disk.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!fs::exists(MaskPath(out, 2, 0)) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(child, SIGINT);
  const CliResult run = Finish(child);
  EXPECT_EQ(run.status, 130);
  EXPECT_NE(run.err.find("interrupted after"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("are saved in " + out.string()), std::string::npos) << run.err;
  // Every step that finished left its three masks, whole; nothing else is in the folder.
  const int files = FileCount(out);
  EXPECT_GE(files, 3);
  EXPECT_EQ(files % 3, 0);
  for (int step = 0; step < files / 3; ++step) {
    for (int channel = 0; channel < 3; ++channel) EXPECT_TRUE(fs::exists(MaskPath(out, channel, step)));
  }
  EXPECT_LT(files, 3000);
}

// SIGTERM during the export after the last step stops it within moments: the steps stay, no
// export is left, and the exit status is the signal's.
TEST_F(WeatherCommand, SigtermDuringTheExportStopsItAndLeavesNoExport) {
  const fs::path out = folder / "out";
  const fs::path aged = folder / "aged.glb";
  const pid_t child = Start({kSphere, "--density", "10", "--tons", "50", "--size", "4096", "--out", out.string(),
                             "--export", aged.string()});
  ASSERT_GT(child, 0);
  // The export starts once the only step's three masks are saved.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!(fs::exists(MaskPath(out, 0, 0)) && fs::exists(MaskPath(out, 1, 0)) && fs::exists(MaskPath(out, 2, 0))) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  kill(child, SIGTERM);
  const CliResult run = Finish(child);
  EXPECT_EQ(run.status, 143) << run.err;
  EXPECT_NE(run.out.find("\"interrupted\": true"), std::string::npos) << run.out;
  EXPECT_EQ(FileCount(out), 3);
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().filename().string().find("aged"), std::string::npos) << "left behind: " << entry.path();
  }
}

// A JPEG from its start to its end marker, or a PNG from its signature to its end chunk.
bool WholeImage(const std::string& bytes) {
  const bool jpeg = bytes.size() > 4 && bytes.compare(0, 2, "\xFF\xD8") == 0 &&
                    bytes.compare(bytes.size() - 2, 2, "\xFF\xD9") == 0;
  const bool png = bytes.size() > 20 && bytes.compare(1, 3, "PNG") == 0 &&
                   bytes.compare(bytes.size() - 8, 4, "IEND") == 0;
  return jpeg || png;
}

// Whether a mask file of the run is open for writing (unnamed, or under a hidden name), seen
// twice a few milliseconds apart: the folder's brief write test is not a mask.
bool WritingAMask(pid_t child, const fs::path& out) {
  auto open = [&] {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(child) + "/fd", error)) {
      const std::string target = fs::read_symlink(entry.path(), error).string();
      if (target.rfind(out.string() + "/", 0) == 0 && target.find(".patinex.lock") == std::string::npos) return true;
    }
    return false;
  };
  if (!open()) return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return open();
}

// Every mask in the folder is whole, and nothing else is there but the hidden file allowed and
// the run record and the session, whole too.
void ExpectOnlyWholeMasks(const fs::path& out, const std::string& allowedHidden = "") {
  if (!fs::exists(out)) return;
  for (const auto& entry : fs::directory_iterator(out)) {
    const std::string name = entry.path().filename().string();
    if (name[0] == '.') {
      EXPECT_EQ(name, allowedHidden) << "left behind: " << name;
      continue;
    }
    if (name == "patinex_run.json") {
      const std::string record = ReadFile(entry.path());
      EXPECT_TRUE(record.rfind("{", 0) == 0 && record.size() > 3 && record.compare(record.size() - 2, 2, "}\n") == 0)
          << "the run record is not whole:\n" << record;
      continue;
    }
    if (name == "patinex_session.bin") {
      // Whole: as long as its header (magic, version, payload length) says, with its checksum.
      const std::string session = ReadFile(entry.path());
      uint64_t payload = 0;
      ASSERT_GE(session.size(), 20u);
      std::memcpy(&payload, session.data() + 12, sizeof payload);
      EXPECT_EQ(session.compare(0, 7, "PTXSESS"), 0);
      EXPECT_EQ(session.size(), 20 + payload + 4) << "the session is not whole";
      continue;
    }
    EXPECT_EQ(name.rfind("mask_", 0), 0u) << name;
    EXPECT_TRUE(WholeImage(ReadFile(entry.path()))) << name << " is not a whole mask";
  }
}

class WeatherSignals : public WeatherCommand {
protected:
  // A run of three steps, signalled while its first step's masks are being written.
  CliResult SignalWhileWriting(const std::vector<int>& signals, const std::vector<std::string>& options = {}) {
    fs::remove_all(out);
    std::vector<std::string> arguments = {kSphere, "--density", "30", "--tons", "200", "--steps", "3", "--out",
                                          out.string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const pid_t child = Start(arguments);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!WritingAMask(child, out) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    signalled = std::chrono::steady_clock::now();
    for (int signal : signals) kill(child, signal);
    return Finish(child);
  }
  // The first step saved all its masks or none of them.
  void ExpectNoPartStep() {
    const int saved = fs::exists(MaskPath(out, 0, 0)) + fs::exists(MaskPath(out, 1, 0)) + fs::exists(MaskPath(out, 2, 0));
    EXPECT_TRUE(saved == 0 || saved == 3) << saved;
    ExpectOnlyWholeMasks(out);
  }

  const fs::path out = folder / "out";
  std::chrono::steady_clock::time_point signalled;
};

TEST_F(WeatherSignals, TermAndHangUpStopTheRunAsCtrlCDoesWithinMoments) {
  // Ctrl+C while a slow 16-bit mask is written: the bake stops at once, and its step saves nothing.
  CliResult run = SignalWhileWriting({SIGINT}, {"--size", "2048", "--format", "png"});
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(2));
  EXPECT_EQ(run.status, 130) << run.err;
  EXPECT_FALSE(fs::exists(out / "mask_dirt00.png"));
  ExpectNoPartStep();

  for (auto [signal, status, name] : {std::tuple{SIGTERM, 143, "SIGTERM"}, std::tuple{SIGHUP, 129, "SIGHUP"}}) {
    run = SignalWhileWriting({signal}, {"--size", "2048"});
    EXPECT_EQ(run.status, status) << name << ": " << run.err;
    EXPECT_NE(run.err.find(std::string("interrupted by ") + name), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("\"interrupted\": true"), std::string::npos) << run.out;
    ExpectNoPartStep();
  }
}

TEST_F(WeatherSignals, QuittingAtOnceOrBeingKilledLeavesOnlyWholeMasks) {
  // A second signal, "again to quit at once", ends it by a signal and takes the lock file with
  // it. Sent back to back, the two may be handled at the same moment on two threads: whichever
  // records itself first is the request to stop, and the other ends the program.
  CliResult run = SignalWhileWriting({SIGINT, SIGTERM}, {"--size", "2048"});
  EXPECT_TRUE(run.signal == SIGTERM || run.signal == SIGINT) << run.signal << ", " << run.status << ": " << run.err;
  ExpectNoPartStep();

  // SIGKILL cannot be caught: it leaves the lock file (which locks nothing once its process is
  // gone) and, under a mask's name, nothing but whole masks.
  run = SignalWhileWriting({SIGKILL}, {"--size", "2048"});
  EXPECT_EQ(run.signal, SIGKILL);
  ExpectOnlyWholeMasks(out, ".patinex.lock");
  run = Cli(kSphere + " --density 10 --tons 10 --out " + out.string());
  EXPECT_EQ(run.status, 0) << run.err;
  ExpectOnlyWholeMasks(out);

  // A signal while the model is read or sampled ends the run as one during the steps does.
  fs::remove_all(out);
  const pid_t child = Start({kBeethoven, "--density", "500", "--out", out.string()});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(child, SIGINT);
  run = Finish(child);
  EXPECT_EQ(run.status, 130) << run.err;
  EXPECT_NE(run.err.find("interrupted before the first step was finished"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("\"stepsCompleted\": 0"), std::string::npos) << run.out;

  // One once the last step is done stops nothing: the run is complete.
  fs::remove_all(out);
  const pid_t finishing = Start({kSphere, "--density", "10", "--tons", "10", "--out", out.string()});
  const fs::path err = folder / "child_stderr.txt";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ReadFile(err).find("step 1 of 1") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(finishing, SIGINT);
  run = Finish(finishing);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("interrupted"), std::string::npos) << run.err;
}

TEST_F(WeatherCommand, UnderAMemoryLimitARunIsRefusedOrFailsCleanly) {
  const fs::path out = folder / "out";
  // Three 8192 x 8192 16-bit masks cannot fit in 2.5 GB of address space: refused at once.
  const auto start = std::chrono::steady_clock::now();
  CliResult run = Finish(Start({kSphere, "--size", "8192", "--format", "png", "--out", out.string()}, 2500000000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(run.status, 1) << run.signal << ": " << run.err;
  EXPECT_NE(run.err.find("not enough memory: this needs about"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("address-space limit"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_empty(out));

  // Told to try all the same, under limits that run out at every stage from loading to writing
  // the masks: never a crash, only whole masks, and a reason whenever it fails.
  int failures = 0;
  for (rlim_t megabytes : {40, 70, 100, 130, 160, 200, 240}) {
    fs::remove_all(out);
    run = Finish(Start({kSphere, "--density", "10", "--tons", "100", "--size", "2048", "--no-memory-check", "--out",
                        out.string()},
                       megabytes * 1000000));
    EXPECT_TRUE(run.status == 0 || run.status == 1) << megabytes << " MB: signal " << run.signal << ": " << run.err;
    if (run.status == 1) {
      ++failures;
      EXPECT_NE(run.err.find("memory"), std::string::npos) << megabytes << " MB: " << run.err;
    }
    ExpectOnlyWholeMasks(out);
  }
  EXPECT_GT(failures, 0);
}

TEST_F(WeatherCommand, TwoRunsIntoOneFolderDoNotMix) {
  const fs::path out = folder / "out";
  const pid_t first = Start({kSphere, "--density", "30", "--tons", "1000000", "--steps", "5", "--out", out.string()});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!fs::exists(out / ".patinex.lock") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  CliResult second = Cli(kSphere + " --density 10 --tons 10 --out " + out.string());
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find(out.string() + " is in use by another weathering run (process " + std::to_string(first)),
            std::string::npos)
      << second.err;

  // Told to wait, a run starts once the first has ended.
  std::thread stopFirst([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(first, SIGINT);
  });
  second = Cli(kSphere + " --density 10 --tons 10 --wait --out " + out.string());
  stopFirst.join();
  EXPECT_EQ(Finish(first).status, 130);
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_NE(second.err.find("waiting for process " + std::to_string(first)), std::string::npos) << second.err;
  EXPECT_EQ(FileCount(out), 3);
}

TEST_F(WeatherCommand, FailuresNameTheirRealCause) {
  const fs::path out = folder / "out";
  // Every triangle outside the masks: nothing could be baked.
  CliResult run = Cli(Write("far.obj", EditedSphere([](float& u, float& v) {
                              u = u * 2.0f + 3.0f;
                              v += 5.0f * u;
                            })) +
                      " --density 5 --tons 10 --out " + out.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no triangle of"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("has texture coordinates inside [0, 1] x [0, 1]"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(out));

  // Texture coordinates that are all one point are not missing ones.
  run = Cli(Write("alike.obj", EditedSphere([](float& u, float& v) { u = v = 0.25f; })) + " --out " + out.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("are the same point (0.25, 0.25)"), std::string::npos) << run.err;

  // A position that is not a number is named as such, not as a model too thin to sample.
  std::string text = "v 0 0 0\nv nan 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n";
  run = Cli(Write("nan.obj", std::vector<uint8_t>(text.begin(), text.end())) + " --out " + out.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("1 of 3 positions are not finite"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("too thin"), std::string::npos) << run.err;

  // The faces the loader drops are told, as the obj command lists them.
  std::vector<uint8_t> broken = ReadFileBytes(kSphere);
  text = "f 1/1 99999/1 2/2\n";
  broken.insert(broken.end(), text.begin(), text.end());
  run = Cli(Write("broken.obj", broken) + " --density 5 --tons 10 --out " + out.string());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("warning: " + (folder / "broken.obj").string() + ": bad face at line"), std::string::npos)
      << run.err;

  // A dangling link as the folder says where it points.
  fs::create_symlink(folder / "gone", folder / "link");
  run = Cli(kSphere + " --out " + (folder / "link").string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("is a symbolic link to " + (folder / "gone").string() + ", which does not exist"),
            std::string::npos)
      << run.err;
}

}  // namespace
