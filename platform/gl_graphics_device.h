#pragma once

#include <SDL.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/gl_buffers.h"
#include "platform/gl_views.h"
#include "platform/graphics_device.h"

namespace Platform {

// The graphics device on an OpenGL 3.3 core context. Positions handed to it (viewports, pixel
// reads) count from the top left and are turned into GL's bottom-left ones using the height of
// the bound target.
class GlGraphicsDevice final : public GraphicsDevice {
public:
  GlGraphicsDevice(SDL_Window* window, SDL_GLContext context, const DeviceSettings& settings);
  ~GlGraphicsDevice() override;
  // Sets up the fresh context; false with error saying why.
  bool Initialize(std::string* error);

  const DeviceSettings& Settings() const override { return settings; }
  std::string RendererName() const override;
  bool NeedsDepthRemap() const override { return depthRemap; }

  Result Present(uint32_t syncInterval, bool testOnly) override;
  Result ResizeBuffers(uint32_t width, uint32_t height) override;
  SurfaceDescription BackBufferDescription() const override { return backBuffer; }
  RenderTargetView* BackBufferView() override { return &backBufferView; }
  DepthStencilView* DepthStencilBufferView() override { return &backBufferDepthView; }

  void SetRenderTargets(RenderTargetView* color, DepthStencilView* depth) override;
  void ClearRenderTargetView(RenderTargetView* view, const float rgba[4]) override;
  void ClearDepthStencilView(DepthStencilView* view, float depth) override;
  void SetViewport(const Viewport& viewport) override;
  Viewport GetViewport() const override { return viewport; }
  Result ReadPixels(int32_t x, int32_t y, uint32_t width, uint32_t height, float* rgba) override;

  Result CreateVertexBuffer(uint32_t byteWidth, const void* initialData, bool dynamic,
                            std::unique_ptr<Buffer>* buffer) override;
  Result CreateIndexBuffer(uint32_t indexCount, const uint32_t* indices, std::unique_ptr<Buffer>* buffer) override;
  Result CreateInputLayout(const InputElement* elements, uint32_t elementCount, const InputSignature& signature,
                           std::unique_ptr<InputLayout>* layout) override;

  void SetInputLayout(InputLayout* layout) override;
  void SetVertexBuffer(Buffer* buffer, uint32_t stride, uint32_t offset) override;
  void SetIndexBuffer(Buffer* buffer) override;
  void SetPrimitiveTopology(PrimitiveTopology topology) override;
  void Draw(uint32_t vertexCount, uint32_t startVertex) override;
  void DrawIndexed(uint32_t indexCount, uint32_t startIndex, int32_t baseVertex) override;

  Result CreateTextureFromFloatRGBA(uint32_t width, uint32_t height, const float* rgba,
                                    std::unique_ptr<ShaderResourceView>* view) override;
  Result CreateTextureFromFile(const std::string& path, std::unique_ptr<ShaderResourceView>* view) override;
  Result CreateTextureFromMemory(const void* bytes, size_t size, std::unique_ptr<ShaderResourceView>* view) override;
  Result CreateRenderTarget(uint32_t width, uint32_t height, std::unique_ptr<RenderTarget>* target) override;
  Result SetTextureSampling(ShaderResourceView* view, const TextureSampling& sampling) override;
  Result CreateDynamicTexture(uint32_t width, uint32_t height, TextureChannels channels,
                              std::unique_ptr<ShaderResourceView>* view) override;
  Result UpdateTexture(ShaderResourceView* view, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                       const void* texels, uint32_t rowPitch) override;

private:
  using Clock = std::chrono::steady_clock;

  void BindFramebuffer(uint32_t framebuffer, uint32_t width, uint32_t height);
  void ApplyViewport();
  Result TextureFromBytes(const void* bytes, size_t size, const std::string& name,
                          std::unique_ptr<ShaderResourceView>* view);

  SDL_Window* window;
  SDL_GLContext context;
  DeviceSettings settings;
  bool depthRemap = false;
  std::unique_ptr<VertexInputBinding> vertexInput;
  uint32_t topology;

  SurfaceDescription backBuffer;
  RenderTargetView backBufferView{0, 0, 0, 0};
  DepthStencilView backBufferDepthView{0, 0, 0};
  // The framebuffer draws go to, and its size.
  uint32_t boundFramebuffer = 0;
  uint32_t boundWidth = 0;
  uint32_t boundHeight = 0;
  bool backBufferBound = true;
  Viewport viewport;

  // Presenting: the swap interval GL was last given, and the pacing of swaps that do not wait.
  int swapInterval = -1;
  int quickSwaps = 0;
  Clock::time_point nextPresent{};
};

}  // namespace Platform
