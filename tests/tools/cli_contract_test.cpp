#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/tools/cli_fixture.h"

// What scripts rely on whatever the command: the release, the JSON documents on stdout, steps
// counted from 1, and output folders that are made.

namespace {

using Json = nlohmann::json;

const std::string kSphere = std::string(PATINEX_SOURCE_DIR) + "/media/sphere.obj";

// The project's version as CMake was configured with it.
std::string ConfiguredVersion() {
  std::smatch match;
  const std::string cache = ReadFile(fs::path(PATINEX_BINARY_DIR) / "CMakeCache.txt");
  if (!std::regex_search(cache, match, std::regex("CMAKE_PROJECT_VERSION:STATIC=([0-9.]+)"))) return "";
  return match[1];
}

// The document on stdout, or a null one (and a failed check) when it is not JSON.
Json Document(const CliResult& run) {
  Json document = Json::parse(run.out, nullptr, false);
  EXPECT_FALSE(document.is_discarded()) << run.out;
  return document.is_discarded() ? Json() : document;
}

class CliContract : public CliFixture {
protected:
  CliContract() : CliFixture("contract") {}

  // patinex-cli with a command of the test's choosing.
  CliResult Run(const std::string& arguments) { return Shell(std::string(PATINEX_CLI) + " " + arguments); }
};

TEST_F(CliContract, BothProgramsPrintTheConfiguredVersion) {
  const std::string version = ConfiguredVersion();
  ASSERT_EQ(std::count(version.begin(), version.end(), '.'), 2) << version;
  const CliResult cli = Shell(std::string(PATINEX_CLI) + " --version");
  EXPECT_EQ(cli.status, 0);
  EXPECT_EQ(cli.out, "patinex-cli " + version + "\n");
#ifdef PATINEX_WINDOW_PROGRAM
  // Answered before any window is asked for, so no display is needed.
  const CliResult window = Shell("env -u DISPLAY -u WAYLAND_DISPLAY " PATINEX_WINDOW_PROGRAM " --version");
  EXPECT_EQ(window.status, 0) << window.err;
  EXPECT_EQ(window.out, "patinex " + version + "\n");
#endif
}

// A failure found before any work (a missing model) prints the same kind of document a late
// one does; an export that cannot be written is refused before the first step, not after.
TEST_F(CliContract, EveryFailureAfterTheOptionsPrintsAJsonDocumentWithTheError) {
  const fs::path out = folder / "masks";
  const std::string missing = (folder / "missing.obj").string();
  CliResult run = Run("weather " + missing + " --out " + out.string());
  EXPECT_EQ(run.status, 1);
  Json document = Document(run);
  EXPECT_EQ(document["schema"], 1);
  EXPECT_EQ(document["command"], "weather");
  EXPECT_NE(document["error"].get<std::string>().find(missing), std::string::npos) << run.out;
  EXPECT_TRUE(document["samples"].is_null() && document["export"].is_null() && document["files"].empty()) << run.out;

  run = Run("export " + missing + " --masks " + out.string() + " --out " + (folder / "a.glb").string());
  EXPECT_EQ(run.status, 1);
  document = Document(run);
  EXPECT_EQ(document, (Json{{"schema", 1}, {"command", "export"}, {"error", document["error"]}})) << run.out;
  EXPECT_NE(document["error"].get<std::string>().find("missing.obj"), std::string::npos) << run.out;

  // An export whose folder would sit inside a file is refused before the first step, in the
  // summary too; one that is no glTF name is a usage error. Neither writes a mask.
  const std::string file = Write("file", {'x'});
  run = Run("weather " + kSphere + " --density 10 --tons 50 --out " + out.string() + " --export " + file + "/a.glb");
  EXPECT_EQ(run.status, 1);
  document = Document(run);
  EXPECT_NE(document["error"].get<std::string>().find("cannot write the export"), std::string::npos) << run.out;
  EXPECT_EQ(document["stepsCompleted"], 0);
  run = Run("weather " + kSphere + " --density 10 --tons 50 --out " + out.string() + " --export out.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(fs::exists(out)) << "a refused run wrote masks";
}

// The run's progress, its export note and export --step count the same steps from 1; every
// output's folder is made.
TEST_F(CliContract, StepsCountFromOneAndOutputFoldersAreMade) {
  const fs::path masks = folder / "masks", asset = folder / "new" / "deeper" / "aged.glb";
  CliResult run = Run("weather " + kSphere + " --density 10 --tons 50 --steps 2 --size 64 --threads 1 --out " +
                      masks.string() + " --export " + asset.string() + " --progress json");
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(fs::exists(asset));
  EXPECT_NE(ReadFile(asset).find("\"Patinex " + ConfiguredVersion() + "\""), std::string::npos) << "asset.generator";
  EXPECT_NE(run.err.find("exported the model aged by step 2 to"), std::string::npos) << run.err;
  const Json summary = Document(run);
  EXPECT_EQ(summary["firstStep"], 1);
  EXPECT_EQ(summary["export"], asset.string());
  EXPECT_EQ(summary["files"].size(), 2u * 3 + 2 + 1) << run.out;  // masks, record and session, the .glb
  std::istringstream lines(run.err);
  int stepEvents = 0;
  for (std::string line; std::getline(lines, line);) {
    const Json event = Json::parse(line, nullptr, false);
    if (event.is_discarded() || !event.contains("event")) continue;
    if (event["event"] == "step") {
      EXPECT_EQ(event["step"], ++stepEvents) << line;
    }
  }
  EXPECT_EQ(stepEvents, 2) << run.err;

  // Step 1 is mask number 00: the export carries that step's masks as they are.
  const fs::path first = folder / "first" / "sphere.glb";
  run = Run("export " + kSphere + " --masks " + masks.string() + " --step 1 --size 64 --out " + first.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Document(run)["step"], 1);
  const std::string exported = ReadFile(first);
  EXPECT_NE(exported.find(ReadFile(masks / "mask_rust00.jpg")), std::string::npos);
  EXPECT_EQ(exported.find(ReadFile(masks / "mask_rust01.jpg")), std::string::npos);

  run = Run("export " + kSphere + " --masks " + masks.string() + " --step 3 --out " + first.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(Document(run)["error"].get<std::string>().find("there is no step 3"), std::string::npos) << run.out;
  run = Run("export " + kSphere + " --masks " + masks.string() + " --step 0 --out " + first.string());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("counts from 1"), std::string::npos) << run.err;
}

}  // namespace
