#pragma once

#include <cstdint>

// What the device's target views stand for in GL: the framebuffer objects that draw into a
// colour or depth surface. The back buffer's views name framebuffer 0.
namespace Platform {

class RenderTargetView {
public:
  // withDepth draws into the colour surface and its paired depth surface; colorOnly into the
  // colour surface alone (GL's default framebuffer cannot drop its depth buffer, so for the back
  // buffer both are 0).
  RenderTargetView(uint32_t withDepth, uint32_t colorOnly, uint32_t width, uint32_t height)
      : framebufferWithDepth(withDepth), framebufferColorOnly(colorOnly), width(width), height(height) {}

  uint32_t FramebufferWithDepth() const { return framebufferWithDepth; }
  uint32_t FramebufferColorOnly() const { return framebufferColorOnly; }
  uint32_t Width() const { return width; }
  uint32_t Height() const { return height; }
  void Resize(uint32_t newWidth, uint32_t newHeight) {
    width = newWidth;
    height = newHeight;
  }

private:
  uint32_t framebufferWithDepth;
  uint32_t framebufferColorOnly;
  uint32_t width;
  uint32_t height;
};

class DepthStencilView {
public:
  // framebuffer holds this depth surface together with its colour surface.
  DepthStencilView(uint32_t framebuffer, uint32_t width, uint32_t height)
      : framebuffer(framebuffer), width(width), height(height) {}

  uint32_t Framebuffer() const { return framebuffer; }
  uint32_t Width() const { return width; }
  uint32_t Height() const { return height; }
  void Resize(uint32_t newWidth, uint32_t newHeight) {
    width = newWidth;
    height = newHeight;
  }

private:
  uint32_t framebuffer;
  uint32_t width;
  uint32_t height;
};

}  // namespace Platform
