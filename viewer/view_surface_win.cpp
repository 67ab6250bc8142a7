// Fonts, back buffer, metrics and canvas of the result view.
#include "viewer/view_surface_win.h"

#include <algorithm>

namespace norvel {

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
constexpr COLORREF kRuleGrey = RGB(192, 192, 192);

HFONT MakeFont(int weight, bool underline) {
  return CreateFontA(15, 6, 0, 0, weight, FALSE, underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                     "Arial");
}

void FillWithHighlight(HDC dc, int width, int height) {
  RECT r{0, 0, width, height};
  FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
}

}  // namespace

bool ViewFonts::Create() {
  regular.reset(MakeFont(FW_NORMAL, false));
  link.reset(MakeFont(FW_NORMAL, true));
  bold.reset(MakeFont(FW_BOLD, false));
  return regular && link && bold;
}

void ViewFonts::Delete() {
  regular.reset();
  link.reset();
  bold.reset();
}

HFONT ViewFonts::For(FontStyle style) const {
  switch (style) {
    case FontStyle::kBold:
      return bold.get();
    case FontStyle::kLink:
      return link.get();
    default:
      return regular.get();
  }
}

bool BackBuffer::Create(HWND window, HFONT regular_font) {
  Release();
  if (!window) return false;
  window_dc_ = platform::WindowDc(window);
  if (!window_dc_) return false;
  window_ = window;
  GetClientRect(window, &client_);
  mem_dc_ = platform::MemoryDc(window_dc_.get());
  bitmap_.reset(CreateCompatibleBitmap(window_dc_.get(), std::max<LONG>(client_.right, 1),
                                       std::max<LONG>(client_.bottom, 1)));
  if (!mem_dc_ || !bitmap_) {
    Release();
    return false;
  }
  bitmap_selection_ = platform::SelectedObject(mem_dc_.get(), bitmap_.get());

  strip_dc_ = platform::MemoryDc(nullptr);  // compatible with the screen
  if (!strip_dc_) {
    Release();
    return false;
  }
  strip_font_selection_ = platform::SelectedObject(strip_dc_.get(), regular_font);
  TEXTMETRICA tm{};
  GetTextMetricsA(strip_dc_.get(), &tm);
  strip_height_ = std::max<int>(tm.tmHeight, 1);
  strip_bitmap_.reset(
      CreateCompatibleBitmap(window_dc_.get(), std::max<LONG>(client_.right, 1), strip_height_));
  if (!strip_bitmap_) {
    Release();
    return false;
  }
  strip_bitmap_selection_ = platform::SelectedObject(strip_dc_.get(), strip_bitmap_.get());
  return true;
}

void BackBuffer::Release() {
  // Selections are undone before their objects and device contexts go.
  strip_bitmap_selection_.reset();
  strip_font_selection_.reset();
  strip_bitmap_.reset();
  strip_dc_.reset();
  bitmap_selection_.reset();
  bitmap_.reset();
  mem_dc_.reset();
  window_dc_.reset();
  window_ = nullptr;
  client_ = RECT{};
  strip_height_ = 0;
}

namespace {
// A text of the kind the view shows, to tell whether widths add up.
constexpr char kProbe[] =
    "The quick brown fox jumps over the lazy dog. THE QUICK BROWN FOX, 0123456789 "
    "(AV To Wa) -_/\\\"'!?:;";
}  // namespace

bool GdiMetrics::Refresh(const BackBuffer& buffer, const ViewFonts& fonts) {
  dc_ = buffer.dc();
  fonts_ = &fonts;
  widths_add_up_ = {};
  if (!dc_) return false;
  for (FontStyle style : {FontStyle::kRegular, FontStyle::kBold, FontStyle::kLink}) {
    platform::SelectedObject font(dc_, fonts.For(style));
    INT widths[256];
    if (GetCharWidth32A(dc_, 0, 255, widths)) {
      std::copy(widths, widths + 256, widths_[static_cast<size_t>(style)].begin());
    }
    int sum = 0;
    for (const char* c = kProbe; *c; ++c)
      sum += widths_[static_cast<size_t>(style)][static_cast<unsigned char>(*c)];
    widths_add_up_[static_cast<size_t>(style)] =
        sum == MeasuredWidth(kProbe, sizeof kProbe - 1, style);
    if (style == FontStyle::kRegular) {
      TEXTMETRICA tm{};
      GetTextMetricsA(dc_, &tm);
      height_ = std::max<int>(tm.tmHeight, 1);
      pitch_ = std::max<int>(tm.tmHeight + tm.tmExternalLeading, 1);
      ave_width_ = std::max<int>(tm.tmAveCharWidth, 1);
    }
  }
  return true;
}

int GdiMetrics::TextWidth(const char* text, size_t n, FontStyle style) const {
  if (n == 0) return 0;
  if (!dc_ || widths_add_up_[static_cast<size_t>(style)]) {
    int w = 0;
    for (size_t i = 0; i < n; ++i) w += CharWidth(static_cast<unsigned char>(text[i]), style);
    return w;
  }
  return MeasuredWidth(text, n, style);
}

int GdiMetrics::MeasuredWidth(const char* text, size_t n, FontStyle style) const {
  platform::SelectedObject font(dc_, fonts_->For(style));
  SIZE size{};
  GetTextExtentPoint32A(dc_, text, static_cast<int>(n), &size);
  return size.cx;
}

GdiCanvas::GdiCanvas(const BackBuffer& buffer, const ViewFonts& fonts, bool join_pieces)
    : buffer_(buffer),
      fonts_(fonts),
      join_pieces_(join_pieces),
      rule_pen_(CreatePen(PS_SOLID, 1, kRuleGrey)),
      back_font_(buffer.dc(), fonts.regular.get()),
      strip_font_(buffer.strip_dc(), fonts.regular.get()) {
  SetBkMode(buffer.dc(), TRANSPARENT);
  SetBkMode(buffer.strip_dc(), TRANSPARENT);
}

GdiCanvas::~GdiCanvas() {
  Flush();
}

void GdiCanvas::DrawText(int x, int y, FontStyle style, bool link, const char* text, size_t n,
                         int width, bool to_strip) {
  Piece& p = pending_;
  const bool joins = join_pieces_ && !p.text.empty() && p.y == y && p.end_x == x &&
                     p.style == style && p.link == link && p.to_strip == to_strip;
  if (!joins) {
    Flush();
    p.x = x;
    p.y = y;
    p.style = style;
    p.link = link;
    p.to_strip = to_strip;
  }
  p.text.append(text, n);
  p.end_x = x + width;
}

void GdiCanvas::Flush() {
  Piece& p = pending_;
  if (p.text.empty()) return;
  HFONT font = fonts_.For(p.style);
  const int n = static_cast<int>(p.text.size());
  SelectObject(buffer_.dc(), font);
  SetTextColor(buffer_.dc(), p.link ? kLinkBlue : kBlack);
  TextOutA(buffer_.dc(), p.x, p.y, p.text.data(), n);
  if (p.to_strip) {
    SelectObject(buffer_.strip_dc(), font);
    SetTextColor(buffer_.strip_dc(), p.link ? kLinkBlue : kWhite);
    TextOutA(buffer_.strip_dc(), p.x, 0, p.text.data(), n);
  }
  p.text.clear();
}

void GdiCanvas::DrawRule(int y) {
  Flush();
  platform::SelectedObject selected(buffer_.dc(), rule_pen_.get());
  MoveToEx(buffer_.dc(), 0, y, nullptr);
  LineTo(buffer_.dc(), buffer_.client().right, y);
}

void GdiCanvas::CopyStripSpan(int left, int right, int y, int height) {
  Flush();
  left = std::max(left, 0);
  if (right > left) {
    BitBlt(buffer_.dc(), left, y, right - left, height, buffer_.strip_dc(), left, 0, SRCCOPY);
  }
  FillWithHighlight(buffer_.strip_dc(), buffer_.client().right, buffer_.strip_height());
}

void GdiCanvas::FillCorner(const ViewRect& rect) {
  Flush();
  RECT r{rect.left, rect.top, rect.right, rect.bottom};
  FillRect(buffer_.dc(), &r, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
}

void EraseBackBuffer(const BackBuffer& buffer) {
  if (!buffer.dc()) return;
  RECT client = buffer.client();
  FillRect(buffer.dc(), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FillWithHighlight(buffer.strip_dc(), client.right, buffer.strip_height());
}

void PaintFromBackBuffer(HWND window, const BackBuffer& buffer, const ViewFonts& fonts,
                         const GdiMetrics& metrics, ResultView* view) {
  platform::PaintScope paint(window);
  if (!buffer.dc()) return;
  const RECT& r = paint.info().rcPaint;
  if (paint.info().fErase) {
    GdiCanvas canvas(buffer, fonts, metrics.widths_add_up());
    view->PaintView(&canvas);
  }
  BitBlt(paint.dc(), r.left, r.top, r.right - r.left, r.bottom - r.top, buffer.dc(), r.left, r.top,
         SRCCOPY);
}

}  // namespace norvel
