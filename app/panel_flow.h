#pragma once

#include <vector>

#include "platform/point.h"

// How panels of one width share a window's right edge: the first is pinned to the top of the
// right-most column; the others, in reading order, each go into the right-most column with room
// left for it, and stack up from the window's bottom edge in that order (the earliest on top). A
// panel that no column has room for opens a new column to the left. Panels and columns keep
// margin apart, and from the window's right and bottom edges. Only a window too small for the
// panels lets them leave it.
//
// Returns the top-left corners: the pinned panel's, then the stacked ones' in their order.
std::vector<Platform::Point> FlowPanels(int windowWidth, int windowHeight, int panelWidth, int margin,
                                        int pinnedHeight, const std::vector<int>& stackedHeights);
