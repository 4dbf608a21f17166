#include "framework/sprite_batch.h"

#include <algorithm>
#include <cstdio>

const Platform::InputElement kUIVertexElements[3] = {
    {"POSITION", 0, Platform::Format::R32G32B32_FLOAT, 0},
    {"COLOR", 0, Platform::Format::R32G32B32A32_FLOAT, 12},
    {"TEXCOORD", 0, Platform::Format::R32G32_FLOAT, 28},
};

namespace {

constexpr uint32_t kVerticesPerSprite = 6;
// The orthographic projection over the back buffer the depths are given for.
constexpr float kNear = 0.1f;
constexpr float kFar = 10.0f;

}  // namespace

Platform::Result SpriteBatch::Create(Platform::GraphicsDevice* device, Platform::InputLayout* layout,
                                     uint32_t maxSprites, int targetWidth, int targetHeight,
                                     std::unique_ptr<SpriteBatch>* batch) {
  batch->reset();
  if (!device || !layout || maxSprites == 0 || maxSprites > (1u << 20) || targetWidth <= 0 || targetHeight <= 0) {
    std::fprintf(stderr, "Could not create the sprite batch: %s\n",
                 !device || !layout ? "no device or input layout" : "an empty target or a bad sprite count");
    return Platform::kInvalidArgument;
  }
  std::unique_ptr<Platform::Buffer> buffer;
  const Platform::Result result =
      device->CreateVertexBuffer(maxSprites * kVerticesPerSprite * sizeof(UIVertex), nullptr, true, &buffer);
  if (Platform::Failed(result)) return result;
  batch->reset(new SpriteBatch(device, layout, maxSprites, targetWidth, targetHeight, std::move(buffer)));
  return Platform::kOk;
}

SpriteBatch::SpriteBatch(Platform::GraphicsDevice* graphicsDevice, Platform::InputLayout* inputLayout,
                         uint32_t maxSprites, int width, int height, std::unique_ptr<Platform::Buffer> buffer)
    : device(graphicsDevice),
      layout(inputLayout),
      capacity(maxSprites),
      targetWidth(static_cast<float>(width)),
      targetHeight(static_cast<float>(height)),
      vertexBuffer(std::move(buffer)) {
  pending.reserve(capacity);
  runs.reserve(capacity);
}

void SpriteBatch::Begin(Platform::EffectPass* effectPass, Platform::EffectVariable* variable) {
  Flush();
  pass = effectPass;
  textureVariable = variable;
}

void SpriteBatch::Draw(Platform::ShaderResourceView* spriteTexture, const Sprite& sprite) {
  if (!pass || sprite.color[3] <= 0.0f) return;
  if (pending.size() >= capacity) Flush();
  const auto index = static_cast<uint32_t>(pending.size());
  if (runs.empty() || runs.back().texture != spriteTexture) {
    runs.push_back({spriteTexture, index, 0});
  }
  ++runs.back().count;
  pending.push_back(sprite);
}

void SpriteBatch::SortRun(const Run& run) {
  // Far to near, equal depths in the order drawn; an insertion sort moves nothing when the
  // caller already drew back to front, the usual case.
  Sprite* sprites = pending.data() + run.first;
  for (uint32_t i = 1; i < run.count; ++i) {
    const Sprite moving = sprites[i];
    uint32_t j = i;
    while (j > 0 && sprites[j - 1].depth < moving.depth) {
      sprites[j] = sprites[j - 1];
      --j;
    }
    sprites[j] = moving;
  }
}

void SpriteBatch::Flush() {
  if (pending.empty()) return;
  for (const Run& run : runs) SortRun(run);

  auto* vertices = static_cast<UIVertex*>(vertexBuffer->MapDiscard());
  if (!vertices) {
    std::fprintf(stderr, "Could not map the sprite vertex buffer; %zu sprites not drawn\n", pending.size());
    pending.clear();
    runs.clear();
    return;
  }
  ++fillCount;
  const float scaleX = 2.0f / targetWidth;
  const float scaleY = 2.0f / targetHeight;
  for (size_t i = 0; i < pending.size(); ++i) {
    const Sprite& s = pending[i];
    const float left = s.left * scaleX - 1.0f;
    const float right = s.right * scaleX - 1.0f;
    const float top = 1.0f - s.top * scaleY;
    const float bottom = 1.0f - s.bottom * scaleY;
    // Depths outside near..far are pinned to its ends rather than clipped away.
    const float z = std::clamp((s.depth - kNear) / (kFar - kNear), 0.0f, 1.0f);
    const UIVertex topLeft{left, top, z, s.color[0], s.color[1], s.color[2], s.color[3], s.u0, s.v0};
    const UIVertex topRight{right, top, z, s.color[0], s.color[1], s.color[2], s.color[3], s.u1, s.v0};
    const UIVertex bottomLeft{left, bottom, z, s.color[0], s.color[1], s.color[2], s.color[3], s.u0, s.v1};
    const UIVertex bottomRight{right, bottom, z, s.color[0], s.color[1], s.color[2], s.color[3], s.u1, s.v1};
    UIVertex* quad = vertices + i * kVerticesPerSprite;
    quad[0] = topLeft;
    quad[1] = topRight;
    quad[2] = bottomLeft;
    quad[3] = bottomLeft;
    quad[4] = topRight;
    quad[5] = bottomRight;
  }
  vertexBuffer->Unmap();

  device->SetInputLayout(layout);
  device->SetVertexBuffer(vertexBuffer.get(), sizeof(UIVertex), 0);
  device->SetPrimitiveTopology(Platform::PrimitiveTopology::TriangleList);
  for (const Run& run : runs) {
    if (textureVariable) textureVariable->SetResource(run.texture);
    if (pass) pass->Apply();
    device->Draw(run.count * kVerticesPerSprite, run.first * kVerticesPerSprite);
    ++drawCount;
  }
  pending.clear();
  runs.clear();
}

void SpriteBatch::End() {
  Flush();
  pass = nullptr;
  textureVariable = nullptr;
}
