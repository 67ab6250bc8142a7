// The result view's keyboard and mouse handling, the selection and the copied text.
#include <algorithm>
#include <new>

#include "core/messages.h"
#include "viewer/page_layout.h"
#include "viewer/result_view.h"

namespace norvel {

namespace {

// Far beyond any line: the caret goes after the last character, or below the last line.
constexpr int kFarAway = 9999999;

bool SamePlace(const TextPosition& a, const TextPosition& b) {
  return a.line == b.line && a.column == b.column;
}

}  // namespace

void ResultView::OnKeyDown(int key) {
  if (layout_.lines.empty()) return;
  const ViewRect view = GetViewRect(0);
  const Metrics m = M();
  const int page = host_->GetScrollInfo(ScrollBar::kVertical).page;
  MoveCaretForKey(key, page);
  caret_.y = (caret_.line - scroll_.top_line) * m.h + view.top;
  if (key != kVkLeft && key != kVkRight && key != kVkHome && key != kVkEnd) {
    // Up, Down and the page keys land in the column under the caret's previous x.
    caret_.x += scroll_.horizontal_pos * m.a;
    PlaceCaretAtPoint();
  }
  ScrollCaretIntoView(page);
  UpdateCaret();
  SelectionFollowsKey(key);
}

void ResultView::MoveCaretForKey(int key, int page) {
  switch (key) {
    case kVkLeft:
      MoveCaretByChar(-1, page);
      break;
    case kVkRight:
      MoveCaretByChar(+1, page);
      break;
    case kVkHome:
      caret_.x = 0;
      PlaceCaretAtPoint();
      break;
    case kVkEnd:
      caret_.x = kFarAway;
      PlaceCaretAtPoint();
      break;
    case kVkControl:
      selection_.control = true;
      break;
    default:
      MoveCaretByLines(key, page);
      break;
  }
}

void ResultView::MoveCaretByLines(int key, int page) {
  const int last = layout_.line_count() - 1;
  switch (key) {
    case kVkUp:
      if (caret_.line > scroll_.top_line) {
        --caret_.line;
      } else if (caret_.line != 0) {
        --caret_.line;
        OnVScroll(kSbLineUp);
      }
      break;
    case kVkDown:
      if (caret_.line < last) ++caret_.line;
      if (page != 0 && caret_.line >= scroll_.top_line + page) OnVScroll(kSbLineDown);
      break;
    case kVkPageUp:
      caret_.line = caret_.line >= page ? caret_.line - page : 0;
      OnVScroll(kSbPageUp);
      break;
    case kVkPageDown:
      caret_.line = std::min(caret_.line + std::max(page, 0), last);
      OnVScroll(kSbPageDown);
      break;
    default:
      break;
  }
}

void ResultView::SelectionFollowsKey(int key) {
  if (key == kVkShift) {
    selection_.shift = true;
    selection_.anchor = caret_;
    ExtendSelection();
  } else if (selection_.shift) {
    ExtendSelection();
  } else if (selection_.active && !selection_.control) {
    // A plain movement clears the selection; Ctrl held keeps it for the C of Ctrl+C.
    selection_.active = false;
    const ViewRect now = GetViewRect(0);
    host_->Invalidate(&now, true);
  }
}

void ResultView::OnKeyUp(int key) {
  if (layout_.lines.empty()) return;
  if (key == kVkShift) selection_.shift = false;
  if (key == kVkControl) selection_.control = false;
}

void ResultView::MoveCaretByChar(int direction, int page) {
  const int column = caret_.column + direction;
  const int length = LineLength(caret_.line);
  const Metrics m = M();
  if (column < 0) {
    caret_.column = 0;
    if (caret_.line == 0) return;
    caret_.y -= m.h;
    caret_.x = kFarAway;
    PlaceCaretAtPoint();  // after the last character of the line above
    ScrollCaretIntoView(page);
  } else if (column > length) {
    if (caret_.line >= layout_.line_count() - 1) return;  // the end of the text
    const ViewRect view = GetViewRect(0);
    caret_.x = -(scroll_.horizontal_pos * m.a + kLeftMargin);  // left of the view
    ++caret_.line;
    // The caret's y names its line when scrolling left places the caret again; without it
    // the caret would fall back onto the line it just left.
    caret_.y = (caret_.line - scroll_.top_line) * m.h + view.top;
    ScrollCaretIntoView(page);  // scrolls fully left
    caret_.column = 0;
    caret_.x = ColumnX(caret_.line, 0);
  } else {
    const std::string& text = layout_.lines[caret_.line];
    if (direction > 0) {
      caret_.x += metrics_->CharWidth(static_cast<unsigned char>(text[caret_.column]));
    } else {
      caret_.x -= metrics_->CharWidth(static_cast<unsigned char>(text[column]));
    }
    caret_.column = column;
  }
}

void ResultView::ExtendSelection() {
  const TextPosition before = selection_.end;
  const bool was_active = selection_.active;
  selection_.end = caret_;
  selection_.active = !SamePlace(selection_.end, selection_.anchor);
  const bool end_moved = !SamePlace(before, selection_.end) || before.x != selection_.end.x ||
                         before.y != selection_.end.y;
  if (end_moved || was_active != selection_.active) {
    const ViewRect view = GetViewRect(0);
    host_->Invalidate(&view, true);
  }
}

void ResultView::OnChar(int ch) {
  if (ch == 3) {  // Ctrl+C
    CopyToCB();
  } else if (ch == ' ') {
    int link = LinkAtClientPoint(caret_.x, caret_.y);
    if (link >= 0 && follow_link) follow_link(link);
  }
}

int ResultView::LinkAtClientPoint(int x, int y) const {
  const ViewRect view = GetViewRect(0);
  const Metrics m = M();
  return FindLink(layout_.links, x + scroll_.horizontal_pos * m.a + view.left,
                  y + scroll_.top_line * m.h);
}

void ResultView::OnLeftButtonDown(int x, int y) {
  selection_.active = false;
  caret_.y = y;
  caret_.x = x + scroll_.horizontal_pos * M().a;
  PlaceCaretAtPoint();
  PlaceCaretAtColumn();
  selection_.anchor = caret_;
  const ViewRect view = GetViewRect(0);
  host_->Invalidate(&view, true);
}

void ResultView::OnLeftDrag(int x, int y) {
  caret_.y = y;
  caret_.x = x + scroll_.horizontal_pos * M().a;
  PlaceCaretAtPoint();
  PlaceCaretAtColumn();
  selection_.end = caret_;
  selection_.active = !SamePlace(selection_.end, selection_.anchor);
  // The mouse is not captured: dragging past the view's edge scrolls one line per move.
  if (scroll_.visible_lines != 0 && caret_.line >= scroll_.top_line + scroll_.visible_lines) {
    OnVScroll(kSbLineDown);
  } else if (caret_.line != 0 && caret_.line == scroll_.top_line) {
    OnVScroll(kSbLineUp);
  }
  const ViewRect view = GetViewRect(0);
  host_->Invalidate(&view, true);
}

void ResultView::OnLeftButtonUp(int x, int y) {
  int link = LinkAtClientPoint(x, y);
  if (link >= 0 && follow_link) follow_link(link);
  UpdateCaret();
}

void ResultView::SelectAll() {
  caret_.x = kLeftMargin;
  caret_.y = -kFarAway;
  PlaceCaretAtPoint();
  PlaceCaretAtColumn();
  selection_.anchor = caret_;
  caret_.x = kFarAway;
  caret_.y = kFarAway;
  PlaceCaretAtPoint();
  PlaceCaretAtColumn();
  selection_.end = caret_;
  selection_.active = !SamePlace(selection_.end, selection_.anchor);
  const ViewRect view = GetViewRect(0);
  host_->Invalidate(&view, true);
  if (!selection_.active) return;
  UpdateCaret();
  OnVScroll(kSbThumbPosition, caret_.line);  // to the end of the text
}

void ResultView::ClearSelection() {
  if (selection_.active) {
    const ViewRect view = GetViewRect(0);
    host_->Invalidate(&view, true);
  }
  selection_.active = false;
}

OrderedSelection ResultView::Ordered() const {
  const TextPosition& a = selection_.anchor;
  const TextPosition& e = selection_.end;
  if (e.line < a.line || (e.line == a.line && e.column < a.column)) return {e, a};
  return {a, e};
}

std::string ResultView::SelectedText() const {
  std::string text;
  if (!selection_.active) return text;
  const OrderedSelection s = Ordered();
  const int last = std::min(s.end.line, layout_.line_count() - 1);
  size_t count = 0;
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) text.reserve(count);
    for (int l = std::max(s.start.line, 0); l <= last; ++l) {
      const std::string& line = layout_.lines[l];
      const int length = static_cast<int>(line.size());
      const int from = l == s.start.line ? std::min(s.start.column, length) : 0;
      const int to = l == s.end.line ? std::min(s.end.column, length) : length;
      if (pass == 0) {
        count += (to > from ? to - from : 0) + 1;
      } else {
        if (to > from) text.append(line, from, to - from);
        text += '\n';
      }
    }
  }
  return text;
}

void ResultView::CopyToCB() {
  if (!selection_.active) return;
  std::string text;
  try {
    text = SelectedText();
  } catch (const std::bad_alloc&) {
    ShowMessage(kInfo, 10, "CopyToCB():Temp");
    return;
  }
  host_->PutTextOnClipboard(text);
}

}  // namespace norvel
