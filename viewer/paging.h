// What following a link of the result view does, and how Previous and Next move the page.
#pragma once

#include <cstdint>

#include "viewer/layout.h"

namespace norvel {

constexpr uint32_t kPageSize = 10;

enum class LinkTarget {
  kNone,      // the index names no link of the current layout
  kBack,      // the document view's only link
  kDocument,  // a title of the page: open that document
  kPrevious,  // the page before
  kNext,      // the page after
};

// Resolves link against the layout's numbering (documents_on_page titles, then Previous
// when the page has one before it, then Next when it has one after) and moves the page
// bounds for Previous and Next.
LinkTarget ResolveLink(int link, bool document_view, uint32_t documents_on_page, PageBounds* page);

// The 1-based page shown and the number of pages, for the "Page=%d/%d|Total=%u" text.
uint32_t CurrentPageNumber(const PageBounds& page);
uint32_t PageCount(const PageBounds& page);

}  // namespace norvel
