// The result view's laid-out lines and links: the page layout of a result page, the
// document layout of one opened document, and the link hit test.
//
// Coordinates are layout coordinates: x from the view's left edge without horizontal
// scrolling, y from the client area's top with line 0 at the view's top and no vertical
// scrolling; line k spans view_top + k*H to view_top + (k+1)*H. Lines wrap at a fixed
// 600 pixels of the regular font, whatever the window's width.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/text_metrics.h"

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

// Word characters are 0-9, A-Z, a-z, '-' and '_'; every other byte breaks words and lines.
bool IsWordChar(unsigned char c);
inline bool IsBreakChar(unsigned char c) {
  return !IsWordChar(c);
}

// Lays out a result page: per document its numbered title link, its excerpt wrapped, an
// empty line; then the navigation line with Previous and Next. One document per excerpt
// (none when the page could not be built). A word too long for a line is cut and the
// character at the cut becomes a blank in the excerpt itself, so later layouts of the
// same page cut identically. Returns the line count; 0 without touching the layout when
// the page does not exist; -1 (layout empty, message shown) when memory runs out.
int CalcDocSize(const TextMetrics& metrics, int view_top, const PageBounds& page,
                std::vector<std::string>* excerpts, ViewLayout* layout);

// Lays out the document at path for the document view, block by block (at most 1024
// bytes each; a block's end ends its line), then the Back link. 0, or -1: a document
// without a status leaves the layout unchanged, one that cannot be opened leaves it empty,
// a read error keeps what was laid out; each failure but the read error is shown.
// converter (may be null) turns each block into the text shown (viewer/display_text.h).
class TextConverter {
 public:
  virtual ~TextConverter() = default;
  // Replaces *out with the shown text of the next n bytes; at_end after the last block.
  virtual void Convert(const char* text, size_t n, bool at_end, std::string* out) = 0;
};
int readFile(const TextMetrics& metrics, int view_top, const std::string& path, ViewLayout* layout,
             TextConverter* converter = nullptr);

// Index of the link whose rectangle holds the point (layout coordinates), or -1.
int FindLink(const std::vector<LinkRect>& links, int x, int y);

}  // namespace norvel
