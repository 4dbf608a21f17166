#include <nlohmann/json.hpp>

#include <chrono>
#include <thread>

#include "tests/tools/batch_manifest_fixture.h"
#include "tests/tools/cli_fixture.h"

namespace {

using nlohmann::json;

const std::string kValidator = std::string(PATINEX_SOURCE_DIR) + "/tools/gltf_validator/validate.mjs";

class BatchCommand : public CliFixture {
protected:
  BatchCommand() : CliFixture("batch") {}
};

json Statuses(const json& summary) {
  json statuses = json::array();
  for (const json& asset : summary["assets"]) statuses.push_back(asset["status"]);
  return statuses;
}

// Two good assets and a broken one: the good are exported, validator-clean, and the broken one
// fails alone. Run again, nothing is redone and the failure is still named; asked for a second
// step, an asset runs only that step, on from its session.
TEST_F(BatchCommand, RunsEachAssetOnceAndOnlyWhatIsLeft) {
  const std::string manifest = WriteManifest(folder / "manifest.json", SphereBatchManifest(folder));
  const std::string summaryPath = (folder / "reports" / "summary.json").string();
  CliResult run = Cli(manifest + " --jobs 2 --summary " + summaryPath);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("asset 1 (broken.glb)"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("2 of 3 done, 1 failed, 0 running"), std::string::npos) << run.err;
  json summary = json::parse(ReadFile(summaryPath));
  EXPECT_EQ(Statuses(summary), json({"done", "failed", "done"})) << summary.dump(2);
  EXPECT_EQ(summary["assets"][0]["export"], (folder / "aged" / "a.glb").string());
  EXPECT_TRUE(summary["assets"][1]["export"].is_null());
  ASSERT_TRUE(summary["assets"][1]["message"].is_string());
  EXPECT_NE(summary["assets"][1]["message"].get<std::string>().find("broken.glb"), std::string::npos);
  EXPECT_TRUE(summary["assets"][0]["message"].is_null());
  EXPECT_EQ(json::parse(ReadFile(folder / "masks" / "broken" / "batch-result.json"))["status"], "failed");
  EXPECT_NE(ReadFile(folder / "masks" / "a" / "batch.log").find("exported"), std::string::npos);

  const CliResult validation = Shell("node " + kValidator + " " + (folder / "aged" / "a.glb").string() + " " +
                                     (folder / "aged" / "b.glb").string());
  EXPECT_EQ(validation.status, 0) << validation.out << validation.err;

  const auto before = WriteTimes(folder / "masks" / "a");
  const auto exportTime = fs::last_write_time(folder / "aged" / "b.glb");
  const auto firstExport = fs::last_write_time(folder / "aged" / "a.glb");
  run = Cli(manifest + " --summary " + summaryPath);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("asset 1 (broken.glb) failed"), std::string::npos) << run.err;
  EXPECT_EQ(WriteTimes(folder / "masks" / "a"), before) << "a finished asset was redone";
  EXPECT_EQ(fs::last_write_time(folder / "aged" / "b.glb"), exportTime);
  EXPECT_EQ(Statuses(json::parse(ReadFile(summaryPath))), json({"skipped", "failed", "skipped"}));

  // An export lost (a run stopped while exporting) is made again from the saved masks alone.
  const auto historyOfB = [&folder = folder] {
    auto times = WriteTimes(folder / "masks" / "b");
    std::erase_if(times, [](const auto& entry) { return fs::path(entry.first).filename().string().starts_with("batch"); });
    return times;
  };
  const auto bMasks = historyOfB();
  fs::remove(folder / "aged" / "b.glb");
  run = Cli(manifest);
  EXPECT_NE(run.err.find("every step saved, exporting"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_regular_file(folder / "aged" / "b.glb"));
  EXPECT_EQ(Statuses(json::parse(run.out)), json({"skipped", "failed", "done"})) << run.out;
  EXPECT_EQ(historyOfB(), bMasks) << "the saved steps were weathered again";
  EXPECT_NE(ReadFile(folder / "masks" / "b" / "batch.log").find("\"look\": \"iron\""), std::string::npos)
      << "the export did not bake the asset's look";

  // Another look in the manifest exports the saved steps again in it, once.
  json wood = SphereBatchManifest(folder);
  wood["assets"][2]["look"] = "wood";
  const std::string woodManifest = WriteManifest(folder / "wood.json", wood);
  run = Cli(woodManifest);
  EXPECT_EQ(Statuses(json::parse(run.out)), json({"skipped", "failed", "done"})) << run.err;
  EXPECT_NE(ReadFile(folder / "aged" / "b.glb").find("\"patinexLook\":\"wood\""), std::string::npos);
  const auto withoutRecord = [](auto times) {
    std::erase_if(times, [](const auto& entry) { return fs::path(entry.first).filename() == "patinex_run.json"; });
    return times;
  };
  EXPECT_EQ(withoutRecord(historyOfB()), withoutRecord(bMasks)) << "the saved steps were weathered again";
  EXPECT_EQ(json::parse(ReadFile(folder / "masks" / "b" / "patinex_run.json"))["look"], "wood");
  run = Cli(woodManifest);
  EXPECT_EQ(Statuses(json::parse(run.out)), json({"skipped", "failed", "skipped"})) << run.err;

  json twoSteps = SphereBatchManifest(folder);
  twoSteps["assets"] = json::array({twoSteps["assets"][0]});
  twoSteps["assets"][0]["steps"] = 2;
  run = Cli(WriteManifest(folder / "two.json", twoSteps));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("resuming, 1 steps to go"), std::string::npos) << run.err;
  const json record = json::parse(ReadFile(folder / "masks" / "a" / "patinex_run.json"));
  EXPECT_NE(record.dump().find("\"step\":1"), std::string::npos) << record.dump();
  EXPECT_FALSE(fs::exists(folder / "masks" / "a" / "earlier")) << "the first step was run again";
  EXPECT_NE(fs::last_write_time(folder / "aged" / "a.glb"), firstExport) << "the export of two steps was not made";

  // A density left out is weather's default, not whatever the record holds: made anew.
  twoSteps["defaults"].erase("density");
  run = Cli(WriteManifest(folder / "default-density.json", twoSteps));
  EXPECT_EQ(Statuses(json::parse(run.out)), json({"done"})) << run.err;
  EXPECT_EQ(json::parse(ReadFile(folder / "masks" / "a" / "patinex_run.json"))["density"], 100);
}

// SIGTERM to the batch stops its run as weather stops: the steps saved stay, the asset is
// failed with the signal named, and the batch ends with 128 + the signal.
TEST_F(BatchCommand, ASignalStopsEveryRunAndEndsTheBatch) {
  json manifest = SphereBatchManifest(folder);
  manifest["assets"] = json::array({manifest["assets"][0]});
  manifest["assets"][0]["steps"] = 1000;  // far more than a quiet machine finishes before the signal
  const pid_t batch = Start({WriteManifest(folder / "manifest.json", manifest)});
  const fs::path masks = folder / "masks" / "a";
  const auto stepsSaved = [&masks] {
    const json record = json::parse(ReadFile(masks / "patinex_run.json"), nullptr, false);
    return record.is_object() && record.contains("steps") ? record["steps"].size() : size_t(0);
  };
  for (int i = 0; i < 400 && stepsSaved() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  kill(batch, SIGTERM);
  const CliResult run = Finish(batch);
  EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
  const size_t steps = stepsSaved();
  EXPECT_TRUE(steps >= 1 && steps < 1000) << steps << " steps saved";
  const json result = json::parse(ReadFile(masks / "batch-result.json"));
  EXPECT_EQ(result["status"], "failed");
  EXPECT_NE(result["message"].get<std::string>().find("stopped by SIGTERM"), std::string::npos) << result;
  EXPECT_TRUE(fs::exists(masks / "mask_rust00.jpg"));
}

// A manifest with a fault is refused whole, naming the entry and why, before anything runs.
TEST_F(BatchCommand, RefusesABadManifestBeforeRunningAnything) {
  const json good = SphereBatchManifest(folder);
  const struct {
    const char* fault;
    json manifest;
    std::string said;
  } cases[] = {
      {"unknown key", [&] { json m = good; m["assets"][2]["colour"] = "red"; return m; }(),
       "asset 2 (" + good["assets"][2]["model"].get<std::string>() + "): unknown key \"colour\""},
      {"out of range", [&] { json m = good; m["assets"][1]["tons"] = 0; return m; }(),
       "asset 1 (broken.glb): \"tons\" takes a whole number from 1 to 1000000, not 0"},
      {"not a number", [&] { json m = good; m["defaults"]["density"] = "many"; return m; }(),
       "defaults: \"density\" takes a whole number"},
      {"no source", [&] { json m = good; m["assets"][1]["from"] = {0, 0, 0}; return m; }(),
       "asset 1 (broken.glb): \"from\" is [x, y, z] with some part not 0, not [0,0,0]"},
      {"unknown look", [&] { json m = good; m["assets"][0]["look"] = "chrome"; return m; }(),
       "asset 0 (" + good["assets"][0]["model"].get<std::string>() + "): \"look\": "},
      {"spread out of range", [&] { json m = good; m["defaults"]["spread"] = 200; return m; }(),
       "defaults: \"spread\" is a number of degrees from 1 to 180, not 200"},
      {"resume is the batch's", [&] { json m = good; m["assets"][0]["resume"] = true; return m; }(),
       "asset 0 (" + good["assets"][0]["model"].get<std::string>() + "): unknown key \"resume\""},
      {"shared folder", [&] { json m = good; m["assets"][2]["out"] = "masks/../masks/a"; return m; }(),
       "output folder " + (folder / "masks" / "a").string() + " is asset 0"},
      {"no export", [&] { json m = good; m["assets"][1].erase("export"); return m; }(),
       "asset 1 (broken.glb): \"export\" is missing"},
  };
  for (const auto& [fault, manifest, said] : cases) {
    const CliResult run = Cli(WriteManifest(folder / "bad.json", manifest));
    EXPECT_EQ(run.status, 1) << fault;
    EXPECT_NE(run.err.find(said), std::string::npos) << fault << ": " << run.err;
  }
  EXPECT_FALSE(fs::exists(folder / "masks")) << "an asset ran";
  EXPECT_EQ(Cli(WriteManifest(folder / "bad.json", good) + " --task 3").status, 2);
}

}  // namespace
