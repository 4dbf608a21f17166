#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status;
  std::string out;  // with the whitespace outside strings removed
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// JSON without the layout, so the tests can look for whole pieces of the document.
std::string Compact(const std::string& json) {
  std::string compact;
  bool inString = false;
  for (size_t i = 0; i < json.size(); ++i) {
    char c = json[i];
    if (inString && c == '\\') {
      compact += json.substr(i++, 2);
      continue;
    }
    if (c == '"') inString = !inString;
    if (inString || (c != ' ' && c != '\n')) compact += c;
  }
  return compact;
}

class ModelCommand : public testing::Test {
protected:
  ModelCommand()
      : folder(fs::temp_directory_path() / ("patinex_model_command_" + std::to_string(std::random_device{}()))) {
    fs::create_directories(folder);
  }
  ~ModelCommand() override { fs::remove_all(folder); }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return (folder / name).string();
  }

  CliRun Cli(const std::string& arguments, const char* name = "model") {
    fs::path out = folder / "stdout.txt", err = folder / "stderr.txt";
    std::string command = std::string(PATINEX_CLI) + " " + name + " " + arguments + " >" + out.string() + " 2>" + err.string();
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Compact(ReadFile(out)), ReadFile(err)};
  }

  fs::path folder;
};

}  // namespace

TEST_F(ModelCommand, PrintsGroupsMaterialsMessagesBoxAndTotalsOfAnObjFile) {
  Write("box.mtl",
        "newmtl red\nKd 1 0 0\nKa 0.5 0.25 0\nKs 0.5 0.5 0.5\nd 0.5\nNs 20\nillum 2\n"
        "map_Kd red.tga\nmap_Ks gone.tga\n");
  std::string targa = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 0, 0, 0, 0, 0, 0};
  Write("red.tga", targa);
  std::string model = Write("box.obj",
                            "mtllib box.mtl\n"
                            "v -1 0 2\nv 3 0 2\nv 3 5 2\nv -1 5 -4\n"
                            "f 1 2 3\n"
                            "usemtl red\nf 1 2 3 4\n"
                            "f 1 2 0\n");
  CliRun run = Cli(model);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(R"("groups":[{"vertexCount":3,"indexCount":3,"materialIndex":-1},)"
                         R"({"vertexCount":4,"indexCount":6,"materialIndex":0}])"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(R"("materials":[{"name":"red","ambient":[0.5,0.25,0],"diffuse":[1,0,0],"specular":[0.5,0.5,0.5],)"
                         R"("opacity":0.5,"shininess":20,"specularEnabled":true,"ambientMap":{"present":false,"width":null,"height":null},)"
                         R"("diffuseMap":{"present":true,"width":2,"height":1},"specularMap":{"present":false,"width":null,"height":null},)"
                         R"("metallicRoughness":false,"baseColorFactor":[1,1,1,1],"metallicFactor":1,"roughnessFactor":1,)"
                         R"("normalScale":1,"metallicRoughnessMap":{"present":false,"width":null,"height":null},"normalMap":{"present":false,"width":null,"height":null}}])"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(R"("messages":["bad face at line 9","Unable to load gone.tga"])"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(R"("boundingBox":{"min":[-1,0,-4],"max":[3,5,2]})"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(R"("totals":{"vertices":7,"indices":9,"triangles":3})"), std::string::npos) << run.out;
  // The command's old name gives the same summary.
  CliRun old = Cli(model, "obj");
  EXPECT_EQ(old.status, 0);
  EXPECT_EQ(old.out, run.out);
}

// An asset exported by a 3D tool: one textured metallic-roughness material, placed by its node.
TEST_F(ModelCommand, PrintsTheSameSummaryOfAGltfAsset) {
  CliRun run = Cli(std::string(PATINEX_SOURCE_DIR) + "/tests/media/gltf/blender_suzanne.glb");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(R"("groups":[{"vertexCount":1066,"indexCount":2904,"materialIndex":0}])"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(R"("name":"PaintedMetal",)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(R"("diffuseMap":{"present":true,"width":128,"height":128},)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(R"("metallicRoughness":true,"baseColorFactor":[1,1,1,1],"metallicFactor":1,)"
                         R"("roughnessFactor":1,"normalScale":1,"metallicRoughnessMap":{"present":true,"width":128,)"
                         R"("height":128},"normalMap":{"present":true,"width":128,"height":128}}])"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(R"("messages":[],)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(R"("totals":{"vertices":1066,"indices":2904,"triangles":968})"), std::string::npos) << run.out;

  std::string cut = ReadFile(std::string(PATINEX_SOURCE_DIR) + "/tests/media/gltf/blender_suzanne.glb");
  const std::string path = Write("cut.glb", cut.substr(0, cut.size() / 2));
  CliRun broken = Cli(path);
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.out.rfind(R"({"schema":1,"command":"model","error":")", 0), 0u) << broken.out;
  EXPECT_EQ(broken.err.rfind("patinex-cli model: " + path + ": the binary glTF file is truncated", 0), 0u) << broken.err;
}

TEST_F(ModelCommand, FailuresAndUsageErrors) {
  CliRun missing = Cli((folder / "absent.obj").string());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out.rfind(R"({"schema":1,"command":"model","error":")", 0), 0u) << missing.out;
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;

  CliRun folderAsModel = Cli(folder.string());
  EXPECT_EQ(folderAsModel.status, 1);
  EXPECT_NE(folderAsModel.err.find("is not a regular file (it is a folder)"), std::string::npos) << folderAsModel.err;
  CliRun notAModel = Cli(Write("notes.txt", "v 0 0 0\n"));
  EXPECT_EQ(notAModel.status, 1);
  EXPECT_NE(notAModel.err.find("not a model file"), std::string::npos) << notAModel.err;

  std::string model = Write("empty.obj", "");
  for (std::string arguments : {std::string(""), model + " " + model, std::string("--bogus")}) {
    CliRun run = Cli(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.err.find("usage: patinex-cli model"), std::string::npos) << run.err;
    EXPECT_NE(Cli(arguments, "obj").err.find("usage: patinex-cli obj"), std::string::npos) << run.err;
  }
  CliRun empty = Cli(model);
  EXPECT_EQ(empty.status, 0);
  EXPECT_NE(empty.out.find(R"("groups":[],"materials":[],"messages":[])"), std::string::npos) << empty.out;
}

// Names in another encoding than UTF-8 (Latin-1 here) still make valid JSON: each byte that is
// not UTF-8 is printed as U+FFFD.
TEST_F(ModelCommand, NamesThatAreNotUtf8BecomeReplacementCharacters) {
  Write("latin.mtl", "newmtl caf\xE9\nKd 1 0 0\n");
  const std::string model = Write("caf\xE9.obj", "mtllib latin.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl caf\xE9\nf 1 2 3\n");
  CliRun run = Cli("'" + model + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find('\xE9'), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"name\":\"caf\xEF\xBF\xBD\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("caf\xEF\xBF\xBD.obj\""), std::string::npos) << run.out;
}
