// Scroll bar controls, invalidation, caret and clipboard for the result view.
#include "viewer/view_host_win.h"

#include <algorithm>
#include <cstring>

#include "platform/handle_win.h"
#include "viewer/result_view.h"

namespace norvel {

namespace {

int ClientHeight(HWND hwnd) {
  RECT r{};
  if (hwnd) GetClientRect(hwnd, &r);
  return r.bottom;
}

}  // namespace

void WinViewHost::Attach(HWND main, HWND search_bar, HWND status_bar, HWND vertical,
                         HWND horizontal) {
  main_ = main;
  search_bar_ = search_bar;
  status_bar_ = status_bar;
  vertical_ = vertical;
  horizontal_ = horizontal;
}

ClientGeometry WinViewHost::Geometry() const {
  ClientGeometry g;
  RECT client{};
  if (main_) GetClientRect(main_, &client);
  g.width = client.right;
  g.height = client.bottom;
  g.search_bar_height = ClientHeight(search_bar_);
  g.status_bar_height = ClientHeight(status_bar_);
  g.vertical_bar_width = GetSystemMetrics(SM_CYVTHUMB);
  g.horizontal_bar_height = GetSystemMetrics(SM_CXHTHUMB);
  return g;
}

// Each call on a bar control redraws it, and the result view sets its bars up after every
// layout: calls that would change nothing are left out.
void WinViewHost::SetScrollRange(ScrollBar bar, int max, int page) {
  const ScrollInfo now = GetScrollInfo(bar);
  if (now.min == 0 && now.max == max && now.page == std::max(page, 0)) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE;
  si.nMin = 0;
  si.nMax = max;
  si.nPage = page > 0 ? static_cast<UINT>(page) : 0;
  SetScrollInfo(Bar(bar), SB_CTL, &si, TRUE);
}

ScrollInfo WinViewHost::GetScrollInfo(ScrollBar bar) const {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  ScrollInfo info;
  if (::GetScrollInfo(Bar(bar), SB_CTL, &si)) {
    info.min = si.nMin;
    info.max = si.nMax;
    info.page = static_cast<int>(si.nPage);
    info.pos = si.nPos;
    info.track_pos = si.nTrackPos;
  }
  return info;
}

int WinViewHost::SetScrollPos(ScrollBar bar, int pos) {
  if (GetScrollInfo(bar).pos == pos) return pos;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(Bar(bar), SB_CTL, &si, TRUE);
  return GetScrollInfo(bar).pos;
}

void WinViewHost::ShowScrollBar(ScrollBar bar, bool show) {
  if ((IsWindowVisible(Bar(bar)) != FALSE) == show) return;
  ShowWindow(Bar(bar), show ? SW_SHOW : SW_HIDE);
}

void WinViewHost::MoveScrollBar(ScrollBar bar, const ViewRect& r) {
  RECT now{};
  GetWindowRect(Bar(bar), &now);
  MapWindowPoints(HWND_DESKTOP, main_, reinterpret_cast<POINT*>(&now), 2);
  if (now.left == r.left && now.top == r.top && now.right == r.right && now.bottom == r.bottom) {
    return;
  }
  MoveWindow(Bar(bar), r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void WinViewHost::Invalidate(const ViewRect* rect, bool erase) {
  if (!rect) {
    InvalidateRect(main_, nullptr, erase);
    return;
  }
  RECT r{rect->left, rect->top, rect->right, rect->bottom};
  InvalidateRect(main_, &r, erase);
}

void WinViewHost::ScrollPixels(const ViewRect& rect, int dx, int dy) {
  RECT r{rect.left, rect.top, rect.right, rect.bottom};
  ScrollWindowEx(main_, dx, dy, &r, &r, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
}

void WinViewHost::UpdateNow() {
  UpdateWindow(main_);
}

void WinViewHost::CreateCaret(int x, int y) {
  ::CreateCaret(main_, nullptr, kCaretWidth, kCaretHeight);
  caret_created_ = true;
  caret_visible_ = false;  // a new caret starts hidden
  SetCaretPos(x, y);
}

void WinViewHost::DestroyCaret() {
  if (caret_created_) ::DestroyCaret();
  caret_created_ = false;
  caret_visible_ = false;
}

void WinViewHost::ShowCaretAt(int x, int y) {
  if (!caret_created_) return;
  SetCaretPos(x, y);
  if (!caret_visible_) ShowCaret(main_);
  caret_visible_ = true;
}

void WinViewHost::HideCaret() {
  if (!caret_created_ || !caret_visible_) return;
  ::HideCaret(main_);
  caret_visible_ = false;
}

void WinViewHost::PutTextOnClipboard(const std::string& text) {
  if (!OpenClipboard(main_)) return;  // busy: nothing is copied, nothing is said
  EmptyClipboard();
  platform::GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1));
  if (block) {
    if (void* p = GlobalLock(block.get())) {
      std::memcpy(p, text.c_str(), text.size() + 1);
      GlobalUnlock(block.get());
      // The clipboard owns the block once it took it.
      if (SetClipboardData(CF_TEXT, block.get())) block.release();
    }
  }
  CloseClipboard();
}

}  // namespace norvel
