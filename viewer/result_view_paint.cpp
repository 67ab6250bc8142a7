// Drawing the result view: words in their fonts and colours, links, the selection, and
// the widest line end that sets the horizontal scroll range.
#include <algorithm>

#include "viewer/page_layout.h"
#include "viewer/result_view.h"

namespace norvel {

namespace {

// Measures only.
struct NoDrawing {
  void Rule(int) {}
  void Text(int, int, FontStyle, bool, const char*, size_t, int) {}
};

// Draws into the back buffer and, on a selected line, into the selection strip.
struct CanvasDrawing {
  ViewCanvas* canvas;
  bool to_strip;
  void Rule(int y) { canvas->DrawRule(y + 1); }
  void Text(int x, int y, FontStyle style, bool link, const char* text, size_t n, int width) {
    if (n > 0) canvas->DrawText(x, y, style, link, text, n, width, to_strip);
  }
};

}  // namespace

// Walks a line word by word from x (client x of its first character) and returns the x
// where its drawing ends. Which words are links is decided by where they lie in the
// layout, so the result does not depend on scrolling.
template <typename Sink>
int ResultView::WalkLine(int line, int x, int client_y, int x_to_layout, Sink&& sink) const {
  const std::string& text = layout_.lines[line];
  const Metrics m = M();
  const int layout_y = GetViewRect(0).top + line * m.h + 1;
  size_t word_start = 0;
  for (size_t j = 0; j <= text.size(); ++j) {
    const bool at_end = j == text.size();
    unsigned char c = at_end ? 0 : static_cast<unsigned char>(text[j]);
    if (!at_end && (is_word_char ? is_word_char(c) : IsWordChar(c))) continue;
    const std::string word = text.substr(word_start, j - word_start);
    const bool query = !word.empty() && is_query_word && is_query_word(word);
    const FontStyle plain = query ? FontStyle::kBold : FontStyle::kRegular;
    FontStyle style = plain;
    const bool link = FindLink(layout_.links, x + 1 + x_to_layout, layout_y) >= 0;
    if (link) {
      sink.Rule(client_y);
      style = FontStyle::kLink;
    }
    const int word_width = metrics_->TextWidth(word, style);
    sink.Text(x, client_y, style, link, word.data(), word.size(), word_width);
    x += word_width;
    if (at_end) break;
    // Tabs, carriage returns and stray NUL bytes show as blanks; a link's separator is
    // drawn black in the word's plain font.
    const char separator = (c == '\t' || c == '\r' || c == 0) ? ' ' : static_cast<char>(c);
    const int separator_width = metrics_->CharWidth(static_cast<unsigned char>(separator), plain);
    sink.Text(x, client_y, plain, false, &separator, 1, separator_width);
    x += separator_width;
    word_start = j + 1;
  }
  return x;
}

void ResultView::MeasureLineEnds() {
  const int count = layout_.line_count();
  line_end_.assign(count, 0);
  line_end_below_.assign(count, 0);
  // Measured without horizontal scrolling.
  for (int i = 0; i < count; ++i) line_end_[i] = WalkLine(i, kLeftMargin, 0, 0, NoDrawing{});
  for (int i = count - 1; i >= 0; --i) {
    line_end_below_[i] =
        i == count - 1 ? line_end_[i] : std::max(line_end_[i], line_end_below_[i + 1]);
  }
  line_ends_valid_ = true;
}

void ResultView::TrackWidestLineEnd() {
  if (!line_ends_valid_) MeasureLineEnds();
  const int count = layout_.line_count();
  if (scroll_.top_line < 0 || scroll_.top_line >= count) return;
  // The drawn lines are those from the top line down; each ends at its unscrolled end
  // less the horizontal scrolling.
  const int end = line_end_below_[scroll_.top_line] - scroll_.horizontal_pos * M().a;
  if (end > 0 && end > scroll_.widest_line_end) scroll_.widest_line_end = end;
}

void ResultView::PaintView(ViewCanvas* canvas) {
  const ViewRect view = GetViewRect(0);
  const Metrics m = M();
  const bool selecting = selection_.active;
  const OrderedSelection sel = Ordered();
  const int count = layout_.line_count();
  int y = view.top;
  // Lines below the view are not drawn: their ends are measured once per layout and
  // kept by TrackWidestLineEnd, which is all that drawing them would change.
  for (int i = std::max(scroll_.top_line, 0); i < count && y < view.bottom; ++i, y += m.pitch) {
    const bool selected = selecting && sel.start.line <= i && i <= sel.end.line;
    const int scrolled = scroll_.horizontal_pos * m.a;
    const int x_end =
        WalkLine(i, kLeftMargin - scrolled, y, scrolled, CanvasDrawing{canvas, selected});
    if (selected) {
      const int left = i == sel.start.line ? sel.start.x : 0;
      const int right = i == sel.end.line ? sel.end.x : x_end;
      canvas->CopyStripSpan(left, right, y, m.h);
    }
  }
  TrackWidestLineEnd();
  if (scroll_.vertical_shown && scroll_.horizontal_shown) {
    const ClientGeometry g = host_->Geometry();
    const int bottom = g.height - g.status_bar_height;
    canvas->FillCorner(
        {g.width - g.vertical_bar_width, bottom - g.horizontal_bar_height, g.width, bottom});
  }
}

}  // namespace norvel
