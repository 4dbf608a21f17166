#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/graphics_device.h"
#include "platform/window.h"

// A hidden window with a device: meshes, textures and effects need a live context.
class HiddenDevice : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    window = Platform::Window::Create("viewer test", 0, 0, 64, 64, nullptr, &error);
    ASSERT_NE(window, nullptr) << error;
    window->Hide();
    ASSERT_EQ(Platform::GraphicsDevice::Create(window->SdlWindow(), Platform::DeviceSettings(), &device, &error),
              Platform::kOk)
        << error;
  }
  void TearDown() override {
    device.reset();
    window.reset();
  }

  std::unique_ptr<Platform::Window> window;
  std::unique_ptr<Platform::GraphicsDevice> device;
};
