#include "platform/gl_textures.h"

#include <epoxy/gl.h>

#include <cstdio>

namespace Platform {
namespace {

Result Upload(uint32_t width, uint32_t height, GLenum internalFormat, GLenum type, const void* texels, Format format,
              std::unique_ptr<ShaderResourceView>* view, std::string* error) {
  view->reset();
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  if (!texels || width == 0 || height == 0 || width > static_cast<uint32_t>(maxSide) ||
      height > static_cast<uint32_t>(maxSide)) {
    *error = "a texture of " + std::to_string(width) + " x " + std::to_string(height) +
             (texels ? " is empty or larger than the " + std::to_string(maxSide) + " pixels GL allows"
                     : " was given no texels");
    return kInvalidArgument;
  }
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), static_cast<GLsizei>(width),
               static_cast<GLsizei>(height), 0, GL_RGBA, type, texels);
  glGenerateMipmap(GL_TEXTURE_2D);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  const GLenum status = glGetError();
  if (status != GL_NO_ERROR) {
    glDeleteTextures(1, &texture);
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", status);
    *error = "could not upload a " + std::to_string(width) + " x " + std::to_string(height) + " texture: GL error " +
             code;
    return status == GL_OUT_OF_MEMORY ? kOutOfMemory : kFail;
  }
  view->reset(new ShaderResourceView(texture, width, height, format));
  return kOk;
}

}  // namespace

Result CreateFloatTexture(uint32_t width, uint32_t height, const float* rgba, std::unique_ptr<ShaderResourceView>* view,
                          std::string* error) {
  return Upload(width, height, GL_RGBA32F, GL_FLOAT, rgba, Format::R32G32B32A32_FLOAT, view, error);
}

Result CreateTextureFromImage(const DecodedImage& image, std::unique_ptr<ShaderResourceView>* view,
                              std::string* error) {
  if (image.IsFloat()) {
    return Upload(image.width, image.height, GL_RGBA32F, GL_FLOAT, image.rgbaFloat.data(), Format::R32G32B32A32_FLOAT,
                  view, error);
  }
  return Upload(image.width, image.height, GL_RGBA8, GL_UNSIGNED_BYTE, image.rgba8.empty() ? nullptr : image.rgba8.data(),
                Format::R8G8B8A8_UNORM, view, error);
}

}  // namespace Platform
