#include "renderlib/file_paths.h"

#include <gtest/gtest.h>

#include <utility>

using namespace RenderLib;

TEST(FilePaths, StripFilename) {
  const std::pair<const char*, const char*> cases[] = {
      {"media/models/bunny.obj", "media/models"},
      {"media\\bunny.obj", "media"},
      {"dir/sub\\file", "dir/sub"},
      {"bunny.obj", ""},
      {"", ""},
      {"/bunny.obj", "/"},  // the root stays the root
      {"media/", "media"},
  };
  for (const auto& [path, directory] : cases) EXPECT_EQ(StripFilename(path), directory) << path;
}

TEST(FilePaths, AppendPath) {
  struct Case {
    const char* base;
    const char* name;
    const char* result;
  };
  const Case cases[] = {
      {"media", "bunny.mtl", "media/bunny.mtl"},
      {"media/", "bunny.mtl", "media/bunny.mtl"},
      {"media\\", "bunny.mtl", "media\\bunny.mtl"},
      {"", "bunny.mtl", "bunny.mtl"},
      {"media", "/bunny.mtl", "media/bunny.mtl"},  // a leading separator is skipped once
      {"media", "textures\\wood.tga", "media/textures/wood.tga"},
      {"media\\old", "new.tga", "media\\old/new.tga"},  // the base's own separators stay
      {"media", "", "media"},
      {"/", "a.mtl", "/a.mtl"},
  };
  for (const Case& c : cases) EXPECT_EQ(AppendPath(c.base, c.name, '/'), c.result) << c.base << " + " << c.name;
}

TEST(FilePaths, SetFileExtension) {
  struct Case {
    const char* path;
    const char* extension;
    const char* result;
  };
  const Case cases[] = {
      {"media/bunny.obj", "mtl", "media/bunny.mtl"},
      {"media/bunny", "mtl", "media/bunny.mtl"},
      {"media/bunny.obj", ".mtl", "media/bunny.mtl"},
      {"my.models/bunny", "mtl", "my.models/bunny.mtl"},  // a dot before the last separator stays
      {"my.models\\bunny", "mtl", "my.models\\bunny.mtl"},
      {"a.b.c", "mtl", "a.b.mtl"},
      {"", "mtl", ".mtl"},
  };
  for (const Case& c : cases) EXPECT_EQ(SetFileExtension(c.path, c.extension), c.result) << c.path;
}
