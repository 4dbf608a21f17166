#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics_device.h"

// Vertex and index buffers as GL buffer objects, and input layouts as the attribute bindings the
// device puts into its one vertex array object before a draw.
namespace Platform {

class GlBuffer;
class GlInputLayout;

// The vertex input the next draw reads: the layout, vertex buffer, stride, offset and index
// buffer last set. The vertex array object is only rewritten when one of them changed, so draws
// with unchanged input cost nothing extra. Buffers and layouts tell it when they die, so it
// never reads a destroyed object.
class VertexInputBinding {
public:
  VertexInputBinding();
  ~VertexInputBinding();
  VertexInputBinding(const VertexInputBinding&) = delete;
  VertexInputBinding& operator=(const VertexInputBinding&) = delete;

  void SetLayout(GlInputLayout* layout);
  void SetVertexBuffer(GlBuffer* buffer, uint32_t stride, uint32_t offset);
  void SetIndexBuffer(GlBuffer* buffer);
  bool HasIndexBuffer() const { return indexBuffer != nullptr; }
  // Binds the vertex array object and brings it up to date.
  void Prepare();

  void Forget(const GlBuffer* buffer);
  void Forget(const GlInputLayout* layout);

private:
  uint32_t vertexArray = 0;
  GlInputLayout* layout = nullptr;
  GlBuffer* vertexBuffer = nullptr;
  uint32_t stride = 0;
  uint32_t offset = 0;
  GlBuffer* indexBuffer = nullptr;
  uint32_t enabledLocations = 0;  // bit per attribute location
  bool dirty = true;
};

class GlBuffer final : public Buffer {
public:
  // Without initialData the buffer starts with undefined contents.
  static Result Create(VertexInputBinding* binding, uint32_t byteWidth, const void* initialData, bool dynamic,
                       std::unique_ptr<Buffer>* buffer);
  ~GlBuffer() override;

  uint32_t ByteWidth() const override { return byteWidth; }
  void* MapDiscard() override;
  void Unmap() override;
  uint32_t GlName() const { return name; }

private:
  GlBuffer(VertexInputBinding* binding, uint32_t name, uint32_t byteWidth, bool dynamic);

  VertexInputBinding* binding;
  uint32_t name;
  uint32_t byteWidth;
  bool dynamic;
  bool mapped = false;
};

struct VertexAttribute {
  uint32_t location;
  int32_t components;
  uint32_t type;  // GL_FLOAT or GL_UNSIGNED_BYTE
  bool normalized;
  uint32_t byteOffset;
};

class GlInputLayout final : public InputLayout {
public:
  // Fails with kInvalidArgument (and says why on error) when an element has an unknown semantic
  // or format, or the signature asks for a semantic the elements lack.
  static Result Create(VertexInputBinding* binding, const InputElement* elements, uint32_t elementCount,
                       const InputSignature& signature, std::unique_ptr<InputLayout>* layout, std::string* error);
  ~GlInputLayout() override;

  const std::vector<VertexAttribute>& Attributes() const { return attributes; }
  uint32_t LocationMask() const { return locationMask; }

private:
  GlInputLayout(VertexInputBinding* binding, std::vector<VertexAttribute> attributes);

  VertexInputBinding* binding;
  std::vector<VertexAttribute> attributes;
  uint32_t locationMask = 0;
};

}  // namespace Platform
