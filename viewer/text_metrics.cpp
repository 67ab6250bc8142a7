// Table-driven text metrics.
#include "viewer/text_metrics.h"

namespace norvel {

TableMetrics::TableMetrics(int char_width, int line_height, int line_pitch, int ave_char_width)
    : line_height_(line_height), line_pitch_(line_pitch), ave_char_width_(ave_char_width) {
  for (auto& font : widths_) font.fill(char_width);
}

void TableMetrics::SetAllWidths(int width, FontStyle style) {
  widths_[static_cast<size_t>(style)].fill(width);
}

int TableMetrics::TextWidth(const char* text, size_t n, FontStyle style) const {
  int width = 0;
  const auto& table = widths_[static_cast<size_t>(style)];
  for (size_t i = 0; i < n; ++i) width += table[static_cast<unsigned char>(text[i])];
  return width;
}

}  // namespace norvel
