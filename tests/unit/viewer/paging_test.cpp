// Following links: which link does what, and how Previous and Next move the page.
#include "viewer/paging.h"

#include <gtest/gtest.h>

using norvel::LinkTarget;
using norvel::PageBounds;
using norvel::ResolveLink;

TEST(Paging, NextNextPreviousThrough25Results) {
  PageBounds page{0, 10, 25};
  EXPECT_EQ(ResolveLink(10, false, 10, &page), LinkTarget::kNext);  // the only link after titles
  EXPECT_EQ(page.start, 10u);
  EXPECT_EQ(page.end, 20u);
  EXPECT_EQ(ResolveLink(11, false, 10, &page), LinkTarget::kNext);  // after Previous
  EXPECT_EQ(page.start, 20u);
  EXPECT_EQ(page.end, 25u);
  EXPECT_EQ(norvel::CurrentPageNumber(page), 3u);
  EXPECT_EQ(norvel::PageCount(page), 3u);
  EXPECT_EQ(ResolveLink(5, false, 5, &page), LinkTarget::kPrevious);
  EXPECT_EQ(page.start, 10u);
  EXPECT_EQ(page.end, 20u);
  EXPECT_EQ(norvel::CurrentPageNumber(page), 2u);
}

TEST(Paging, TitlesOpenDocumentsAndBackLeavesTheDocumentView) {
  PageBounds page{10, 20, 25};
  EXPECT_EQ(ResolveLink(0, false, 10, &page), LinkTarget::kDocument);
  EXPECT_EQ(ResolveLink(9, false, 10, &page), LinkTarget::kDocument);
  EXPECT_EQ(ResolveLink(0, true, 10, &page), LinkTarget::kBack);
  EXPECT_EQ(page.start, 10u);
  EXPECT_EQ(page.end, 20u);
}

TEST(Paging, IndexesBeyondTheLinksDoNothing) {
  PageBounds last{20, 25, 25};
  EXPECT_EQ(ResolveLink(6, false, 5, &last), LinkTarget::kNone);  // no Next on the last page
  EXPECT_EQ(ResolveLink(-1, false, 5, &last), LinkTarget::kNone);
  PageBounds only{0, 7, 7};
  EXPECT_EQ(ResolveLink(7, false, 7, &only), LinkTarget::kNone);
  EXPECT_EQ(only.start, 0u);
  EXPECT_EQ(only.end, 7u);
  EXPECT_EQ(last.start, 20u);
}

TEST(Paging, PageNumbers) {
  EXPECT_EQ(norvel::CurrentPageNumber({0, 7, 7}), 1u);
  EXPECT_EQ(norvel::PageCount({0, 7, 7}), 1u);
  EXPECT_EQ(norvel::CurrentPageNumber({10, 20, 20}), 2u);
  EXPECT_EQ(norvel::PageCount({10, 20, 20}), 2u);
  EXPECT_EQ(norvel::PageCount({0, 10, 42}), 5u);
}

TEST(Paging, PagesWithoutListsStillPage) {
  // A page whose lists could not be built has no titles: its links are Previous and Next.
  PageBounds page{10, 20, 25};
  EXPECT_EQ(ResolveLink(0, false, 0, &page), LinkTarget::kPrevious);
  EXPECT_EQ(page.start, 0u);
  EXPECT_EQ(page.end, 10u);
  EXPECT_EQ(ResolveLink(0, false, 0, &page), LinkTarget::kNext);
  EXPECT_EQ(page.start, 10u);
}
