#include "app/panel_flow.h"

#include <cstddef>

namespace {

struct Column {
  int top = 0;      // the highest a panel may reach
  int stacked = 0;  // the height of its panels and the margins between them
  std::vector<size_t> panels;
};

}  // namespace

std::vector<Platform::Point> FlowPanels(int windowWidth, int windowHeight, int panelWidth, int margin,
                                        int pinnedHeight, const std::vector<int>& stackedHeights) {
  const int bottom = windowHeight - margin;
  std::vector<Column> columns(1);
  columns[0].top = pinnedHeight + margin;
  for (size_t i = 0; i < stackedHeights.size(); ++i) {
    const int height = stackedHeights[i];
    size_t c = 0;
    for (; c < columns.size(); ++c) {
      const Column& column = columns[c];
      const int needed = column.panels.empty() ? height : column.stacked + margin + height;
      if (column.top + needed <= bottom) break;
    }
    if (c == columns.size()) {
      columns.emplace_back();
      columns.back().top = margin;
    }
    Column& column = columns[c];
    column.stacked = column.panels.empty() ? height : column.stacked + margin + height;
    column.panels.push_back(i);
  }

  std::vector<Platform::Point> corners(stackedHeights.size() + 1);
  const int rightX = windowWidth - margin - panelWidth;
  corners[0] = {rightX, 0};
  for (size_t c = 0; c < columns.size(); ++c) {
    const int x = rightX - int(c) * (panelWidth + margin);
    int y = bottom;
    for (auto it = columns[c].panels.rbegin(); it != columns[c].panels.rend(); ++it) {
      y -= stackedHeights[*it];
      corners[*it + 1] = {x, y};
      y -= margin;
    }
  }
  return corners;
}
