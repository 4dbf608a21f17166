#include "renderlib/obj_loader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "tests/renderlib/temporary_folder.h"

using namespace RenderLib;

namespace {

class ObjLoader : public testing::Test {
protected:
  std::unique_ptr<ObjModel> Load(const std::string& text, const std::string& name = "model.obj") {
    messages.clear();
    return LoadObj(folder.Write(name, text).c_str(), &messages);
  }

  static std::vector<int32_t> Indices(const MeshGroup& group) { return {group.indices.begin(), group.indices.end()}; }

  TemporaryFolder folder;
  ErrorList messages;
};

const char* kSquare =
    "v 0 0 0\n"
    "v 1 0 0\n"
    "v 1 1 0\n"
    "v 0 1 0\n"
    "vt 0 0\n"
    "vt 1 0 0.5\n"  // a third texture value is skipped
    "vt 1 1\n"
    "vn 0 0 2\n"    // scaled to unit length
    "vn 1 0 0\n";

void ExpectUnitFrames(const ObjModel& model) {
  for (const MeshGroup& group : model.groups) {
    for (const VertexNormalUV& vertex : group.vertices) {
      ASSERT_NEAR(Length(vertex.normal), 1.0f, 1e-5f);
      ASSERT_NEAR(Length(vertex.tangent), 1.0f, 1e-5f);
      ASSERT_NEAR(Dot(vertex.normal, vertex.tangent), 0.0f, 1e-3f);
    }
  }
}

}  // namespace

TEST_F(ObjLoader, PolygonsBecomeFansOfCornersOfTheirOwn) {
  auto model = Load(std::string(kSquare) +
                    "f 1 2 3 4\n"
                    "f 1 2 3 4 1\n"           // a pentagon, repeating a corner
                    "f\t1\t2 \t3\t \r\n");    // tabs separate corners too; CR LF ends the line
  ASSERT_TRUE(model);
  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(model->groups.size(), 1u);
  const MeshGroup& group = model->groups[0];
  EXPECT_EQ(group.materialIndex, -1);
  EXPECT_EQ(group.vertices.size(), 4u + 5u + 3u);
  EXPECT_EQ(Indices(group), (std::vector<int32_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7, 4, 7, 8, 9, 10, 11}));
  EXPECT_EQ(group.vertices[8].position, Vector3(0, 0, 0));  // corner "1" again, a vertex of its own
  EXPECT_EQ(group.vertices[11].position, Vector3(1, 1, 0));
}

TEST_F(ObjLoader, CornerAttributesAndWhatACornerWithoutThemKeeps) {
  auto model = Load(std::string(kSquare) +
                    "f 1/1/2 2/2 3//1\n"   // 2/2 keeps normal 2 from the corner before it
                    "f 1 2 3\n");          // a new face starts from zero
  ASSERT_TRUE(model);
  const MeshGroup& group = model->groups[0];
  ASSERT_EQ(group.vertices.size(), 6u);
  const VertexNormalUV* v = group.vertices.data();
  EXPECT_EQ(v[0].normal, Vector3(1, 0, 0));
  EXPECT_EQ(v[1].u, 1.0f);
  EXPECT_EQ(v[1].v, 0.0f);
  EXPECT_EQ(v[1].normal, Vector3(1, 0, 0));
  EXPECT_EQ(v[2].normal, Vector3(0, 0, 1));
  EXPECT_EQ(v[2].u, 1.0f);  // "3//1" gives no texture index: u, v stay from corner 2
  EXPECT_EQ(v[3].u, 0.0f);
  EXPECT_EQ(v[4].u, 0.0f);
  // A file with normals gets no computed ones; a corner without any takes its face's own.
  EXPECT_NEAR(Length(v[4].normal), 1.0f, 1e-6f);
  ExpectUnitFrames(*model);
}

TEST_F(ObjLoader, BrokenFacesAreDroppedWholeAndReported) {
  auto model = Load(std::string(kSquare) +
                    "f 1 2 3\n"
                    "f 1 2 0\n"        // line 11: index 0
                    "f 1 -1 2\n"       // relative indices are not read
                    "f 1 2 5\n"        // one past the positions
                    "f 1/4 2/1 3/1\n"  // one past the texture coordinates
                    "f 1//3 2//1 3//1\n"
                    "f 1 2 x\n"
                    "f 1/ 2 3\n"
                    "f 1 2 3abc\n"
                    "f 1 2 99999999999999999999\n"
                    "f 1 2\n"          // line 20
                    "f\n"
                    "f 1 2 3 # a comment ends the face\n"
                    "f 2 3 4");        // the last line needs no line feed
  ASSERT_TRUE(model);
  std::vector<std::string> expected;
  for (int line = 11; line <= 19; ++line) expected.push_back("bad face at line " + std::to_string(line));
  expected.push_back("face with fewer than three corners at line 20");
  expected.push_back("face with fewer than three corners at line 21");
  EXPECT_EQ(messages, expected);
  ASSERT_EQ(model->groups.size(), 1u);
  const MeshGroup& group = model->groups[0];
  EXPECT_EQ(Indices(group), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_EQ(group.vertices.size(), 9u);
  EXPECT_EQ(group.vertices[3].position, group.vertices[0].position);
  EXPECT_EQ(group.vertices[6].position, Vector3(1, 0, 0));
  EXPECT_EQ(group.vertices[8].position, Vector3(0, 1, 0));
}

TEST_F(ObjLoader, MaterialsMakeGroupsAndEmptyGroupsGo) {
  auto model = Load(std::string(kSquare) +
                    "usemtl a\nf 1 2 3\n"
                    "usemtl b\nf 2 3 4\nf 1 3 4\n"
                    "usemtl a\nf 4 3 2\n"
                    "usemtl c\n"      // selected but never given a face
                    "Usemtl b\n");    // keywords are case-sensitive
  ASSERT_TRUE(model);
  ASSERT_EQ(model->materials.size(), 3u);
  EXPECT_STREQ(model->materials[0]->name, "a");
  EXPECT_STREQ(model->materials[2]->name, "c");
  // Group 0 had no faces: the last group took its slot; then c's empty group went too.
  ASSERT_EQ(model->groups.size(), 2u);
  EXPECT_EQ(model->groups[0].materialIndex, 1);
  EXPECT_EQ(model->groups[0].indices.size(), 6u);
  EXPECT_EQ(model->groups[1].materialIndex, 0);
  EXPECT_EQ(model->groups[1].indices.size(), 6u);
  EXPECT_EQ(model->groups[1].vertices[3].position, Vector3(0, 1, 0));
  EXPECT_EQ(model->materials[1]->ReferenceCount(), 1);
  // The model names no library, so none is looked for and nothing is reported.
  EXPECT_TRUE(messages.empty());
}

// Each material of a model with several keeps its own name and maps on its own group, a normal
// map ("norm") included, so each ages and exports with what it had.
TEST_F(ObjLoader, EachMaterialsGroupKeepsItsNameAndMaps) {
  const std::string grey = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, char(128), char(128), char(128)};
  folder.Write("wide.tga", std::string({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0}) + grey.substr(18) +
                               grey.substr(18));
  folder.Write("dot.tga", grey);
  folder.Write("model.mtl", "newmtl brick\nmap_Kd wide.tga\nnorm dot.tga\nnewmtl tin\nmap_Kd dot.tga\n");
  auto model = Load("mtllib model.mtl\n" + std::string(kSquare) + "usemtl tin\nf 1 2 3\nusemtl brick\nf 2 3 4\n");
  ASSERT_TRUE(model);
  EXPECT_TRUE(messages.empty()) << messages[0];
  ASSERT_EQ(model->groups.size(), 2u);
  const Material& first = *model->materials[size_t(model->groups[0].materialIndex)];
  const Material& second = *model->materials[size_t(model->groups[1].materialIndex)];
  ASSERT_NE(std::string(first.name), std::string(second.name));
  const bool tinFirst = std::string(first.name) == "tin";
  const Material& tin = tinFirst ? first : second;
  const Material& brick = tinFirst ? second : first;
  EXPECT_STREQ(tin.name, "tin");
  EXPECT_STREQ(brick.name, "brick");
  // tin's group holds the first face, brick's the second.
  const MeshGroup& tinGroup = model->groups[tinFirst ? 0 : 1];
  ASSERT_EQ(tinGroup.indices.size(), 3u);
  EXPECT_EQ(tinGroup.vertices[size_t(tinGroup.indices[0])].position, Vector3(0, 0, 0));
  ASSERT_TRUE(tin.diffuseMap && brick.diffuseMap && brick.normalMap);
  EXPECT_EQ(tin.diffuseMap->width, 1u);
  EXPECT_EQ(brick.diffuseMap->width, 2u);
  EXPECT_FALSE(tin.normalMap);
  EXPECT_EQ(brick.normalMap->width, 1u);
}

TEST_F(ObjLoader, NormalsAndTangentsAgainstDoubleArithmetic) {
  // Random triangles with random texture coordinates and no "vn": every corner gets the face
  // normal Cross(p2 - p0, p1 - p0) and the tangent along increasing u, worked out here in double.
  std::mt19937 random(9);
  std::uniform_real_distribution<double> value(-3, 3);
  std::string text;
  struct Corner {
    double p[3], u, v;
  } corners[150];
  for (Corner& c : corners) {
    c = {{value(random), value(random), value(random)}, value(random), value(random)};
    char line[200];
    std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\nvt %.9g %.9g\n", c.p[0], c.p[1], c.p[2], c.u, c.v);
    text += line;
  }
  for (int a = 1; a < 150; a += 3) {
    std::string i = std::to_string(a), j = std::to_string(a + 1), k = std::to_string(a + 2);
    text += "f " + i + "/" + i + " " + j + "/" + j + " " + k + "/" + k + "\n";
  }
  auto model = Load(text);
  ASSERT_TRUE(model);
  const MeshGroup& group = model->groups[0];
  for (int t = 0; t < 50; ++t) {
    const Corner &a = corners[3 * t], &b = corners[3 * t + 1], &c = corners[3 * t + 2];
    double e1[3], e2[3], normal[3], tangent[3];
    double du1 = b.u - a.u, dv1 = b.v - a.v, du2 = c.u - a.u, dv2 = c.v - a.v, r = 1 / (du1 * dv2 - du2 * dv1);
    for (int k = 0; k < 3; ++k) {
      e1[k] = b.p[k] - a.p[k];
      e2[k] = c.p[k] - a.p[k];
      tangent[k] = (e1[k] * dv2 - e2[k] * dv1) * r;
    }
    for (int k = 0; k < 3; ++k) normal[k] = e2[(k + 1) % 3] * e1[(k + 2) % 3] - e2[(k + 2) % 3] * e1[(k + 1) % 3];
    double normalLength = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
    for (double& n : normal) n /= normalLength;
    double along = tangent[0] * normal[0] + tangent[1] * normal[1] + tangent[2] * normal[2];
    for (int k = 0; k < 3; ++k) tangent[k] -= along * normal[k];
    double tangentLength = std::sqrt(tangent[0] * tangent[0] + tangent[1] * tangent[1] + tangent[2] * tangent[2]);
    for (int corner = 0; corner < 3; ++corner) {
      const VertexNormalUV& vertex = group.vertices[3 * t + corner];
      for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(vertex.normal[k], normal[k], 1e-4) << "triangle " << t;
        EXPECT_NEAR(vertex.tangent[k], tangent[k] / tangentLength, 2e-3) << "triangle " << t;
      }
    }
  }
}

TEST_F(ObjLoader, DegenerateInputStillGivesUnitFrames) {
  auto model = Load(
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 2 0 0\n"
      "v nan 0 0\nv inf 1 0\nv 3e38 -3e38 0\nv 1e-30 0 0\nv 0 1e-30 0\n"
      "vn 0 0 0\nvn nan 1 0\n"
      "f 1 2 3\n"                  // no normal index in a file with normals
      "f 1//1 2//1 3//1\n"          // zero normals
      "f 1//2 2//2 3//2\n"          // NaN normals
      "f 1 2 4\n"                   // no area
      "f 5 6 7\n"                   // NaN, infinite and huge positions
      "f 1 8 9\n"                   // tiny but proper
      "f 1 2 3 2\n"                 // a fan whose sum of normals cancels
      "f 4 3 1\n");                 // no texture coordinates at all: any perpendicular tangent
  ASSERT_TRUE(model);
  ExpectUnitFrames(*model);
  const MeshGroup& group = model->groups[0];
  // A zero normal from the file takes the face's own: Cross(p2 - p0, p1 - p0) points down z.
  EXPECT_NEAR(group.vertices[3].normal.z, -1.0f, 1e-6f);
  EXPECT_NEAR(group.vertices[15].normal.z, -1.0f, 1e-6f);
}

TEST_F(ObjLoader, TokensAndLines) {
  auto model = Load(
      "# a comment with f 1 2 3 in it\n"
      "V 9 9 9\n"                    // case matters: not a position
      "v 1 2\n"                      // a missing coordinate is 0, and the vertex still counts
      "v 1e1 -.5 +2.5 extra\n"
      "\n\n   v 0 0 1\n"
      "vt 0.25\n"
      "f 1/1 2/1 3/1\n" +
      // A 255-character token, then 1000 skipped characters; what follows is read as tokens.
      std::string(1254, '#') + " f 1 2 3\n");
  ASSERT_TRUE(model);
  const MeshGroup& group = model->groups[0];
  ASSERT_EQ(group.vertices.size(), 6u);
  EXPECT_EQ(group.vertices[0].position, Vector3(1, 2, 0));
  EXPECT_EQ(group.vertices[1].position, Vector3(10, -0.5f, 2.5f));
  EXPECT_EQ(group.vertices[2].position, Vector3(0, 0, 1));
  EXPECT_EQ(group.vertices[2].u, 0.25f);
  EXPECT_EQ(group.vertices[2].v, 0.0f);
}

TEST_F(ObjLoader, MissingFilesAndLibraryPath) {
  EXPECT_EQ(LoadObj(folder.Path("absent.obj").c_str(), &messages), nullptr);
  EXPECT_EQ(messages, ErrorList{"file not found"});
  EXPECT_EQ(LoadObj(folder.Path("absent.obj").c_str()), nullptr);  // no list: nothing to say

  // The library's extension is replaced by "mtl"; it is looked up beside the model.
  folder.Write("sub/materials.mtl", "newmtl shiny\nNs 7\n");
  auto model = Load("mtllib sub/materials.txt other.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl shiny\nf 1 2 3\n");
  ASSERT_TRUE(model);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(model->materials[0]->shininess, 7);

  model = Load("mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl shiny\nf 1 2 3\n");
  ASSERT_TRUE(model);
  EXPECT_EQ(messages, ErrorList{"file not found"});
  EXPECT_EQ(model->materials[0]->shininess, 50);

  // An absolute library path is taken as it is, not under the model's folder.
  model = Load("mtllib " + folder.Path("sub/materials.mtl") + "\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl shiny\nf 1 2 3\n",
               "elsewhere/model.obj");
  ASSERT_TRUE(model);
  EXPECT_TRUE(messages.empty()) << messages[0];
  EXPECT_EQ(model->materials[0]->shininess, 7);

  // What is not a regular file is refused unread, a library as much as a model.
  std::filesystem::create_symlink("/dev/zero", folder.Path("zero.mtl"));
  model = Load("mtllib zero.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl shiny\nf 1 2 3\n");
  ASSERT_TRUE(model);
  EXPECT_EQ(messages, ErrorList{folder.Path("zero.mtl") + " is not a regular file (it is a character device)"});
  EXPECT_EQ(LoadObj(folder.Path("zero.mtl").c_str(), &messages), nullptr);

  model = Load("");
  ASSERT_TRUE(model);
  EXPECT_EQ(model->groups.size(), 0u);
  EXPECT_EQ(model->materials.size(), 0u);
}
