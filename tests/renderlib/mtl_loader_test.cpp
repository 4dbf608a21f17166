#include <gtest/gtest.h>

#include <string>

#include "renderlib/obj_loader.h"
#include "tests/renderlib/temporary_folder.h"

using namespace RenderLib;

namespace {

// An uncompressed 24-bit Targa of width x height pixels, all one grey.
std::string Targa(int width, int height) {
  std::string bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, char(width), 0, char(height), 0, 24, 0};
  bytes.append(size_t(width * height * 3), char(128));
  return bytes;
}

class MtlLoader : public testing::Test {
protected:
  // A model with the materials a usemtl line would have created.
  MtlLoader() {
    for (const char* name : {"wood", "metal", "glass"}) {
      Material* material = new Material();
      std::snprintf(material->name, sizeof material->name, "%s", name);
      model.materials.push_back(MaterialHandle(material));
    }
  }

  void Load(const std::string& text) { LoadMtl(folder.Write("lib/materials.mtl", text).c_str(), model, &messages); }

  Material& Named(int i) { return *model.materials[i]; }

  TemporaryFolder folder;
  ObjModel model;
  ErrorList messages;
};

}  // namespace

TEST_F(MtlLoader, ReadsTheFieldsOfTheModelsMaterials) {
  Load("# library\n"
       "newmtl metal\n"
       "Ka 0.1 0.2 0.3\nKd 0.4 0.5 0.6\nKs 1 1 1\n"
       "Ns 96.875\n"       // read as an integer: 96
       "illum 2\n"
       "Tr 0.25\n"
       "newmtl unused\n"   // no group uses it: its lines go nowhere
       "Kd 9 9 9\nNs 3\n"
       "newmtl glass\n"
       "d 0.5\nillum 1\nNs -4\n"
       "Kd 0.5\n");         // a short colour sets what it gives
  EXPECT_TRUE(messages.empty());
  const Material& metal = Named(1);
  EXPECT_EQ(metal.ambient, Vector3(0.1f, 0.2f, 0.3f));
  EXPECT_EQ(metal.diffuse, Vector3(0.4f, 0.5f, 0.6f));
  EXPECT_EQ(metal.specular, Vector3(1, 1, 1));
  EXPECT_EQ(metal.shininess, 96);
  EXPECT_TRUE(metal.specularEnabled);
  EXPECT_FLOAT_EQ(metal.opacity, 0.75f);
  const Material& glass = Named(2);
  EXPECT_FLOAT_EQ(glass.opacity, 0.5f);
  EXPECT_FALSE(glass.specularEnabled);
  EXPECT_EQ(glass.shininess, -4);
  EXPECT_EQ(glass.diffuse, Vector3(0.5f, 0, 0));
  const Material& wood = Named(0);
  EXPECT_EQ(wood.shininess, 50);
  EXPECT_EQ(wood.diffuse, Vector3());
  EXPECT_FLOAT_EQ(wood.opacity, 1.0f);
}

TEST_F(MtlLoader, NewmtlIsFoundAnywhereUntilAMaterialIsCurrent) {
  Load("Kd 1 1 1\n"
       "# newmtl wood\n"         // no material current yet: the comment's second token counts
       "Ns 12\n"
       "# newmtl metal\n"        // now wood is current: a comment is only a comment
       "Ns 13\n"
       "newmtl nothing Kd 1 1 1 newmtl glass\n"
       "Ns 14\n");
  EXPECT_EQ(Named(0).shininess, 13);
  EXPECT_EQ(Named(1).shininess, 50);
  EXPECT_EQ(Named(2).shininess, 14);
  EXPECT_EQ(Named(0).diffuse, Vector3());
}

TEST_F(MtlLoader, TexturesLoadBesideTheLibraryAndFailuresAreReportedOnce) {
  folder.Write("lib/textures/wood.tga", Targa(2, 1));
  folder.Write("lib/shine.tga", Targa(3, 2));
  Load("newmtl wood\n"
       "map_Kd textures\\wood.tga\n"  // backslashes are path separators
       "map_Ks shine.tga\n"
       "map_Ka missing.tga\n"
       "norm shine.tga\n");           // a tangent-space normal map
  Material& wood = Named(0);
  ASSERT_TRUE(wood.diffuseMap);
  EXPECT_EQ(wood.diffuseMap->width, 2u);
  EXPECT_EQ(wood.diffuseMap->height, 1u);
  ASSERT_TRUE(wood.specularMap);
  EXPECT_EQ(wood.specularMap->width, 3u);
  EXPECT_FALSE(wood.ambientMap);
  ASSERT_TRUE(wood.normalMap);
  EXPECT_EQ(wood.normalMap->height, 2u);
  EXPECT_EQ(messages, ErrorList{"Unable to load missing.tga"});

  // An absolute name is read from where it says; a program that draws nothing skips them all.
  messages.clear();
  Load("newmtl glass\nmap_Kd " + folder.Path("lib/shine.tga") + "\n");
  ASSERT_TRUE(Named(2).diffuseMap);
  EXPECT_EQ(Named(2).diffuseMap->width, 3u);
  EXPECT_TRUE(messages.empty());
  LoadMtl(folder.Write("lib/other.mtl", "newmtl metal\nmap_Kd shine.tga\nmap_Ks missing.tga\n").c_str(), model,
          &messages, Textures::kSkip);
  EXPECT_FALSE(Named(1).diffuseMap);
  EXPECT_TRUE(messages.empty());

  // A failed load keeps the image the map had.
  RefCountedImage* before = wood.diffuseMap.Get();
  EXPECT_FALSE(LoadMaterialTexture("missing.tga", folder.Path("lib").c_str(), wood.diffuseMap));
  EXPECT_EQ(wood.diffuseMap.Get(), before);
  EXPECT_EQ(before->ReferenceCount(), 1);
  EXPECT_TRUE(LoadMaterialTexture("shine.tga", folder.Path("lib").c_str(), wood.diffuseMap));
  EXPECT_EQ(wood.diffuseMap->width, 3u);
}

TEST_F(MtlLoader, MissingLibraryLeavesTheDefaults) {
  LoadMtl(folder.Path("none.mtl").c_str(), model, &messages);
  EXPECT_EQ(messages, ErrorList{"file not found"});
  EXPECT_EQ(Named(0).shininess, 50);
  LoadMtl(folder.Path("none.mtl").c_str(), model);
}
