#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/dialog_resource_manager.h"
#include "platform/graphics_device.h"
#include "platform/window.h"

// A window with a graphics device and a float render target of kWidth × kHeight that a resource
// manager draws into as if it were the back buffer. Needs a display (run under Xvfb).
class UITestDevice : public ::testing::Test {
protected:
  static constexpr int kWidth = 256;
  static constexpr int kHeight = 128;

  void SetUp() override {
    std::string error;
    window = Platform::Window::Create("ui test", Platform::kDefaultPosition, Platform::kDefaultPosition, 64, 64,
                                      IgnoreMessages, &error);
    ASSERT_NE(window, nullptr) << error;
    ASSERT_EQ(Platform::GraphicsDevice::Create(window->SdlWindow(), Platform::DeviceSettings(), &device, &error),
              Platform::kOk)
        << error;
    ASSERT_EQ(device->CreateRenderTarget(kWidth, kHeight, &target), Platform::kOk);
    device->SetRenderTargets(target->ColorView(), nullptr);
    Platform::Viewport viewport;
    viewport.width = kWidth;
    viewport.height = kHeight;
    device->SetViewport(viewport);
  }

  void TearDown() override {
    manager.OnSwapChainReleasing();
    manager.OnDeviceDestroyed();
    if (device) device->SetRenderTargets(device->BackBufferView(), device->DepthStencilBufferView());
    target.reset();
    device.reset();
    window.reset();
  }

  // Creates the manager's device objects for the target's size.
  void StartManager() {
    ASSERT_EQ(manager.OnDeviceCreated(device.get()), Platform::kOk);
    Platform::SurfaceDescription size;
    size.width = kWidth;
    size.height = kHeight;
    size.format = Platform::Format::R32G32B32A32_FLOAT;
    ASSERT_EQ(manager.OnSwapChainResized(device.get(), size), Platform::kOk);
  }

  void Clear(float r, float g, float b, float a) {
    const float rgba[4] = {r, g, b, a};
    device->ClearRenderTargetView(target->ColorView(), rgba);
  }

  // Every pixel of the target as float RGBA, rows from the top.
  std::vector<float> ReadAll() {
    std::vector<float> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    EXPECT_EQ(device->ReadPixels(0, 0, kWidth, kHeight, pixels.data()), Platform::kOk);
    return pixels;
  }
  static const float* At(const std::vector<float>& pixels, int x, int y) {
    return &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
  }

  static void IgnoreMessages(Platform::Window*, const Platform::WindowEvent&) {}

  std::unique_ptr<Platform::Window> window;
  std::unique_ptr<Platform::GraphicsDevice> device;
  std::unique_ptr<Platform::RenderTarget> target;
  DialogResourceManager manager;
};
