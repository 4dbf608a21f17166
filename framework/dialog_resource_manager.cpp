#include "framework/dialog_resource_manager.h"

#include <algorithm>
#include <cstdio>

#include "framework/device_font.h"
#include "framework/media_search.h"
#include "framework/sprite_batch.h"
#include "framework/ui_effect_source.h"
#include "platform/text_layout.h"

// The built-in control texture, built into the program from media/ui_controls.png.
namespace Framework {
extern const uint8_t kControlTexturePng[];
extern const size_t kControlTexturePngSize;
}  // namespace Framework

namespace {

constexpr size_t kMaxFaceCodePoints = 260;
constexpr uint32_t kSpriteCapacity = 500;
constexpr uint32_t kQuadVertices = 4;
// Where text lies among the layers; text always goes through its own draws (its own texture),
// so the value only matters against other text.
constexpr float kTextDepth = 0.5f;
// The dialogs' background quad.
constexpr float kUntexturedDepth = 0.5f;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `existing` starts with `prefix`, ignoring case.
bool StartsWithNoCase(const std::string& existing, const std::string& prefix) {
  if (prefix.size() > existing.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(existing[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

// The face name cut to its first kMaxFaceCodePoints code points.
std::string LimitFace(const std::string& face) {
  size_t offset = 0;
  size_t count = 0;
  while (offset < face.size() && count < kMaxFaceCodePoints) {
    Platform::DecodeUtf8(face, offset);
    ++count;
  }
  return face.substr(0, offset);
}

Platform::TextRect ToTextRect(const UIRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

}  // namespace

ColorF ToColorF(ArgbColor argb) {
  return {((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
          ((argb >> 24) & 0xFF) / 255.0f};
}

DialogResourceManager::DialogResourceManager() = default;

DialogResourceManager::~DialogResourceManager() {
  OnSwapChainReleasing();
  OnDeviceDestroyed();
}

Platform::Result DialogResourceManager::OnDeviceCreated(Platform::GraphicsDevice* graphicsDevice) {
  OnDeviceDestroyed();
  if (!graphicsDevice) return Platform::kInvalidArgument;

  std::string errors;
  Platform::Result result =
      Platform::CreateEffectFromMemory(graphicsDevice, std::string(kUIEffectSource), kUIEffectName, &effect, &errors);
  if (Platform::Failed(result)) {
    std::fprintf(stderr, "Could not build the UI effect:\n%s\n", errors.c_str());
    return result;
  }
  device = graphicsDevice;
  techRenderUI = effect->TechniqueByName("RenderUI");
  techRenderUIUntex = effect->TechniqueByName("RenderUIUntex");
  techRestoreState = effect->TechniqueByName("RestoreState");
  techCopyPicture = effect->TechniqueByName("CopyPicture");
  textureVariable = effect->VariableByName("g_Texture");

  // A font or texture that cannot be made is drawn as nothing; the GUI still works without it.
  for (FontNode& node : fonts) CreateFont(node);
  for (TextureNode& node : textures) CreateTexture(node);

  result = device->CreateInputLayout(kUIVertexElements, 3, techRenderUI->PassByIndex(0)->Signature(), &inputLayout);
  if (Platform::Succeeded(result)) {
    result = device->CreateVertexBuffer(kQuadVertices * sizeof(UIVertex), nullptr, true, &vertexBuffer);
  }
  if (Platform::Failed(result)) {
    std::fprintf(stderr, "Could not create the UI input layout or vertex buffer\n");
    OnDeviceDestroyed();
    return result;
  }
  refreshTime += 1.0;
  return Platform::kOk;
}

Platform::Result DialogResourceManager::OnSwapChainResized(Platform::GraphicsDevice* graphicsDevice,
                                                           const Platform::SurfaceDescription& backBuffer) {
  sprites.reset();
  backBufferWidth = static_cast<int>(backBuffer.width);
  backBufferHeight = static_cast<int>(backBuffer.height);
  refreshTime += 1.0;
  if (!graphicsDevice || graphicsDevice != device || !inputLayout) return Platform::kInvalidArgument;
  return SpriteBatch::Create(device, inputLayout.get(), kSpriteCapacity, backBufferWidth, backBufferHeight, &sprites);
}

void DialogResourceManager::OnSwapChainReleasing() { sprites.reset(); }

void DialogResourceManager::OnDeviceDestroyed() {
  sprites.reset();
  for (FontNode& node : fonts) node.font.reset();
  for (TextureNode& node : textures) node.view.reset();
  vertexBuffer.reset();
  inputLayout.reset();
  techRenderUI = techRenderUIUntex = techRestoreState = techCopyPicture = nullptr;
  textureVariable = nullptr;
  effect.reset();
  device = nullptr;
}

bool DialogResourceManager::HandleEvent(Platform::Window*, const Platform::WindowEvent&) {
  return false;
}

int DialogResourceManager::AddFont(const std::string& face, int height, int weight) {
  if (height == 0) return -1;
  const std::string limited = LimitFace(face);
  for (size_t i = 0; i < fonts.size(); ++i) {
    if (fonts[i].height == height && fonts[i].weight == weight && StartsWithNoCase(fonts[i].face, limited)) {
      return static_cast<int>(i);
    }
  }
  FontNode node;
  node.face = limited;
  node.height = height;
  node.weight = weight;
  if (device) CreateFont(node);
  fonts.push_back(std::move(node));
  return static_cast<int>(fonts.size() - 1);
}

int DialogResourceManager::AddTexture(const std::string& fileName) {
  if (fileName.empty()) return -1;
  for (size_t i = 0; i < textures.size(); ++i) {
    if (textures[i].resourceId == 0 && textures[i].fileName == fileName) return static_cast<int>(i);
  }
  TextureNode node;
  node.fileName = fileName;
  if (device) CreateTexture(node);
  textures.push_back(std::move(node));
  return static_cast<int>(textures.size() - 1);
}

int DialogResourceManager::AddTexture(uint32_t resourceId) {
  if (resourceId == 0) return -1;
  for (size_t i = 0; i < textures.size(); ++i) {
    if (textures[i].resourceId == resourceId) return static_cast<int>(i);
  }
  TextureNode node;
  node.resourceId = resourceId;
  if (device) CreateTexture(node);
  textures.push_back(std::move(node));
  return static_cast<int>(textures.size() - 1);
}

FontNode* DialogResourceManager::GetFontNode(int index) {
  return index >= 0 && index < static_cast<int>(fonts.size()) ? &fonts[index] : nullptr;
}

TextureNode* DialogResourceManager::GetTextureNode(int index) {
  return index >= 0 && index < static_cast<int>(textures.size()) ? &textures[index] : nullptr;
}

bool DialogResourceManager::RegisterDialog(Dialog* dialog) {
  if (!dialog) return false;
  if (std::find(dialogs.begin(), dialogs.end(), dialog) != dialogs.end()) return true;
  dialogs.push_back(dialog);
  return true;
}

void DialogResourceManager::UnregisterDialog(Dialog* dialog) {
  dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end());
}

Platform::Result DialogResourceManager::CreateFont(FontNode& node) {
  node.font.reset();
  std::string error;
  const Platform::Result result = DeviceFont::Create(device, node.face, node.height, node.weight, &node.font, &error);
  if (Platform::Failed(result)) std::fprintf(stderr, "Could not create a GUI font: %s\n", error.c_str());
  return result;
}

Platform::Result DialogResourceManager::CreateTexture(TextureNode& node) {
  node.view.reset();
  node.width = node.height = 0;
  Platform::Result result = Platform::kInvalidArgument;
  if (node.resourceId == kControlTextureResource) {
    result = device->CreateTextureFromMemory(Framework::kControlTexturePng, Framework::kControlTexturePngSize,
                                             &node.view);
  } else if (node.resourceId != 0) {
    std::fprintf(stderr, "Could not load GUI texture resource 0x%X: the program holds no such resource\n",
                 node.resourceId);
  } else {
    char path[4096];
    if (Platform::Failed(FrameworkFindMediaFile(path, sizeof path, node.fileName.c_str()))) {
      result = device->CreateTextureFromFile(node.fileName, &node.view);
    } else {
      result = device->CreateTextureFromFile(path, &node.view);
    }
  }
  if (node.view) {
    node.width = node.view->Width();
    node.height = node.view->Height();
  }
  return result;
}

void DialogResourceManager::DrawUntexturedQuad(const UIRect& rect, const ColorF corners[4]) {
  if (!device || !vertexBuffer || !techRenderUIUntex || backBufferWidth <= 0 || backBufferHeight <= 0) return;
  auto* vertices = static_cast<UIVertex*>(vertexBuffer->MapDiscard());
  if (!vertices) return;
  const float left = 2.0f * rect.left / backBufferWidth - 1.0f;
  const float right = 2.0f * rect.right / backBufferWidth - 1.0f;
  const float top = 1.0f - 2.0f * rect.top / backBufferHeight;
  const float bottom = 1.0f - 2.0f * rect.bottom / backBufferHeight;
  const float xs[4] = {left, right, left, right};
  const float ys[4] = {top, top, bottom, bottom};
  for (int i = 0; i < 4; ++i) {
    vertices[i] = {xs[i], ys[i], kUntexturedDepth, corners[i].r, corners[i].g, corners[i].b, corners[i].a, 0.0f, 0.0f};
  }
  vertexBuffer->Unmap();
  device->SetInputLayout(inputLayout.get());
  device->SetVertexBuffer(vertexBuffer.get(), sizeof(UIVertex), 0);
  device->SetPrimitiveTopology(Platform::PrimitiveTopology::TriangleStrip);
  for (uint32_t pass = 0; pass < techRenderUIUntex->PassCount(); ++pass) {
    techRenderUIUntex->PassByIndex(pass)->Apply();
    device->Draw(kQuadVertices, 0);
  }
}

void DialogResourceManager::BeginSprites(int textureIndex) {
  if (!device || !sprites || !techRenderUI) return;
  TextureNode* node = GetTextureNode(textureIndex);
  textureVariable->SetResource(node ? node->view.get() : nullptr);
  Platform::EffectPass* pass = techRenderUI->PassByIndex(0);
  sprites->Begin(pass, textureVariable);
  pass->Apply();
}

void DialogResourceManager::DrawSprite(int textureIndex, const UIRect& textureRect, const UIRect& screenRect,
                                       float depth, ColorF color) {
  if (!device || !sprites) return;
  TextureNode* node = GetTextureNode(textureIndex);
  if (!node || !node->view || node->width == 0 || node->height == 0) return;
  const float width = static_cast<float>(node->width);
  const float height = static_cast<float>(node->height);
  Sprite sprite{};
  sprite.left = static_cast<float>(screenRect.left);
  sprite.top = static_cast<float>(screenRect.top);
  sprite.right = static_cast<float>(screenRect.right);
  sprite.bottom = static_cast<float>(screenRect.bottom);
  sprite.depth = depth;
  sprite.u0 = textureRect.left / width;
  sprite.v0 = textureRect.top / height;
  sprite.u1 = textureRect.right / width;
  sprite.v1 = textureRect.bottom / height;
  sprite.color[0] = color.r;
  sprite.color[1] = color.g;
  sprite.color[2] = color.b;
  sprite.color[3] = color.a;
  sprites->Draw(node->view.get(), sprite);
}

void DialogResourceManager::DrawText(int fontIndex, const std::string& text, const UIRect& screenRect,
                                     uint32_t format, ColorF color, bool shadow) {
  if (!device || !sprites) return;
  FontNode* node = GetFontNode(fontIndex);
  if (!node || !node->font) return;
  const float rgba[4] = {color.r, color.g, color.b, color.a};
  node->font->Draw(*sprites, text, ToTextRect(screenRect), format, rgba, shadow, kTextDepth);
}

int DialogResourceManager::TextWidth(int fontIndex, const std::string& text) {
  FontNode* node = GetFontNode(fontIndex);
  if (!node || !node->font) return 0;
  return Platform::MeasureText(node->font->Atlas(), text, Platform::DT_SINGLELINE).width;
}

int DialogResourceManager::CaretX(int fontIndex, const std::string& text, size_t index) {
  FontNode* node = GetFontNode(fontIndex);
  if (!node || !node->font) return 0;
  return Platform::CaretX(node->font->Atlas(), text, index);
}

size_t DialogResourceManager::HitTest(int fontIndex, const std::string& text, float x) {
  FontNode* node = GetFontNode(fontIndex);
  if (!node || !node->font) return 0;
  return Platform::HitTest(node->font->Atlas(), text, x);
}

void DialogResourceManager::EndSprites() {
  if (!device || !sprites) return;
  sprites->End();
  if (techRestoreState) techRestoreState->PassByIndex(0)->Apply();
}

bool DialogResourceManager::DrawPicture(Platform::ShaderResourceView* picture, bool bottomRowFirst) {
  if (!device || !sprites || !techCopyPicture || !picture) return false;
  Platform::EffectPass* pass = techCopyPicture->PassByIndex(0);
  sprites->Begin(pass, textureVariable);
  pass->Apply();
  Sprite sprite{};
  sprite.right = static_cast<float>(backBufferWidth);
  sprite.bottom = static_cast<float>(backBufferHeight);
  sprite.u1 = 1.0f;
  sprite.v0 = bottomRowFirst ? 1.0f : 0.0f;
  sprite.v1 = bottomRowFirst ? 0.0f : 1.0f;
  for (float& channel : sprite.color) channel = 1.0f;
  sprites->Draw(picture, sprite);
  EndSprites();
  return true;
}
