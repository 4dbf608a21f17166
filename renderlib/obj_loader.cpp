#include "renderlib/obj_loader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "renderlib/file_paths.h"
#include "renderlib/text_scanner.h"
#include "renderlib/vertex_frames.h"

namespace RenderLib {
namespace {

constexpr size_t kMaxTokenLength = 255;
constexpr size_t kMaxNameLength = Material::kNameCapacity - 1;

struct TextureCoordinate {
  float u = 0.0f;
  float v = 0.0f;
};

void Report(ErrorList* errors, std::string message) {
  if (errors != nullptr) errors->push_back(std::move(message));
}

// Every count of the model is a signed 32-bit number; a list that would outgrow that is treated
// like memory running out.
template <class T>
inline void Push(std::vector<T>& list, const T& value) {
  if (list.size() >= size_t{INT32_MAX}) throw std::bad_alloc();
  list.push_back(value);
}

// How large the lists of one read will get, from a quick pass over the text before it is
// read. Only a hint: a list that outgrows it still grows.
struct SizeHints {
  struct Group {
    std::string_view material;  // empty for the faces before any "usemtl"
    int64_t vertices = 0;
    int64_t indices = 0;
  };
  int64_t positions = 0;
  int64_t textureCoordinates = 0;
  int64_t normals = 0;
  std::vector<Group> groups;

  const Group* Find(std::string_view material) const {
    for (const Group& group : groups) {
      if (group.material == material) return &group;
    }
    return nullptr;
  }
};

SizeHints EstimateSizes(std::string_view text) {
  SizeHints hints;
  hints.groups.push_back({});
  size_t current = 0;
  const char* p = text.data();
  const char* end = p + text.size();
  auto blank = [](const char* q, const char* limit) { return q == limit || TextScanner::IsSpace(*q); };
  while (p != end) {
    while (p != end && TextScanner::IsBlank(*p)) ++p;
    if (p == end) break;
    if (p[0] == 'v') {
      if (blank(p + 1, end)) {
        ++hints.positions;
      } else if (p[1] == 't' && blank(p + 2, end)) {
        ++hints.textureCoordinates;
      } else if (p[1] == 'n' && blank(p + 2, end)) {
        ++hints.normals;
      }
    } else if (p[0] == 'f' && blank(p + 1, end)) {
      int64_t corners = 0;
      bool inCorner = false;
      for (++p; p != end && *p != '\n'; ++p) {
        bool isBlank = TextScanner::IsBlank(*p);
        corners += !isBlank && !inCorner;
        inCorner = !isBlank;
      }
      if (corners >= 3) {
        hints.groups[current].vertices += corners;
        hints.groups[current].indices += 3 * (corners - 2);
      }
    } else if (end - p > 6 && std::memcmp(p, "usemtl", 6) == 0 && TextScanner::IsBlank(p[6])) {
      p += 6;
      while (p != end && TextScanner::IsBlank(*p)) ++p;
      const char* name = p;
      while (p != end && !TextScanner::IsSpace(*p) && size_t(p - name) < kMaxNameLength) ++p;
      std::string_view material(name, size_t(p - name));
      if (!material.empty()) {
        current = 0;
        while (current < hints.groups.size() && hints.groups[current].material != material) ++current;
        if (current == hints.groups.size()) hints.groups.push_back({material});
      }
    }
    const void* newline = p != end ? std::memchr(p, '\n', size_t(end - p)) : nullptr;
    p = newline != nullptr ? static_cast<const char*>(newline) + 1 : end;
  }
  return hints;
}

template <class T>
void Reserve(std::vector<T>& list, int64_t count) {
  list.reserve(static_cast<size_t>(std::min<int64_t>(count, INT32_MAX)));
}

class ObjReader {
public:
  ObjReader(ErrorList* errors, Textures textures) : errors(errors), textures(textures) {}

  std::unique_ptr<ObjModel> Read(const char* path) {
    std::string reason;
    if (!scanner.Open(path, &reason)) {
      Report(errors, UnreadableFileMessage(reason));
      return nullptr;
    }
    hints = EstimateSizes(scanner.Text());
    Reserve(positions, hints.positions);
    Reserve(textureCoordinates, hints.textureCoordinates);
    Reserve(normals, hints.normals);
    model = std::make_unique<ObjModel>();
    model->groups.emplace_back();
    ReserveGroup(model->groups[0], "");

    while (true) {
      std::string_view token = scanner.Token(kMaxTokenLength);
      if (token.empty()) break;
      if (token == "v") {
        Vector3 position;
        ReadFloats(&position.x, 3);
        Push(positions, position);
      } else if (token == "vt") {
        float uv[2] = {0.0f, 0.0f};
        ReadFloats(uv, 2);
        Push(textureCoordinates, TextureCoordinate{uv[0], uv[1]});
      } else if (token == "vn") {
        Vector3 normal;
        ReadFloats(&normal.x, 3);
        // A zero or broken normal stays as it is here and is repaired once the faces are known.
        ScaleToUnit(normal);
        Push(normals, normal);
        fileHasNormals = true;
      } else if (token == "f") {
        ReadFace();
      } else if (token == "mtllib") {
        std::string_view name = scanner.LineToken(kMaxNameLength);
        if (!name.empty()) libraryName.assign(name);
        hasLibrary = hasLibrary || !name.empty();
      } else if (token == "usemtl") {
        std::string_view name = scanner.LineToken(kMaxNameLength);
        if (!name.empty()) SelectMaterial(name);
      }
      scanner.SkipLine();
    }

    RemoveEmptyGroups();
    for (MeshGroup& group : model->groups) {
      if (!fileHasNormals) ComputeVertexNormals(group);
      RepairNormals(group);
    }
    // Without an "mtllib" line the model names no library, and none is looked for.
    if (hasLibrary) {
      const std::string libraryFile =
          libraryName[0] == '/' ? libraryName : AppendPath(StripFilename(path), libraryName, '/');
      const std::string libraryPath = SetFileExtension(libraryFile, "mtl");
      // The model was read whole; its text is not needed while the library is read.
      scanner.Close();
      LoadMtl(libraryPath.c_str(), *model, errors, textures);
    }
    for (MeshGroup& group : model->groups) ComputeTangents(group);
    return std::move(model);
  }

private:
  // Reads up to count numbers from the current line; missing ones stay as they are.
  void ReadFloats(float* values, int count) {
    for (int i = 0; i < count; ++i) {
      if (!scanner.ReadFloat(values[i])) return;
    }
  }

  // One face line, after its "f". Every corner becomes a vertex of its own; polygons are cut
  // into fans around their first corner. A face with a corner that cannot be read or points
  // outside the arrays, or with fewer than three corners, is dropped whole and reported.
  void ReadFace() {
    int32_t line = scanner.Line();
    MeshGroup& group = model->groups[currentGroup];
    const size_t firstVertex = group.vertices.size();
    const size_t firstIndex = group.indices.size();
    // Within a face a corner without texture or normal index keeps what the previous one set.
    VertexNormalUV corner;
    int32_t cornerCount = 0;
    bool readable = true;
    while (true) {
      scanner.SkipBlanks();
      if (scanner.AtLineEnd()) break;
      // A comment after the corners ends the face.
      if (scanner.Peek() == '#') {
        scanner.SkipToLineEnd();
        break;
      }
      readable = ReadCorner(corner);
      if (!readable) break;

      const int32_t vertex = static_cast<int32_t>(group.vertices.size());
      Push(group.vertices, corner);
      if (cornerCount < 3) {
        Push(group.indices, vertex);
      } else {
        const int32_t first = group.indices[group.indices.size() - 3];
        const int32_t last = group.indices.back();
        Push(group.indices, first);
        Push(group.indices, last);
        Push(group.indices, vertex);
      }
      ++cornerCount;
    }
    if (readable && cornerCount >= 3) return;

    group.vertices.resize(firstVertex);
    group.indices.resize(firstIndex);
    scanner.SkipToLineEnd();
    if (!readable) {
      Report(errors, "bad face at line " + std::to_string(line));
    } else {
      Report(errors, "face with fewer than three corners at line " + std::to_string(line));
    }
  }

  // position[/[texture][/normal]], ending at a blank or the end of the line.
  bool ReadCorner(VertexNormalUV& corner) {
    int32_t p = scanner.ReadIndex(static_cast<int32_t>(positions.size()));
    if (p < 0) return false;
    corner.position = positions[p];
    if (scanner.Peek() == '/') {
      scanner.Advance();
      if (scanner.Peek() != '/') {
        int32_t t = scanner.ReadIndex(static_cast<int32_t>(textureCoordinates.size()));
        if (t < 0) return false;
        corner.u = textureCoordinates[t].u;
        corner.v = textureCoordinates[t].v;
      }
      if (scanner.Peek() == '/') {
        scanner.Advance();
        int32_t n = scanner.ReadIndex(static_cast<int32_t>(normals.size()));
        if (n < 0) return false;
        corner.normal = normals[n];
      }
    }
    return TextScanner::IsSpace(scanner.Peek());
  }

  // Makes current the group of the named material, creating group and material on first use.
  void SelectMaterial(std::string_view name) {
    for (size_t i = 0; i < model->groups.size(); ++i) {
      const int32_t materialIndex = model->groups[i].materialIndex;
      if (materialIndex >= 0 && name == model->materials[static_cast<size_t>(materialIndex)]->name) {
        currentGroup = i;
        return;
      }
    }
    Material* material = new Material();
    std::memcpy(material->name, name.data(), name.size());
    material->name[name.size()] = '\0';
    MaterialHandle handle(material);
    currentGroup = model->groups.size();
    model->groups.emplace_back().materialIndex = static_cast<int32_t>(model->materials.size());
    model->materials.push_back(handle);
    ReserveGroup(model->groups[currentGroup], name);
  }

  void ReserveGroup(MeshGroup& group, std::string_view material) {
    if (const SizeHints::Group* hint = hints.Find(material)) {
      Reserve(group.vertices, hint->vertices);
      Reserve(group.indices, hint->indices);
    }
  }

  // Moves the last group into the slot of each group without triangles.
  void RemoveEmptyGroups() {
    std::vector<MeshGroup>& groups = model->groups;
    for (size_t i = 0; i < groups.size();) {
      if (!groups[i].indices.empty()) {
        ++i;
        continue;
      }
      if (i != groups.size() - 1) groups[i] = std::move(groups.back());
      groups.pop_back();
    }
  }

  ErrorList* errors;
  Textures textures;
  TextScanner scanner;
  SizeHints hints;
  std::unique_ptr<ObjModel> model;
  std::vector<Vector3> positions;
  std::vector<TextureCoordinate> textureCoordinates;
  std::vector<Vector3> normals;
  std::string libraryName;
  bool hasLibrary = false;
  bool fileHasNormals = false;
  size_t currentGroup = 0;
};

}  // namespace

std::unique_ptr<ObjModel> LoadObj(const char* path, ErrorList* errors, Textures textures) {
  try {
    return ObjReader(errors, textures).Read(path);
  } catch (const std::bad_alloc&) {
    Report(errors, std::string("out of memory reading ") + (path != nullptr ? path : "(no path)"));
    return nullptr;
  }
}

}  // namespace RenderLib
