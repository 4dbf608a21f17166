#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/tools/cli_fixture.h"

namespace {

const std::string kSphere = std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj";
const char* const kMaskNames[] = {"mask_humidity", "mask_dirt", "mask_rust"};

class WeatherCommand : public CliFixture {
protected:
  WeatherCommand() : CliFixture("weather") {}

  std::string MaskPath(const fs::path& out, int channel, int step) const {
    char name[64];
    std::snprintf(name, sizeof name, "%s%02d.jpg", kMaskNames[channel], step);
    return (out / name).string();
  }
  int FileCount(const fs::path& out) const {
    return static_cast<int>(std::distance(fs::directory_iterator(out), fs::directory_iterator()));
  }
};

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
  const std::string outName = out.string();
  const std::string errName = (folder / "stderr.txt").string();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    const int err = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(null, 1);
    dup2(err, 2);
    execl(PATINEX_CLI, PATINEX_CLI, "weather", kSphere.c_str(), "--density", "30", "--steps", "1000", "--tons",
          "20000", "--threads", "1", "--out", outName.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Interrupt once the first step's masks are on disk.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!fs::exists(MaskPath(out, 2, 0)) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);

  const std::string err = ReadFile(errName);
  EXPECT_NE(err.find("interrupted after"), std::string::npos) << err;
  EXPECT_NE(err.find("are saved in " + outName), std::string::npos) << err;
  // Every step that finished left its three masks, whole; nothing else is in the folder.
  const int files = FileCount(out);
  EXPECT_GE(files, 3);
  EXPECT_EQ(files % 3, 0);
  for (int step = 0; step < files / 3; ++step) {
    for (int channel = 0; channel < 3; ++channel) EXPECT_TRUE(fs::exists(MaskPath(out, channel, step)));
  }
  EXPECT_LT(files, 3000);
}

}  // namespace
