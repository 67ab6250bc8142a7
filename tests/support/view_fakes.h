// Stand-ins for the window around the result view: a host whose scroll bars keep their
// position the way the window system's controls do, a canvas that records what is drawn,
// and a synthetic metrics table.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "viewer/result_view.h"
#include "viewer/text_metrics.h"
#include "viewer/view_host.h"

namespace norvel_test {

// Every character 5 pixels wide in every font except bold (7), the terminating NUL 3
// pixels; lines 15 high and 15 apart; average width 5.
inline norvel::TableMetrics MakeMetrics() {
  norvel::TableMetrics m(5, 15, 15, 5);
  m.SetAllWidths(7, norvel::FontStyle::kBold);
  for (auto style :
       {norvel::FontStyle::kRegular, norvel::FontStyle::kBold, norvel::FontStyle::kLink}) {
    m.SetWidth(0, 3, style);
  }
  return m;
}

class FakeHost : public norvel::ViewHost {
 public:
  struct Bar {
    norvel::ScrollInfo info;
    bool shown = false;
    norvel::ViewRect placed;
  };

  norvel::ClientGeometry geometry{684, 562, 30, 20, 16, 16};
  Bar bars[2];
  int invalidations = 0;
  int updates = 0;
  bool caret_shown = false;
  int caret_x = 0, caret_y = 0;
  std::vector<std::string> clipboard;

  Bar& bar(norvel::ScrollBar b) { return bars[static_cast<int>(b)]; }
  const Bar& bar(norvel::ScrollBar b) const { return bars[static_cast<int>(b)]; }

  norvel::ClientGeometry Geometry() const override { return geometry; }
  void SetScrollRange(norvel::ScrollBar b, int max, int page) override {
    bar(b).info.max = max;
    bar(b).info.page = std::max(page, 0);
    Clamp(b);
  }
  norvel::ScrollInfo GetScrollInfo(norvel::ScrollBar b) const override { return bar(b).info; }
  int SetScrollPos(norvel::ScrollBar b, int pos) override {
    bar(b).info.pos = pos;
    Clamp(b);
    return bar(b).info.pos;
  }
  void ShowScrollBar(norvel::ScrollBar b, bool show) override { bar(b).shown = show; }
  void MoveScrollBar(norvel::ScrollBar b, const norvel::ViewRect& where) override {
    bar(b).placed = where;
  }
  void Invalidate(const norvel::ViewRect*, bool) override { ++invalidations; }
  void ScrollPixels(const norvel::ViewRect&, int, int) override {}
  void UpdateNow() override { ++updates; }
  void ShowCaretAt(int x, int y) override {
    caret_shown = true;
    caret_x = x;
    caret_y = y;
  }
  void HideCaret() override { caret_shown = false; }
  void PutTextOnClipboard(const std::string& text) override { clipboard.push_back(text); }

  // The client height that gives a view of exactly n line pitches without a horizontal bar.
  void SetViewLines(int n, int pitch = 15) {
    geometry.height = geometry.search_bar_height + n * pitch + geometry.status_bar_height;
  }

 private:
  // The window system's rule: the position stays within min .. max - (page - 1).
  void Clamp(norvel::ScrollBar b) {
    norvel::ScrollInfo& i = bar(b).info;
    int top = i.max - std::max(i.page - 1, 0);
    i.pos = std::max(i.min, std::min(i.pos, std::max(top, i.min)));
  }
};

struct DrawnText {
  int x, y;
  norvel::FontStyle style;
  bool link;
  std::string text;
  int width;
  bool to_strip;
};

class RecordingCanvas : public norvel::ViewCanvas {
 public:
  void DrawText(int x, int y, norvel::FontStyle style, bool link, const char* text, size_t n,
                int width, bool to_strip) override {
    texts.push_back({x, y, style, link, std::string(text, n), width, to_strip});
  }
  void DrawRule(int y) override { rules.push_back(y); }
  void CopyStripSpan(int left, int right, int y, int) override {
    spans.push_back({left, right, y});
  }
  void FillCorner(const norvel::ViewRect& r) override { corners.push_back(r); }

  // The first drawn piece with this text on the line drawn at y.
  const DrawnText* Find(const std::string& text, int y) const {
    for (const auto& t : texts) {
      if (t.text == text && t.y == y) return &t;
    }
    return nullptr;
  }

  struct Span {
    int left, right, y;
  };
  std::vector<DrawnText> texts;
  std::vector<int> rules;
  std::vector<Span> spans;
  std::vector<norvel::ViewRect> corners;
};

// Lines "line 0", "line 1", ... without links.
inline std::vector<std::string> NumberedLines(int n) {
  std::vector<std::string> lines;
  for (int i = 0; i < n; ++i) lines.push_back("line " + std::to_string(i));
  return lines;
}

}  // namespace norvel_test
