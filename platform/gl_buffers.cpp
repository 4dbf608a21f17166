#include "platform/gl_buffers.h"

#include <epoxy/gl.h>

#include <cctype>
#include <cstdio>

namespace Platform {
namespace {

bool SameSemantic(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == '\0';
}

std::string Upper(const char* text) {
  std::string result = text;
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// Components, type and normalisation of the vertex formats a layout may use.
bool DescribeFormat(Format format, VertexAttribute* attribute) {
  attribute->type = GL_FLOAT;
  attribute->normalized = false;
  switch (format) {
    case Format::R32G32B32A32_FLOAT:
      attribute->components = 4;
      return true;
    case Format::R32G32B32_FLOAT:
      attribute->components = 3;
      return true;
    case Format::R32G32_FLOAT:
      attribute->components = 2;
      return true;
    case Format::R32_FLOAT:
      attribute->components = 1;
      return true;
    case Format::R8G8B8A8_UNORM:
      attribute->components = 4;
      attribute->type = GL_UNSIGNED_BYTE;
      attribute->normalized = true;
      return true;
    default:
      return false;
  }
}

}  // namespace

VertexInputBinding::VertexInputBinding() { glGenVertexArrays(1, &vertexArray); }

VertexInputBinding::~VertexInputBinding() { glDeleteVertexArrays(1, &vertexArray); }

void VertexInputBinding::SetLayout(GlInputLayout* newLayout) {
  if (newLayout == layout) return;
  layout = newLayout;
  dirty = true;
}

void VertexInputBinding::SetVertexBuffer(GlBuffer* buffer, uint32_t newStride, uint32_t newOffset) {
  if (buffer == vertexBuffer && newStride == stride && newOffset == offset) return;
  vertexBuffer = buffer;
  stride = newStride;
  offset = newOffset;
  dirty = true;
}

void VertexInputBinding::SetIndexBuffer(GlBuffer* buffer) {
  if (buffer == indexBuffer) return;
  indexBuffer = buffer;
  dirty = true;
}

void VertexInputBinding::Prepare() {
  glBindVertexArray(vertexArray);
  if (!dirty) return;
  // Attributes without a buffer behind them read GL's constant (0, 0, 0, 1).
  const uint32_t wanted = layout && vertexBuffer ? layout->LocationMask() : 0;
  for (uint32_t location = 0; location < 32; ++location) {
    if ((enabledLocations & ~wanted) & (1u << location)) glDisableVertexAttribArray(location);
  }
  if (wanted != 0) {
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer->GlName());
    for (const VertexAttribute& attribute : layout->Attributes()) {
      glEnableVertexAttribArray(attribute.location);
      const uintptr_t start = uintptr_t(offset) + attribute.byteOffset;
      glVertexAttribPointer(attribute.location, attribute.components, attribute.type,
                            attribute.normalized ? GL_TRUE : GL_FALSE, static_cast<GLsizei>(stride),
                            reinterpret_cast<const void*>(start));
    }
  }
  enabledLocations = wanted;
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer ? indexBuffer->GlName() : 0);
  dirty = false;
}

void VertexInputBinding::Forget(const GlBuffer* buffer) {
  if (buffer == vertexBuffer) SetVertexBuffer(nullptr, 0, 0);
  if (buffer == indexBuffer) SetIndexBuffer(nullptr);
}

void VertexInputBinding::Forget(const GlInputLayout* dying) {
  if (dying == layout) SetLayout(nullptr);
}

Result GlBuffer::Create(VertexInputBinding* binding, uint32_t byteWidth, const void* initialData, bool dynamic,
                        std::unique_ptr<Buffer>* buffer) {
  buffer->reset();
  if (byteWidth == 0) return kInvalidArgument;
  GLuint name = 0;
  glGenBuffers(1, &name);
  // The copy target belongs to no vertex array object, so filling a buffer never disturbs one.
  glBindBuffer(GL_COPY_WRITE_BUFFER, name);
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  glBufferData(GL_COPY_WRITE_BUFFER, byteWidth, initialData, dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
  const GLenum error = glGetError();
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  if (error != GL_NO_ERROR) {
    std::fprintf(stderr, "Could not create a buffer of %u bytes (GL error 0x%04X)\n", byteWidth, error);
    glDeleteBuffers(1, &name);
    return error == GL_OUT_OF_MEMORY ? kOutOfMemory : kFail;
  }
  buffer->reset(new GlBuffer(binding, name, byteWidth, dynamic));
  return kOk;
}

GlBuffer::GlBuffer(VertexInputBinding* owner, uint32_t bufferName, uint32_t bytes, bool isDynamic)
    : binding(owner), name(bufferName), byteWidth(bytes), dynamic(isDynamic) {}

GlBuffer::~GlBuffer() {
  if (mapped) Unmap();
  binding->Forget(this);
  glDeleteBuffers(1, &name);
}

void* GlBuffer::MapDiscard() {
  if (!dynamic || mapped) return nullptr;
  glBindBuffer(GL_COPY_WRITE_BUFFER, name);
  // Fresh storage: a draw still reading the old contents keeps them.
  glBufferData(GL_COPY_WRITE_BUFFER, byteWidth, nullptr, GL_DYNAMIC_DRAW);
  void* data = glMapBufferRange(GL_COPY_WRITE_BUFFER, 0, byteWidth, GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  if (!data) {
    std::fprintf(stderr, "Could not map a dynamic buffer of %u bytes (GL error 0x%04X)\n", byteWidth, glGetError());
    return nullptr;
  }
  mapped = true;
  return data;
}

void GlBuffer::Unmap() {
  if (!mapped) return;
  glBindBuffer(GL_COPY_WRITE_BUFFER, name);
  if (glUnmapBuffer(GL_COPY_WRITE_BUFFER) == GL_FALSE) {
    std::fprintf(stderr, "A dynamic buffer's contents were lost while it was mapped\n");
  }
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  mapped = false;
}

Result GlInputLayout::Create(VertexInputBinding* binding, const InputElement* elements, uint32_t elementCount,
                             const InputSignature& signature, std::unique_ptr<InputLayout>* layout,
                             std::string* error) {
  layout->reset();
  std::vector<VertexAttribute> attributes;
  for (uint32_t i = 0; i < elementCount; ++i) {
    const InputElement& element = elements[i];
    VertexAttribute attribute{};
    const int location = element.semantic ? AttributeLocation(Upper(element.semantic), element.semanticIndex) : -1;
    if (location < 0) {
      *error = std::string("no attribute location for semantic ") + (element.semantic ? element.semantic : "(none)") +
               std::to_string(element.semanticIndex);
      return kInvalidArgument;
    }
    if (!DescribeFormat(element.format, &attribute)) {
      *error = std::string("unsupported vertex format for ") + element.semantic;
      return kInvalidArgument;
    }
    attribute.location = static_cast<uint32_t>(location);
    attribute.byteOffset = element.alignedByteOffset;
    attributes.push_back(attribute);
  }
  for (const InputSignatureElement& input : signature) {
    bool found = false;
    for (uint32_t i = 0; i < elementCount && !found; ++i) {
      found = SameSemantic(input.semantic, elements[i].semantic) && input.semanticIndex == elements[i].semanticIndex;
    }
    if (!found) {
      *error = "the vertex program reads " + input.semantic + std::to_string(input.semanticIndex) +
               ", which the layout does not provide";
      return kInvalidArgument;
    }
  }
  layout->reset(new GlInputLayout(binding, std::move(attributes)));
  return kOk;
}

GlInputLayout::GlInputLayout(VertexInputBinding* owner, std::vector<VertexAttribute> layoutAttributes)
    : binding(owner), attributes(std::move(layoutAttributes)) {
  for (const VertexAttribute& attribute : attributes) locationMask |= 1u << attribute.location;
}

GlInputLayout::~GlInputLayout() { binding->Forget(this); }

}  // namespace Platform
