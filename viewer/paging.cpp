// Paging arithmetic of the result pages.
#include "viewer/paging.h"

#include <algorithm>

namespace norvel {

LinkTarget ResolveLink(int link, bool document_view, uint32_t documents_on_page, PageBounds* page) {
  if (link < 0) return LinkTarget::kNone;
  if (document_view) return LinkTarget::kBack;
  const uint32_t index = static_cast<uint32_t>(link);
  if (index < documents_on_page) return LinkTarget::kDocument;
  const bool has_previous = page->start > 0;
  const bool has_next = page->end < page->total;
  const uint32_t nav = index - documents_on_page;
  if (has_previous && nav == 0) {
    page->end = page->start;
    page->start -= std::min(page->start, kPageSize);
    return LinkTarget::kPrevious;
  }
  if (has_next && nav == (has_previous ? 1u : 0u)) {
    page->start += kPageSize;
    page->end = std::min(page->end + kPageSize, page->total);
    return LinkTarget::kNext;
  }
  return LinkTarget::kNone;
}

uint32_t CurrentPageNumber(const PageBounds& page) {
  return page.end == 0 ? 0 : (page.end - 1) / kPageSize + 1;
}

uint32_t PageCount(const PageBounds& page) {
  return page.total / kPageSize + (page.total % kPageSize ? 1 : 0);
}

}  // namespace norvel
