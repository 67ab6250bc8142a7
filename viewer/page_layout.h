// Page layout of a result page, the word characters it breaks lines at, and the link hit
// test.
#pragma once

#include <string>
#include <vector>

#include "viewer/layout.h"
#include "viewer/text_metrics.h"

namespace norvel {

// Word characters are 0-9, A-Z, a-z, '-' and '_'; every other byte breaks words and lines.
bool IsWordChar(unsigned char c);
inline bool IsBreakChar(unsigned char c) {
  return !IsWordChar(c);
}

// Lays out a result page: per document its numbered title link, its excerpt wrapped, an
// empty line; then the navigation line with Previous and Next. One document per excerpt
// (none when the page could not be built). A word too long for a line is cut and the
// character at the cut becomes a blank in the excerpt itself, so later layouts of the
// same page cut identically. Returns the line count; 0 without touching the layout when
// the page does not exist; -1 (layout empty, message shown) when memory runs out.
int CalcDocSize(const TextMetrics& metrics, int view_top, const PageBounds& page,
                std::vector<std::string>* excerpts, ViewLayout* layout);

// Index of the link whose rectangle holds the point (layout coordinates), or -1.
int FindLink(const std::vector<LinkRect>& links, int x, int y);

}  // namespace norvel
