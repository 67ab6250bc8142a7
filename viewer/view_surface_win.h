// The result view's drawing surface under Win32: the three fonts, the back buffer with
// its selection strip, the metrics the layout measures with, the canvas the painting
// draws on, and the main window's erase and paint handling.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "platform/gdi_win.h"
#include "viewer/result_view.h"
#include "viewer/text_metrics.h"
#include "viewer/view_host.h"

namespace norvel {

// "Arial", 15 high, 6 wide: regular (400), link (400, underlined), bold (700).
struct ViewFonts {
  platform::Font regular;
  platform::Font link;
  platform::Font bold;

  bool Create();
  void Delete();
  HFONT For(FontStyle style) const;
};

// A memory bitmap of the window's client area in which everything is drawn first, and
// the one-line strip in which selected text is drawn white on the highlight colour.
class BackBuffer {
 public:
  BackBuffer() = default;
  ~BackBuffer() { Release(); }
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;

  // CreateBackBuffer: false when the window's device context, the memory device context
  // or a bitmap cannot be had. The regular font must exist.
  bool Create(HWND window, HFONT regular_font);
  // ReleaseBackBuffer: nothing without a window.
  void Release();

  HWND window() const { return window_; }
  HDC dc() const { return mem_dc_.get(); }
  HDC strip_dc() const { return strip_dc_.get(); }
  const RECT& client() const { return client_; }
  int strip_height() const { return strip_height_; }

 private:
  HWND window_ = nullptr;
  platform::WindowDc window_dc_;
  RECT client_{};
  platform::MemoryDc mem_dc_;
  platform::Bitmap bitmap_;
  platform::SelectedObject bitmap_selection_;
  platform::MemoryDc strip_dc_;
  platform::Bitmap strip_bitmap_;
  int strip_height_ = 0;
  platform::SelectedObject strip_font_selection_;
  platform::SelectedObject strip_bitmap_selection_;
};

// Metrics of the three fonts as the back buffer's memory device context reports them.
// Character widths are read once per font. A text's width is the sum of its characters'
// when the font measures a probe text that way (no kerning, as GDI draws), else it is
// measured in one piece.
class GdiMetrics : public TextMetrics {
 public:
  // Reads the metrics; false without a back buffer.
  bool Refresh(const BackBuffer& buffer, const ViewFonts& fonts);

  int CharWidth(unsigned char c, FontStyle style = FontStyle::kRegular) const override {
    return widths_[static_cast<size_t>(style)][c];
  }
  int TextWidth(const char* text, size_t n, FontStyle style = FontStyle::kRegular) const override;
  int LineHeight() const override { return height_; }
  int LinePitch() const override { return pitch_; }
  int AveCharWidth() const override { return ave_width_; }
  using TextMetrics::TextWidth;
  // True when every font's text widths are the sums of its character widths.
  bool widths_add_up() const { return widths_add_up_[0] && widths_add_up_[1] && widths_add_up_[2]; }

 private:
  int MeasuredWidth(const char* text, size_t n, FontStyle style) const;

  HDC dc_ = nullptr;
  std::array<bool, 3> widths_add_up_{};
  const ViewFonts* fonts_ = nullptr;
  std::array<std::array<int, 256>, 3> widths_{};
  int height_ = 15;
  int pitch_ = 15;
  int ave_width_ = 6;
};

// Draws into the back buffer and the selection strip for one PaintView. Neighbouring
// pieces of one style on one line are drawn in one call when the fonts' widths add up:
// a result page is a few thousand words, and each call costs.
class GdiCanvas : public ViewCanvas {
 public:
  GdiCanvas(const BackBuffer& buffer, const ViewFonts& fonts, bool join_pieces);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  void DrawText(int x, int y, FontStyle style, bool link, const char* text, size_t n, int width,
                bool to_strip) override;
  void DrawRule(int y) override;
  void CopyStripSpan(int left, int right, int y, int height) override;
  void FillCorner(const ViewRect& rect) override;

 private:
  struct Piece {
    int x = 0, y = 0, end_x = 0;
    FontStyle style = FontStyle::kRegular;
    bool link = false;
    bool to_strip = false;
    std::string text;
  };
  void Flush();

  const BackBuffer& buffer_;
  const ViewFonts& fonts_;
  const bool join_pieces_;
  platform::Pen rule_pen_;
  platform::SelectedObject back_font_;
  platform::SelectedObject strip_font_;
  Piece pending_;
};

// Erase background: white back buffer, highlight-coloured strip; the screen is untouched.
void EraseBackBuffer(const BackBuffer& buffer);
// Paint: draws the whole view into the back buffer when the paint carries the erase
// request, then copies the invalid part to the screen.
void PaintFromBackBuffer(HWND window, const BackBuffer& buffer, const ViewFonts& fonts,
                         const GdiMetrics& metrics, ResultView* view);

}  // namespace norvel
