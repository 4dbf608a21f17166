#pragma once

#include "framework/framework.h"

// The nine framework callbacks of the application, registered in this order.
void RegisterApplicationCallbacks();

bool OnDeviceAcceptable(uint32_t adapter, uint32_t output, Platform::DriverType driverType,
                        Platform::Format backBufferFormat, bool windowed, void* userContext);
Platform::Result OnDeviceCreated(Platform::GraphicsDevice* device, const Platform::SurfaceDescription* backBuffer,
                                 void* userContext);
Platform::Result OnSwapChainResized(Platform::GraphicsDevice* device, const Platform::SurfaceDescription* backBuffer,
                                    void* userContext);
void OnSwapChainReleasing(void* userContext);
void OnDeviceDestroyed(void* userContext);
void OnMessage(Platform::Window* window, const Platform::WindowEvent& event, bool* noFurtherProcessing,
               void* userContext);
void OnFrameMove(double time, float elapsedSeconds, void* userContext);
bool OnModifyDeviceSettings(FrameworkDeviceSettings* settings, void* userContext);
