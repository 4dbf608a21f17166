#include "assetexport/look_file.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include <cstdlib>
#include <filesystem>

#include "assetexport/look_catalog.h"
#include "tests/assetexport/export_test_models.h"

namespace AssetExport {
namespace {

void ExpectSameSurface(const LookSurface& read, const LookSurface& built, const std::string& where) {
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(read.color[size_t(c)], built.color[size_t(c)], 1e-6f) << where;
  EXPECT_EQ(read.texture, built.texture) << where;
  EXPECT_EQ(read.normalTexture, built.normalTexture) << where;
  EXPECT_FLOAT_EQ(read.normalStrength, built.normalStrength) << where;
  EXPECT_FLOAT_EQ(read.metallic, built.metallic) << where;
  EXPECT_FLOAT_EQ(read.roughness, built.roughness) << where;
}

// The keys as a user writes them by hand, with the defaults for what is left out; and the
// shipped bronze file says what the rules' own constants do, so the two cannot drift apart.
TEST(LookFile, ReadsAHandWrittenLookAndTheShippedBronzeIsTheRulesOwn) {
  Look look;
  std::string error;
  ASSERT_TRUE(ParseLook(R"({"name": "mine", "base": {"color": [0.2, 0.3, 0.4], "metallic": 1, "roughness": 0.6},
                            "layers": [{"mask": "rust", "color": [0.5, 0.25, 0.1], "metallic": 0, "roughness": 0.9},
                                       {"mask": "humidity", "blend": "multiply", "color": [0.5, 0.5, 0.5],
                                        "ramp": {"gain": 3, "start": 0.25, "end": 0.75}}]})",
                        "", &look, &error))
      << error;
  EXPECT_EQ(look.name, "mine");
  EXPECT_FALSE(look.ownBase);
  EXPECT_FLOAT_EQ(look.base.color[2], 0.4f);
  EXPECT_FLOAT_EQ(look.base.metallic, 1.0f);
  ASSERT_EQ(look.layers.size(), 2u);
  EXPECT_EQ(look.layers[0].blend, LookBlend::kCover);
  EXPECT_FLOAT_EQ(look.layers[0].gain, 0.0f);
  EXPECT_FLOAT_EQ(look.layers[0].surface.roughness, 0.9f);
  EXPECT_EQ(look.layers[1].mask, LookMask::kHumidity);
  EXPECT_EQ(look.layers[1].blend, LookBlend::kMultiply);
  EXPECT_FLOAT_EQ(look.layers[1].start, 0.25f);
  // A film keeps the metal and the roughness under it unless it says otherwise.
  EXPECT_FLOAT_EQ(look.layers[1].surface.metallic, 1.0f);
  EXPECT_FLOAT_EQ(look.layers[1].surface.roughness, 0.0f);
  EXPECT_TRUE(look.Uses(LookMask::kHumidity));
  EXPECT_FALSE(look.Uses(LookMask::kDirt));

  ASSERT_TRUE(FindLook("bronze", &look, &error)) << error;
  const Look built = BronzeLook();
  ExpectSameSurface(look.base, built.base, "base");
  ASSERT_EQ(look.layers.size(), built.layers.size());
  for (size_t i = 0; i < built.layers.size(); ++i) {
    const std::string where = "layer " + std::to_string(i);
    EXPECT_EQ(look.layers[i].mask, built.layers[i].mask) << where;
    EXPECT_EQ(look.layers[i].blend, built.layers[i].blend) << where;
    EXPECT_FLOAT_EQ(look.layers[i].gain, built.layers[i].gain) << where;
    ExpectSameSurface(look.layers[i].surface, built.layers[i].surface, where);
  }

  // Every shipped look is found and valid; a user's look of the same name hides the shipped one.
  AssetExportTest::TestFolder config;
  std::filesystem::create_directories(config.path / "Patinex" / "looks");
  config.Write("Patinex/looks/iron.json", R"({"name": "iron", "base": "own", "layers": []})");
  const char* before = std::getenv("XDG_CONFIG_HOME");
  const std::string kept = before != nullptr ? before : "";
  setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  std::set<std::string> shipped;
  for (const LookEntry& entry : ListLooks()) {
    EXPECT_EQ(entry.error, "") << entry.file;
    if (entry.shipped) shipped.insert(entry.name);
    if (entry.name == "iron") {
      EXPECT_EQ(entry.file, config.Path("Patinex/looks/iron.json"));
    }
  }
  EXPECT_EQ(shipped, (std::set<std::string>{"bronze", "copper", "painted-steel", "stone", "wood"}));
  ASSERT_TRUE(FindLook("iron", &look, &error)) << error;
  EXPECT_TRUE(look.ownBase);
  if (before != nullptr) {
    setenv("XDG_CONFIG_HOME", kept.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

TEST(LookFile, RefusesAFileThatIsNotALookNamingTheKeyAndWhy) {
  const std::pair<const char*, const char*> bad[] = {
      {R"([1, 2])", "a look is a JSON object"},
      {R"({"base": "own", "layers": []})", "name: is needed"},
      {R"({"name": "x", "layers": []})", "base: is needed"},
      {R"({"name": "x", "base": "plastic", "layers": []})", "base: the only word it takes is \"own\""},
      {R"({"name": "x", "base": "own", "layers": [{"mask": "soot", "color": [0, 0, 0]}]})",
       "layers[0].mask: is needed, one of"},
      {R"({"name": "x", "base": "own", "layers": [{"mask": "dirt"}]})", "layers[0]: needs a color or a texture"},
      {R"({"name": "x", "base": {"color": [1, 0.5]}, "layers": []})", "base.color: must be [red, green, blue]"},
      {R"({"name": "x", "base": {"roughness": 1.5}, "layers": []})", "base.roughness: is 1.5, outside 0..1"},
      {R"({"name": "x", "base": "own", "layers": [{"mask": "rust", "color": [1, 0, 0], "blend": "screen"}]})",
       "layers[0].blend: must be \"cover\" or \"multiply\""},
      {R"({"name": "x", "base": "own", "layers": [{"mask": "rust", "color": [1, 0, 0], "ramp": {"start": 0.6, "end": 0.4}}]})",
       "layers[0].ramp: end must be above start"},
      {R"({"name": "x", "base": "own", "layers": [{"mask": "rust", "colour": [1, 0, 0]}]})",
       "layers[0].colour: is not a key a look knows"},
      {R"({"name": "x", "base": "own", "layers": [{"mask": "rust", "color": [1, 0, 0]}, {"mask": "rust", "color": [1, 0, 0]},
          {"mask": "rust", "color": [1, 0, 0]}, {"mask": "rust", "color": [1, 0, 0]}, {"mask": "rust", "color": [1, 0, 0]}]})",
       "layers: holds 5 layers, at most 4"},
      {R"({"name": "x", )", "not JSON"},
  };
  for (const auto& [text, reason] : bad) {
    Look look;
    std::string error;
    EXPECT_FALSE(ParseLook(text, "", &look, &error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << text << "\n said: " << error;
  }
  Look look;
  std::string error;
  EXPECT_FALSE(FindLook("no-such-look", &look, &error));
  EXPECT_NE(error.find("no look is named no-such-look (the looks are bronze, copper"), std::string::npos) << error;
}

}  // namespace
}  // namespace AssetExport
