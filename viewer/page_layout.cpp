// Page layout of a result page and the link hit test.
#include "viewer/page_layout.h"

#include <algorithm>
#include <new>
#include <utility>

#include "core/messages.h"

namespace norvel {

bool IsWordChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
         c == '_';
}

namespace {

using Cut = std::pair<size_t, size_t>;  // [from, to) of one excerpt line

// Wraps one excerpt at 600 pixels of the regular font. The width counts the terminating
// NUL too, so an excerpt of exactly 598 pixels still fits one line.
void WrapExcerpt(const TextMetrics& m, std::string* excerpt, std::vector<Cut>* cuts) {
  std::string& s = *excerpt;
  const size_t len = s.size();
  int width = kLeftMargin;
  size_t line_start = 0;
  size_t last_break = 0;  // 0 stands for none
  for (size_t i = 0; i <= len; ++i) {
    unsigned char c = i < len ? static_cast<unsigned char>(s[i]) : 0;
    if (IsBreakChar(c)) last_break = i;
    width += m.CharWidth(c);
    if (width <= kWrapWidth) continue;
    size_t cut;
    if (last_break == 0) {
      // No place to break: cut here; the character becomes the blank that begins the
      // next line. The terminator is never replaced.
      if (i < len) s[i] = ' ';
      cut = i;
      width = kLeftMargin;
    } else if (c == ' ') {
      cut = i;
      width = kLeftMargin;
    } else {
      cut = last_break;
      width = m.TextWidth(s.data() + last_break + 1, i - last_break);
    }
    cuts->emplace_back(line_start, cut);
    line_start = cut;
    last_break = 0;
  }
  cuts->emplace_back(line_start, len);
}

std::string NavigationText(const PageBounds& page) {
  std::string text;
  if (page.start > 0) text = "Previous";
  if (page.end < page.total) text += " Next";
  return text;
}

}  // namespace

int CalcDocSize(const TextMetrics& m, int view_top, const PageBounds& page,
                std::vector<std::string>* excerpts, ViewLayout* layout) {
  if (page.end == 0) return 0;
  layout->Clear();
  const int h = m.LineHeight();
  const char* failure = "CalcDocSize():For lines.";
  try {
    std::vector<std::vector<Cut>> cuts(excerpts->size());
    size_t line_count = 1;  // the navigation line
    for (size_t j = 0; j < excerpts->size(); ++j) {
      WrapExcerpt(m, &(*excerpts)[j], &cuts[j]);
      line_count += 2 + cuts[j].size();  // title, excerpt lines, empty line
    }
    layout->lines.reserve(line_count);
    failure = "CalcDocSize():For links.";
    layout->links.reserve(excerpts->size() + 2);

    failure = "CalcDocSize():For line data.";
    int y = view_top;
    auto emit = [&](std::string text) {
      layout->lines.push_back(std::move(text));
      y += h;
    };
    for (size_t j = 0; j < excerpts->size(); ++j) {
      std::string title = std::to_string(static_cast<unsigned long long>(page.start) + j + 1) + ".";
      layout->links.push_back({kLeftMargin, y, kLeftMargin + m.TextWidth(title), y + h});
      emit(std::move(title));
      const std::string& s = (*excerpts)[j];
      for (const Cut& cut : cuts[j]) emit(s.substr(cut.first, cut.second - cut.first));
      emit(std::string());
    }
    std::string nav = NavigationText(page);
    if (page.start > 0) {
      layout->links.push_back({kLeftMargin, y, kLeftMargin + m.TextWidth("Previous"), y + h});
    }
    if (page.end < page.total) {
      size_t next_at = nav.size() - 4;  // "Next" closes the text
      layout->links.push_back({kLeftMargin + m.TextWidth(nav.data(), next_at), y,
                               kLeftMargin + m.TextWidth(nav), y + h});
    }
    emit(std::move(nav));
  } catch (const std::bad_alloc&) {
    layout->Clear();
    ShowMessage(kInfo, 10, failure);
    return -1;
  }
  return layout->line_count();
}

int FindLink(const std::vector<LinkRect>& links, int x, int y) {
  if (links.empty()) return -1;
  auto begin = links.begin();
  // The last link whose top is at or above the point (the first one when none is).
  auto after =
      std::upper_bound(begin, links.end(), y, [](int py, const LinkRect& l) { return py < l.top; });
  auto k = after == begin ? begin : after - 1;
  if (x < k->left) {
    // Links that share a line are ordered by left: take the last one starting at or left
    // of the point (the line's first when none does), as on the Previous / Next line.
    auto line_first =
        std::lower_bound(begin, k, k->top, [](const LinkRect& l, int top) { return l.top < top; });
    auto right_of =
        std::upper_bound(line_first, k, x, [](int px, const LinkRect& l) { return px < l.left; });
    k = right_of == line_first ? line_first : right_of - 1;
  }
  bool hit = k->left <= x && x <= k->right && k->top <= y && y <= k->bottom;
  return hit ? static_cast<int>(k - begin) : -1;
}

}  // namespace norvel
