// Document layout: one document of the data directory laid out for the document view.
#include "viewer/document_layout.h"

#include <algorithm>
#include <memory>
#include <new>

#include "core/messages.h"
#include "platform/file.h"
#include "viewer/page_layout.h"

namespace norvel {

namespace {

constexpr size_t kBlockSize = 1024;

// Appends lines, naming the allocation that failed the way the failure is reported.
class LineSink {
 public:
  explicit LineSink(std::vector<std::string>* lines) : lines_(lines) {}

  void Emit(const char* text, size_t n) {
    if (lines_->size() == lines_->capacity()) {
      failure_ = "readFile():For lines.";
      lines_->reserve(std::max<size_t>(64, lines_->size() * 2));
    }
    failure_ = "readFile():For line data.";
    lines_->emplace_back(text, n);
  }
  const char* failure() const { return failure_; }

 private:
  std::vector<std::string>* lines_;
  const char* failure_ = "readFile():For lines.";
};

// Lays out one block by itself: its end ends the current line. The character at a cut
// is never shown: a line feed ends its line, a break character at a soft wrap is dropped,
// and in a run without any break the character where the width ran out is lost.
void LayOutBlock(const TextMetrics& m, const char* block, size_t n, LineSink* sink) {
  int width = kLeftMargin;
  size_t line_start = 0;
  size_t last_break = 0;  // 0 stands for none
  for (size_t i = 0; i <= n; ++i) {
    unsigned char c = i < n ? static_cast<unsigned char>(block[i]) : '\n';
    if (c == '\r' || c == '\t') c = ' ';
    if (IsBreakChar(c)) last_break = i;
    width += m.CharWidth(c);
    if (width <= kWrapWidth && c != '\n') continue;
    size_t cut;
    if (last_break == 0 || c == '\n') {
      cut = i;
      width = kLeftMargin;
    } else {
      cut = last_break;
      width = m.TextWidth(block + last_break + 1, i - last_break);
    }
    sink->Emit(block + line_start, cut - line_start);
    line_start = cut + 1;
    last_break = 0;
  }
}

}  // namespace

int readFile(const TextMetrics& m, int view_top, const std::string& path, ViewLayout* layout,
             TextConverter* converter) {
  platform::FileStatus status;
  if (!platform::GetFileStatus(path, &status)) {
    ShowMessage(kInfo, 3, path.c_str());
    return -1;
  }
  layout->Clear();
  const size_t block_size = static_cast<size_t>(std::min<uint64_t>(status.size, kBlockSize));
  auto reader = std::make_unique<platform::TextReader>();
  if (!reader->Open(path)) {
    ShowMessage(kInfo, 3, path.c_str());
    return -1;
  }
  LineSink sink(&layout->lines);
  bool linking = false;
  try {
    std::vector<char> block(block_size + 1);
    size_t n;
    std::string shown;
    while (block_size > 0 && (n = reader->Read(block.data(), block_size)) > 0) {
      if (!converter) {
        LayOutBlock(m, block.data(), n, &sink);
        continue;
      }
      converter->Convert(block.data(), n, false, &shown);
      LayOutBlock(m, shown.data(), shown.size(), &sink);
    }
    if (converter) {
      converter->Convert(nullptr, 0, true, &shown);  // the bytes of a cut character
      if (!shown.empty()) LayOutBlock(m, shown.data(), shown.size(), &sink);
    }
    const int h = m.LineHeight();
    const int y = view_top + layout->line_count() * h;
    sink.Emit("Back", 4);
    linking = true;
    layout->links.push_back({kLeftMargin, y, kLeftMargin + m.TextWidth("Back"), y + h});
  } catch (const std::bad_alloc&) {
    const char* failure = linking ? "readFile():For links." : sink.failure();
    layout->Clear();
    ShowMessage(kInfo, 10, failure);
    return -1;
  }
  return reader->Error() ? -1 : 0;
}

}  // namespace norvel
