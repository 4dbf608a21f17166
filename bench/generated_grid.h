#pragma once

// A 708 x 708 grid of quads cut into 1,002,528 triangles over a gently curved surface, with
// texture coordinates and normals, written as the loader benchmarks' large model: as OBJ text
// (faces v/vt/vn) and as binary glTF (shared vertices, 32-bit indices).

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace GeneratedGrid {

constexpr int kCells = 708;
constexpr int kSide = kCells + 1;

struct Grid {
  std::vector<float> positions;  // x y z a vertex
  std::vector<float> normals;
  std::vector<float> coordinates;  // u v a vertex, v growing upwards as in OBJ files
  std::vector<uint32_t> triangles;
};

inline Grid Make() {
  Grid grid;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> jitter(-0.001f, 0.001f);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      float px = x * 0.01f - 3.54f, pz = y * 0.01f - 3.54f;
      grid.positions.insert(grid.positions.end(),
                            {px + jitter(random), 0.1f * (px * px - pz * pz), pz + jitter(random)});
      float nx = -0.2f * px, nz = 0.2f * pz, length = std::sqrt(nx * nx + 1.0f + nz * nz);
      grid.normals.insert(grid.normals.end(), {nx / length, 1.0f / length, nz / length});
      grid.coordinates.insert(grid.coordinates.end(), {x / float(kCells), y / float(kCells)});
    }
  }
  for (int y = 0; y < kCells; ++y) {
    for (int x = 0; x < kCells; ++x) {
      uint32_t a = uint32_t(y * kSide + x), b = a + 1, c = a + kSide + 1, d = a + kSide;
      grid.triangles.insert(grid.triangles.end(), {a, b, c, a, c, d});
    }
  }
  return grid;
}

// Empty when the file cannot be written.
inline std::filesystem::path WriteObj(const Grid& grid, const std::filesystem::path& path) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return {};
  std::fprintf(file, "# generated grid\n");
  const size_t vertices = grid.positions.size() / 3;
  for (size_t i = 0; i < vertices; ++i) {
    std::fprintf(file, "v %f %f %f\n", grid.positions[3 * i], grid.positions[3 * i + 1], grid.positions[3 * i + 2]);
  }
  for (size_t i = 0; i < vertices; ++i)
    std::fprintf(file, "vt %f %f\n", grid.coordinates[2 * i], grid.coordinates[2 * i + 1]);
  for (size_t i = 0; i < vertices; ++i) {
    std::fprintf(file, "vn %f %f %f\n", grid.normals[3 * i], grid.normals[3 * i + 1], grid.normals[3 * i + 2]);
  }
  for (size_t t = 0; t < grid.triangles.size(); t += 3) {
    uint32_t a = grid.triangles[t] + 1, b = grid.triangles[t + 1] + 1, c = grid.triangles[t + 2] + 1;
    std::fprintf(file, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", a, a, a, b, b, b, c, c, c);
  }
  bool written = std::ferror(file) == 0;
  written = std::fclose(file) == 0 && written;
  return written ? path : std::filesystem::path();
}

inline std::string Base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t chunk = uint32_t(uint8_t(bytes[i])) << 16;
    if (i + 1 < bytes.size()) chunk |= uint32_t(uint8_t(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) chunk |= uint8_t(bytes[i + 2]);
    text += kDigits[chunk >> 18];
    text += kDigits[(chunk >> 12) & 63];
    text += i + 1 < bytes.size() ? kDigits[(chunk >> 6) & 63] : '=';
    text += i + 2 < bytes.size() ? kDigits[chunk & 63] : '=';
  }
  return text;
}

enum class GltfForm { Binary, SeparateBuffer, DataUri };

// Binary glTF (.glb), or the JSON with its buffer in a .bin file beside it or in a data URI.
// Empty when a file cannot be written.
inline std::filesystem::path WriteGltf(const Grid& grid, const std::filesystem::path& path, GltfForm form) {
  const size_t vertices = grid.positions.size() / 3;
  std::string data;
  auto append = [&data](const void* bytes, size_t size) {
    size_t offset = data.size();
    data.append(static_cast<const char*>(bytes), size);
    return offset;
  };
  std::vector<float> flipped(grid.coordinates);
  for (size_t i = 1; i < flipped.size(); i += 2) flipped[i] = 1.0f - flipped[i];  // glTF's v grows downwards
  const size_t positionBytes = grid.positions.size() * 4, normalBytes = grid.normals.size() * 4;
  const size_t coordinateBytes = flipped.size() * 4, indexBytes = grid.triangles.size() * 4;
  append(grid.positions.data(), positionBytes);
  append(grid.normals.data(), normalBytes);
  append(flipped.data(), coordinateBytes);
  append(grid.triangles.data(), indexBytes);
  float low[3] = {1e30f, 1e30f, 1e30f}, high[3] = {-1e30f, -1e30f, -1e30f};
  for (size_t i = 0; i < grid.positions.size(); ++i) {
    low[i % 3] = std::fmin(low[i % 3], grid.positions[i]);
    high[i % 3] = std::fmax(high[i % 3], grid.positions[i]);
  }
  const bool binary = form == GltfForm::Binary;
  const std::filesystem::path binPath = std::filesystem::path(path).replace_extension(".bin");
  const std::string uri = form == GltfForm::Binary         ? std::string()
                          : form == GltfForm::DataUri      ? "data:application/octet-stream;base64," + Base64(data)
                                                           : binPath.filename().string();
  std::string json(4096 + uri.size(), '\0');
  const int length = std::snprintf(json.data(), json.size(),
                R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
                R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2},"indices":3}]}],)"
                R"("buffers":[{%s%s%s"byteLength":%zu}],"bufferViews":[)"
                R"({"buffer":0,"byteOffset":0,"byteLength":%zu,"target":34962},)"
                R"({"buffer":0,"byteOffset":%zu,"byteLength":%zu,"target":34962},)"
                R"({"buffer":0,"byteOffset":%zu,"byteLength":%zu,"target":34962},)"
                R"({"buffer":0,"byteOffset":%zu,"byteLength":%zu,"target":34963}],"accessors":[)"
                R"({"bufferView":0,"componentType":5126,"count":%zu,"type":"VEC3","min":[%g,%g,%g],"max":[%g,%g,%g]},)"
                R"({"bufferView":1,"componentType":5126,"count":%zu,"type":"VEC3"},)"
                R"({"bufferView":2,"componentType":5126,"count":%zu,"type":"VEC2"},)"
                R"({"bufferView":3,"componentType":5125,"count":%zu,"type":"SCALAR"}]})",
                binary ? "" : "\"uri\":\"", uri.c_str(), binary ? "" : "\",", data.size(), positionBytes,
                positionBytes, normalBytes, positionBytes + normalBytes, coordinateBytes,
                positionBytes + normalBytes + coordinateBytes, indexBytes, vertices, low[0], low[1], low[2], high[0],
                high[1], high[2], vertices, vertices, grid.triangles.size());
  auto write = [](const std::filesystem::path& target, const std::string& bytes) {
    FILE* file = std::fopen(target.c_str(), "wb");
    if (file == nullptr) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
  };
  json.resize(size_t(length));
  if (form == GltfForm::DataUri) return write(path, json) ? path : std::filesystem::path();
  if (!binary) return write(binPath, data) && write(path, json) ? path : std::filesystem::path();
  std::string text = json;
  while (text.size() % 4 != 0) text.push_back(' ');
  auto word = [](std::string& out, uint32_t value) { out.append(reinterpret_cast<const char*>(&value), 4); };
  std::string file = "glTF";
  word(file, 2);
  word(file, uint32_t(12 + 8 + text.size() + 8 + data.size()));
  word(file, uint32_t(text.size()));
  file += "JSON" + text;
  word(file, uint32_t(data.size()));
  file += std::string("BIN\0", 4) + data;
  return write(path, file) ? path : std::filesystem::path();
}

}  // namespace GeneratedGrid
