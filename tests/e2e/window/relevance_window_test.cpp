// View > Order by relevance in the search window under Wine: the next search's first page
// comes best first, Next and Previous walk the ranked list, a document opens and Back
// returns, and the choice survives the export dialog's Done and closing the window.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "search_window.h"

using norvel_e2e::SearchWindow;

namespace {

constexpr int kViewTop = 30;  // the search bar's height
constexpr int kOrderByRelevance = 3100;
constexpr int kCancel = 2010;
constexpr int kDocuments = 15;

int LineY(int line) {
  return kViewTop + 15 * line + 4;
}

// Document i holds "toner" (1 + 7i mod 15) times among 16 words: the ranks are a
// permutation of the file order, and the best is the one with the most.
int Toners(int i) {
  return 1 + (7 * i) % kDocuments;
}

std::string Name(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "doc%02d.txt", i);
  return name;
}

// One word a line, so that no line is wider than the window.
std::string Text(int i, const char* line_end = "\r\n") {
  std::string text;
  for (int k = 0; k < 16; ++k) text += std::string(k < Toners(i) ? "toner" : "paper") + line_end;
  return text;
}

// The document of the given rank (0 the best).
int Ranked(int rank) {
  for (int i = 0; i < kDocuments; ++i) {
    if (Toners(i) == kDocuments - rank) return i;
  }
  return -1;
}

// The menu item's check mark, read from the other process's menu; true when it is as
// expected or when this system lets no other process read a menu.
bool CheckMarkIs(const SearchWindow& w, bool on) {
  UINT state = GetMenuState(GetMenu(w.main), kOrderByRelevance, MF_BYCOMMAND);
  if (state == static_cast<UINT>(-1)) {
    std::printf("the check mark cannot be read from here\n");
    return true;
  }
  return ((state & MF_CHECKED) != 0) == on;
}

std::string Settings(const SearchWindow& w) {
  return e2e::ReadFileBytes(w.app() + "\\norvel.ini");
}

}  // namespace

TEST(RelevanceWindow, TheChoiceReordersPagesAndSurvivesDoneAndARestart) {
  SearchWindow w;
  for (int i = 0; i < kDocuments; ++i) e2e::WriteFileBytes(w.data() + "\\" + Name(i), Text(i));
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  std::string last;
  EXPECT_TRUE(CheckMarkIs(w, false));

  // File order until the choice is made.
  w.Search("toner");
  ASSERT_TRUE(w.HoverShows(650, LineY(0), "Page=1/2|Total=15", &last)) << last;
  EXPECT_TRUE(w.HoverShows(4, LineY(0), Name(0), &last)) << last;

  // The choice takes effect at the next search and is written down at once.
  w.Command(kOrderByRelevance);
  EXPECT_TRUE(CheckMarkIs(w, true));
  EXPECT_NE(Settings(w).find("\r\nresult_order=relevance\r\n"), std::string::npos) << Settings(w);
  EXPECT_TRUE(w.HoverShows(4, LineY(0), Name(0), &last)) << "the shown page changed: " << last;
  w.Search("toner");
  ASSERT_TRUE(w.HoverShows(650, LineY(0), "Page=1/2|Total=15", &last)) << last;
  EXPECT_TRUE(w.HoverShows(4, LineY(0), Name(Ranked(0)), &last)) << last;
  EXPECT_TRUE(w.HoverShows(4, LineY(3), Name(Ranked(1)), &last)) << last;
  std::string path = e2e::SaveScreenshot(w.main, "relevance_window_first_page");
  std::printf("screenshot: %s\n", path.c_str());

  // Next and Previous walk the ranked list.
  w.FollowNext();
  EXPECT_TRUE(w.HoverShows(650, LineY(0), "Page=2/2|Total=15", &last)) << last;
  EXPECT_TRUE(w.HoverShows(4, LineY(0), Name(Ranked(10)), &last)) << last;
  w.FollowPrevious();
  EXPECT_TRUE(w.HoverShows(650, LineY(0), "Page=1/2|Total=15", &last)) << last;
  EXPECT_TRUE(w.HoverShows(4, LineY(0), Name(Ranked(0)), &last)) << last;

  // The best document opens, and Back returns to the ranked page.
  e2e::BringToFront(w.main);
  e2e::PostLeftClick(w.main, 4, LineY(0));
  ASSERT_TRUE(w.HoverShows(4, LineY(0), "Page=1/2|Total=15", &last)) << last;
  e2e::ClearClipboard();
  w.Command(3010);  // Select All
  w.Command(3000);  // Copy
  const std::string shown = Text(Ranked(0), "\n") + "\nBack\n";
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ClipboardText() == shown; }))
      << e2e::ClipboardText();
  ASSERT_TRUE(e2e::WaitForFocus(w.main));
  w.FollowBack();
  EXPECT_TRUE(w.HoverShows(4, LineY(0), Name(Ranked(0)), &last)) << last;

  // The export dialog's Done rewrites norvel.ini and keeps the choice.
  e2e::PostCommand(w.main, 2000);  // File > Index
  HWND dialog = e2e::WaitForTopWindow(w.process.id(), "NorvelDB", "Index");
  ASSERT_NE(dialog, nullptr);
  HWND done = e2e::FindChildByText(dialog, "Done");
  ASSERT_NE(done, nullptr);
  ASSERT_TRUE(e2e::ClickButton(done));
  ASSERT_TRUE(e2e::WaitForNoTopWindow(w.process.id(), "NorvelDB"));
  EXPECT_NE(Settings(w).find("\r\nresult_order=relevance\r\n"), std::string::npos) << Settings(w);
  EXPECT_NE(Settings(w).find("\r\ndata_dir="), std::string::npos) << Settings(w);
  w.Command(kCancel);  // Done starts no job; Cancel lets the marker go
  ASSERT_TRUE(w.Exit());

  // A new run remembers the choice.
  SearchWindow again(w.app());
  ASSERT_TRUE(again.Start()) << again.why();
  EXPECT_TRUE(CheckMarkIs(again, true));
  again.Search("toner");
  ASSERT_TRUE(again.HoverShows(650, LineY(0), "Page=1/2|Total=15", &last)) << last;
  EXPECT_TRUE(again.HoverShows(4, LineY(0), Name(Ranked(0)), &last)) << last;
  // Turned off again, the next search is in file order.
  again.Command(kOrderByRelevance);
  EXPECT_TRUE(CheckMarkIs(again, false));
  EXPECT_EQ(Settings(again).find("result_order"), std::string::npos) << Settings(again);
  again.Search("toner");
  EXPECT_TRUE(again.HoverShows(4, LineY(0), Name(0), &last)) << last;
  EXPECT_EQ(e2e::FindMessageBox(again.process.id()).hwnd, nullptr);
}
