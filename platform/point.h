#pragma once

// Points and rectangles of a window's client area, in drawable pixels.
namespace Platform {

struct Point {
  int x = 0;
  int y = 0;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

}  // namespace Platform
