#include "platform/graphics_device.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/test_images.h"

namespace Platform {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Draws flat-coloured triangles: positions from POSITION, depth and colour from uniforms.
class FlatProgram {
public:
  explicit FlatProgram(bool remapDepth) {
    const std::string vertex = std::string(
                                   "#version 330 core\n"
                                   "layout(location = 0) in vec3 POSITION;\n"
                                   "uniform float depth;\n"
                                   "void main() {\n"
                                   "  gl_Position = vec4(POSITION.xy, depth, 1.0);\n") +
                               (remapDepth ? "  gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n" : "") + "}\n";
    const char* fragment =
        "#version 330 core\n"
        "uniform vec4 color;\n"
        "out vec4 result;\n"
        "void main() { result = color; }\n";
    program = glCreateProgram();
    Attach(GL_VERTEX_SHADER, vertex.c_str());
    Attach(GL_FRAGMENT_SHADER, fragment);
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    glUseProgram(program);
  }
  ~FlatProgram() {
    glUseProgram(0);
    glDeleteProgram(program);
  }
  void Set(float depth, std::array<float, 4> color) {
    glUniform1f(glGetUniformLocation(program, "depth"), depth);
    glUniform4fv(glGetUniformLocation(program, "color"), 1, color.data());
  }

private:
  void Attach(GLenum type, const char* source) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    EXPECT_EQ(compiled, GL_TRUE);
    glAttachShader(program, shader);
    glDeleteShader(shader);
  }
  GLuint program = 0;
};

class GraphicsDeviceTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    window = SDL_CreateWindow("device test", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    std::string error;
    ASSERT_EQ(GraphicsDevice::Create(window, DeviceSettings(), &device, &error), kOk) << error;
  }
  void TearDown() override {
    layout.reset();
    vertexBuffer.reset();
    device.reset();
    if (window) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  // One pixel of the bound target, from the top left.
  std::array<float, 4> Pixel(int x, int y) {
    std::array<float, 4> rgba{};
    EXPECT_EQ(device->ReadPixels(x, y, 1, 1, rgba.data()), kOk);
    return rgba;
  }

  // A layout of POSITION alone (three floats) and a buffer of rectangles in clip space, each
  // as two triangles.
  void MakeQuadInput(bool dynamic, const std::vector<std::array<float, 4>>& rectangles) {
    const InputElement position{"POSITION", 0, Format::R32G32B32_FLOAT, 0};
    ASSERT_EQ(device->CreateInputLayout(&position, 1, {{"POSITION", 0}}, &layout), kOk);
    const std::vector<float> vertices = QuadVertices(rectangles);
    ASSERT_EQ(device->CreateVertexBuffer(uint32_t(vertices.size() * 4), dynamic ? nullptr : vertices.data(), dynamic,
                                         &vertexBuffer),
              kOk);
    device->SetInputLayout(layout.get());
    device->SetVertexBuffer(vertexBuffer.get(), 12, 0);
    device->SetPrimitiveTopology(PrimitiveTopology::TriangleList);
  }

  static std::vector<float> QuadVertices(const std::vector<std::array<float, 4>>& rectangles) {
    std::vector<float> vertices;
    for (const auto& [left, bottom, right, top] : rectangles) {
      vertices.insert(vertices.end(), {left, bottom, 0, right, bottom, 0, right, top, 0,  //
                                       left, bottom, 0, right, top, 0, left, top, 0});
    }
    return vertices;
  }

  SDL_Window* window = nullptr;
  std::unique_ptr<GraphicsDevice> device;
  std::unique_ptr<InputLayout> layout;
  std::unique_ptr<Buffer> vertexBuffer;
};

void ExpectColor(std::array<float, 4> actual, std::array<float, 4> expected, const char* where) {
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(actual[c], expected[c], 1.0f / 255.0f) << where << " channel " << c;
}

constexpr std::array<float, 4> kBlack{0, 0, 0, 1};
constexpr std::array<float, 4> kRed{1, 0, 0, 1};
constexpr std::array<float, 4> kGreen{0, 1, 0, 1};

TEST_F(GraphicsDeviceTest, BackBufferClearsAndReadsBack) {
  const SurfaceDescription description = device->BackBufferDescription();
  EXPECT_EQ(description.width, uint32_t(kWidth));
  EXPECT_EQ(description.height, uint32_t(kHeight));
  EXPECT_EQ(description.format, Format::R8G8B8A8_UNORM);

  const float color[4] = {0.2f, 0.4f, 0.6f, 1.0f};
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);  // left behind by a pass; clears ignore it
  device->ClearRenderTargetView(device->BackBufferView(), color);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  ExpectColor(Pixel(0, 0), {0.2f, 0.4f, 0.6f, 1.0f}, "top left");
  ExpectColor(Pixel(kWidth - 1, kHeight - 1), {0.2f, 0.4f, 0.6f, 1.0f}, "bottom right");

  std::array<float, 4> outside{};
  EXPECT_EQ(device->ReadPixels(kWidth - 1, 0, 2, 1, outside.data()), kInvalidArgument);
  EXPECT_EQ(device->ReadPixels(-1, 0, 1, 1, outside.data()), kInvalidArgument);
  // The window is hidden: nothing would be seen.
  EXPECT_EQ(device->Present(1, true), kStatusOccluded);
}

TEST_F(GraphicsDeviceTest, ViewportAndReadBackCountFromTheTopLeftOfARenderTarget) {
  std::unique_ptr<RenderTarget> target;
  ASSERT_EQ(device->CreateRenderTarget(16, 8, &target), kOk);
  ASSERT_NE(target->ColorTexture()->GlTexture(), 0u);
  device->SetRenderTargets(target->ColorView(), nullptr);
  const float black[4] = {0, 0, 0, 1};
  device->ClearRenderTargetView(target->ColorView(), black);
  FlatProgram program(device->NeedsDepthRemap());
  program.Set(0.5f, kRed);
  MakeQuadInput(false, {{-1, -1, 1, 1}});

  Viewport topLeftQuarter;
  topLeftQuarter.width = 8;
  topLeftQuarter.height = 4;
  device->SetViewport(topLeftQuarter);
  EXPECT_EQ(device->GetViewport().height, 4u);
  device->Draw(6, 0);

  std::vector<float> rows(16 * 8 * 4);
  ASSERT_EQ(device->ReadPixels(0, 0, 16, 8, rows.data()), kOk);
  auto at = [&](int x, int y) {
    const float* p = &rows[(size_t(y) * 16 + x) * 4];
    return std::array<float, 4>{p[0], p[1], p[2], p[3]};
  };
  ExpectColor(at(0, 0), kRed, "top left corner");
  ExpectColor(at(7, 3), kRed, "inside the quarter");
  ExpectColor(at(8, 3), kBlack, "right of the quarter");
  ExpectColor(at(7, 4), kBlack, "below the quarter");
  ExpectColor(at(0, 7), kBlack, "bottom left corner");
  EXPECT_EQ(device->ReadPixels(0, 0, 16, 9, rows.data()), kInvalidArgument);

  device->SetRenderTargets(device->BackBufferView(), device->DepthStencilBufferView());
}

TEST_F(GraphicsDeviceTest, DepthRunsFromZeroToOne) {
  std::unique_ptr<RenderTarget> target;
  ASSERT_EQ(device->CreateRenderTarget(8, 8, &target), kOk);
  device->SetRenderTargets(target->ColorView(), target->DepthView());
  Viewport full;
  full.width = 8;
  full.height = 8;
  device->SetViewport(full);
  const float black[4] = {0, 0, 0, 1};
  device->ClearRenderTargetView(target->ColorView(), black);
  glDepthMask(GL_FALSE);  // left behind by a pass; clears ignore it
  device->ClearDepthStencilView(target->DepthView(), 0.5f);
  glDepthMask(GL_TRUE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  FlatProgram program(device->NeedsDepthRemap());
  MakeQuadInput(false, {{-1, -1, 1, 1}});

  program.Set(0.75f, kGreen);
  device->Draw(6, 0);
  ExpectColor(Pixel(4, 4), kBlack, "behind the cleared depth");
  program.Set(0.25f, kRed);
  device->Draw(6, 0);
  ExpectColor(Pixel(4, 4), kRed, "in front of the cleared depth");
  glDisable(GL_DEPTH_TEST);
}

TEST_F(GraphicsDeviceTest, DynamicBufferTakesFreshContentsOnEveryMap) {
  FlatProgram program(device->NeedsDepthRemap());
  program.Set(0.5f, kRed);
  MakeQuadInput(true, {{0, 0, 0, 0}});
  const float black[4] = {0, 0, 0, 1};
  device->ClearRenderTargetView(device->BackBufferView(), black);

  // Left half of the window, then right half from the same buffer.
  for (const std::array<float, 4>& half : {std::array<float, 4>{-1, -1, 0, 1}, std::array<float, 4>{0, -1, 1, 1}}) {
    void* data = vertexBuffer->MapDiscard();
    ASSERT_NE(data, nullptr);
    const std::vector<float> vertices = QuadVertices({half});
    std::copy(vertices.begin(), vertices.end(), static_cast<float*>(data));
    vertexBuffer->Unmap();
    device->Draw(6, 0);
  }
  ExpectColor(Pixel(2, kHeight / 2), kRed, "left half");
  ExpectColor(Pixel(kWidth - 3, kHeight / 2), kRed, "right half");

  std::unique_ptr<Buffer> fixed;
  const float zeros[3] = {};
  ASSERT_EQ(device->CreateVertexBuffer(12, zeros, false, &fixed), kOk);
  EXPECT_EQ(fixed->MapDiscard(), nullptr);
}

TEST_F(GraphicsDeviceTest, IndexedDrawsAddTheBaseVertex) {
  FlatProgram program(device->NeedsDepthRemap());
  program.Set(0.5f, kRed);
  // Quad 0 covers nothing that is read; quad 1 (vertices 6..11) covers the top half.
  MakeQuadInput(false, {{-1, -1, -0.9f, -0.9f}, {-1, 0, 1, 1}});
  const uint32_t indices[6] = {0, 1, 2, 3, 4, 5};
  std::unique_ptr<Buffer> indexBuffer;
  ASSERT_EQ(device->CreateIndexBuffer(6, indices, &indexBuffer), kOk);
  device->SetIndexBuffer(indexBuffer.get());
  const float black[4] = {0, 0, 0, 1};
  device->ClearRenderTargetView(device->BackBufferView(), black);
  device->DrawIndexed(6, 0, 6);
  ExpectColor(Pixel(kWidth / 2, 2), kRed, "top half");
  ExpectColor(Pixel(kWidth / 2, kHeight - 3), kBlack, "bottom half");
}

TEST_F(GraphicsDeviceTest, InputLayoutNeedsEverySemanticTheProgramReads) {
  const InputElement elements[2] = {{"POSITION", 0, Format::R32G32B32_FLOAT, 0},
                                    {"COLOR", 0, Format::R8G8B8A8_UNORM, 12}};
  std::unique_ptr<InputLayout> created;
  EXPECT_EQ(device->CreateInputLayout(elements, 2, {{"POSITION", 0}, {"COLOR", 0}}, &created), kOk);
  EXPECT_NE(created, nullptr);
  EXPECT_EQ(device->CreateInputLayout(elements, 2, {{"POSITION", 0}, {"TEXCOORD", 0}}, &created), kInvalidArgument);
  EXPECT_EQ(created, nullptr);
  EXPECT_EQ(device->CreateInputLayout(elements, 2, {{"COLOR", 1}}, &created), kInvalidArgument);
  const InputElement unsupported{"POSITION", 0, Format::D32_FLOAT, 0};
  EXPECT_EQ(device->CreateInputLayout(&unsupported, 1, {}, &created), kInvalidArgument);
}

// Texels of level 0 of a texture as RGBA bytes, rows from the top.
std::vector<uint8_t> TexelsOf(const ShaderResourceView& view) {
  std::vector<uint8_t> texels(size_t(view.Width()) * view.Height() * 4);
  glBindTexture(GL_TEXTURE_2D, view.GlTexture());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return texels;
}

class TextureFilesTest : public GraphicsDeviceTest {
protected:
  void SetUp() override {
    GraphicsDeviceTest::SetUp();
    folder = std::filesystem::temp_directory_path() / ("patinex_textures_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    std::filesystem::remove_all(folder);
    GraphicsDeviceTest::TearDown();
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (folder / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  std::filesystem::path folder;
};

TEST_F(TextureFilesTest, JpegAndPngFilesBecomeRgbaTextures) {
  // 8 x 8 pictures: the top half one colour, the bottom half another.
  std::vector<uint8_t> colour;
  std::vector<uint8_t> grey;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      colour.insert(colour.end(), {uint8_t(y < 4 ? 220 : 10), 100, uint8_t(y < 4 ? 10 : 220)});
      grey.push_back(y < 4 ? 40 : 200);
    }
  }
  struct Case {
    std::string path;
    std::array<int, 4> top;
    std::array<int, 4> bottom;
    int tolerance;
  };
  TestImages::PngPicture png{1, 2, PNG_COLOR_TYPE_RGBA, 8, {{1, 2, 3, 4}, {250, 251, 252, 253}}, {}, {}, {}, false};
  const std::vector<Case> cases = {
      {Write("colour.jpg", TestImages::EncodeJpeg(8, 8, 3, colour)), {220, 100, 10, 255}, {10, 100, 220, 255}, 4},
      {Write("grey.jpg", TestImages::EncodeJpeg(8, 8, 1, grey)), {40, 40, 40, 255}, {200, 200, 200, 255}, 2},
      {Write("picture.png", TestImages::EncodePng(png)), {1, 2, 3, 4}, {250, 251, 252, 253}, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.path);
    std::unique_ptr<ShaderResourceView> view;
    ASSERT_EQ(device->CreateTextureFromFile(test.path, &view), kOk);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->TextureFormat(), Format::R8G8B8A8_UNORM);
    const std::vector<uint8_t> texels = TexelsOf(*view);
    const size_t last = texels.size() - 4;
    for (int c = 0; c < 4; ++c) {
      EXPECT_NEAR(texels[c], test.top[c], test.tolerance) << "first texel, channel " << c;
      EXPECT_NEAR(texels[last + c], test.bottom[c], test.tolerance) << "last texel, channel " << c;
    }
  }

  const std::vector<uint8_t> inMemory = TestImages::EncodePng(png);
  std::unique_ptr<ShaderResourceView> view;
  ASSERT_EQ(device->CreateTextureFromMemory(inMemory.data(), inMemory.size(), &view), kOk);
  EXPECT_EQ(view->Height(), 2u);

  // 16-bit grey and alpha go up as floats with all their precision: 0x8001 is not 128 / 255.
  const std::vector<uint8_t> wide =
      TestImages::EncodePng({1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, {{0x80, 0x01, 0x00, 0x07}}, {}, {}, {}, false});
  ASSERT_EQ(device->CreateTextureFromMemory(wide.data(), wide.size(), &view), kOk);
  EXPECT_EQ(view->TextureFormat(), Format::R32G32B32A32_FLOAT);
  float texel[4] = {};
  glBindTexture(GL_TEXTURE_2D, view->GlTexture());
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texel);
  glBindTexture(GL_TEXTURE_2D, 0);
  const float level = 0x8001 / 65535.0f;
  EXPECT_EQ(std::vector<float>(texel, texel + 4), (std::vector<float>{level, level, level, 7 / 65535.0f}));
}

TEST_F(TextureFilesTest, MissingOrCorruptFilesLeaveTheViewEmpty) {
  std::vector<uint8_t> grey(64, 128);
  std::vector<uint8_t> cut = TestImages::EncodeJpeg(8, 8, 1, grey);
  cut.resize(cut.size() / 2);
  std::vector<uint8_t> garbage = {0xFF, 0xD8, 0xFF, 0x00, 0x13, 0x37, 0x00, 0x00};
  for (const std::string& path : {(folder / "absent.jpg").string(), Write("cut.jpg", cut),
                                   Write("garbage.jpg", garbage)}) {
    SCOPED_TRACE(path);
    std::unique_ptr<ShaderResourceView> view;
    EXPECT_LT(device->CreateTextureFromFile(path, &view), 0);
    EXPECT_EQ(view, nullptr);
  }
}

TEST_F(GraphicsDeviceTest, FloatTexturesKeepTheirTexelsWithRowZeroFirst) {
  const float texels[2 * 2 * 4] = {0.5f, 2.0f, -1.0f, 1.0f, 0, 0, 0, 0,  //
                                   0.25f, 0, 0, 0, 0, 0, 0, 0.125f};
  std::unique_ptr<ShaderResourceView> view;
  ASSERT_EQ(device->CreateTextureFromFloatRGBA(2, 2, texels, &view), kOk);
  EXPECT_EQ(view->TextureFormat(), Format::R32G32B32A32_FLOAT);
  float read[16] = {};
  glBindTexture(GL_TEXTURE_2D, view->GlTexture());
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, read);
  glBindTexture(GL_TEXTURE_2D, 0);
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(read[i], texels[i]) << i;
  EXPECT_EQ(device->CreateTextureFromFloatRGBA(0, 2, texels, &view), kInvalidArgument);
  EXPECT_EQ(view, nullptr);
}

// Mesa picks its rasteriser once per process, so each choice is checked in a process of its own.
void ExpectRenderer(DriverType type, const char* renderer) {
  SelectDriver(type);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) std::exit(2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_Window* window = SDL_CreateWindow("driver", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  std::unique_ptr<GraphicsDevice> device;
  std::string error;
  if (!window || Failed(GraphicsDevice::Create(window, DeviceSettings(), &device, &error))) std::exit(3);
  const std::string name = device->RendererName();
  std::fprintf(stderr, "renderer: %s\n", name.c_str());
  std::exit(name.find(renderer) != std::string::npos ? 0 : 1);
}

TEST(DriverSelection, ChoosesMesasSoftwareRasterisers) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_STREQ(DriverTypeName(DriverType::Reference), "Reference");
  EXPECT_EXIT(ExpectRenderer(DriverType::Reference, "softpipe"), ::testing::ExitedWithCode(0), "renderer: softpipe");
  EXPECT_EXIT(ExpectRenderer(DriverType::Warp, "llvmpipe"), ::testing::ExitedWithCode(0), "renderer: llvmpipe");
}

}  // namespace
}  // namespace Platform
