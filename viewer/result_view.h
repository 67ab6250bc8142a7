// The result view's state and behaviour, free of any window system: the laid-out lines and
// links, scrolling through the two scroll bars, the caret, the selection by mouse and
// keyboard, the copied text, and the drawing of words in their fonts and colours.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "viewer/layout.h"
#include "viewer/text_metrics.h"
#include "viewer/view_host.h"

namespace norvel {

constexpr int kCaretWidth = 1;
constexpr int kCaretHeight = 12;

// A place in the laid-out lines: line, column (the place before that character) and its
// x, y in client coordinates.
struct TextPosition {
  int line = 0;
  int column = 0;
  int x = 0;
  int y = 0;
};

struct ScrollState {
  int top_line = 0;         // the line drawn at the view's top; the vertical position
  int horizontal_pos = 0;   // in units of the average character width
  int visible_lines = 0;    // the vertical bar's page, while it is shown
  int visible_columns = 0;  // the horizontal bar's page, while it is shown
  bool vertical_shown = false;
  bool horizontal_shown = false;
  int widest_line_end = 0;  // the largest x at which a drawn line ended; never shrinks
};

struct Selection {
  TextPosition anchor;   // where the selection began
  TextPosition end;      // follows the caret
  bool active = false;   // a non-empty selection exists
  bool shift = false;    // Shift is held in the view
  bool control = false;  // Ctrl is held in the view
};

// The two ends of a selection in text order.
struct OrderedSelection {
  TextPosition start;
  TextPosition end;
};

class ResultView {
 public:
  ResultView(const TextMetrics* metrics, ViewHost* host);

  // Set once the fonts exist; every other call needs them.
  void set_metrics(const TextMetrics* metrics) { metrics_ = metrics; }
  const TextMetrics& metrics() const { return *metrics_; }

  // Lays the current page out again (page view only); set by the owner of the page.
  std::function<void()> relayout_page;
  // Whether a word is one of the query's words, to be drawn bold.
  std::function<bool(const std::string& word)> is_query_word;
  // Which bytes of a line make the words that is_query_word is asked about (unset: the
  // word characters of the layout, IsWordChar).
  std::function<bool(unsigned char c)> is_word_char;
  // Follows a link of the layout (a click, or the space bar on the caret).
  std::function<void(int link)> follow_link;

  ViewLayout& layout() { return layout_; }
  const ViewLayout& layout() const { return layout_; }
  bool document_view = false;
  // Call after the lines were replaced, so that cached measurements are made again.
  void LayoutChanged();

  const ScrollState& scroll() const { return scroll_; }
  const TextPosition& caret() const { return caret_; }
  const Selection& selection() const { return selection_; }

  // The view rectangle; with n > 0 the part below the first n line pitches, with n < 0 the
  // part above the last -n (both measured without the horizontal bar), never turned over.
  ViewRect GetViewRect(int n = 0) const;

  // Scroll bars and scrolling.
  void SetupScrollBars();
  void OnVScroll(int request, int thumb_pos = 0);
  void OnHScroll(int request);
  // After a new layout: both bars to their start, the caret to the top left of the view,
  // the view drawn once.
  void ScrollToStart();
  // Has the whole view drawn again.
  void Redraw();

  // Caret.
  void PlaceCaretAtPoint();   // caret x (layout x) and y (client y) -> line, column, x
  void PlaceCaretAtColumn();  // line and column -> x, y
  void ScrollCaretIntoView(int page);
  void UpdateCaret();
  void SetCaretPoint(int layout_x, int client_y) {
    caret_.x = layout_x;
    caret_.y = client_y;
  }
  void ResetCaret();  // line 0, column 0, at the view's top left
  // The result view's part of a resize: the caret and the selection follow the text.
  void OnResize();
  // Caret x of a column of a line, in client coordinates.
  int ColumnX(int line, int column) const;

  // Keyboard and mouse (Tab is the window's, not the view's).
  void OnKeyDown(int key);
  void OnKeyUp(int key);
  void OnChar(int ch);
  void OnLeftButtonDown(int x, int y);
  void OnLeftDrag(int x, int y);  // a move with the left button as the only button or key
  void OnLeftButtonUp(int x, int y);
  // The link under a point of the client area, or -1.
  int LinkAtClientPoint(int x, int y) const;

  // Selection and clipboard.
  void SelectAll();
  void ClearSelection();
  OrderedSelection Ordered() const;
  // The selected characters, each line followed by a line feed; empty without selection.
  std::string SelectedText() const;
  void CopyToCB();

  // Draws the whole view: the lines from the top line down, query words bold, links blue
  // and underlined with a grey rule, the selection white on the highlight colour.
  void PaintView(ViewCanvas* canvas);
  // Keeps the widest line end as drawing would, without drawing.
  void TrackWidestLineEnd();

 private:
  struct Metrics {
    int h, pitch, a;
  };
  Metrics M() const;
  int LineLength(int line) const;

  // One scroll bar's fields of the scroll state: its position, its page while shown, and
  // whether it is shown.
  struct Axis {
    int& pos;
    int& visible;
    bool& shown;
  };
  Axis AxisOf(ScrollBar bar);
  // What a bar's range covers: its maximum and page, the position that a page may not
  // reach past, and whether it may show at all.
  struct BarExtent {
    int max;
    int page;
    int end;
    bool may_show = true;
  };
  void SetupScrollBar(ScrollBar bar, const BarExtent& extent);
  void PlaceLoneScrollBar();
  // A bar's position before and after a scroll request; the same when it did not move.
  struct BarMove {
    int old;
    int pos;
  };
  // Invalidates view, then moves the bar as request asks, held to its range.
  BarMove ApplyScrollRequest(ScrollBar bar, const ViewRect& view, int request, int thumb_pos);

  // Keys: the caret's movement, and the selection that follows it.
  void MoveCaretForKey(int key, int page);
  void MoveCaretByLines(int key, int page);
  void SelectionFollowsKey(int key);
  void MoveCaretByChar(int direction, int page);
  void ExtendSelection();
  void MeasureLineEnds();
  template <typename Sink>
  int WalkLine(int line, int x, int client_y, int x_to_layout, Sink&& sink) const;

  const TextMetrics* metrics_;
  ViewHost* host_;
  ViewLayout layout_;
  ScrollState scroll_;
  TextPosition caret_;
  Selection selection_;
  // x at which each line's drawing ends without horizontal scrolling, and the largest of
  // them from each line down; made once per layout.
  std::vector<int> line_end_;
  std::vector<int> line_end_below_;
  bool line_ends_valid_ = false;
};

}  // namespace norvel
