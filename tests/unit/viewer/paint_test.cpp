// What the result view draws: fonts, colours, link rules, the selection and the widest
// line end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "view_fakes.h"
#include "viewer/page_layout.h"
#include "viewer/result_view.h"

using norvel::FontStyle;
using norvel_test::FakeHost;
using norvel_test::MakeMetrics;
using norvel_test::RecordingCanvas;

namespace {

class PaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.is_query_word = [](const std::string& word) {
      std::string folded = word;
      std::transform(folded.begin(), folded.end(), folded.begin(),
                     [](unsigned char c) { return std::tolower(c); });
      return folded == "index";
    };
  }
  void ShowPage(const norvel::PageBounds& page, std::vector<std::string> excerpts) {
    excerpts_ = std::move(excerpts);
    norvel::CalcDocSize(metrics, 30, page, &excerpts_, &view.layout());
    view.LayoutChanged();
  }
  void Show(std::vector<std::string> lines) {
    view.document_view = true;
    view.layout().lines = std::move(lines);
    view.layout().links.clear();
    view.LayoutChanged();
  }
  RecordingCanvas Paint() {
    RecordingCanvas canvas;
    view.PaintView(&canvas);
    return canvas;
  }

  norvel::TableMetrics metrics = MakeMetrics();
  FakeHost host;
  norvel::ResultView view{&metrics, &host};
  std::vector<std::string> excerpts_;
};

}  // namespace

TEST_F(PaintTest, QueryWordsAreBoldAsTheTextWritesThem) {
  Show({"The Index, indexes"});
  RecordingCanvas c = Paint();
  const auto* word = c.Find("Index", 30);
  ASSERT_NE(word, nullptr);
  EXPECT_EQ(word->style, FontStyle::kBold);
  EXPECT_FALSE(word->link);
  EXPECT_EQ(word->x, 2 + 4 * 5);
  const auto* comma = c.Find(",", 30);
  ASSERT_NE(comma, nullptr);
  EXPECT_EQ(comma->style, FontStyle::kBold);  // a separator keeps its word's font
  EXPECT_EQ(comma->x, 2 + 4 * 5 + 5 * 7);
  EXPECT_EQ(c.Find("indexes", 30)->style, FontStyle::kRegular);
  EXPECT_EQ(c.Find("The", 30)->style, FontStyle::kRegular);
}

TEST_F(PaintTest, TitleNumbersAreLinksWithARuleAndTheirFullStopIsPlain) {
  ShowPage({0, 1, 25}, {"excerpt"});
  RecordingCanvas c = Paint();
  const auto* number = c.Find("1", 30);
  ASSERT_NE(number, nullptr);
  EXPECT_TRUE(number->link);
  EXPECT_EQ(number->style, FontStyle::kLink);
  const auto* stop = c.Find(".", 30);
  ASSERT_NE(stop, nullptr);
  EXPECT_FALSE(stop->link);
  EXPECT_EQ(stop->style, FontStyle::kRegular);
  // Rules one pixel below the tops of the title line and the navigation line.
  EXPECT_NE(std::find(c.rules.begin(), c.rules.end(), 31), c.rules.end());
  const int nav_y = 30 + 3 * 15;
  const auto* next = c.Find("Next", nav_y);
  ASSERT_NE(next, nullptr);
  EXPECT_TRUE(next->link);
  EXPECT_NE(std::find(c.rules.begin(), c.rules.end(), nav_y + 1), c.rules.end());
  EXPECT_FALSE(c.Find("excerpt", 45)->link);
}

TEST_F(PaintTest, PiecesOfALineFollowEachOtherWithoutGaps) {
  ShowPage({0, 1, 25}, {"An index, of the Index."});
  RecordingCanvas c = Paint();
  int x = -1, y = -1;
  for (const auto& t : c.texts) {
    if (t.y == y) {
      EXPECT_EQ(t.x, x) << t.text;
    }
    x = t.x + t.width;
    y = t.y;
  }
  EXPECT_EQ(c.Find(".", 30)->width, 5);
  EXPECT_EQ(c.Find("Index", 45)->width, 5 * 7);  // bold
}

TEST_F(PaintTest, TabsAndCarriageReturnsShowAsBlanks) {
  Show({"a\tb\rc"});
  RecordingCanvas c = Paint();
  std::string drawn;
  for (const auto& t : c.texts) drawn += t.text;
  EXPECT_EQ(drawn, "a b c");
}

TEST_F(PaintTest, SelectionFromTheMiddleOfLineThreeToTheMiddleOfLineFive) {
  Show({"zero", "one", "two", "three three", "four four", "five five", "six"});
  view.SetupScrollBars();
  view.OnLeftButtonDown(2 + 5 * 6 + 1, 30 + 3 * 15 + 1);
  view.OnLeftDrag(2 + 5 * 4 + 1, 30 + 5 * 15 + 1);
  RecordingCanvas c = Paint();
  ASSERT_EQ(c.spans.size(), 3u);
  EXPECT_EQ(c.spans[0].y, 30 + 3 * 15);
  EXPECT_EQ(c.spans[0].left, 2 + 5 * 6);
  EXPECT_EQ(c.spans[0].right, 2 + 5 * 11);  // to the line's end
  EXPECT_EQ(c.spans[1].left, 0);
  EXPECT_EQ(c.spans[1].right, 2 + 5 * 9);
  EXPECT_EQ(c.spans[2].left, 0);
  EXPECT_EQ(c.spans[2].right, 2 + 5 * 4);
  // Only the selected lines are drawn into the strip.
  for (const auto& t : c.texts) {
    bool selected_line = t.y >= 30 + 3 * 15 && t.y <= 30 + 5 * 15;
    EXPECT_EQ(t.to_strip, selected_line) << t.text;
  }
}

TEST_F(PaintTest, WidestLineEndGrowsWithWhatIsDrawnAndNeverShrinks) {
  Show({"Index index"});
  Paint();
  EXPECT_EQ(view.scroll().widest_line_end, 2 + 5 * 7 + 7 + 5 * 7);  // bold words are wider
  Show({"ab"});
  Paint();
  EXPECT_EQ(view.scroll().widest_line_end, 2 + 5 * 7 + 7 + 5 * 7);
}

TEST_F(PaintTest, LinesBelowTheViewStillCountForTheWidestLineEnd) {
  host.SetViewLines(20);
  std::vector<std::string> lines(60, "x");
  lines[50] = std::string(200, 'w');
  Show(lines);
  RecordingCanvas c = Paint();
  EXPECT_EQ(view.scroll().widest_line_end, 2 + 200 * 5 + 3 * 0);
  for (const auto& t : c.texts) EXPECT_LT(t.y, 30 + 20 * 15);
}

TEST_F(PaintTest, CornerBetweenTheBarsIsFilled) {
  std::vector<std::string> lines(100, std::string(300, 'w'));
  Show(lines);
  Paint();
  view.SetupScrollBars();
  RecordingCanvas c = Paint();
  ASSERT_EQ(c.corners.size(), 1u);
  EXPECT_EQ(c.corners[0].left, 684 - 16);
  EXPECT_EQ(c.corners[0].top, 562 - 20 - 16);
  EXPECT_EQ(c.corners[0].bottom, 562 - 20);
}

TEST_F(PaintTest, NothingToDrawWithoutLines) {
  Show({});
  RecordingCanvas c = Paint();
  EXPECT_TRUE(c.texts.empty());
  EXPECT_TRUE(c.spans.empty());
}
