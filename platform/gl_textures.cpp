#include "platform/gl_textures.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace Platform {
namespace {

// A new texture bound for uploading tightly packed rows, after clearing errors left by earlier
// calls so that Finish sees only the upload's own; previous receives the binding to put back.
GLuint BeginTexture(GLint* previous) {
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  glGetIntegerv(GL_TEXTURE_BINDING_2D, previous);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  return texture;
}

// Hands out the texture just made, or deletes it and says why when GL reported an error.
Result Finish(GLuint texture, uint32_t width, uint32_t height, Format format, const char* what,
              std::unique_ptr<ShaderResourceView>* view, std::string* error) {
  const GLenum status = glGetError();
  if (status != GL_NO_ERROR) {
    glDeleteTextures(1, &texture);
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", status);
    *error = "could not make a " + std::to_string(width) + " x " + std::to_string(height) + " " + what +
             ": GL error " + code;
    return status == GL_OUT_OF_MEMORY ? kOutOfMemory : kFail;
  }
  view->reset(new ShaderResourceView(texture, width, height, format));
  return kOk;
}

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
  GLint previous = 0;
  const GLuint texture = BeginTexture(&previous);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), static_cast<GLsizei>(width),
               static_cast<GLsizei>(height), 0, GL_RGBA, type, texels);
  glGenerateMipmap(GL_TEXTURE_2D);
  // One mip level per read, not two: on a software rasteriser a read costs as much as the
  // lighting, and the blend between levels is hardly seen.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  return Finish(texture, width, height, format, "texture", view, error);
}

}  // namespace

namespace {

GLint GlWrap(TextureWrap wrap) {
  switch (wrap) {
    case TextureWrap::ClampToEdge: return GL_CLAMP_TO_EDGE;
    case TextureWrap::MirroredRepeat: return GL_MIRRORED_REPEAT;
    case TextureWrap::Repeat: break;
  }
  return GL_REPEAT;
}

}  // namespace

void ApplyTextureSampling(const ShaderResourceView& view, const TextureSampling& sampling) {
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, view.GlTexture());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                  sampling.nearestMinification ? GL_NEAREST_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, sampling.nearestMagnification ? GL_NEAREST : GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GlWrap(sampling.wrapU));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GlWrap(sampling.wrapV));
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
}

Result CreateFloatTexture(uint32_t width, uint32_t height, const float* rgba, std::unique_ptr<ShaderResourceView>* view,
                          std::string* error) {
  return Upload(width, height, GL_RGBA32F, GL_FLOAT, rgba, Format::R32G32B32A32_FLOAT, view, error);
}

Result CreateTextureFromImage(const ImageLib::DecodedImage& image, std::unique_ptr<ShaderResourceView>* view,
                              std::string* error) {
  const size_t pixels = size_t(image.width) * image.height;
  int source[4];
  for (int c = 0; c < 4; ++c) source[c] = ImageLib::RgbaSource(image.channels, c);
  if (image.type == ImageLib::SampleType::Byte) {
    std::vector<uint8_t> rgba(pixels * 4);
    for (size_t p = 0; p < pixels; ++p) {
      for (int c = 0; c < 4; ++c) rgba[4 * p + c] = source[c] < 0 ? 255 : image.samples[p * image.channels + source[c]];
    }
    return Upload(image.width, image.height, GL_RGBA8, GL_UNSIGNED_BYTE, rgba.empty() ? nullptr : rgba.data(),
                  Format::R8G8B8A8_UNORM, view, error);
  }
  std::vector<float> rgba(pixels * 4);
  for (size_t p = 0; p < pixels; ++p) {
    for (int c = 0; c < 4; ++c) rgba[4 * p + c] = source[c] < 0 ? 1.0f : image.Value(p * image.channels + source[c]);
  }
  return CreateFloatTexture(image.width, image.height, rgba.empty() ? nullptr : rgba.data(), view, error);
}

Result CreateDynamicTexture(uint32_t width, uint32_t height, TextureChannels channels,
                            std::unique_ptr<ShaderResourceView>* view, std::string* error) {
  view->reset();
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSide) || height > static_cast<uint32_t>(maxSide)) {
    *error = "a dynamic texture of " + std::to_string(width) + " x " + std::to_string(height) +
             " is empty or larger than the " + std::to_string(maxSide) + " pixels GL allows";
    return kInvalidArgument;
  }
  const bool coverage = channels == TextureChannels::Coverage;
  // Zeroes up front, so a texture never shows undefined memory where nothing was written yet.
  std::vector<uint8_t> zeroes(static_cast<size_t>(width) * height * (coverage ? 1 : 4), 0);
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, coverage ? GL_R8 : GL_RGBA8, static_cast<GLsizei>(width),
               static_cast<GLsizei>(height), 0, coverage ? GL_RED : GL_RGBA, GL_UNSIGNED_BYTE, zeroes.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (coverage) {
    const GLint swizzle[4] = {GL_ONE, GL_ONE, GL_ONE, GL_RED};
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  return Finish(texture, width, height, coverage ? Format::R8_UNORM : Format::R8G8B8A8_UNORM, "dynamic texture", view,
                error);
}

Result UpdateDynamicTexture(ShaderResourceView& view, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                            const void* texels, uint32_t rowPitch, std::string* error) {
  const Format format = view.TextureFormat();
  const uint32_t texelBytes = format == Format::R8_UNORM ? 1 : format == Format::R8G8B8A8_UNORM ? 4 : 0;
  if (view.GlTexture() == 0 || texelBytes == 0 || !texels) {
    *error = "the texture cannot be updated (no dynamic texture, or no texels given)";
    return kInvalidArgument;
  }
  if (width == 0 || height == 0) return kOk;
  if (x > view.Width() || y > view.Height() || width > view.Width() - x || height > view.Height() - y ||
      rowPitch < width * texelBytes || rowPitch % texelBytes != 0) {
    *error = "the rectangle " + std::to_string(width) + " x " + std::to_string(height) + " at " + std::to_string(x) +
             ", " + std::to_string(y) + " (row pitch " + std::to_string(rowPitch) + ") does not fit a " +
             std::to_string(view.Width()) + " x " + std::to_string(view.Height()) + " texture";
    return kInvalidArgument;
  }
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, view.GlTexture());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(rowPitch / texelBytes));
  glTexSubImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(x), static_cast<GLint>(y), static_cast<GLsizei>(width),
                  static_cast<GLsizei>(height), texelBytes == 1 ? GL_RED : GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  return kOk;
}

Result CreateFloatLevelsTexture(uint32_t channels, const std::vector<FloatTextureLevel>& levels, bool wrapU,
                                std::unique_ptr<ShaderResourceView>* view, std::string* error) {
  view->reset();
  if ((channels != 2 && channels != 3) || levels.empty()) {
    *error = "a level texture needs 2 or 3 channels and at least one level";
    return kInvalidArgument;
  }
  const uint32_t width = levels[0].width;
  const uint32_t height = levels[0].height;
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSide) || height > static_cast<uint32_t>(maxSide)) {
    *error = "a level texture of " + std::to_string(width) + " x " + std::to_string(height) +
             " is empty or larger than the " + std::to_string(maxSide) + " pixels GL allows";
    return kInvalidArgument;
  }
  for (size_t i = 0; i < levels.size(); ++i) {
    const uint32_t w = std::max(1u, width >> i);
    const uint32_t h = std::max(1u, height >> i);
    if (levels[i].width != w || levels[i].height != h || !levels[i].texels) {
      *error = "level " + std::to_string(i) + " of a level texture must be " + std::to_string(w) + " x " +
               std::to_string(h) + " with texels, not " + std::to_string(levels[i].width) + " x " +
               std::to_string(levels[i].height);
      return kInvalidArgument;
    }
  }
  GLint previous = 0;
  const GLuint texture = BeginTexture(&previous);
  const GLint internalFormat = channels == 2 ? GL_RG16F : GL_RGB16F;
  const GLenum layout = channels == 2 ? GL_RG : GL_RGB;
  for (size_t i = 0; i < levels.size(); ++i) {
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), internalFormat, static_cast<GLsizei>(levels[i].width),
                 static_cast<GLsizei>(levels[i].height), 0, layout, GL_FLOAT, levels[i].texels);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels.size() - 1));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, levels.size() > 1 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapU ? GL_REPEAT : GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  return Finish(texture, width, height, channels == 2 ? Format::R16G16_FLOAT : Format::R16G16B16_FLOAT,
                "level texture", view, error);
}

}  // namespace Platform
