#include "platform/gl_graphics_device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "imagelib/image_decoder.h"
#include "platform/gl_effect.h"
#include "platform/gl_render_target.h"
#include "platform_os/heap_tuning.h"
#include "platform/gl_textures.h"

namespace Platform {
namespace {

// A swap that returns this much sooner than a frame did not wait for the vertical blank.
constexpr auto kFramePeriod = std::chrono::microseconds(16667);
constexpr int kQuickSwapsBeforePacing = 3;

GLenum GlTopology(PrimitiveTopology topology) {
  switch (topology) {
    case PrimitiveTopology::TriangleList:
      return GL_TRIANGLES;
    case PrimitiveTopology::TriangleStrip:
      return GL_TRIANGLE_STRIP;
    case PrimitiveTopology::PointList:
      return GL_POINTS;
    case PrimitiveTopology::LineList:
      return GL_LINES;
  }
  return GL_TRIANGLES;
}

// Clears write whole surfaces whatever the masks and scissor a pass left behind.
class FullWrites {
public:
  FullWrites() {
    glGetBooleanv(GL_COLOR_WRITEMASK, colorMask);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    scissor = glIsEnabled(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glDisable(GL_SCISSOR_TEST);
  }
  ~FullWrites() {
    glColorMask(colorMask[0], colorMask[1], colorMask[2], colorMask[3]);
    glDepthMask(depthMask);
    if (scissor) glEnable(GL_SCISSOR_TEST);
  }
  FullWrites(const FullWrites&) = delete;
  FullWrites& operator=(const FullWrites&) = delete;

private:
  GLboolean colorMask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
  GLboolean depthMask = GL_TRUE;
  GLboolean scissor = GL_FALSE;
};

}  // namespace

Result GraphicsDevice::Create(SDL_Window* window, const DeviceSettings& settings,
                              std::unique_ptr<GraphicsDevice>* device, std::string* error) {
  device->reset();
  KeepFreedHeapMemory();
  std::string reason;
  if (!window) {
    reason = "Could not initialize OpenGL 3.3: there is no window to draw in";
  } else {
    // Counts for windows made from now on; the window layer asks for it when it makes its window.
    SDL_GL_SetAttribute(SDL_GL_FRAMEBUFFER_SRGB_CAPABLE, settings.srgbBackBuffer ? 1 : 0);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
      reason = std::string("Could not initialize OpenGL 3.3 (core profile): ") + SDL_GetError();
    } else {
      auto made = std::make_unique<GlGraphicsDevice>(window, context, settings);
      if (made->Initialize(&reason)) *device = std::move(made);
    }
  }
  if (*device) return kOk;
  if (error) *error = reason;
  return kFail;
}

GlGraphicsDevice::GlGraphicsDevice(SDL_Window* sdlWindow, SDL_GLContext glContext, const DeviceSettings& deviceSettings)
    : window(sdlWindow), context(glContext), settings(deviceSettings), topology(GL_TRIANGLES) {}

GlGraphicsDevice::~GlGraphicsDevice() {
  if (SDL_GL_GetCurrentContext() != context) SDL_GL_MakeCurrent(window, context);
  vertexInput.reset();
  SDL_GL_MakeCurrent(window, nullptr);
  SDL_GL_DeleteContext(context);
}

bool GlGraphicsDevice::Initialize(std::string* error) {
  if (SDL_GL_MakeCurrent(window, context) != 0) {
    *error = std::string("Could not initialize OpenGL 3.3: the context cannot be made current: ") + SDL_GetError();
    return false;
  }
  const int version = epoxy_gl_version();
  if (!epoxy_is_desktop_gl() || version < 33) {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    *error = "Could not initialize OpenGL 3.3: " + std::string(renderer ? renderer : "the driver") + " offers only " +
             (epoxy_is_desktop_gl() ? "OpenGL " : "OpenGL ES ") + std::to_string(version / 10) + "." +
             std::to_string(version % 10);
    return false;
  }

  // Clip-space depth 0..1, as the projection matrices make it. Without clip control the effect
  // compiler remaps depth in every vertex program instead.
  depthRemap = !(version >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control"));
  if (!depthRemap) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
  SetEffectsNeedDepthRemap(depthRemap);

  backBuffer.format = Format::R8G8B8A8_UNORM;
  if (settings.srgbBackBuffer) {
    GLint encoding = GL_LINEAR;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_COLOR_ENCODING,
                                          &encoding);
    glEnable(GL_FRAMEBUFFER_SRGB);
    if (encoding == GL_SRGB) {
      backBuffer.format = Format::R8G8B8A8_UNORM_SRGB;
    } else {
      std::fprintf(stderr, "The window's back buffer cannot take sRGB output; colours are written unconverted\n");
    }
  }
  GLint depthBits = 0;
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depthBits);
  if (depthBits == 0) std::fprintf(stderr, "The window has no depth buffer; depth tests on the back buffer pass\n");

  // Vertex programs size their points themselves (gl_PointSize).
  glEnable(GL_PROGRAM_POINT_SIZE);
  vertexInput = std::make_unique<VertexInputBinding>();
  vertexInput->Prepare();

  swapInterval = settings.syncInterval > 0 ? 1 : 0;
  SDL_GL_SetSwapInterval(swapInterval);

  int width = 0;
  int height = 0;
  SDL_GL_GetDrawableSize(window, &width, &height);
  ResizeBuffers(static_cast<uint32_t>(std::max(width, 1)), static_cast<uint32_t>(std::max(height, 1)));
  SetRenderTargets(&backBufferView, &backBufferDepthView);
  return true;
}

std::string GlGraphicsDevice::RendererName() const {
  const char* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  return name ? name : "";
}

Result GlGraphicsDevice::Present(uint32_t syncInterval, bool testOnly) {
  const bool occluded = (SDL_GetWindowFlags(window) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) != 0;
  if (testOnly || occluded) return occluded ? kStatusOccluded : kOk;

  const int interval = syncInterval > 0 ? 1 : 0;
  if (interval != swapInterval) {
    SDL_GL_SetSwapInterval(interval);
    swapInterval = interval;
    quickSwaps = 0;
  }
  const Clock::time_point start = Clock::now();
  SDL_GL_SwapWindow(window);
  if (syncInterval == 0) return kOk;

  // A virtual X server returns from every swap at once; without pacing the loop would spin.
  const auto period = kFramePeriod * syncInterval;
  const Clock::time_point now = Clock::now();
  if (now - start < period / 4) {
    quickSwaps = std::min(quickSwaps + 1, kQuickSwapsBeforePacing);
  } else {
    quickSwaps = 0;
  }
  if (quickSwaps >= kQuickSwapsBeforePacing) {
    const Clock::time_point due = std::max(nextPresent, now);
    if (now < nextPresent) std::this_thread::sleep_until(nextPresent);
    nextPresent = due + period;
  } else {
    nextPresent = now + period;
  }
  return kOk;
}

Result GlGraphicsDevice::ResizeBuffers(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) {
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    width = static_cast<uint32_t>(std::max(drawableWidth, 1));
    height = static_cast<uint32_t>(std::max(drawableHeight, 1));
  }
  backBuffer.width = width;
  backBuffer.height = height;
  backBufferView.Resize(width, height);
  backBufferDepthView.Resize(width, height);
  if (backBufferBound) {
    boundWidth = width;
    boundHeight = height;
  }
  Viewport full;
  full.width = width;
  full.height = height;
  SetViewport(full);
  return kOk;
}

void GlGraphicsDevice::BindFramebuffer(uint32_t framebuffer, uint32_t width, uint32_t height) {
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  boundFramebuffer = framebuffer;
  boundWidth = width;
  boundHeight = height;
  ApplyViewport();
}

void GlGraphicsDevice::SetRenderTargets(RenderTargetView* color, DepthStencilView* depth) {
  backBufferBound = color == &backBufferView || (!color && depth == &backBufferDepthView);
  if (backBufferBound || (!color && !depth)) {
    backBufferBound = true;
    BindFramebuffer(0, backBuffer.width, backBuffer.height);
    return;
  }
  if (!color) {
    // Only a target's depth: its framebuffer holds the colour surface too.
    BindFramebuffer(depth->Framebuffer(), depth->Width(), depth->Height());
    return;
  }
  uint32_t framebuffer = color->FramebufferColorOnly();
  if (depth && depth->Framebuffer() == color->FramebufferWithDepth()) {
    framebuffer = color->FramebufferWithDepth();
  } else if (depth) {
    std::fprintf(stderr, "A render target can only be drawn with its own depth buffer; drawing without depth\n");
  }
  BindFramebuffer(framebuffer, color->Width(), color->Height());
}

void GlGraphicsDevice::ClearRenderTargetView(RenderTargetView* view, const float rgba[4]) {
  if (!view || !rgba) return;
  const bool bound = boundFramebuffer == view->FramebufferWithDepth() || boundFramebuffer == view->FramebufferColorOnly();
  if (!bound) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, view->FramebufferColorOnly());
  {
    FullWrites writes;
    glClearBufferfv(GL_COLOR, 0, rgba);
  }
  if (!bound) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, boundFramebuffer);
}

void GlGraphicsDevice::ClearDepthStencilView(DepthStencilView* view, float depth) {
  if (!view) return;
  const bool bound = boundFramebuffer == view->Framebuffer();
  if (!bound) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, view->Framebuffer());
  const float value = std::clamp(depth, 0.0f, 1.0f);
  {
    FullWrites writes;
    glClearBufferfv(GL_DEPTH, 0, &value);
  }
  if (!bound) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, boundFramebuffer);
}

void GlGraphicsDevice::SetViewport(const Viewport& newViewport) {
  viewport = newViewport;
  ApplyViewport();
}

void GlGraphicsDevice::ApplyViewport() {
  // GL counts rows from the bottom of the bound target.
  const int64_t bottom = int64_t(boundHeight) - int64_t(viewport.y) - int64_t(viewport.height);
  glViewport(viewport.x, static_cast<GLint>(bottom), static_cast<GLsizei>(viewport.width),
             static_cast<GLsizei>(viewport.height));
  glDepthRange(viewport.minDepth, viewport.maxDepth);
}

Result GlGraphicsDevice::ReadPixels(int32_t x, int32_t y, uint32_t width, uint32_t height, float* rgba) {
  if (!rgba || x < 0 || y < 0 || uint64_t(x) + width > boundWidth || uint64_t(y) + height > boundHeight) {
    return kInvalidArgument;
  }
  if (width == 0 || height == 0) return kOk;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, boundFramebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  const GLint bottom = static_cast<GLint>(boundHeight - uint32_t(y) - height);
  glReadPixels(x, bottom, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGBA, GL_FLOAT, rgba);
  const GLenum status = glGetError();
  if (status != GL_NO_ERROR) {
    std::fprintf(stderr, "Could not read back %u x %u pixels (GL error 0x%04X)\n", width, height, status);
    return kFail;
  }
  // GL's rows come bottom first.
  const size_t rowFloats = size_t(width) * 4;
  for (uint32_t top = 0, low = height - 1; top < low; ++top, --low) {
    std::swap_ranges(rgba + top * rowFloats, rgba + (top + 1) * rowFloats, rgba + low * rowFloats);
  }
  return kOk;
}

Result GlGraphicsDevice::CreateVertexBuffer(uint32_t byteWidth, const void* initialData, bool dynamic,
                                            std::unique_ptr<Buffer>* buffer) {
  return GlBuffer::Create(vertexInput.get(), byteWidth, initialData, dynamic, buffer);
}

Result GlGraphicsDevice::CreateIndexBuffer(uint32_t indexCount, const uint32_t* indices,
                                           std::unique_ptr<Buffer>* buffer) {
  if (!indices || indexCount == 0 || indexCount > UINT32_MAX / sizeof(uint32_t)) {
    buffer->reset();
    return kInvalidArgument;
  }
  return GlBuffer::Create(vertexInput.get(), indexCount * uint32_t(sizeof(uint32_t)), indices, false, buffer);
}

Result GlGraphicsDevice::CreateInputLayout(const InputElement* elements, uint32_t elementCount,
                                           const InputSignature& signature, std::unique_ptr<InputLayout>* layout) {
  std::string error;
  const Result result = GlInputLayout::Create(vertexInput.get(), elements, elementCount, signature, layout, &error);
  if (Failed(result)) std::fprintf(stderr, "Could not create an input layout: %s\n", error.c_str());
  return result;
}

void GlGraphicsDevice::SetInputLayout(InputLayout* layout) {
  vertexInput->SetLayout(static_cast<GlInputLayout*>(layout));
}

void GlGraphicsDevice::SetVertexBuffer(Buffer* buffer, uint32_t stride, uint32_t offset) {
  vertexInput->SetVertexBuffer(static_cast<GlBuffer*>(buffer), stride, offset);
}

void GlGraphicsDevice::SetIndexBuffer(Buffer* buffer) { vertexInput->SetIndexBuffer(static_cast<GlBuffer*>(buffer)); }

void GlGraphicsDevice::SetPrimitiveTopology(PrimitiveTopology newTopology) { topology = GlTopology(newTopology); }

void GlGraphicsDevice::Draw(uint32_t vertexCount, uint32_t startVertex) {
  vertexInput->Prepare();
  glDrawArrays(topology, static_cast<GLint>(startVertex), static_cast<GLsizei>(vertexCount));
}

void GlGraphicsDevice::DrawIndexed(uint32_t indexCount, uint32_t startIndex, int32_t baseVertex) {
  if (!vertexInput->HasIndexBuffer()) return;
  vertexInput->Prepare();
  const uintptr_t firstByte = uintptr_t(startIndex) * sizeof(uint32_t);
  glDrawElementsBaseVertex(topology, static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT,
                           reinterpret_cast<const void*>(firstByte), baseVertex);
}

Result GlGraphicsDevice::CreateTextureFromFloatRGBA(uint32_t width, uint32_t height, const float* rgba,
                                                    std::unique_ptr<ShaderResourceView>* view) {
  std::string error;
  const Result result = CreateFloatTexture(width, height, rgba, view, &error);
  if (Failed(result)) std::fprintf(stderr, "Could not create a float texture: %s\n", error.c_str());
  return result;
}

Result GlGraphicsDevice::CreateTextureFromFile(const std::string& path, std::unique_ptr<ShaderResourceView>* view) {
  view->reset();
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ImageLib::ReadImageFile(path.c_str(), bytes, error)) {
    std::fprintf(stderr, "Could not load texture %s: %s\n", path.c_str(), error.c_str());
    return kFileNotFound;
  }
  return TextureFromBytes(bytes.data(), bytes.size(), path, view);
}

Result GlGraphicsDevice::CreateTextureFromMemory(const void* bytes, size_t size,
                                                 std::unique_ptr<ShaderResourceView>* view) {
  return TextureFromBytes(bytes, size, "(in memory)", view);
}

Result GlGraphicsDevice::TextureFromBytes(const void* bytes, size_t size, const std::string& name,
                                          std::unique_ptr<ShaderResourceView>* view) {
  view->reset();
  ImageLib::DecodedImage image;
  std::string error;
  Result result = kFail;
  if (ImageLib::DecodeImage(static_cast<const uint8_t*>(bytes), size, image, error)) {
    result = CreateTextureFromImage(image, view, &error);
  }
  if (Failed(result)) std::fprintf(stderr, "Could not load texture %s: %s\n", name.c_str(), error.c_str());
  return result;
}

Result GlGraphicsDevice::CreateRenderTarget(uint32_t width, uint32_t height, std::unique_ptr<RenderTarget>* target) {
  std::string error;
  const Result result = GlRenderTarget::Create(width, height, target, &error);
  if (Failed(result)) std::fprintf(stderr, "Could not create a render target: %s\n", error.c_str());
  return result;
}

Result GlGraphicsDevice::SetTextureSampling(ShaderResourceView* view, const TextureSampling& sampling) {
  if (view == nullptr || view->GlTexture() == 0) {
    std::fprintf(stderr, "Could not set how a texture is read: no texture given\n");
    return kInvalidArgument;
  }
  ApplyTextureSampling(*view, sampling);
  return kOk;
}

Result GlGraphicsDevice::CreateDynamicTexture(uint32_t width, uint32_t height, TextureChannels channels,
                                              std::unique_ptr<ShaderResourceView>* view) {
  std::string error;
  const Result result = Platform::CreateDynamicTexture(width, height, channels, view, &error);
  if (Failed(result)) std::fprintf(stderr, "Could not create a dynamic texture: %s\n", error.c_str());
  return result;
}

Result GlGraphicsDevice::UpdateTexture(ShaderResourceView* view, uint32_t x, uint32_t y, uint32_t width,
                                       uint32_t height, const void* texels, uint32_t rowPitch) {
  std::string error;
  if (!view) {
    std::fprintf(stderr, "Could not update a texture: none given\n");
    return kInvalidArgument;
  }
  const Result result = UpdateDynamicTexture(*view, x, y, width, height, texels, rowPitch, &error);
  if (Failed(result)) std::fprintf(stderr, "Could not update a texture: %s\n", error.c_str());
  return result;
}

}  // namespace Platform
