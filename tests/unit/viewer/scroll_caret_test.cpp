// Scroll bars, scrolling and the caret of the result view, against a host whose bars keep
// their positions the way the window system's controls do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view_fakes.h"
#include "viewer/result_view.h"

using norvel::ScrollBar;
using norvel_test::FakeHost;
using norvel_test::MakeMetrics;
using norvel_test::NumberedLines;
using norvel_test::RecordingCanvas;

namespace {

class ViewTest : public ::testing::Test {
 protected:
  // Shows lines as a document: drawn once, bars set up, scrolled to the start.
  void Show(std::vector<std::string> lines) {
    view.document_view = true;
    view.layout().lines = std::move(lines);
    view.layout().links.clear();
    view.LayoutChanged();
    Paint();
    view.SetupScrollBars();
    view.ScrollToStart();
  }
  void Paint() {
    RecordingCanvas canvas;
    view.PaintView(&canvas);
  }
  void Click(int x, int y) {
    view.OnLeftButtonDown(x, y);
    view.OnLeftButtonUp(x, y);
  }
  const norvel::ScrollInfo& Bar(ScrollBar b) { return host.bar(b).info; }
  // A line of n characters in words of four letters.
  static std::string Words(int n) {
    std::string s;
    while (static_cast<int>(s.size()) < n) s += "abcd ";
    s.resize(n);
    return s;
  }

  norvel::TableMetrics metrics = MakeMetrics();
  FakeHost host;
  norvel::ResultView view{&metrics, &host};
};

}  // namespace

TEST_F(ViewTest, ViewRectangleFollowsTheBars) {
  norvel::ViewRect r = view.GetViewRect(0);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 30);
  EXPECT_EQ(r.right, 684);
  EXPECT_EQ(r.bottom, 562 - 20);
  // Wide and long text shows both bars.
  std::vector<std::string> lines(100, Words(300));
  Show(lines);
  ASSERT_TRUE(view.scroll().vertical_shown);
  ASSERT_TRUE(view.scroll().horizontal_shown);
  r = view.GetViewRect(0);
  EXPECT_EQ(r.right, 684 - 16);
  EXPECT_EQ(r.bottom, 562 - 20 - 16);
  // A narrowed rectangle never turns over.
  norvel::ViewRect below = view.GetViewRect(1000);
  EXPECT_EQ(below.top, below.bottom);
  norvel::ViewRect above = view.GetViewRect(-1000);
  EXPECT_EQ(above.top, above.bottom);
  norvel::ViewRect one = view.GetViewRect(1);
  EXPECT_EQ(one.top, 30 + 15);
  EXPECT_EQ(one.bottom, 562 - 20);
}

TEST_F(ViewTest, HundredLinesInTwentyLinePitches) {
  host.SetViewLines(20);
  Show(NumberedLines(100));
  EXPECT_TRUE(host.bar(ScrollBar::kVertical).shown);
  EXPECT_EQ(Bar(ScrollBar::kVertical).max, 101);
  EXPECT_EQ(Bar(ScrollBar::kVertical).page, 20);
  view.OnVScroll(norvel::kSbBottom);
  EXPECT_EQ(view.scroll().top_line, 82);
  // Short lines in a wide window: no horizontal bar.
  EXPECT_FALSE(host.bar(ScrollBar::kHorizontal).shown);
  EXPECT_EQ(view.scroll().horizontal_pos, 0);
  // A lone vertical bar takes its whole side.
  EXPECT_EQ(host.bar(ScrollBar::kVertical).placed.left, 684 - 16);
  EXPECT_EQ(host.bar(ScrollBar::kVertical).placed.top, 30);
}

TEST_F(ViewTest, FewLinesHideTheVerticalBar) {
  host.SetViewLines(20);
  Show(NumberedLines(19));
  EXPECT_FALSE(host.bar(ScrollBar::kVertical).shown);
  EXPECT_EQ(view.scroll().top_line, 0);
}

TEST_F(ViewTest, GrowingTheWindowAtTheBottomKeepsTheViewFull) {
  host.SetViewLines(20);
  Show(NumberedLines(100));
  view.OnVScroll(norvel::kSbBottom);
  ASSERT_EQ(view.scroll().top_line, 82);
  host.SetViewLines(25);
  view.SetupScrollBars();
  EXPECT_EQ(view.scroll().top_line, 77);
  EXPECT_EQ(Bar(ScrollBar::kVertical).pos, 77);
}

TEST_F(ViewTest, TopLineAndScrollBarAgreeAfterAResize) {
  // Regression: growing the window from the middle of a document moved the top line by
  // the growth while the bar's thumb stayed where the control clamped it, so the next
  // click on the bar jumped the view by dozens of lines.
  host.SetViewLines(20);
  Show(NumberedLines(100));
  view.OnVScroll(norvel::kSbThumbPosition, 50);
  ASSERT_EQ(view.scroll().top_line, 50);
  host.SetViewLines(60);
  view.SetupScrollBars();
  EXPECT_EQ(view.scroll().top_line, Bar(ScrollBar::kVertical).pos);
  const int top = view.scroll().top_line;
  view.OnVScroll(norvel::kSbLineDown);
  EXPECT_EQ(view.scroll().top_line, top + 1);
}

TEST_F(ViewTest, ScrollingRightMovesTheCaretWithTheText) {
  Show({Words(300), "short"});
  ASSERT_TRUE(view.scroll().horizontal_shown);
  const int page = Bar(ScrollBar::kHorizontal).page;
  Click(52, 31);
  ASSERT_EQ(view.caret().column, 10);
  ASSERT_EQ(view.caret().x, 52);
  view.OnHScroll(norvel::kSbPageRight);
  EXPECT_EQ(view.scroll().horizontal_pos, page);
  EXPECT_EQ(view.caret().x, 52 - page * 5);
  EXPECT_EQ(view.caret().line, 0);
  EXPECT_EQ(view.caret().column, 10);
  // A thumb-position request keeps the horizontal position.
  view.OnHScroll(norvel::kSbThumbPosition);
  EXPECT_EQ(view.scroll().horizontal_pos, page);
}

TEST_F(ViewTest, CaretColumnsFromClicks) {
  Show({"abcdef", "ghi"});
  EXPECT_EQ(view.caret().x, 2);  // column 0 stands at the left margin
  EXPECT_EQ(view.caret().y, 30);
  Click(0, 31);  // left of the margin
  EXPECT_EQ(view.caret().column, 0);
  Click(2 + 2, 31);  // left half of the first character
  EXPECT_EQ(view.caret().column, 0);
  Click(2 + 12, 31);  // inside the third character
  EXPECT_EQ(view.caret().column, 2);
  EXPECT_EQ(view.caret().x, 2 + 10);
  Click(300, 30 + 15 + 3);  // beyond the second line's end
  EXPECT_EQ(view.caret().line, 1);
  EXPECT_EQ(view.caret().column, 3);
  Click(10, 500);  // below the last line
  EXPECT_EQ(view.caret().line, 1);
}

TEST_F(ViewTest, KeysAtTheFirstAndLastPositionsDoNotMoveTheCaret) {
  Show({"ab", "cd"});
  view.OnKeyDown(norvel::kVkLeft);
  EXPECT_EQ(view.caret().line, 0);
  EXPECT_EQ(view.caret().column, 0);
  EXPECT_EQ(view.caret().x, 2);
  view.OnKeyDown(norvel::kVkUp);
  EXPECT_EQ(view.caret().line, 0);
  view.OnKeyDown(norvel::kVkDown);
  view.OnKeyDown(norvel::kVkEnd);
  EXPECT_EQ(view.caret().column, 2);
  view.OnKeyDown(norvel::kVkRight);
  EXPECT_EQ(view.caret().line, 1);
  EXPECT_EQ(view.caret().column, 2);
  EXPECT_EQ(view.caret().x, 12);
  view.OnKeyDown(norvel::kVkDown);
  EXPECT_EQ(view.caret().line, 1);
}

TEST_F(ViewTest, LeftAndRightCrossLineEnds) {
  Show({"ab", "cd"});
  view.OnKeyDown(norvel::kVkRight);
  view.OnKeyDown(norvel::kVkRight);
  view.OnKeyDown(norvel::kVkRight);  // past the end: the next line's start
  EXPECT_EQ(view.caret().line, 1);
  EXPECT_EQ(view.caret().column, 0);
  EXPECT_EQ(view.caret().x, 2);
  EXPECT_EQ(view.caret().y, 45);
  view.OnKeyDown(norvel::kVkLeft);  // before the start: the previous line's end
  EXPECT_EQ(view.caret().line, 0);
  EXPECT_EQ(view.caret().column, 2);
  EXPECT_EQ(view.caret().x, 12);
  EXPECT_EQ(view.caret().y, 30);
}

TEST_F(ViewTest, RightAtALineEndWhileScrolledGoesToTheNextLine) {
  // Regression: scrolling back to the left placed the caret from its old y, so it fell
  // back to the start of the line it was leaving.
  Show({Words(300), "next"});
  view.OnKeyDown(norvel::kVkEnd);
  ASSERT_EQ(view.caret().column, 300);
  ASSERT_GT(view.scroll().horizontal_pos, 0);
  view.OnKeyDown(norvel::kVkRight);
  EXPECT_EQ(view.caret().line, 1);
  EXPECT_EQ(view.caret().column, 0);
  EXPECT_EQ(view.scroll().horizontal_pos, 0);
  EXPECT_EQ(view.caret().x, 2);
  EXPECT_EQ(view.caret().y, 45);
}

TEST_F(ViewTest, DownOnTheLastVisibleLineScrollsOneLine) {
  host.SetViewLines(20);
  Show(NumberedLines(100));
  for (int i = 0; i < 19; ++i) view.OnKeyDown(norvel::kVkDown);
  ASSERT_EQ(view.caret().line, 19);
  ASSERT_EQ(view.scroll().top_line, 0);
  view.OnKeyDown(norvel::kVkDown);
  EXPECT_EQ(view.caret().line, 20);
  EXPECT_EQ(view.scroll().top_line, 1);
  EXPECT_EQ(view.caret().y, 30 + 19 * 15);
  EXPECT_TRUE(host.caret_shown);
}

TEST_F(ViewTest, PageDownNearTheEndStopsOnTheLastLine) {
  host.SetViewLines(20);
  Show(NumberedLines(100));
  view.OnKeyDown(norvel::kVkPageDown);
  EXPECT_EQ(view.caret().line, 20);
  EXPECT_EQ(view.scroll().top_line, 20);
  for (int i = 0; i < 10; ++i) view.OnKeyDown(norvel::kVkPageDown);
  EXPECT_EQ(view.caret().line, 99);
  EXPECT_LE(view.scroll().top_line, 99);
  EXPECT_GT(view.scroll().top_line + 20, 99);
  view.OnKeyDown(norvel::kVkPageUp);
  EXPECT_EQ(view.caret().line, 79);
  view.OnKeyDown(norvel::kVkHome);
  EXPECT_EQ(view.caret().column, 0);
}

TEST_F(ViewTest, UpDownKeepTheColumnUnderTheCaret) {
  Show({"abcdefgh", "ab", "abcdefgh"});
  view.OnKeyDown(norvel::kVkEnd);
  view.OnKeyDown(norvel::kVkDown);
  EXPECT_EQ(view.caret().line, 1);
  EXPECT_EQ(view.caret().column, 2);
  view.OnKeyDown(norvel::kVkDown);
  EXPECT_EQ(view.caret().column, 2);  // the x of column 2, not the first line's end
}

TEST_F(ViewTest, ANewLayoutPutsTheCaretAtColumnZero) {
  // Regression: the caret went to the top left but kept its old column, so the next
  // Right jumped as if it stood far into the line.
  Show({"abcdefgh", "abcdefgh"});
  Click(2 + 5 * 6, 31 + 15);
  ASSERT_EQ(view.caret().column, 6);
  view.ScrollToStart();
  EXPECT_EQ(view.caret().line, 0);
  EXPECT_EQ(view.caret().column, 0);
  view.OnKeyDown(norvel::kVkRight);
  EXPECT_EQ(view.caret().line, 0);
  EXPECT_EQ(view.caret().column, 1);
  EXPECT_EQ(view.caret().x, 7);
}

TEST_F(ViewTest, CaretHidesOutsideTheView) {
  host.SetViewLines(20);
  Show(NumberedLines(100));
  EXPECT_TRUE(host.caret_shown);
  view.OnVScroll(norvel::kSbPageDown);
  EXPECT_FALSE(host.caret_shown);
  view.OnVScroll(norvel::kSbTop);
  EXPECT_TRUE(host.caret_shown);
  EXPECT_EQ(host.caret_y, 30);
}

TEST_F(ViewTest, KeysWithoutTextAreSwallowed) {
  Show({});
  view.OnKeyDown(norvel::kVkShift);
  view.OnKeyDown(norvel::kVkRight);
  EXPECT_FALSE(view.selection().active);
  EXPECT_FALSE(view.selection().shift);
  EXPECT_EQ(view.caret().x, 2);
}
