// Text metrics of the result view's fonts: what the layout, the caret and the painting
// measure with. The window shell answers from the GDI fonts, tests from a table.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace norvel {

// The three fonts of the result view. The link font is the regular font underlined.
enum class FontStyle { kRegular = 0, kBold = 1, kLink = 2 };

class TextMetrics {
 public:
  virtual ~TextMetrics() = default;
  // Width of one character, the byte taken as an unsigned code 0 to 255.
  virtual int CharWidth(unsigned char c, FontStyle style = FontStyle::kRegular) const = 0;
  // Width of the first n characters of text as drawn in one piece.
  virtual int TextWidth(const char* text, size_t n,
                        FontStyle style = FontStyle::kRegular) const = 0;
  // H: the regular font's cell height; every laid-out line is H high.
  virtual int LineHeight() const = 0;
  // The vertical step between drawn lines and one line of scrolling.
  virtual int LinePitch() const = 0;
  // A: the regular font's average character width, the unit of horizontal scrolling.
  virtual int AveCharWidth() const = 0;

  int TextWidth(const std::string& text, FontStyle style = FontStyle::kRegular) const {
    return TextWidth(text.data(), text.size(), style);
  }
};

// Metrics from per-character width tables; a text's width is the sum of its characters'.
class TableMetrics : public TextMetrics {
 public:
  TableMetrics(int char_width, int line_height, int line_pitch, int ave_char_width);

  void SetWidth(unsigned char c, int width, FontStyle style = FontStyle::kRegular) {
    widths_[static_cast<size_t>(style)][c] = width;
  }
  // Sets one width for every character of a font.
  void SetAllWidths(int width, FontStyle style);

  int CharWidth(unsigned char c, FontStyle style = FontStyle::kRegular) const override {
    return widths_[static_cast<size_t>(style)][c];
  }
  int TextWidth(const char* text, size_t n, FontStyle style = FontStyle::kRegular) const override;
  int LineHeight() const override { return line_height_; }
  int LinePitch() const override { return line_pitch_; }
  int AveCharWidth() const override { return ave_char_width_; }
  using TextMetrics::TextWidth;

 private:
  std::array<std::array<int, 256>, 3> widths_;
  int line_height_;
  int line_pitch_;
  int ave_char_width_;
};

}  // namespace norvel
