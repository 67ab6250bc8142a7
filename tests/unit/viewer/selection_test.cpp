// Selection by mouse and keyboard, Select All, and the text that Copy puts on the clipboard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view_fakes.h"
#include "viewer/page_layout.h"
#include "viewer/result_view.h"

using norvel_test::FakeHost;
using norvel_test::MakeMetrics;
using norvel_test::NumberedLines;
using norvel_test::RecordingCanvas;

namespace {

class SelectionTest : public ::testing::Test {
 protected:
  void Show(std::vector<std::string> lines) {
    view.document_view = true;
    view.layout().lines = std::move(lines);
    view.layout().links.clear();
    Refresh();
  }
  // A result page laid out as the page view shows it.
  void ShowPage(const norvel::PageBounds& page, std::vector<std::string> excerpts) {
    excerpts_ = std::move(excerpts);
    page_ = page;
    view.document_view = false;
    view.relayout_page = [this] {
      norvel::CalcDocSize(metrics, view.GetViewRect(0).top, page_, &excerpts_, &view.layout());
    };
    view.relayout_page();
    Refresh();
  }
  void Refresh() {
    view.LayoutChanged();
    RecordingCanvas canvas;
    view.PaintView(&canvas);
    view.SetupScrollBars();
    view.ScrollToStart();
  }
  // Client x of a column of a line without scrolling.
  static int X(int column) { return 2 + 5 * column + 1; }
  static int Y(int line) { return 30 + 15 * line + 1; }
  void Drag(int from_line, int from_col, int to_line, int to_col) {
    view.OnLeftButtonDown(X(from_col), Y(from_line));
    view.OnLeftDrag(X(to_col), Y(to_line));
    view.OnLeftButtonUp(X(to_col), Y(to_line));
  }
  std::string Copy() {
    host.clipboard.clear();
    view.CopyToCB();
    return host.clipboard.empty() ? std::string("<nothing>") : host.clipboard.back();
  }

  norvel::TableMetrics metrics = MakeMetrics();
  FakeHost host;
  norvel::ResultView view{&metrics, &host};
  norvel::PageBounds page_;
  std::vector<std::string> excerpts_;
};

}  // namespace

TEST_F(SelectionTest, DraggingOverColumnsThreeToFive) {
  Show({"abcdefgh"});
  Drag(0, 3, 0, 6);
  EXPECT_TRUE(view.selection().active);
  EXPECT_EQ(Copy(), "def\n");
  EXPECT_EQ(Copy(), "def\n");  // copying leaves the selection as it was
  Drag(0, 6, 0, 3);            // right to left
  EXPECT_EQ(Copy(), "def\n");
}

TEST_F(SelectionTest, SelectionOverSeveralLinesEndsEachWithALineFeed) {
  Show({"first line", "", "third\tline", "last"});
  Drag(0, 6, 3, 2);
  EXPECT_EQ(Copy(), "line\n\nthird\tline\nla\n");
}

TEST_F(SelectionTest, NoSelectionCopiesNothing) {
  Show({"abc"});
  EXPECT_EQ(Copy(), "<nothing>");
  Drag(0, 1, 0, 1);  // a click is no selection
  EXPECT_FALSE(view.selection().active);
  EXPECT_EQ(Copy(), "<nothing>");
}

TEST_F(SelectionTest, SelectionOverASoftWrappedExcerpt) {
  std::string excerpt;
  for (int i = 0; i < 30; ++i) excerpt += "word ";
  ShowPage({0, 1, 1}, {excerpt});
  ASSERT_EQ(view.layout().line_count(), 5);  // title, two excerpt lines, empty, navigation
  Drag(1, 0, 3, 0);
  std::string copied = Copy();
  EXPECT_EQ(copied, view.layout().lines[1] + "\n" + view.layout().lines[2] + "\n\n");
  EXPECT_EQ(view.layout().lines[2][0], ' ');  // the continuation begins with its blank
}

TEST_F(SelectionTest, SelectAllOfAResultPage) {
  ShowPage({10, 13, 25}, {"one excerpt", "", "three"});
  view.SelectAll();
  ASSERT_TRUE(view.selection().active);
  std::string expected;
  for (const auto& line : view.layout().lines) expected += line + "\n";
  EXPECT_EQ(expected, "11.\none excerpt\n\n12.\n\n\n13.\nthree\n\nPrevious Next\n");
  EXPECT_EQ(Copy(), expected);
  EXPECT_EQ(view.caret().line, view.layout().line_count() - 1);
  EXPECT_EQ(view.caret().column, 13);
}

TEST_F(SelectionTest, SelectAllOfOneEmptyLineSelectsNothing) {
  Show({""});
  view.SelectAll();
  EXPECT_FALSE(view.selection().active);
  EXPECT_EQ(Copy(), "<nothing>");
}

TEST_F(SelectionTest, ShiftWithoutAMovementSelectsNothing) {
  Show({"abc"});
  view.OnKeyDown(norvel::kVkShift);
  view.OnKeyUp(norvel::kVkShift);
  EXPECT_FALSE(view.selection().active);
  view.OnKeyDown(norvel::kVkRight);
  EXPECT_FALSE(view.selection().active);
}

TEST_F(SelectionTest, ShiftArrowsThenCtrlCCopies) {
  Show({"abcdef", "ghijkl"});
  view.OnKeyDown(norvel::kVkShift);
  view.OnKeyDown(norvel::kVkRight);
  view.OnKeyDown(norvel::kVkRight);
  view.OnKeyDown(norvel::kVkDown);
  view.OnKeyUp(norvel::kVkShift);
  view.OnKeyDown(norvel::kVkControl);  // Ctrl's own key-down keeps the selection
  EXPECT_TRUE(view.selection().active);
  host.clipboard.clear();
  view.OnChar(3);
  view.OnKeyUp(norvel::kVkControl);
  ASSERT_EQ(host.clipboard.size(), 1u);
  EXPECT_EQ(host.clipboard[0], "abcdef\ngh\n");
  // A plain movement then clears it.
  view.OnKeyDown(norvel::kVkLeft);
  EXPECT_FALSE(view.selection().active);
}

TEST_F(SelectionTest, ShiftLeftFromTheMiddleSelectsBackwards) {
  Show({"abcdef"});
  view.OnLeftButtonDown(X(4), Y(0));
  view.OnKeyDown(norvel::kVkShift);
  view.OnKeyDown(norvel::kVkLeft);
  view.OnKeyDown(norvel::kVkLeft);
  EXPECT_EQ(Copy(), "cd\n");
  EXPECT_EQ(view.Ordered().start.column, 2);
  EXPECT_EQ(view.Ordered().end.column, 4);
}

TEST_F(SelectionTest, ClickClearsTheSelection) {
  Show({"abcdef"});
  Drag(0, 1, 0, 4);
  ASSERT_TRUE(view.selection().active);
  view.OnLeftButtonDown(X(2), Y(0));
  EXPECT_FALSE(view.selection().active);
}

TEST_F(SelectionTest, DraggingBelowTheViewScrollsOneLinePerMove) {
  host.SetViewLines(20);
  Show(NumberedLines(100));
  view.OnLeftButtonDown(X(0), Y(0));
  view.OnLeftDrag(X(0), Y(20));
  EXPECT_EQ(view.scroll().top_line, 1);
  view.OnLeftDrag(X(0), Y(20));
  EXPECT_EQ(view.scroll().top_line, 2);
  EXPECT_TRUE(view.selection().active);
  // Back on the top line: one line up per move.
  view.OnLeftDrag(X(0), Y(0));
  EXPECT_EQ(view.scroll().top_line, 1);
}

TEST_F(SelectionTest, LinksFollowOnClickAndOnTheSpaceBar) {
  ShowPage({0, 2, 25}, {"a", "b"});
  std::vector<int> followed;
  view.follow_link = [&](int link) { followed.push_back(link); };
  // The caret starts on the first title.
  view.OnChar(' ');
  const auto& next = view.layout().links[2];
  view.OnLeftButtonDown(next.left + 1, next.top + 1);
  view.OnLeftButtonUp(next.left + 1, next.top + 1);
  view.OnLeftButtonUp(300, 31);  // on no link
  EXPECT_EQ(followed, (std::vector<int>{0, 2}));
}
