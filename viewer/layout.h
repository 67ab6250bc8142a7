// The result view's laid-out lines and links, as the page layout of a result page
// (viewer/page_layout.h) and the document layout of one document (viewer/document_layout.h)
// make them.
//
// Coordinates are layout coordinates: x from the view's left edge without horizontal
// scrolling, y from the client area's top with line 0 at the view's top and no vertical
// scrolling; line k spans view_top + k*H to view_top + (k+1)*H. Lines wrap at a fixed
// 600 pixels of the regular font, whatever the window's width.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvel {

constexpr int kLeftMargin = 2;
constexpr int kWrapWidth = 600;

// A link's rectangle; a point is inside when left <= x <= right and top <= y <= bottom.
struct LinkRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// The lines exactly as drawn and the links, ordered by top and then by left. In the page
// view links 0..n-1 are the page's documents, then Previous (when there is a page
// before), then Next (when there is a page after); in the document view the only link
// is Back.
struct ViewLayout {
  std::vector<std::string> lines;
  std::vector<LinkRect> links;

  void Clear() {
    lines.clear();
    lines.shrink_to_fit();
    links.clear();
    links.shrink_to_fit();
  }
  int line_count() const { return static_cast<int>(lines.size()); }
};

// The window of ten over the result list: entries start up to, not including, end.
struct PageBounds {
  uint32_t start = 0;
  uint32_t end = 0;  // 0: no page
  uint32_t total = 0;
};

}  // namespace norvel
