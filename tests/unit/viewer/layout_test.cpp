// Page layout, document layout and the link hit test with a synthetic metrics table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_ui.h"
#include "view_fakes.h"
#include "viewer/document_layout.h"
#include "viewer/page_layout.h"

using norvel::CalcDocSize;
using norvel::FindLink;
using norvel::PageBounds;
using norvel::ViewLayout;
using norvel_test::MakeMetrics;
using norvel_test::RecordingUi;
using norvel_test::ScratchDir;
using norvel_test::WriteBytes;

namespace {

constexpr int kTop = 30;  // the view's top: the search bar's height

ViewLayout LayOutPage(const PageBounds& page, std::vector<std::string>* excerpts) {
  ViewLayout layout;
  int count = CalcDocSize(MakeMetrics(), kTop, page, excerpts, &layout);
  EXPECT_EQ(count, layout.line_count());
  return layout;
}

}  // namespace

TEST(PageLayout, ExcerptOf598PixelsWithItsTerminatorFitsOneLine) {
  // 119 characters of 5 pixels and the NUL's 3 make 598; with the margin exactly 600.
  std::vector<std::string> excerpts(3, std::string(119, 'a'));
  ViewLayout layout = LayOutPage({0, 3, 3}, &excerpts);
  ASSERT_EQ(layout.line_count(), 10);
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(layout.lines[3 * j], std::to_string(j + 1) + ".");
    EXPECT_EQ(layout.lines[3 * j + 1], std::string(119, 'a'));
    EXPECT_EQ(layout.lines[3 * j + 2], "");
  }
  EXPECT_EQ(layout.lines[9], "");  // the navigation line, with neither link
  EXPECT_EQ(layout.links.size(), 3u);

  // One pixel more wraps.
  std::vector<std::string> longer(1, std::string(120, 'a'));
  EXPECT_EQ(LayOutPage({0, 1, 1}, &longer).line_count(), 5);
}

TEST(PageLayout, EmptyExcerptKeepsItsRestLineAndEmptyLine) {
  std::vector<std::string> excerpts(1);
  ViewLayout layout = LayOutPage({0, 1, 1}, &excerpts);
  EXPECT_EQ(layout.lines, (std::vector<std::string>{"1.", "", "", ""}));
}

TEST(PageLayout, UnbreakableRunIsCutAndItsCharacterBecomesABlankInTheExcerpt) {
  // 140 letters are 700 pixels: the width first passes 600 at the 120th letter.
  std::vector<std::string> excerpts(1, std::string(140, 'a'));
  ViewLayout layout = LayOutPage({0, 1, 1}, &excerpts);
  ASSERT_EQ(layout.line_count(), 5);
  EXPECT_EQ(layout.lines[1], std::string(119, 'a'));
  EXPECT_EQ(layout.lines[2], " " + std::string(20, 'a'));
  EXPECT_EQ(excerpts[0][119], ' ');
  // A second layout of the same page (every scroll-bar set-up makes one) cuts the same.
  EXPECT_EQ(LayOutPage({0, 1, 1}, &excerpts).lines, layout.lines);
}

TEST(PageLayout, SoftWrapCutsAtTheLastBreakAndTheContinuationBeginsWithIt) {
  // "aaaa " repeated: 5 characters, 25 pixels per group; 24 groups are 600 pixels.
  std::string s;
  for (int i = 0; i < 30; ++i) s += "aaaa ";
  std::vector<std::string> excerpts{s};
  ViewLayout layout = LayOutPage({0, 1, 1}, &excerpts);
  ASSERT_EQ(layout.line_count(), 5);
  std::string first = layout.lines[1], second = layout.lines[2];
  EXPECT_EQ(first + second, s);
  EXPECT_EQ(second[0], ' ');
  EXPECT_LE(2 + 5 * static_cast<int>(first.size()), norvel::kWrapWidth);
}

TEST(PageLayout, TitlesAreNumberedInTheWholeResultList) {
  std::vector<std::string> excerpts(10, "x");
  ViewLayout layout = LayOutPage({10, 20, 25}, &excerpts);
  EXPECT_EQ(layout.lines[0], "11.");
  EXPECT_EQ(layout.lines[27], "20.");
  EXPECT_EQ(layout.lines.back(), "Previous Next");
}

TEST(PageLayout, LinksOfThePagesOf25Results) {
  std::vector<std::string> ten(10, "x"), five(5, "x");
  ViewLayout first = LayOutPage({0, 10, 25}, &ten);
  ViewLayout second = LayOutPage({10, 20, 25}, &ten);
  ViewLayout third = LayOutPage({20, 25, 25}, &five);
  EXPECT_EQ(first.links.size(), 11u);
  EXPECT_EQ(first.lines.back(), " Next");
  EXPECT_EQ(second.links.size(), 12u);
  EXPECT_EQ(third.links.size(), 6u);
  EXPECT_EQ(third.lines[0], "21.");
  EXPECT_EQ(third.lines.back(), "Previous");

  // Links are ordered by top and then by left, and the numbering holds.
  for (size_t i = 1; i < second.links.size(); ++i) {
    const auto& a = second.links[i - 1];
    const auto& b = second.links[i];
    EXPECT_TRUE(a.top < b.top || (a.top == b.top && a.left < b.left)) << i;
  }
  // Title rectangles: the whole title text, one line high.
  EXPECT_EQ(first.links[0].left, 2);
  EXPECT_EQ(first.links[0].right, 2 + 2 * 5);
  EXPECT_EQ(first.links[0].top, kTop);
  EXPECT_EQ(first.links[0].bottom, kTop + 15);
  EXPECT_EQ(first.links[9].right, 2 + 3 * 5);  // "10."
}

TEST(PageLayout, NoPageLeavesTheLayoutAlone) {
  std::vector<std::string> excerpts(1, "x");
  ViewLayout layout;
  layout.lines = {"kept"};
  EXPECT_EQ(CalcDocSize(MakeMetrics(), kTop, {0, 0, 0}, &excerpts, &layout), 0);
  EXPECT_EQ(layout.lines, std::vector<std::string>{"kept"});
}

TEST(PageLayout, PageWithoutListsOffersOnlyItsPreviousAndNext) {
  // After a page failed to build its lists are empty: no documents, the links still work.
  std::vector<std::string> none;
  ViewLayout layout = LayOutPage({10, 20, 25}, &none);
  EXPECT_EQ(layout.lines, std::vector<std::string>{"Previous Next"});
  EXPECT_EQ(layout.links.size(), 2u);
}

TEST(FindLink, PointsOnTheNavigationLineAndTitles) {
  std::vector<std::string> ten(10, "x");
  ViewLayout layout = LayOutPage({10, 20, 25}, &ten);
  const auto& prev = layout.links[10];
  const auto& next = layout.links[11];
  const int y = prev.top + 5;
  EXPECT_EQ(FindLink(layout.links, prev.left, y), 10);
  EXPECT_EQ(FindLink(layout.links, prev.right, y), 10);
  EXPECT_EQ(FindLink(layout.links, next.left, y), 11);
  EXPECT_EQ(FindLink(layout.links, next.right, y), 11);
  // The blank between them belongs to neither.
  EXPECT_EQ(FindLink(layout.links, prev.right + 2, y), -1);
  EXPECT_EQ(FindLink(layout.links, next.right + 1, y), -1);

  const auto& title = layout.links[3];
  EXPECT_EQ(FindLink(layout.links, title.right - 1, title.top + 1), 3);   // its full stop
  EXPECT_EQ(FindLink(layout.links, title.left, title.bottom), 3);         // its bottom edge
  EXPECT_EQ(FindLink(layout.links, title.left, title.top + 15 + 1), -1);  // the excerpt below
  EXPECT_EQ(FindLink(layout.links, 0, title.top + 1), -1);                // left of the margin
  EXPECT_EQ(FindLink(layout.links, 2, 0), -1);                            // above every link
  EXPECT_EQ(FindLink({}, 2, kTop), -1);
}

namespace {

ViewLayout LayOutFile(const std::string& content, const norvel::TextMetrics& m) {
  ScratchDir dir;
  std::string path = dir.File("doc.txt");
  EXPECT_TRUE(WriteBytes(path, content));
  ViewLayout layout;
  EXPECT_EQ(norvel::readFile(m, kTop, path, &layout), 0);
  return layout;
}

}  // namespace

TEST(DocumentLayout, LineFeedsEndLinesAndAFinalOneGivesAnEmptyLine) {
  ViewLayout layout = LayOutFile("abc\ndefgh\n", MakeMetrics());
  EXPECT_EQ(layout.lines, (std::vector<std::string>{"abc", "defgh", "", "Back"}));
  ASSERT_EQ(layout.links.size(), 1u);
  EXPECT_EQ(layout.links[0].top, kTop + 3 * 15);
  EXPECT_EQ(layout.links[0].right, 2 + 4 * 5);
}

TEST(DocumentLayout, TextModeJoinsCarriageReturnAndLineFeed) {
  ViewLayout layout = LayOutFile("abc\r\ndefgh\r\nlone\rcr", MakeMetrics());
  EXPECT_EQ(layout.lines, (std::vector<std::string>{"abc", "defgh", "lone\rcr", "Back"}));
}

TEST(DocumentLayout, BlocksOf1024BytesEndTheirLinesEvenInsideAWord) {
  // Widths of 0 keep every block on one line, so the lines are exactly the blocks.
  norvel::TableMetrics flat(0, 15, 15, 5);
  std::string content;
  while (content.size() < 3000) content += "abcdefghi ";
  content.resize(3000);
  ViewLayout layout = LayOutFile(content, flat);
  ASSERT_EQ(layout.line_count(), 4);
  EXPECT_EQ(layout.lines[0], content.substr(0, 1024));
  EXPECT_EQ(layout.lines[1], content.substr(1024, 1024));
  EXPECT_EQ(layout.lines[2], content.substr(2048, 952));
  EXPECT_EQ(layout.lines[3], "Back");
}

TEST(DocumentLayout, UnbreakableRunLosesTheCharacterAtTheCut) {
  std::string run;
  for (int i = 0; i < 140; ++i) run += static_cast<char>('a' + i % 26);
  ViewLayout layout = LayOutFile(run, MakeMetrics());
  ASSERT_EQ(layout.line_count(), 3);
  EXPECT_EQ(layout.lines[0], run.substr(0, 119));
  EXPECT_EQ(layout.lines[1], run.substr(120));
}

TEST(DocumentLayout, SoftWrapDropsTheBreakCharacter) {
  std::string s;
  for (int i = 0; i < 30; ++i) s += "aaaa ";
  ViewLayout layout = LayOutFile(s, MakeMetrics());
  ASSERT_EQ(layout.line_count(), 3);
  EXPECT_EQ(layout.lines[0].size() + 1 + layout.lines[1].size(), s.size());
  EXPECT_NE(layout.lines[1][0], ' ');
}

TEST(DocumentLayout, TabsStayInTheLines) {
  ViewLayout layout = LayOutFile("\t\t\t", MakeMetrics());
  EXPECT_EQ(layout.lines, (std::vector<std::string>{"\t\t\t", "Back"}));
}

TEST(DocumentLayout, EmptyFileShowsOnlyBack) {
  ViewLayout layout = LayOutFile("", MakeMetrics());
  EXPECT_EQ(layout.lines, std::vector<std::string>{"Back"});
  EXPECT_EQ(layout.links[0].top, kTop);
}

TEST(DocumentLayout, MissingDocumentIsReportedAndLeavesTheLayout) {
  RecordingUi ui;
  ScratchDir dir;
  ViewLayout layout;
  layout.lines = {"kept"};
  std::string path = dir.File("gone.txt");
  EXPECT_EQ(norvel::readFile(MakeMetrics(), kTop, path, &layout), -1);
  EXPECT_EQ(layout.lines, std::vector<std::string>{"kept"});
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "File open error." + path);
  EXPECT_EQ(ui.boxes[0].caption, "Info");
}
