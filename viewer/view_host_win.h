// The result view's host under Win32: the main window, its two scroll bar controls, the
// search bar and status bar whose heights bound the view, the caret and the clipboard.
#pragma once

#include <windows.h>

#include "viewer/view_host.h"

namespace norvel {

class WinViewHost : public ViewHost {
 public:
  void Attach(HWND main, HWND search_bar, HWND status_bar, HWND vertical, HWND horizontal);

  ClientGeometry Geometry() const override;
  void SetScrollRange(ScrollBar bar, int max, int page) override;
  ScrollInfo GetScrollInfo(ScrollBar bar) const override;
  int SetScrollPos(ScrollBar bar, int pos) override;
  void ShowScrollBar(ScrollBar bar, bool show) override;
  void MoveScrollBar(ScrollBar bar, const ViewRect& where) override;
  void Invalidate(const ViewRect* rect, bool erase) override;
  void ScrollPixels(const ViewRect& rect, int dx, int dy) override;
  void UpdateNow() override;
  void ShowCaretAt(int x, int y) override;
  void HideCaret() override;
  void PutTextOnClipboard(const std::string& text) override;

  // The caret exists only while the main window has the focus.
  void CreateCaret(int x, int y);
  void DestroyCaret();

 private:
  HWND Bar(ScrollBar bar) const { return bar == ScrollBar::kVertical ? vertical_ : horizontal_; }

  HWND main_ = nullptr;
  HWND search_bar_ = nullptr;
  HWND status_bar_ = nullptr;
  HWND vertical_ = nullptr;
  HWND horizontal_ = nullptr;
  // Hiding the caret nests in the window system; these keep one show per hide.
  bool caret_created_ = false;
  bool caret_visible_ = false;
};

}  // namespace norvel
