#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "tests/tools/cli_fixture.h"

namespace {

const std::string kSphere = std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj";
// No run here needs more; a program that reads without bound fails fast under it instead of
// taking the machine's memory.
constexpr rlim_t kAddressSpace = 1500000000;

// Runs commands the way a user with hostile files would, each with a memory limit and a time
// limit (a command still running after it is killed and reported as signal 9).
class HostileInput : public CliFixture {
protected:
  HostileInput() : CliFixture("obj") {}

  CliResult Run(const std::string& name, std::vector<std::string> arguments) {
    command = name;
    const pid_t child = Start(arguments, kAddressSpace);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) kill(child, SIGKILL);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    CliResult run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(folder / "child_stdout.txt"),
                  ReadFile(folder / "child_stderr.txt"), WIFSIGNALED(status) ? WTERMSIG(status) : 0};
    return run;
  }
  std::string Text(const std::string& name, const std::string& text) {
    return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
  }
  // uint32 count, then the points as float32, as knn reads them.
  std::string Points(const std::string& name, const std::vector<float>& coordinates) {
    std::vector<uint8_t> bytes(4 + 4 * coordinates.size());
    const uint32_t count = uint32_t(coordinates.size() / 3);
    std::memcpy(bytes.data(), &count, 4);
    std::memcpy(bytes.data() + 4, coordinates.data(), 4 * coordinates.size());
    return Write(name, bytes);
  }
};

const char* const kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\n";

TEST_F(HostileInput, DevicesAndFifosAreRefusedUnread) {
  const std::string fifo = (folder / "model.obj").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string out = (folder / "out.bin").string();
  const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
      {"obj", {"/dev/zero"}},
      {"obj", {fifo}},  // nobody will ever write into it
      {"weather", {fifo, "--out", (folder / "masks").string()}},
      {"sample", {"/dev/zero"}},
      {"rays", {kSphere, "/dev/zero", out}},
      {"knn", {"/dev/zero", "/dev/zero", "3", "1", out}},
  };
  for (const auto& [name, arguments] : runs) {
    const CliResult run = Run(name, arguments);
    EXPECT_EQ(run.status, 1) << name << " " << arguments[0] << ": signal " << run.signal << ": " << run.err;
    EXPECT_NE(run.err.find("is not a regular file (it is a "), std::string::npos) << run.err;
  }

  // A library or a texture that is a device is refused as well; the model still loads.
  std::filesystem::create_symlink("/dev/zero", folder / "zero.mtl");
  std::filesystem::create_symlink("/dev/zero", folder / "zero.jpg");
  Text("textured.mtl", "newmtl stone\nmap_Kd zero.jpg\n");
  CliResult run = Run("obj", {Text("zero.obj", std::string("mtllib zero.mtl\n") + kTriangle + "f 1/1 2/2 3/3\n")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("zero.mtl is not a regular file (it is a character device)"), std::string::npos) << run.out;
  run = Run("obj", {Text("textured.obj", std::string("mtllib textured.mtl\nusemtl stone\n") + kTriangle +
                                             "f 1/1 2/2 3/3\n")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Unable to load zero.jpg"), std::string::npos) << run.out;

  // Commands that draw nothing do not even open the textures (a FIFO would keep them waiting).
  ASSERT_EQ(mkfifo((folder / "fifo.jpg").c_str(), 0600), 0);
  Text("waiting.mtl", "newmtl stone\nmap_Kd fifo.jpg\n");
  const std::string waiting =
      Text("waiting.obj", std::string("mtllib waiting.mtl\nusemtl stone\n") + kTriangle + "f 1/1 2/2 3/3\n");
  run = Run("weather", {waiting, "--density", "5", "--tons", "10", "--out", (folder / "masks").string()});
  EXPECT_EQ(run.status, 0) << "signal " << run.signal << ": " << run.err;
  EXPECT_EQ(run.err.find("fifo.jpg"), std::string::npos) << run.err;
}

TEST_F(HostileInput, PositionsMustBeFiniteAndWithinReason) {
  const std::string out = (folder / "out.bin").string();
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const std::string good = Points("good.bin", {0, 0, 0, 1, 1, 1});
  for (const std::vector<float>& bad : {std::vector<float>{0, 0, 0, nan, 1, 2}, std::vector<float>{inf, 0, 0},
                                        std::vector<float>{3e38f, 0, 0, -3e38f, 1, 1}}) {
    const std::string points = Points("bad.bin", bad);
    for (const auto& [first, second] : {std::pair{points, good}, std::pair{good, points}}) {
      const CliResult run = Run("knn", {first, second, "3", "1", out});
      EXPECT_EQ(run.status, 1) << "signal " << run.signal << ": " << run.err;
      EXPECT_NE(run.err.find("positions are not finite or lie farther than 1e+15 from the origin"), std::string::npos)
          << run.err;
    }
    // As segment ends for rays.
    std::vector<float> segment = {0, 0, 0, 0, 0, 0};
    std::copy(bad.end() - 3, bad.end(), segment.begin() + 3);
    std::vector<uint8_t> bytes(24);
    std::memcpy(bytes.data(), segment.data(), 24);
    const CliResult run = Run("rays", {kSphere, Write("segments.bin", bytes), out});
    EXPECT_EQ(run.status, 1) << "signal " << run.signal << ": " << run.err;
    EXPECT_NE(run.err.find("the segment ends in"), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(out));

  // And as the vertices of a model, in every command that takes one.
  const std::string model = Text("far.obj", std::string(kTriangle) + "v 1e30 0 0\nf 1/1 2/2 4/3\n");
  for (const std::string name : {"obj", "sample", "weather"}) {
    const CliResult run = Run(name, {model});
    EXPECT_EQ(run.status, 1) << name << ": signal " << run.signal << ": " << run.err;
    EXPECT_NE(run.err.find("1 of 3 positions are not finite or lie farther"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("(1e+30, 0, 0)"), std::string::npos) << run.err;
  }
}

TEST_F(HostileInput, AbsolutePathsInALibraryAreHonoured) {
  // A 1 x 1 Targa, named by its full path, in a library named by its full path.
  for (const char* sub : {"pictures", "library", "models"}) std::filesystem::create_directories(folder / sub);
  Write("pictures/red.tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 0, 0, 255});
  Text("library/stone.mtl", "newmtl stone\nmap_Kd " + (folder / "pictures/red.tga").string() + "\n");
  const CliResult run = Run("obj", {Text("models/stone.obj", "mtllib " + (folder / "library/stone.mtl").string() +
                                                                 "\nusemtl stone\n" + kTriangle + "f 1/1 2/2 3/3\n")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"diffuseMap\": {\n        \"present\": true"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("file not found"), std::string::npos) << run.out;
}

TEST_F(HostileInput, ACutShortRadianceImageIsRefused) {
  // A 64 x 64 header over 100 pixels.
  std::string text = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 64 +X 64\n";
  text.append(400, '\x40');
  const CliResult run = Run("image", {Text("short.hdr", text)});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("is cut short"), std::string::npos) << run.err;
}

TEST_F(HostileInput, OutputThatCannotBeWrittenIsAFailure) {
  const std::string masks = (folder / "masks").string();
  for (const std::string& line : {std::string(PATINEX_CLI) + " obj " + kSphere,
                                  std::string(PATINEX_CLI) + " weather " + kSphere + " --density 5 --tons 10 --out " + masks,
                                  std::string(PATINEX_CLI) + " obj --help", std::string(PATINEX_CLI) + " --help",
                                  std::string(PATINEX_CLI) + " help model"}) {
    const CliResult run = Shell(line + " >/dev/full");
    EXPECT_EQ(run.status, 1) << line << ": " << run.err;
    EXPECT_NE(run.err.find("cannot write the output: No space left on device"), std::string::npos) << run.err;
  }
}

}  // namespace
