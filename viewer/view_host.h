// What the result view needs from the window around it: geometry, the two scroll bar
// controls, invalidation, the caret, the clipboard, and a surface to draw on. The window
// shell implements these with Win32; tests implement them with recorders.
#pragma once

#include <cstddef>
#include <string>

#include "viewer/text_metrics.h"

namespace norvel {

// Scroll requests, numbered as the window system numbers them (SB_LINEUP and SB_LINELEFT
// are both 0, and so on), so the shell passes them through unchanged.
enum ScrollRequest : int {
  kSbLineUp = 0,
  kSbLineDown = 1,
  kSbPageUp = 2,
  kSbPageDown = 3,
  kSbThumbPosition = 4,
  kSbThumbTrack = 5,
  kSbTop = 6,
  kSbBottom = 7,
  kSbEndScroll = 8,
};
constexpr int kSbLineLeft = kSbLineUp;
constexpr int kSbLineRight = kSbLineDown;
constexpr int kSbPageLeft = kSbPageUp;
constexpr int kSbPageRight = kSbPageDown;

// Virtual key codes the result view reacts to, as the window system numbers them.
enum VirtualKey : int {
  kVkTab = 0x09,
  kVkShift = 0x10,
  kVkControl = 0x11,
  kVkPageUp = 0x21,
  kVkPageDown = 0x22,
  kVkEnd = 0x23,
  kVkHome = 0x24,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
};

enum class ScrollBar { kVertical, kHorizontal };

struct ScrollInfo {
  int min = 0;
  int max = 0;
  int page = 0;
  int pos = 0;
  int track_pos = 0;
};

// A rectangle in client coordinates; right and bottom are exclusive.
struct ViewRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The main window's client area as the last layout rule left it.
struct ClientGeometry {
  int width = 0;
  int height = 0;
  int search_bar_height = 0;
  int status_bar_height = 0;
  int vertical_bar_width = 0;     // SM_CYVTHUMB
  int horizontal_bar_height = 0;  // SM_CXHTHUMB
};

class ViewHost {
 public:
  virtual ~ViewHost() = default;
  virtual ClientGeometry Geometry() const = 0;

  // Range 0..max and page of a bar, redrawn; the bar keeps its position within range.
  virtual void SetScrollRange(ScrollBar bar, int max, int page) = 0;
  virtual ScrollInfo GetScrollInfo(ScrollBar bar) const = 0;
  // Sets the position (redrawn) and returns the one the bar kept.
  virtual int SetScrollPos(ScrollBar bar, int pos) = 0;
  virtual void ShowScrollBar(ScrollBar bar, bool show) = 0;
  virtual void MoveScrollBar(ScrollBar bar, const ViewRect& where) = 0;

  // nullptr: the whole client area.
  virtual void Invalidate(const ViewRect* rect, bool erase) = 0;
  // Moves the pixels of rect by dx, dy; what is uncovered is invalidated and erased.
  virtual void ScrollPixels(const ViewRect& rect, int dx, int dy) = 0;
  // Paints what is invalid now.
  virtual void UpdateNow() = 0;

  virtual void ShowCaretAt(int x, int y) = 0;
  virtual void HideCaret() = 0;

  virtual void PutTextOnClipboard(const std::string& text) = 0;
};

// The back buffer and the selection strip as the painting sees them.
class ViewCanvas {
 public:
  virtual ~ViewCanvas() = default;
  // Draws text at (x, y) in the back buffer, black or, for a link, blue; when to_strip,
  // also at (x, 0) in the selection strip, white or, for a link, blue. width is the
  // advance the painting gives the text, so that a canvas may join neighbouring pieces
  // of one style into one call.
  virtual void DrawText(int x, int y, FontStyle style, bool link, const char* text, size_t n,
                        int width, bool to_strip) = 0;
  // The light-grey rule of a link line, across the whole client width.
  virtual void DrawRule(int y) = 0;
  // Copies columns [left, right) of the strip's first row into the back buffer at y,
  // height pixels high, then fills the strip with the highlight colour again.
  virtual void CopyStripSpan(int left, int right, int y, int height) = 0;
  // The square between the two scroll bars.
  virtual void FillCorner(const ViewRect& rect) = 0;
};

}  // namespace norvel
