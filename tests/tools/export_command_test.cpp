#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#include "tests/tools/cli_fixture.h"

namespace {

const std::string kSource = PATINEX_SOURCE_DIR;
const std::string kSphere = kSource + "/media/sphere.obj";
const std::string kValidator = kSource + "/tools/gltf_validator/validate.mjs";

class ExportCommand : public CliFixture {
protected:
  ExportCommand() : CliFixture("export") {}

  // A short run's masks, once per test, in masks/.
  void WeatherSphere(const std::string& extra = "") {
    CliResult run = Shell(std::string(PATINEX_CLI) + " weather " + kSphere +
                          " --density 20 --tons 1500 --steps 2 --threads 1 --out " + (folder / "masks").string() +
                          extra);
    ASSERT_EQ(run.status, 0) << run.err;
  }

  // The sphere with a painted material of its own: an MTL diffuse map.
  std::string PaintedSphere() {
    std::string obj = ReadFile(kSphere);
    obj.replace(obj.find("mtllib sphere.mtl"), 17, "mtllib painted.mtl");
    obj.replace(obj.find("usemtl sphere"), 13, "usemtl painted");
    fs::copy_file(kSource + "/media/tex_patina.jpg", folder / "paint.jpg");
    const std::string mtl = "newmtl painted\nKd 1 1 1\nNs 20\nmap_Kd paint.jpg\n";
    Write("painted.mtl", std::vector<uint8_t>(mtl.begin(), mtl.end()));
    return Write("painted.obj", std::vector<uint8_t>(obj.begin(), obj.end()));
  }
};

// Every kind of file we write passes the Khronos validator with no error and no warning: a .glb
// from weather --export, a .gltf with its companions, a textured source, a size that is not a
// power of two; looks other than bronze, the one weather --look chose kept for a later export.
TEST_F(ExportCommand, TheValidatorFindsNoErrorOrWarningInAnythingWeWrite) {
  ASSERT_TRUE(fs::exists(kSource + "/tools/gltf_validator/node_modules/gltf-validator"))
      << "the glTF validator is not installed: run tools/install_dependencies.sh";
  WeatherSphere(" --look stone --export " + (folder / "weathered.glb").string());
  const std::string masks = " --masks " + (folder / "masks").string();
  CliResult run = Cli(kSphere + masks + " --step 1 --out " + (folder / "sphere.gltf").string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"step\": 1"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"look\": \"stone\""), std::string::npos) << "the run record's look\n" << run.out;
  run = Cli(PaintedSphere() + masks + " --size 100 --rust-factor 0.5 --look iron --out " +
            (folder / "painted.glb").string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"step\": 2"), std::string::npos) << "the highest step by default\n" << run.out;
  EXPECT_NE(run.out.find("\"look\": \"iron\""), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(folder / "sphere_sphere_baseColor.png") && fs::exists(folder / "sphere.bin"));

  const CliResult validation = Shell("node " + kValidator + " " + (folder / "weathered.glb").string() + " " +
                                     (folder / "sphere.gltf").string() + " " + (folder / "painted.glb").string());
  EXPECT_EQ(validation.status, 0) << validation.out << validation.err;
  size_t clean = 0;
  for (size_t at = 0; (at = validation.out.find(": 0 errors, 0 warnings", at)) != std::string::npos; ++at) ++clean;
  EXPECT_EQ(clean, 3u) << validation.out;
}

TEST_F(ExportCommand, BadCommandLinesAndFailedExportsSayWhyAndLeaveNoFile) {
  EXPECT_EQ(Cli(kSphere + " --out a.glb").status, 2);
  CliResult unreadable = Cli(kSphere + " --masks m --out a.glb --size big");
  EXPECT_EQ(unreadable.status, 2);
  EXPECT_NE(unreadable.err.find("--size takes a whole number from 64 to 8192, not 'big'"), std::string::npos)
      << unreadable.err;
  // Numbers outside their range are clamped with a note, as every command does; the missing
  // masks are what fails here.
  CliResult clamped = Cli(kSphere + " --masks m --out a.glb --size 10 --rust-factor 2");
  EXPECT_EQ(clamped.status, 1);
  EXPECT_NE(clamped.err.find("--size 10 is outside 64..8192; using 64"), std::string::npos) << clamped.err;
  EXPECT_NE(clamped.err.find("--rust-factor 2 is outside 0..1; using 1"), std::string::npos) << clamped.err;

  CliResult run = Cli(kSphere + " --masks " + (folder / "none").string() + " --out " + (folder / "a.glb").string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot read the mask folder"), std::string::npos) << run.err;

  // A missing folder is made; one that is a file cannot be.
  WeatherSphere();
  const std::string file = Write("file", {'x'});
  const std::string target = file + "/sphere.glb";
  run = Cli(kSphere + " --masks " + (folder / "masks").string() + " --out " + target);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(target), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(file), "x");

  run = Shell(std::string(PATINEX_CLI) + " weather " + kSphere + " --export out.obj");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--export takes a .glb or .gltf file name"), std::string::npos) << run.err;
  // A look that cannot be found is said before any run, and before any export.
  run = Shell(std::string(PATINEX_CLI) + " weather " + kSphere + " --look nosuch --out " + (folder / "x").string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no look is named nosuch"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(folder / "x" / "patinex_run.json"));
}

// The files in a folder, hidden ones included, with their bytes.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().filename().string()] = ReadFile(entry.path());
  }
  return files;
}

// A re-export that runs out of room (a file-size limit stands in for a full disk) leaves the
// earlier .gltf and every file it names as they were, and no temporary file.
TEST_F(ExportCommand, AReExportThatFailsOnAFullDiskLeavesTheEarlierSetWhole) {
  WeatherSphere();
  const fs::path out = folder / "asset";
  fs::create_directories(out);
  const std::string masks = " --masks " + (folder / "masks").string();
  CliResult run = Cli(kSphere + masks + " --step 1 --size 64 --out " + (out / "sphere.gltf").string());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::map<std::string, std::string> before = Contents(out);
  ASSERT_EQ(before.size(), 8u);
  // Room for the buffer (the first file written) but not for a 1024 x 1024 texture; dash counts
  // 512-byte blocks, bash 1024, and either is far below the texture.
  const size_t blocks = before.at("sphere.bin").size() / 512 + 8;
  run = Shell("trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; " + PATINEX_CLI + " export " + kSphere + masks +
              " --step 2 --size 1024 --out " + (out / "sphere.gltf").string());
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
  EXPECT_TRUE(Contents(out) == before) << "the earlier export was changed";
}

// A signal while a re-export's files are being written (held up here by a companion that is a
// FIFO, drained only after the signal) stops the export with the earlier export's files as they
// were: none of the new ones was put in place, no temporary file is left, and the JSON
// document says why.
TEST_F(ExportCommand, ASignalDuringAReExportLeavesTheEarlierSetAsItWas) {
  WeatherSphere();
  const fs::path out = folder / "asset";
  fs::create_directories(out);
  const std::string masks = (folder / "masks").string();
  ASSERT_EQ(Cli(kSphere + " --masks " + masks + " --step 1 --size 64 --out " + (out / "sphere.gltf").string()).status, 0);
  const fs::path fifo = out / "sphere_sphere_normal.png";  // written after the .bin, the masks and two textures
  fs::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const std::map<std::string, std::string> before = Contents(out);
  const pid_t child = Start({kSphere, "--masks", masks, "--step", "2", "--size", "512", "--out", (out / "sphere.gltf").string()});
  ASSERT_GT(child, 0);
  // The pipe fills (64 KiB) and the writer waits on it, the other companions written by then.
  int pending = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while ((ioctl(reader, FIONREAD, &pending) != 0 || pending < 65536) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_GE(pending, 65536) << "the export never wrote into the FIFO";
  kill(child, SIGTERM);
  // The write under way goes on to its end (the pipe drained); the export stops before it puts
  // anything in place, says so and ends with 128 + the signal.
  std::thread drain([reader] {
    char bytes[65536];
    for (;;) {
      const ssize_t got = read(reader, bytes, sizeof(bytes));
      if (got == 0) break;
      if (got < 0 && errno != EAGAIN) break;
      if (got < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const CliResult run = Finish(child);
  drain.join();
  close(reader);
  EXPECT_EQ(run.status, 143) << run.err;
  EXPECT_NE(run.out.find("\"error\": \"interrupted by SIGTERM: no export was written\""), std::string::npos) << run.out;
  EXPECT_TRUE(Contents(out) == before) << "the earlier export was changed, or a temporary file was left";
}

// A run into a folder that holds another history moves it aside, and an export takes only masks
// that are one history of its model: not another model's, not a step left by another run, and
// in a folder without a record only masks of one size.
TEST_F(ExportCommand, TakesOnlyMasksThatAreOneHistoryOfTheModel) {
  WeatherSphere();
  const fs::path masks = folder / "masks";
  const std::string bunny = kSource + "/media/bunny.obj";
  CliResult run = Shell(std::string(PATINEX_CLI) + " weather " + bunny + " --density 20 --tons 500 --size 256 --out " +
                        masks.string());
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(fs::is_directory(masks / "earlier"));
  const fs::path earlier = fs::directory_iterator(masks / "earlier")->path();
  EXPECT_NE(run.err.find("moved to " + earlier.string()), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("\"earlierMasksMovedTo\": \"" + earlier.string() + "\""), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(earlier / "mask_rust01.jpg") && fs::exists(earlier / "patinex_run.json"));
  EXPECT_FALSE(fs::exists(masks / "mask_rust01.jpg"));

  const std::string out = " --out " + (folder / "aged.glb").string();
  run = Cli(kSphere + " --masks " + masks.string() + out);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the masks in " + masks.string() + " are not one history of this model: its run record says "
                         "they are masks of another model (bunny.obj"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Cli(bunny + " --masks " + masks.string() + out).status, 0);

  // The sphere's step 1 put back beside the bunny's step 0, as runs without records left them.
  for (const char* name : {"mask_humidity01.jpg", "mask_dirt01.jpg", "mask_rust01.jpg"}) {
    fs::copy_file(earlier / name, masks / name);
  }
  run = Cli(bunny + " --masks " + masks.string() + " --step 1" + out);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("mask_dirt01.jpg is not a step its run record lists (no step 2)"), std::string::npos) << run.err;

  // Without a record the sizes decide: 256 and 1024 do not mix; one size passes with a warning.
  fs::remove(masks / "patinex_run.json");
  run = Cli(bunny + " --masks " + masks.string() + out);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("its masks are of different sizes"), std::string::npos) << run.err;
  run = Cli(kSphere + " --masks " + earlier.string() + out.substr(0, out.size() - 4) + "2.glb");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("warning"), std::string::npos) << "the earlier history kept its record\n" << run.err;
  fs::remove(earlier / "patinex_run.json");
  run = Cli(kSphere + " --masks " + earlier.string() + out);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("warning: " + earlier.string() + " has no run record"), std::string::npos) << run.err;
}

// Texture coordinates reaching outside the unit square are warned about, as weather warns: those
// triangles fall (partly) outside the masks and the baked textures.
TEST_F(ExportCommand, WarnsOfTextureCoordinatesOutsideTheMasks) {
  std::string wide;
  std::istringstream sphere(ReadFile(kSphere));
  for (std::string line; std::getline(sphere, line);) {
    float u = 0.0f, v = 0.0f;
    if (std::sscanf(line.c_str(), "vt %f %f", &u, &v) == 2) line = "vt " + std::to_string(2.0f * u) + " " + std::to_string(v);
    wide += line + "\n";
  }
  const std::string model = Write("wide.obj", std::vector<uint8_t>(wide.begin(), wide.end()));
  const fs::path masks = folder / "masks";
  ASSERT_EQ(Shell(std::string(PATINEX_CLI) + " weather " + model + " --density 5 --tons 10 --size 64 --out " +
                  masks.string()).status, 0);
  CliResult run = Cli(model + " --masks " + masks.string() + " --size 64 --out " + (folder / "wide.glb").string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("patinex-cli export: warning: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("% of the triangles of " + model + " have texture coordinates outside [0, 1] x [0, 1]"),
            std::string::npos)
      << run.err;
  run = Cli(kSphere + " --masks " + masks.string() + " --size 64 --out " + (folder / "plain.glb").string());
  EXPECT_EQ(run.err.find("outside [0, 1]"), std::string::npos) << run.err;
}

}  // namespace
