#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/effect.h"
#include "platform/graphics_device.h"
#include "platform/result.h"
#include "platform/window_event.h"

class Dialog;
class SpriteBatch;
class DeviceFont;

// A colour as 0xAARRGGBB.
using ArgbColor = uint32_t;

// A colour as four floats 0..1, the form vertices and the sprite batch take.
struct ColorF {
  float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
};
ColorF ToColorF(ArgbColor argb);

// Pixel rectangle in the back buffer, top-left origin, right and bottom exclusive.
struct UIRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// The built-in control texture's resource identifier.
inline constexpr uint32_t kControlTextureResource = 0xFFFF;

struct FontNode {
  std::string face;  // up to 260 code points
  int height = 0;
  int weight = 0;
  std::unique_ptr<DeviceFont> font;  // null without a device
};

struct TextureNode {
  std::string fileName;       // empty for a resource texture
  uint32_t resourceId = 0;    // kControlTextureResource for the built-in texture
  std::unique_ptr<Platform::ShaderResourceView> view;  // null without a device or when loading failed
  uint32_t width = 0;
  uint32_t height = 0;
};

// Owns what every dialog draws with: fonts, textures, the sprite batch, the UI effect, its
// input layout and a 4-vertex dynamic vertex buffer. Its device callbacks follow the
// framework's.
class DialogResourceManager {
public:
  DialogResourceManager();
  ~DialogResourceManager();

  Platform::Result OnDeviceCreated(Platform::GraphicsDevice* device);
  Platform::Result OnSwapChainResized(Platform::GraphicsDevice* device, const Platform::SurfaceDescription& backBuffer);
  void OnSwapChainReleasing();
  void OnDeviceDestroyed();

  // Offered every window event first; takes none.
  bool HandleEvent(Platform::Window* window, const Platform::WindowEvent& event);

  // Registers a font (reusing an equal one: same height and weight, the existing face starting
  // with the new face compared without case over the new face's length). Returns its index, or
  // -1 when it cannot be added. Created on the device at once when one exists.
  int AddFont(const std::string& face, int height, int weight);
  int AddTexture(const std::string& fileName);
  int AddTexture(uint32_t resourceId);
  FontNode* GetFontNode(int index);
  TextureNode* GetTextureNode(int index);

  bool RegisterDialog(Dialog* dialog);
  void UnregisterDialog(Dialog* dialog);
  // Registered dialogs in registration order (focus moves across them with Tab).
  const std::vector<Dialog*>& Dialogs() const { return dialogs; }

  Platform::GraphicsDevice* Device() const { return device; }
  int BackBufferWidth() const { return backBufferWidth; }
  int BackBufferHeight() const { return backBufferHeight; }

  // Drawing, as the dialogs use it in Render.
  // Draws a quad over rect (pixels) with a colour per corner (top-left, top-right, bottom-left,
  // bottom-right), untextured, through every pass of "RenderUIUntex".
  void DrawUntexturedQuad(const UIRect& rect, const ColorF corners[4]);
  // Binds texture `textureIndex` to "g_Texture", starts the sprite batch and applies pass 0 of
  // "RenderUI".
  void BeginSprites(int textureIndex);
  // A textured sprite: textureRect (texels of the texture) stretched over screenRect at depth
  // (0.99 caption, 0.8 button face, 0.6 fill layer; smaller is nearer), tinted by color.
  void DrawSprite(int textureIndex, const UIRect& textureRect, const UIRect& screenRect, float depth, ColorF color);
  // Text in screenRect with the element's text format (Platform::DT_* flags), through the sprite
  // batch; with shadow, a one-pixel dark shadow first. The text is UTF-8.
  void DrawText(int fontIndex, const std::string& text, const UIRect& screenRect, uint32_t format, ColorF color,
                bool shadow);
  // Width and height the text takes in a font (for edit boxes and combo boxes).
  int TextWidth(int fontIndex, const std::string& text);
  // Caret x of the code point at index in a one-line text drawn from 0, and its inverse.
  int CaretX(int fontIndex, const std::string& text, size_t index);
  size_t HitTest(int fontIndex, const std::string& text, float x);
  // Draws what is batched, then applies "RestoreState".
  void EndSprites();
  // Copies a picture of the back buffer's size over the back buffer, texel for pixel, replacing
  // what is there (a picture drawn as a render target has its bottom row first). False when
  // nothing was drawn (no device, no copying technique, no picture).
  bool DrawPicture(Platform::ShaderResourceView* picture, bool bottomRowFirst);

  // The sprite batch the dialogs draw through (null without a device and back buffer).
  const SpriteBatch* Sprites() const { return sprites.get(); }

  // Bumped when the device or the back buffer changes, so dialogs refresh their controls.
  double RefreshTime() const { return refreshTime; }

private:
  Platform::Result CreateFont(FontNode& node);
  Platform::Result CreateTexture(TextureNode& node);

  Platform::GraphicsDevice* device = nullptr;
  std::unique_ptr<Platform::Effect> effect;
  Platform::EffectTechnique* techRenderUI = nullptr;
  Platform::EffectTechnique* techRenderUIUntex = nullptr;
  Platform::EffectTechnique* techRestoreState = nullptr;
  Platform::EffectTechnique* techCopyPicture = nullptr;
  Platform::EffectVariable* textureVariable = nullptr;
  std::unique_ptr<Platform::InputLayout> inputLayout;
  std::unique_ptr<Platform::Buffer> vertexBuffer;  // 4 vertices of 36 bytes
  std::unique_ptr<SpriteBatch> sprites;
  std::vector<FontNode> fonts;
  std::vector<TextureNode> textures;
  std::vector<Dialog*> dialogs;
  int backBufferWidth = 0;
  int backBufferHeight = 0;
  double refreshTime = 0.0;
};
