#include <string>
#include <vector>

#include "tests/tools/cli_fixture.h"

namespace {

const std::string kAsset = std::string(PATINEX_SOURCE_DIR) + "/tests/media/gltf/blender_suzanne.glb";

// The commands that trace a model take glTF files as they take OBJ files, refusals included.
class GltfModels : public CliFixture {
protected:
  GltfModels() : CliFixture("weather") {}
};

TEST_F(GltfModels, AreSampledAndWeatheredLikeObjFiles) {
  command = "sample";
  CliResult sampled = Cli(kAsset + " --density 20");
  ASSERT_EQ(sampled.status, 0) << sampled.err;
  EXPECT_EQ(sampled.out.find("\"samples\": 0"), std::string::npos) << sampled.out;

  command = "weather";
  const fs::path out = folder / "masks";
  // The asset's own metallic-roughness material is aged and written back out as glTF.
  const fs::path aged = folder / "aged.glb";
  CliResult weathered = Cli(kAsset + " --density 20 --tons 300 --size 64 --threads 1 --out " + out.string() +
                            " --export " + aged.string());
  ASSERT_EQ(weathered.status, 0) << weathered.err;
  for (const char* mask : {"mask_humidity00.jpg", "mask_dirt00.jpg", "mask_rust00.jpg"}) {
    EXPECT_TRUE(fs::exists(out / mask)) << mask;
  }
  EXPECT_NE(weathered.out.find("\"export\": \"" + aged.string() + "\""), std::string::npos) << weathered.out;
  const CliResult validation =
      Shell("node " + std::string(PATINEX_SOURCE_DIR) + "/tools/gltf_validator/validate.mjs " + aged.string());
  EXPECT_NE(validation.out.find(": 0 errors, 0 warnings"), std::string::npos) << validation.out << validation.err;

  // A glTF file whose primitive has no TEXCOORD_0 is refused as an OBJ file without "vt" is; the
  // primitive of lines beside it is skipped with a warning that names the file once.
  const std::string bare =
      R"({"asset":{"version":"2.0"},"nodes":[{"mesh":0}],"meshes":[{"primitives":[{"attributes":{"POSITION":0}},)"
      R"({"attributes":{"POSITION":0},"mode":1}]}],)"
      R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"}],"bufferViews":[{"buffer":0,)"
      R"("byteLength":36}],"buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,)"
      R"(AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}]})";
  CliResult refused = Cli(Write("bare.gltf", std::vector<uint8_t>(bare.begin(), bare.end())) + " --out " +
                          (folder / "bare").string());
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("bare.gltf has no texture coordinates"), std::string::npos) << refused.err;
  const std::string barePath = (folder / "bare.gltf").string();
  EXPECT_NE(refused.err.find("warning: " + barePath + ": mesh 0 primitive 1 holds lines, not triangles: skipped\n"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(refused.err.find(barePath + ": " + barePath), std::string::npos) << refused.err;

  const std::string cut = ReadFile(kAsset).substr(0, 100);
  const std::string truncated = Write("cut.glb", std::vector<uint8_t>(cut.begin(), cut.end()));
  CliResult broken = Cli(truncated + " --out " + (folder / "cut").string());
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.err.rfind("patinex-cli weather: " + truncated + ": the binary glTF file is truncated", 0), 0u)
      << broken.err;
  EXPECT_FALSE(fs::exists(folder / "cut"));
}

}  // namespace
