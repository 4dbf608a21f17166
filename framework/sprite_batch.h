#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/effect.h"
#include "platform/graphics_device.h"
#include "platform/result.h"

// The vertex every UI draw uses: clip-space position, colour, texture coordinate.
struct UIVertex {
  float x, y, z;
  float r, g, b, a;
  float u, v;
};
static_assert(sizeof(UIVertex) == 36, "the UI input layout expects 36-byte vertices");

// The input layout elements matching UIVertex.
extern const Platform::InputElement kUIVertexElements[3];

// One textured quad: a screen rectangle in pixels (top-left origin), a depth (smaller is
// nearer), texture coordinates and a colour multiplied with the texels.
struct Sprite {
  float left, top, right, bottom;
  float depth;
  float u0, v0, u1, v1;
  float color[4];
};

// Collects textured quads and draws them as triangle lists from one dynamic vertex buffer through
// a pass that reads the texture from a sampler variable. Quads in a row with the same texture form
// a run, drawn with one draw call; within a run they go from far to near (equal depths keep their
// order), and runs are drawn in the order they were started. Everything held is drawn when the
// buffer is full, on Flush and on End, with the buffer filled once for all its runs: refilling a
// dynamic buffer is what costs, not the draw. Fully transparent quads are dropped (they would
// leave every colour as it is). Nothing is allocated after creation.
class SpriteBatch {
public:
  // Room for maxSprites quads per fill, placed over a target of targetWidth × targetHeight pixels.
  static Platform::Result Create(Platform::GraphicsDevice* device, Platform::InputLayout* layout, uint32_t maxSprites,
                                 int targetWidth, int targetHeight, std::unique_ptr<SpriteBatch>* batch);

  // The pass applied before each draw and the variable the texture is bound to; both, and every
  // texture drawn, must outlive the drawing until End or Flush.
  void Begin(Platform::EffectPass* pass, Platform::EffectVariable* textureVariable);
  void Draw(Platform::ShaderResourceView* texture, const Sprite& sprite);
  void Flush();
  // Flushes and forgets the pass.
  void End();

  uint32_t Capacity() const { return capacity; }
  // Draw calls made since creation (one per run drawn).
  uint64_t DrawCount() const { return drawCount; }
  // Times the vertex buffer was filled since creation.
  uint64_t FillCount() const { return fillCount; }

private:
  // Quads [first, first + count) of pending, all with one texture.
  struct Run {
    Platform::ShaderResourceView* texture;
    uint32_t first;
    uint32_t count;
  };

  SpriteBatch(Platform::GraphicsDevice* device, Platform::InputLayout* layout, uint32_t maxSprites, int width,
              int height, std::unique_ptr<Platform::Buffer> buffer);
  void SortRun(const Run& run);

  Platform::GraphicsDevice* device;
  Platform::InputLayout* layout;
  uint32_t capacity;
  float targetWidth;
  float targetHeight;
  std::unique_ptr<Platform::Buffer> vertexBuffer;  // capacity × 6 vertices
  std::vector<Sprite> pending;                     // reserved to capacity
  std::vector<Run> runs;                           // reserved to capacity
  Platform::EffectPass* pass = nullptr;
  Platform::EffectVariable* textureVariable = nullptr;
  uint64_t drawCount = 0;
  uint64_t fillCount = 0;
};
