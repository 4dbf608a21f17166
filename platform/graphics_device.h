#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gpu_resources.h"
#include "platform/result.h"

struct SDL_Window;

// The graphics device: an OpenGL 3.3 core context on a window, with the back buffer, a depth
// buffer, and the buffers, layouts, textures and targets the program draws with. All calls run
// on the thread that created the device, and every object it made must be destroyed before it.
//
// Clip-space depth runs from 0 (near) to 1 (far), as the projection matrices make it; the device
// sets that up once, so shaders and matrices never deal with GL's -1..1.
namespace Platform {

// Which rasteriser draws: the hardware driver, or one of Mesa's software rasterisers (softpipe
// as the reference device, llvmpipe as the fast software one).
enum class DriverType { Hardware, Reference, Warp };
const char* DriverTypeName(DriverType type);

// Mesa picks its rasteriser when a display is opened: call before the video subsystem starts.
void SelectDriver(DriverType type);

struct DeviceSettings {
  DriverType driverType = DriverType::Hardware;
  bool srgbBackBuffer = false;  // an sRGB back buffer (gamma-correct output)
  uint32_t syncInterval = 1;    // 0: present at once; 1: wait for the vertical blank
};

struct SurfaceDescription {
  uint32_t width = 0;
  uint32_t height = 0;
  Format format = Format::Unknown;
};

struct Viewport {
  int32_t x = 0;
  int32_t y = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  float minDepth = 0.0f;
  float maxDepth = 1.0f;
};

// Texels of a texture that is filled and refreshed piece by piece (CreateDynamicTexture).
// Coverage is one byte a texel, read by shaders as (1, 1, 1, coverage): white with that alpha,
// ready to be tinted by a vertex colour. Rgba is four bytes a texel.
enum class TextureChannels { Coverage, Rgba };

enum class PrimitiveTopology { TriangleList, TriangleStrip, PointList, LineList };

// Where drawing goes: the back buffer (with the device's depth buffer) or a RenderTarget.
class RenderTargetView;
class DepthStencilView;

// A vertex buffer. Dynamic buffers are refilled with Map(discard) / Unmap: each Map hands out
// fresh storage, so a draw still using the old contents is never disturbed.
class Buffer {
public:
  virtual ~Buffer() = default;
  virtual uint32_t ByteWidth() const = 0;
  // Null on failure (or for a buffer that is not dynamic).
  virtual void* MapDiscard() = 0;
  virtual void Unmap() = 0;
};

// Binds vertex buffer contents to the attribute locations of the semantics.
class InputLayout {
public:
  virtual ~InputLayout() = default;
};

// A float RGBA colour target with a 32-bit float depth buffer of the same size, readable as a
// texture and back to the CPU.
class RenderTarget {
public:
  virtual ~RenderTarget() = default;
  virtual RenderTargetView* ColorView() = 0;
  virtual DepthStencilView* DepthView() = 0;
  virtual ShaderResourceView* ColorTexture() = 0;
  virtual uint32_t Width() const = 0;
  virtual uint32_t Height() const = 0;
};

class GraphicsDevice {
public:
  // Makes the context on the window, with the back buffer sized to its client area. Failures:
  // kFail with error saying why (no OpenGL 3.3, no context).
  static Result Create(SDL_Window* window, const DeviceSettings& settings, std::unique_ptr<GraphicsDevice>* device,
                       std::string* error);
  virtual ~GraphicsDevice() = default;

  virtual const DeviceSettings& Settings() const = 0;
  // The renderer's own name (GL_RENDERER), for example "llvmpipe (LLVM 15.0.6, 256 bits)".
  virtual std::string RendererName() const = 0;
  // True when GL cannot be told to clip depth to 0..1 (no GL 4.5 or ARB_clip_control): vertex
  // programs must then end with gl_Position.z = 2.0 * gl_Position.z - gl_Position.w.
  virtual bool NeedsDepthRemap() const = 0;

  // Shows the back buffer. syncInterval 0 presents at once, 1 waits for the vertical blank. When
  // waiting is asked for but the system does not block (a virtual X server), presents are paced
  // to 60 a second so a drawing loop never spins. testOnly: only reports whether the window is
  // visible (kStatusOccluded when not), presenting nothing.
  virtual Result Present(uint32_t syncInterval, bool testOnly) = 0;
  // Follows a change of the window's client size.
  virtual Result ResizeBuffers(uint32_t width, uint32_t height) = 0;
  virtual SurfaceDescription BackBufferDescription() const = 0;
  virtual RenderTargetView* BackBufferView() = 0;
  virtual DepthStencilView* DepthStencilBufferView() = 0;

  // Output merger: where draws go. A render target's colour view pairs with its own depth view
  // or none (drawing without depth); the back buffer's with the device's depth buffer, which GL
  // keeps attached even when none is asked for. A target must not be destroyed while bound.
  // Drawn targets keep GL's orientation when sampled as textures: v = 0 is their bottom row.
  virtual void SetRenderTargets(RenderTargetView* color, DepthStencilView* depth) = 0;
  virtual void ClearRenderTargetView(RenderTargetView* view, const float rgba[4]) = 0;
  virtual void ClearDepthStencilView(DepthStencilView* view, float depth) = 0;
  virtual void SetViewport(const Viewport& viewport) = 0;
  virtual Viewport GetViewport() const = 0;
  // Reads the bound colour target's pixels (x, y from the top left) as float RGBA, rows from the
  // top. kInvalidArgument when the rectangle leaves the target.
  virtual Result ReadPixels(int32_t x, int32_t y, uint32_t width, uint32_t height, float* rgba) = 0;

  virtual Result CreateVertexBuffer(uint32_t byteWidth, const void* initialData, bool dynamic,
                                    std::unique_ptr<Buffer>* buffer) = 0;
  virtual Result CreateIndexBuffer(uint32_t indexCount, const uint32_t* indices, std::unique_ptr<Buffer>* buffer) = 0;
  // Fails with kInvalidArgument when the signature asks for a semantic the elements lack.
  virtual Result CreateInputLayout(const InputElement* elements, uint32_t elementCount, const InputSignature& signature,
                                   std::unique_ptr<InputLayout>* layout) = 0;

  virtual void SetInputLayout(InputLayout* layout) = 0;
  virtual void SetVertexBuffer(Buffer* buffer, uint32_t stride, uint32_t offset) = 0;
  virtual void SetIndexBuffer(Buffer* buffer) = 0;
  virtual void SetPrimitiveTopology(PrimitiveTopology topology) = 0;
  virtual void Draw(uint32_t vertexCount, uint32_t startVertex) = 0;
  virtual void DrawIndexed(uint32_t indexCount, uint32_t startIndex, int32_t baseVertex) = 0;

  // A texture from float RGBA texels (rows from the top), with mipmaps.
  virtual Result CreateTextureFromFloatRGBA(uint32_t width, uint32_t height, const float* rgba,
                                            std::unique_ptr<ShaderResourceView>* view) = 0;
  // A texture from a JPEG (colour or grey) or PNG file, or from such a file held in memory. On
  // failure the view stays empty (null) and the result is negative.
  virtual Result CreateTextureFromFile(const std::string& path, std::unique_ptr<ShaderResourceView>* view) = 0;
  virtual Result CreateTextureFromMemory(const void* bytes, size_t size, std::unique_ptr<ShaderResourceView>* view) = 0;
  virtual Result CreateRenderTarget(uint32_t width, uint32_t height, std::unique_ptr<RenderTarget>* target) = 0;

  // Sets how a texture made by CreateTextureFromFloatRGBA, CreateTextureFromFile or
  // CreateTextureFromMemory (which read it linearly and repeat it) is read from now on.
  // kInvalidArgument for no view or an empty one.
  virtual Result SetTextureSampling(ShaderResourceView* view, const TextureSampling& sampling) = 0;

  // A texture without mipmaps, linear filtering and coordinates clamped to its edge, all texels
  // zero, to be filled with UpdateTexture (glyph pages, for instance).
  virtual Result CreateDynamicTexture(uint32_t width, uint32_t height, TextureChannels channels,
                                      std::unique_ptr<ShaderResourceView>* view) = 0;
  // Replaces a rectangle (x, y from the top left) of a texture from CreateDynamicTexture with
  // rows of texels `rowPitch` bytes apart, top row first. kInvalidArgument when the rectangle
  // leaves the texture or the view is no dynamic texture.
  virtual Result UpdateTexture(ShaderResourceView* view, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                               const void* texels, uint32_t rowPitch) = 0;
};

}  // namespace Platform
