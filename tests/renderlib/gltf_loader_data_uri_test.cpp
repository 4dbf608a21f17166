#include "renderlib/gltf_loader.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cstring>
#include <memory>
#include <regex>
#include <string>

#include "tests/renderlib/gltf_loader_fixture.h"
#include "tests/renderlib/gltf_test_file.h"

// The library exports its base64 coder but declares it only in its implementation part.
namespace tinygltf {
std::string base64_encode(unsigned char const* bytes, unsigned int length);
}  // namespace tinygltf

using namespace RenderLib;

namespace {

// The first line of what tinygltf alone says when it refuses the file.
std::string TinygltfRefusal(const std::string& path) {
  tinygltf::TinyGLTF loader;
  tinygltf::Model model;
  std::string error, warning;
  EXPECT_FALSE(loader.LoadASCIIFromFile(&model, &error, &warning, path)) << path;
  // Quoted URIs run to megabytes: a message keeps the first 80 characters of a word.
  static const std::regex longWord("([^ ]{80})[^ ]+");
  return std::regex_replace(error.substr(0, error.find('\n')), longWord, "$1\u2026");
}

TEST_F(GltfLoader, ReadsBuffersInDataUrisAsFromBinFilesAndRefusesBadOnesInTinygltfsWords) {
  GltfTestFile file;
  AddSlantedTriangle(file);
  file.nodes = R"([{"mesh":0}])";
  const std::unique_ptr<ObjModel> fromBin = Load(file.WriteGltf(folder, "bin"));
  ASSERT_NE(fromBin, nullptr);
  ASSERT_EQ(file.bin.size() % 4, 0u);
  const std::string base64 =
      tinygltf::base64_encode(reinterpret_cast<const unsigned char*>(file.bin.data()), unsigned(file.bin.size()));
  const std::string octet = "data:application/octet-stream;base64,";
  const std::string length = "\"byteLength\":" + std::to_string(file.bin.size());

  struct Case {
    const char* name;
    std::string json;
  };
  const Case same[] = {
      {"octet", file.Json(octet + base64)},
      {"gltf_buffer", file.Json("data:application/gltf-buffer;base64," + base64)},
      {"ignored_tail", file.Json(octet + base64 + "== ignored")},
      {"escaped", file.Json(R"(data:application\/octet-stream;base64,)" + base64)},
  };
  for (const Case& test : same) {
    SCOPED_TRACE(test.name);
    const std::unique_ptr<ObjModel> model = Load(folder.Write(std::string(test.name) + ".gltf", test.json));
    ASSERT_NE(model, nullptr) << (messages.empty() ? "" : messages.back());
    ASSERT_EQ(model->groups.size(), fromBin->groups.size());
    for (size_t g = 0; g < model->groups.size(); ++g) {
      const MeshGroup& a = model->groups[g];
      const MeshGroup& b = fromBin->groups[g];
      EXPECT_EQ(a.indices, b.indices);
      ASSERT_EQ(a.vertices.size(), b.vertices.size());
      EXPECT_EQ(std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(VertexNormalUV)), 0);
    }
  }

  std::string longer = file.Json(octet + base64);
  longer.replace(longer.find(length), length.size(), "\"byteLength\":" + std::to_string(file.bin.size() + 4));
  std::string badAfterUri = file.Json(octet + base64);
  badAfterUri.insert(badAfterUri.size() - 1, R"(,"extras":[tru])");
  const Case refused[] = {
      {"space", file.Json(octet + base64.substr(0, 40) + " " + base64.substr(40))},
      {"extra_group", file.Json(octet + base64 + "AAAA")},
      {"empty", file.Json(octet + "=AAAA")},
      {"byte_length", longer},
      {"bad_json_after_uri", badAfterUri},
  };
  for (const Case& test : refused) {
    SCOPED_TRACE(test.name);
    const std::string path = folder.Write(std::string(test.name) + ".gltf", test.json);
    EXPECT_EQ(Load(path), nullptr);
    ASSERT_FALSE(messages.empty());
    const std::string expected = path + ": not a readable glTF file: " + TinygltfRefusal(path);
    EXPECT_EQ(messages.back().substr(0, expected.size()), expected);
    EXPECT_LT(messages.back().size(), 400u);
  }
}

}  // namespace
