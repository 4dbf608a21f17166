#include "renderlib/gltf_loader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <future>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "tests/renderlib/gltf_loader_fixture.h"
#include "tests/renderlib/gltf_test_file.h"

using namespace RenderLib;

namespace {

// Each broken file is refused with a message that names it and says what is wrong.
TEST_F(GltfLoader, RefusesBrokenFilesSayingWhatIsWrong) {
  struct Case {
    const char* name;
    void (*edit)(GltfTestFile& file);
    const char* expected;
  };
  const Case cases[] = {
      {"past_view",
       [](GltfTestFile& f) { f.accessors[0].replace(f.accessors[0].find("\"count\":3"), 9, "\"count\":4"); },
       "accessor 0 (4 elements from byte 0) reaches past the end of buffer view 0 (36 bytes)"},
      {"huge_count",
       [](GltfTestFile& f) {
         f.accessors[0].replace(f.accessors[0].find("\"count\":3"), 9, "\"count\":4611686018427387904");
       },
       "reaches past the end of buffer view 0"},
      {"past_buffer", [](GltfTestFile& f) { f.bufferViews[1] = R"({"buffer":0,"byteOffset":36,"byteLength":4000})"; },
       "buffer view 1 (bytes 36 to 4036) reaches past the end of buffer 0"},
      {"narrow_stride",
       [](GltfTestFile& f) { f.bufferViews[0] = R"({"buffer":0,"byteOffset":0,"byteLength":36,"byteStride":8})"; },
       "stride of 8 bytes"},
      {"past_vertices",
       [](GltfTestFile& f) {
         const uint32_t three = 3;
         f.bin.replace(f.bin.size() - 4, 4, reinterpret_cast<const char*>(&three), 4);
       },
       "mesh 0 primitive 0 index 2 is 3, past its 3 vertices"},
      {"not_a_number",
       [](GltfTestFile& f) {
         const float nan = std::numeric_limits<float>::quiet_NaN();
         f.bin.replace(4, 4, reinterpret_cast<const char*>(&nan), 4);
       },
       "mesh 0 primitive 0 position 0 is not finite"},
      {"infinite",
       [](GltfTestFile& f) {
         const float inf = std::numeric_limits<float>::infinity();
         f.bin.replace(28, 4, reinterpret_cast<const char*>(&inf), 4);
       },
       "mesh 0 primitive 0 position 2 is not finite"},
      {"draco",
       [](GltfTestFile& f) {
         f.extra =
             R"("extensionsUsed":["KHR_draco_mesh_compression"],"extensionsRequired":["KHR_draco_mesh_compression"],)";
       },
       "the file requires the extension KHR_draco_mesh_compression: it uses KHR_draco_mesh_compression "
       "(Draco-compressed geometry), which Patinex does not read"},
      // Only used, yet the primitive has no plain data: the library fails on the missing views.
      {"draco_used",
       [](GltfTestFile& f) {
         f.extra = R"("extensionsUsed":["KHR_draco_mesh_compression"],)";
         f.accessors[0] = R"({"componentType":5126,"type":"VEC3","count":3})";
         f.accessors[3] = R"({"componentType":5125,"type":"SCALAR","count":3})";
         f.meshes.replace(f.meshes.find("\"indices\":3"), 11,
                          R"("indices":3,"extensions":{"KHR_draco_mesh_compression":{"bufferView":0,"attributes":{"POSITION":0}}})");
       },
       "mesh 0 primitive 0 uses KHR_draco_mesh_compression (Draco-compressed geometry), which Patinex does not read"},
      // The file's point is finite; where the node puts it is not, and that is what is named.
      {"placed_infinite",
       [](GltfTestFile& f) { f.nodes = R"([{"mesh":0,"scale":[1e39,1,1]}])"; },
       "mesh 0 primitive 0 position 0 is not finite (inf, 0.000000, 0.000000) as node 0 places it"},
      {"quantized",
       [](GltfTestFile& f) {
         f.extra =
             R"("extensionsUsed":["KHR_mesh_quantization","EXT_meshopt_compression"],"extensionsRequired":["KHR_mesh_quantization","EXT_meshopt_compression"],)";
         // Quantized files are read while positions stay floats; these are shorts.
         f.accessors[0].replace(f.accessors[0].find("5126"), 4, "5123");
       },
       "requires the extensions KHR_mesh_quantization, EXT_meshopt_compression, which Patinex does not support; "
       "KHR_mesh_quantization: positions stored as integers"},
      // Required extensions that are read go unmentioned; those that are not are named with why.
      {"webp",
       [](GltfTestFile& f) {
         f.extra = R"("extensionsUsed":["KHR_texture_transform","EXT_texture_webp"],)"
                   R"("extensionsRequired":["KHR_texture_transform","EXT_texture_webp"],)";
       },
       "the file requires the extension EXT_texture_webp, which Patinex does not support; EXT_texture_webp: WebP "
       "images, which Patinex cannot decode"},
      {"morph_count",
       [](GltfTestFile& f) {
         f.meshes.replace(f.meshes.find("\"indices\":3"), 11, R"("indices":3,"targets":[{"POSITION":2}])");
         f.nodes = R"([{"mesh":0,"weights":[1]}])";
       },
       "mesh 0 primitive 0 morph target 0 POSITION is not three floats a vertex"},
      {"missing_image",
       [](GltfTestFile& f) {
         f.images = R"([{"uri":"gone.png"}])";
         f.textures = R"([{"source":0}])";
         f.materials = R"([{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}])";
       },
       "image 0 ('gone.png') cannot be read: the file is missing"},
      {"cycle",
       [](GltfTestFile& f) {
         f.nodes = R"([{"children":[1]},{"mesh":0,"children":[0]}])";
         f.scenes = R"([{"nodes":[0]}])";
       },
       "node 0 is reached twice"},
      {"no_material",
       [](GltfTestFile& f) { f.meshes.replace(f.meshes.find("\"indices\":3"), 11, "\"indices\":3,\"material\":2"); },
       "mesh 0 primitive 0 names material 2, which does not exist"},
      {"no_mesh", [](GltfTestFile& f) { f.nodes = R"([{"mesh":7}])"; }, "node 0 names mesh 7, which does not exist"},
      {"no_data", [](GltfTestFile& f) { f.accessors[1] = R"({"componentType":5126,"type":"VEC3","count":3})"; },
       "mesh 0 primitive 0 NORMAL: accessor 1 has no buffer view"},
      {"bad_mode",
       [](GltfTestFile& f) { f.meshes.replace(f.meshes.find("\"indices\":3"), 11, "\"indices\":3,\"mode\":9"); },
       "mesh 0 primitive 0 has the unknown mode 9"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    GltfTestFile file;
    AddSlantedTriangle(file);
    file.nodes = R"([{"mesh":0}])";
    test.edit(file);
    const std::string path = file.WriteGltf(folder, test.name);
    EXPECT_EQ(Load(path), nullptr);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().rfind(path + ": ", 0), 0u) << messages.back();
    EXPECT_NE(messages.back().find(test.expected), std::string::npos) << messages.back();
  }

  GltfTestFile file;
  AddSlantedTriangle(file);
  file.nodes = R"([{"mesh":0}])";
  const std::string missingBin = file.WriteGltf(folder, "lost");
  std::remove(folder.Path("lost.bin").c_str());
  EXPECT_EQ(Load(missingBin), nullptr);
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().find("lost.bin"), std::string::npos) << messages.back();

  // A buffer named by an absolute path is refused as such, though the file is there.
  file.WriteGltf(folder, "absolute");
  const std::string absolute = folder.Write("absolute.gltf", file.Json(folder.Path("absolute.bin")));
  EXPECT_EQ(Load(absolute), nullptr);
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().find("buffer 0 names its file by the absolute path " + folder.Path("absolute.bin") +
                                 ", which Patinex does not read"),
            std::string::npos)
      << messages.back();

  const std::string glb = file.WriteGlb(folder, "whole");
  std::string bytes;
  {
    std::ifstream in(glb, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  for (size_t keep : {bytes.size() - 10, size_t(30), size_t(8)}) {
    const std::string cut = folder.Write("cut.glb", bytes.substr(0, keep));
    EXPECT_EQ(Load(cut), nullptr);
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().find(cut + ": the binary glTF file is truncated"), std::string::npos) << messages.back();
  }
  // A glTF 1.0 file, primitives not given as a list, and nodes that are all children with no
  // scene to start from are refused by name instead of loading as an empty model.
  GltfTestFile oldVersion;
  AddSlantedTriangle(oldVersion);
  oldVersion.nodes = R"([{"mesh":0}])";
  std::string json = oldVersion.Json("old.bin");
  json.replace(json.find("\"2.0\""), 5, "\"1.0\"");
  oldVersion.WriteGltf(folder, "old");
  const std::string old = folder.Write("old.gltf", json);
  GltfTestFile unlisted;
  AddSlantedTriangle(unlisted);
  unlisted.meshes = R"([{"primitives":{"a":{"attributes":{"POSITION":0}}}}])";
  unlisted.nodes = R"([{"mesh":0}])";
  GltfTestFile ring;
  AddSlantedTriangle(ring);
  ring.nodes = R"([{"mesh":0,"children":[1]},{"children":[0]}])";
  for (const auto& [path, expected] :
       {std::pair{old, "it is a glTF 1.0 file; Patinex reads glTF 2.0"},
        std::pair{unlisted.WriteGltf(folder, "unlisted"), "mesh 0 has no primitives"},
        std::pair{ring.WriteGltf(folder, "ring"), "every node is another node's child: the nodes form a cycle"}}) {
    EXPECT_EQ(Load(path), nullptr) << path;
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().find(expected), std::string::npos) << messages.back();
  }

  const std::string text = folder.Write("text.gltf", "{ not json");
  EXPECT_EQ(Load(text), nullptr);
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().find(text + ": not a readable glTF file"), std::string::npos) << messages.back();
}

// A document nested deeper than any asset needs is refused before the JSON parser recurses
// through it (20,000 levels exhausted its stack), in .gltf and .glb files alike.
TEST_F(GltfLoader, RefusesJsonNestedTooDeepBeforeParsingIt) {
  for (const size_t levels : {size_t(400), size_t(20000)}) {
    GltfTestFile file;
    AddSlantedTriangle(file);
    file.nodes = R"([{"mesh":0}])";
    file.extra = "\"extras\":" + std::string(levels, '[') + std::string(levels, ']') + ",";
    for (const std::string& path : {file.WriteGltf(folder, "deep"), file.WriteGlb(folder, "deep")}) {
      SCOPED_TRACE(path + " nested " + std::to_string(levels));
      const std::unique_ptr<ObjModel> model = Load(path);
      if (levels < 512) {
        EXPECT_NE(model, nullptr);
        continue;
      }
      EXPECT_EQ(model, nullptr);
      ASSERT_FALSE(messages.empty());
      EXPECT_NE(messages.back().find(path + ": its JSON nests arrays and objects more than 512 levels deep"),
                std::string::npos)
          << messages.back();
    }
  }
}

// A buffer URI naming a FIFO is refused at once: opening it to see whether it exists would wait
// for a writer for ever.
TEST_F(GltfLoader, RefusesABufferNamingAFifoWithoutWaitingOnIt) {
  GltfTestFile file;
  AddSlantedTriangle(file);
  file.nodes = R"([{"mesh":0}])";
  const std::string path = file.WriteGltf(folder, "piped");
  std::remove(folder.Path("piped.bin").c_str());
  ASSERT_EQ(::mkfifo(folder.Path("piped.bin").c_str(), 0600), 0);
  std::future<bool> loaded = std::async(std::launch::async, [&] { return Load(path) != nullptr; });
  if (loaded.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the reader still waits on the FIFO after 10 s";
    // Let the stuck reader go: a writer that opens and closes the FIFO ends its wait.
    const int writer = ::open(folder.Path("piped.bin").c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  }
  EXPECT_FALSE(loaded.get());
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().find("piped.bin"), std::string::npos) << messages.back();
  EXPECT_NE(messages.back().find("FIFO"), std::string::npos) << messages.back();
}

}  // namespace
