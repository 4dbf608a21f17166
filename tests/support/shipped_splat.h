#pragma once

#include <gtest/gtest.h>

#include <string>

#include "shipped_media/shipped_splat.h"
#include "simulation/splat_image.h"

// The splat the programs bake with, loaded once.
inline const Simulation::SplatImage& ShippedSplat() {
  static const Simulation::SplatImage splat = [] {
    Simulation::SplatImage image;
    std::string error;
    EXPECT_TRUE(ShippedMedia::LoadSplat(image, &error)) << error;
    return image;
  }();
  return splat;
}
