// A phrase query in the search window under Wine: its words drawn in bold on the result
// page, and Next, Previous, opening a document and Back as for any query.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search_window.h"

using norvel_e2e::SearchWindow;

namespace {

constexpr int kViewTop = 30;  // the search bar's height

int LineY(int line) {
  return kViewTop + 15 * line + 4;
}

// The pixels of one line of the view, once the window is drawn.
std::vector<COLORREF> LinePixels(SearchWindow& w, int line) {
  e2e::PostMouseMove(w.main, 690, 500);  // keep the pointer off the text
  std::vector<COLORREF> pixels;
  e2e::Image image;
  if (!e2e::Ping(w.main) || !w.WaitUntilDrawn() ||
      !e2e::CaptureWindow(w.main, &image, /*client_only=*/true)) {
    return pixels;
  }
  for (int y = kViewTop + 15 * line; y < kViewTop + 15 * (line + 1); ++y) {
    for (int x = 0; x < 600 && x < image.width; ++x) pixels.push_back(image.Pixel(x, y));
  }
  return pixels;
}

}  // namespace

TEST(PhraseWindow, PhraseWordsAreBoldAndPagesWorkAsForAnyQuery) {
  SearchWindow w;
  w.WriteDocs(12);  // "alpha common numberNN" and "second line"
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  std::string last;

  // The same first excerpt under three queries: the phrase's words are drawn as the two
  // words are when searched for one by one, and differently from one word alone.
  w.Search("alpha");
  ASSERT_TRUE(w.HoverShows(650, LineY(0), "Page=1/2|Total=12", &last)) << last;
  std::vector<COLORREF> alpha_bold = LinePixels(w, 1);
  w.Search("alpha common");
  ASSERT_TRUE(w.HoverShows(650, LineY(0), "Page=1/2|Total=12", &last)) << last;
  std::vector<COLORREF> both_bold = LinePixels(w, 1);
  w.Search("\"Alpha, common\"");
  ASSERT_TRUE(w.HoverShows(650, LineY(0), "Page=1/2|Total=12", &last)) << last;
  std::vector<COLORREF> phrase = LinePixels(w, 1);
  ASSERT_FALSE(phrase.empty());
  EXPECT_TRUE(phrase == both_bold) << "the phrase's words are not drawn as query words";
  EXPECT_FALSE(phrase == alpha_bold) << "common is not drawn in bold";
  std::string path = e2e::SaveScreenshot(w.main, "phrase_window_result_page");
  std::printf("screenshot: %s\n", path.c_str());

  w.FollowNext();
  EXPECT_TRUE(w.HoverShows(650, LineY(0), "Page=2/2|Total=12", &last)) << last;
  EXPECT_TRUE(w.HoverShows(4, LineY(0), "doc10.txt", &last)) << last;
  w.FollowPrevious();
  EXPECT_TRUE(w.HoverShows(650, LineY(0), "Page=1/2|Total=12", &last)) << last;

  // Opening the second document, then Back to the page.
  e2e::BringToFront(w.main);
  e2e::PostLeftClick(w.main, 4, LineY(3));
  ASSERT_TRUE(w.HoverShows(4, LineY(0), "Page=1/2|Total=12", &last)) << last;
  e2e::ClearClipboard();
  w.Command(3010);  // Select All
  w.Command(3000);  // Copy
  EXPECT_TRUE(e2e::WaitUntil([] {
    return e2e::ClipboardText() == "alpha common number01\nsecond line\n\nBack\n";
  })) << e2e::ClipboardText();
  ASSERT_TRUE(e2e::WaitForFocus(w.main));
  e2e::PostKey(w.main, VK_DOWN);
  e2e::PostKey(w.main, VK_END);
  ASSERT_TRUE(e2e::WaitUntil([&] { return w.Caret().top > kViewTop; }));
  w.FollowBack();
  EXPECT_TRUE(w.HoverShows(4, LineY(0), "doc00.txt", &last)) << last;
  EXPECT_EQ(e2e::FindMessageBox(w.process.id()).hwnd, nullptr);
}
