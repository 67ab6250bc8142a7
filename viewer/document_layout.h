// Document layout: one document of the data directory laid out for the document view.
#pragma once

#include <string>

#include "viewer/layout.h"
#include "viewer/text_metrics.h"

namespace norvel {

// Lays out the document at path for the document view, block by block (at most 1024
// bytes each; a block's end ends its line), then the Back link. 0, or -1: a document
// without a status leaves the layout unchanged, one that cannot be opened leaves it empty,
// a read error keeps what was laid out; each failure but the read error is shown.
// converter (may be null) turns each block into the text shown (viewer/display_text.h).
class TextConverter {
 public:
  virtual ~TextConverter() = default;
  // Replaces *out with the shown text of the next n bytes; at_end after the last block.
  virtual void Convert(const char* text, size_t n, bool at_end, std::string* out) = 0;
};
int readFile(const TextMetrics& metrics, int view_top, const std::string& path, ViewLayout* layout,
             TextConverter* converter = nullptr);

}  // namespace norvel
