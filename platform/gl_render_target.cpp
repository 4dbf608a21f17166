#include "platform/gl_render_target.h"

#include <epoxy/gl.h>

#include <cstdio>

namespace Platform {
namespace {

GLuint MakeTexture(GLenum internalFormat, GLenum format, uint32_t width, uint32_t height) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), static_cast<GLsizei>(width),
               static_cast<GLsizei>(height), 0, format, GL_FLOAT, nullptr);
  // One level only: the filters must not ask for mipmaps the texture lacks.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_2D, 0);
  return texture;
}

// A framebuffer with the given surfaces, or 0 when GL cannot draw to it.
GLuint MakeFramebuffer(GLuint colorTexture, GLuint depthTexture, GLenum* status) {
  GLint previous = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previous);
  GLuint framebuffer = 0;
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture, 0);
  if (depthTexture != 0) {
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTexture, 0);
  }
  *status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(previous));
  if (*status != GL_FRAMEBUFFER_COMPLETE) {
    glDeleteFramebuffers(1, &framebuffer);
    return 0;
  }
  return framebuffer;
}

}  // namespace

Result GlRenderTarget::Create(uint32_t width, uint32_t height, std::unique_ptr<RenderTarget>* target,
                              std::string* error) {
  target->reset();
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSide);
  if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSide) || height > static_cast<uint32_t>(maxSide)) {
    *error = "a render target of " + std::to_string(width) + " x " + std::to_string(height) +
             " is empty or larger than the " + std::to_string(maxSide) + " pixels GL allows";
    return kInvalidArgument;
  }
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }
  GLuint color = MakeTexture(GL_RGBA32F, GL_RGBA, width, height);
  GLuint depth = MakeTexture(GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, width, height);
  const GLenum textureError = glGetError();
  GLenum status = GL_FRAMEBUFFER_COMPLETE;
  GLuint withDepth = textureError == GL_NO_ERROR ? MakeFramebuffer(color, depth, &status) : 0;
  GLuint colorOnly = withDepth != 0 ? MakeFramebuffer(color, 0, &status) : 0;
  if (colorOnly == 0) {
    if (withDepth != 0) glDeleteFramebuffers(1, &withDepth);
    glDeleteTextures(1, &color);
    glDeleteTextures(1, &depth);
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", textureError != GL_NO_ERROR ? textureError : status);
    *error = std::string("could not make a float render target: ") +
             (textureError != GL_NO_ERROR ? "GL error " : "framebuffer status ") + code;
    return textureError == GL_OUT_OF_MEMORY ? kOutOfMemory : kFail;
  }
  target->reset(new GlRenderTarget(color, depth, withDepth, colorOnly, width, height));
  return kOk;
}

GlRenderTarget::GlRenderTarget(uint32_t colorTextureName, uint32_t depthTextureName, uint32_t framebufferWithDepth,
                               uint32_t framebufferColorOnly, uint32_t width, uint32_t height)
    : colorTexture(colorTextureName, width, height, Format::R32G32B32A32_FLOAT),
      depthTexture(depthTextureName),
      colorView(framebufferWithDepth, framebufferColorOnly, width, height),
      depthView(framebufferWithDepth, width, height) {}

GlRenderTarget::~GlRenderTarget() {
  GLuint framebuffers[2] = {colorView.FramebufferWithDepth(), colorView.FramebufferColorOnly()};
  glDeleteFramebuffers(2, framebuffers);
  glDeleteTextures(1, &depthTexture);
  // The colour texture goes with its view.
}

}  // namespace Platform
