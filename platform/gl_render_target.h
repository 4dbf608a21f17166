#pragma once

#include <memory>
#include <string>

#include "platform/gl_views.h"
#include "platform/graphics_device.h"

namespace Platform {

// A float RGBA colour texture and a 32-bit float depth texture of the same size, drawn into
// through two framebuffer objects: one with both surfaces and one with the colour alone.
class GlRenderTarget final : public RenderTarget {
public:
  // Fails (saying why on error) for an empty or too large size, or a framebuffer GL will not draw to.
  static Result Create(uint32_t width, uint32_t height, std::unique_ptr<RenderTarget>* target, std::string* error);
  ~GlRenderTarget() override;

  RenderTargetView* ColorView() override { return &colorView; }
  DepthStencilView* DepthView() override { return &depthView; }
  ShaderResourceView* ColorTexture() override { return &colorTexture; }
  uint32_t Width() const override { return colorTexture.Width(); }
  uint32_t Height() const override { return colorTexture.Height(); }

private:
  GlRenderTarget(uint32_t colorTextureName, uint32_t depthTextureName, uint32_t framebufferWithDepth,
                 uint32_t framebufferColorOnly, uint32_t width, uint32_t height);

  ShaderResourceView colorTexture;
  uint32_t depthTexture;
  RenderTargetView colorView;
  DepthStencilView depthView;
};

}  // namespace Platform
