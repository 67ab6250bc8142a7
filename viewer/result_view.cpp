// The result view's geometry, scroll bars, scrolling and caret.
#include "viewer/result_view.h"

#include <algorithm>
#include <cstdint>

namespace norvel {

ResultView::ResultView(const TextMetrics* metrics, ViewHost* host)
    : metrics_(metrics), host_(host) {}

ResultView::Metrics ResultView::M() const {
  // Guarded so that a degenerate font never divides by zero.
  return {std::max(1, metrics_->LineHeight()), std::max(1, metrics_->LinePitch()),
          std::max(1, metrics_->AveCharWidth())};
}

int ResultView::LineLength(int line) const {
  if (line < 0 || line >= layout_.line_count()) return 0;
  return static_cast<int>(layout_.lines[line].size());
}

void ResultView::LayoutChanged() {
  line_ends_valid_ = false;
  // Positions of an earlier layout must never point outside this one.
  const int last = std::max(0, layout_.line_count() - 1);
  for (TextPosition* p : {&caret_, &selection_.anchor, &selection_.end}) {
    p->line = std::min(std::max(p->line, 0), last);
    p->column = std::min(std::max(p->column, 0), LineLength(p->line));
  }
  if (layout_.lines.empty()) selection_.active = false;
}

ViewRect ResultView::GetViewRect(int n) const {
  const ClientGeometry g = host_->Geometry();
  const int full_bottom = g.height - g.status_bar_height;
  ViewRect r;
  r.left = 0;
  r.top = g.search_bar_height;
  r.right = std::max(r.left, g.width - (scroll_.vertical_shown ? g.vertical_bar_width : 0));
  r.bottom = full_bottom - (scroll_.horizontal_shown ? g.horizontal_bar_height : 0);
  if (n > 0) {
    r.bottom = full_bottom;
    r.top = static_cast<int>(
        std::min<int64_t>(static_cast<int64_t>(r.top) + int64_t{n} * M().pitch, r.bottom));
  } else if (n < 0) {
    r.bottom = full_bottom + n * M().pitch;
  }
  r.bottom = std::max(r.bottom, r.top);
  return r;
}

namespace {

// The position a scroll request asks of a bar, before it is held to the bar's range. Top,
// Bottom and a thumb position given by the caller move only the vertical bar.
int RequestedPosition(const ScrollInfo& si, int request, bool vertical, int thumb_pos) {
  switch (request) {
    case kSbLineUp:  // and kSbLineLeft
      return si.pos - 1;
    case kSbLineDown:  // and kSbLineRight
      return si.pos + 1;
    case kSbPageUp:  // and kSbPageLeft
      return si.pos - si.page;
    case kSbPageDown:  // and kSbPageRight
      return si.pos + si.page;
    case kSbThumbTrack:
      return si.track_pos;
    default:
      break;
  }
  if (!vertical) return si.pos;
  switch (request) {
    case kSbThumbPosition:
      return thumb_pos;
    case kSbTop:
      return si.min;
    case kSbBottom:
      return si.max;
    default:
      return si.pos;
  }
}

}  // namespace

ResultView::Axis ResultView::AxisOf(ScrollBar bar) {
  if (bar == ScrollBar::kVertical) {
    return {scroll_.top_line, scroll_.visible_lines, scroll_.vertical_shown};
  }
  return {scroll_.horizontal_pos, scroll_.visible_columns, scroll_.horizontal_shown};
}

void ResultView::SetupScrollBars() {
  for (int round = 0; round < 4; ++round) {
    const ViewRect view = GetViewRect(0);
    const Metrics m = M();
    if (!document_view && relayout_page) {
      relayout_page();
      LayoutChanged();
    }
    const bool was_vertical = scroll_.vertical_shown;
    const bool was_horizontal = scroll_.horizontal_shown;
    const int count = layout_.line_count();
    // The vertical bar counts lines, one more than there are; the horizontal one counts
    // average character widths up to the widest line end drawn so far.
    SetupScrollBar(ScrollBar::kVertical, {count + 1, (view.bottom - view.top) / m.pitch, count});
    const int hmax = scroll_.widest_line_end / m.a;
    SetupScrollBar(ScrollBar::kHorizontal, {hmax, view.right / m.a, hmax, count != 0});
    PlaceLoneScrollBar();
    // Showing or hiding one bar changes the view, which may change the other. Two bars
    // settle within a few rounds; the bound only guards against a host that flickers.
    if (scroll_.vertical_shown == was_vertical && scroll_.horizontal_shown == was_horizontal) {
      break;
    }
  }
}

void ResultView::SetupScrollBar(ScrollBar bar, const BarExtent& extent) {
  const Axis axis = AxisOf(bar);
  host_->SetScrollRange(bar, extent.max, extent.page);
  if (extent.max > extent.page && extent.may_show) {
    host_->ShowScrollBar(bar, true);
    // A page that now reaches past the end moves back by what the page grew.
    if (axis.pos + extent.page > extent.end) {
      axis.pos = std::max(0, axis.visible - extent.page + axis.pos);
    }
    axis.visible = extent.page;
    axis.shown = true;
  } else {
    axis.pos = 0;
    host_->ShowScrollBar(bar, false);
    axis.shown = false;
  }
  // The bar's thumb and the drawn lines must agree, or the next scroll jumps.
  axis.pos = host_->SetScrollPos(bar, axis.pos);
}

void ResultView::PlaceLoneScrollBar() {
  // The layout rule places the bars as a pair; one shown alone takes its whole side.
  const ClientGeometry g = host_->Geometry();
  if (scroll_.horizontal_shown && !scroll_.vertical_shown) {
    int y = g.height - g.status_bar_height - g.horizontal_bar_height;
    host_->MoveScrollBar(ScrollBar::kHorizontal, {0, y, g.width, y + g.horizontal_bar_height});
  } else if (scroll_.vertical_shown && !scroll_.horizontal_shown) {
    int x = g.width - g.vertical_bar_width;
    host_->MoveScrollBar(ScrollBar::kVertical,
                         {x, g.search_bar_height, g.width, g.height - g.status_bar_height});
  }
}

ResultView::BarMove ResultView::ApplyScrollRequest(ScrollBar bar, const ViewRect& view, int request,
                                                   int thumb_pos) {
  host_->Invalidate(&view, true);
  const ScrollInfo si = host_->GetScrollInfo(bar);
  int pos = RequestedPosition(si, request, bar == ScrollBar::kVertical, thumb_pos);
  pos = std::min(std::max(pos, 0), std::max(si.max, 0));
  return {si.pos, host_->SetScrollPos(bar, pos)};
}

void ResultView::OnVScroll(int request, int thumb_pos) {
  const ViewRect view = GetViewRect(0);
  const BarMove move = ApplyScrollRequest(ScrollBar::kVertical, view, request, thumb_pos);
  if (move.pos == move.old) return;
  const int h = M().h;
  host_->ScrollPixels(GetViewRect(move.pos - move.old), 0, (move.old - move.pos) * h);
  scroll_.top_line = move.pos;
  host_->UpdateNow();
  caret_.y = (caret_.line - scroll_.top_line) * h + view.top;
  UpdateCaret();
}

void ResultView::OnHScroll(int request) {
  const ViewRect view = GetViewRect(0);
  const BarMove move = ApplyScrollRequest(ScrollBar::kHorizontal, view, request, 0);
  if (move.pos == move.old) return;
  const int a = M().a;
  const int shift = (move.old - move.pos) * a;
  scroll_.horizontal_pos = move.pos;
  host_->ScrollPixels(view, shift, 0);
  // The caret and the selection move with the text before the view is drawn again, so
  // the highlight is drawn where the text now is.
  selection_.anchor.x += shift;
  caret_.x += move.old * a;  // layout x under the old position
  PlaceCaretAtPoint();
  selection_.end.x = caret_.x;
  selection_.end.y = caret_.y;
  host_->UpdateNow();
  UpdateCaret();
}

void ResultView::ScrollToStart() {
  // Both bars straight to their start and one drawing of the view: scrolling there step
  // by step would draw the new page once per step. The caret and the selection start
  // afresh with the new layout, so nothing has to move along.
  scroll_.top_line = host_->SetScrollPos(ScrollBar::kVertical, 0);
  scroll_.horizontal_pos = host_->SetScrollPos(ScrollBar::kHorizontal, 0);
  ResetCaret();
  const ViewRect view = GetViewRect(0);
  host_->Invalidate(&view, true);
  UpdateCaret();
}

void ResultView::Redraw() {
  const ViewRect view = GetViewRect(0);
  host_->Invalidate(&view, true);
}

int ResultView::ColumnX(int line, int column) const {
  int x = kLeftMargin - scroll_.horizontal_pos * M().a;
  if (line < 0 || line >= layout_.line_count()) return x;
  const std::string& text = layout_.lines[line];
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max(column, 0)), text.size());
  for (size_t i = 0; i < n; ++i) x += metrics_->CharWidth(static_cast<unsigned char>(text[i]));
  return x;
}

void ResultView::PlaceCaretAtPoint() {
  const ViewRect view = GetViewRect(0);
  if (layout_.lines.empty()) {
    caret_.y = view.top;
    caret_.x = kLeftMargin;
    caret_.line = caret_.column = 0;
    return;
  }
  const Metrics m = M();
  const int64_t layout_y = int64_t{caret_.y} + int64_t{scroll_.top_line} * m.h - view.top;
  const int64_t last = layout_.line_count() - 1;
  caret_.line = static_cast<int>(layout_y < 0 ? 0 : std::min<int64_t>(layout_y / m.h, last));

  // The caret goes before the character under the point: count the characters whose
  // right edge lies at or left of it.
  const int64_t r = int64_t{caret_.x} - kLeftMargin;
  const std::string& text = layout_.lines[caret_.line];
  int column = 0;
  int64_t edge = 0;
  if (r > 0) {
    for (unsigned char c : text) {
      edge += metrics_->CharWidth(c);
      if (edge > r) break;
      ++column;
    }
  }
  caret_.column = column;
  caret_.x = ColumnX(caret_.line, column);
}

void ResultView::PlaceCaretAtColumn() {
  const ViewRect view = GetViewRect(0);
  if (layout_.lines.empty()) {
    caret_.x = kLeftMargin;
    caret_.y = view.top;
    return;
  }
  caret_.y = (caret_.line - scroll_.top_line) * M().h + view.top;
  caret_.x = ColumnX(caret_.line, caret_.column);
}

void ResultView::ScrollCaretIntoView(int page) {
  for (;;) {
    int pos;
    if (caret_.line < scroll_.top_line) {
      pos = caret_.line;
    } else if (caret_.line >= scroll_.top_line + page) {
      pos = caret_.line - page + 1;
    } else {
      break;
    }
    const int before = scroll_.top_line;
    OnVScroll(kSbThumbPosition, pos);
    if (scroll_.top_line == before) break;
  }
  for (;;) {
    const ViewRect view = GetViewRect(0);
    int request;
    if (caret_.x > view.right) {
      request = kSbPageRight;
    } else if (caret_.x < view.left) {
      request = kSbPageLeft;
    } else {
      break;
    }
    const int before = scroll_.horizontal_pos;
    OnHScroll(request);
    if (scroll_.horizontal_pos == before) break;
  }
}

void ResultView::UpdateCaret() {
  const ViewRect view = GetViewRect(0);
  if (caret_.y >= view.top && caret_.y + kCaretHeight <= view.bottom && caret_.x <= view.right) {
    host_->ShowCaretAt(caret_.x, caret_.y);
  } else {
    host_->HideCaret();
  }
}

void ResultView::ResetCaret() {
  const ViewRect view = GetViewRect(0);
  scroll_.top_line = 0;
  scroll_.horizontal_pos = 0;
  caret_ = TextPosition{0, 0, view.left + kLeftMargin, view.top};
}

void ResultView::OnResize() {
  if (!layout_.lines.empty()) {
    const int old_x = caret_.x;
    PlaceCaretAtColumn();
    selection_.anchor.x += caret_.x - old_x;
    selection_.end.x = caret_.x;
    selection_.end.y = caret_.y;
  }
  host_->Invalidate(nullptr, true);
  UpdateCaret();
}

}  // namespace norvel
