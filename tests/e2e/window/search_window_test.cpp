// The search window under Wine: start-up, search, result pages, the document view,
// selection and copy, resizing, focus, and a screenshot of a result page.
#include "search_window.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

using norvel_e2e::SearchWindow;

namespace {

constexpr int kViewTop = 30;  // the search bar's height

// A client point of line `line` of the view, left of any text or far right of it.
int LineY(int line) {
  return kViewTop + 15 * line + 4;
}

std::string PageText(int first, int count, bool previous, bool next) {
  std::string text;
  for (int i = first; i < first + count; ++i) {
    text += std::to_string(i + 1) + ".\n" + SearchWindow::Excerpt(i) + "\n\n";
  }
  std::string nav = previous ? "Previous" : "";
  if (next) nav += " Next";
  return text + nav + "\n";
}

}  // namespace

TEST(SearchWindow, WithoutSettingsSearchReportsTheMissingIndex) {
  SearchWindow w;
  ASSERT_TRUE(w.Start()) << w.why();
  EXPECT_EQ(w.Status(), "Ready");
  w.Search("anything");
  e2e::MessageBoxInfo box = e2e::WaitForMessageBox(w.process.id());
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, "Info");
  EXPECT_EQ(box.text, "Index read error.Please check the logs");
  EXPECT_EQ(box.owner, w.main);
  EXPECT_TRUE(e2e::AnswerMessageBox(box.hwnd));
  EXPECT_TRUE(w.Exit());
  EXPECT_EQ(w.process.ExitCode(), 0);
}

TEST(SearchWindow, TwentyFiveDocumentsPageByPage) {
  SearchWindow w;
  w.WriteDocs(25);
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  w.Search("alpha");
  std::string last;
  EXPECT_TRUE(e2e::WaitForStatusText(
      w.status,
      [](const std::string& s) {
        return std::regex_match(s, std::regex("\\d+\\.\\d{6} seconds\\|Total=25"));
      },
      &last))
      << last;
  EXPECT_TRUE(w.HoverShows(4, LineY(0), "doc00.txt", &last)) << last;  // over the first title
  EXPECT_TRUE(w.HoverShows(650, LineY(0), "Page=1/3|Total=25", &last)) << last;
  w.FollowNext();
  EXPECT_TRUE(w.HoverShows(650, LineY(0), "Page=2/3|Total=25", &last)) << last;
  EXPECT_TRUE(w.HoverShows(4, LineY(0), "doc10.txt", &last)) << last;
  w.FollowNext();
  EXPECT_TRUE(w.HoverShows(650, LineY(0), "Page=3/3|Total=25", &last)) << last;
  // The last page holds five documents and only Previous.
  e2e::ClearClipboard();
  w.Command(3010);  // Select All
  w.Command(3000);  // Copy
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ClipboardText() == PageText(20, 5, true, false); }))
      << e2e::ClipboardText();
  w.FollowPrevious();
  EXPECT_TRUE(w.HoverShows(650, LineY(0), "Page=2/3|Total=25", &last)) << last;
  EXPECT_EQ(e2e::FindMessageBox(w.process.id()).hwnd, nullptr);
}

TEST(SearchWindow, OpeningADocumentAndBack) {
  SearchWindow w;
  w.WriteDocs(3);
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  w.Search("alpha");
  std::string last;
  ASSERT_TRUE(w.HoverShows(650, LineY(0), "Page=1/1|Total=3", &last)) << last;
  e2e::BringToFront(w.main);
  e2e::PostLeftClick(w.main, 4, LineY(3));  // the second title, "2."
  // In the document view the first line is no link, so hovering there shows the page.
  ASSERT_TRUE(w.HoverShows(4, LineY(0), "Page=1/1|Total=3", &last)) << last;
  // The document's lines, then Back.
  e2e::ClearClipboard();
  w.Command(3010);  // Select All
  w.Command(3000);  // Copy
  EXPECT_TRUE(e2e::WaitUntil([] {
    return e2e::ClipboardText() == "alpha common number01\nsecond line\n\nBack\n";
  })) << e2e::ClipboardText();
  // The caret goes down to Back before the space bar follows it.
  ASSERT_TRUE(e2e::WaitForFocus(w.main));
  e2e::PostKey(w.main, VK_DOWN);
  e2e::PostKey(w.main, VK_END);
  ASSERT_TRUE(e2e::WaitUntil([&] { return w.Caret().top > kViewTop; }));
  w.FollowBack();
  EXPECT_TRUE(w.HoverShows(4, LineY(0), "doc00.txt", &last)) << last;
  RECT caret = w.Caret();
  EXPECT_EQ(caret.left, 2);
  EXPECT_EQ(caret.top, kViewTop);
}

TEST(SearchWindow, SelectAllAndCopyOfAResultPage) {
  SearchWindow w;
  w.WriteDocs(12);
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  w.Search("alpha");
  std::string last;
  ASSERT_TRUE(w.HoverShows(650, LineY(0), "Page=1/2|Total=12", &last)) << last;
  e2e::ClearClipboard();
  w.Command(3010);  // Select All
  w.Command(3000);  // Copy
  EXPECT_TRUE(e2e::WaitUntil([] { return e2e::ClipboardText() == PageText(0, 10, false, true); }))
      << e2e::ClipboardText();
  // Ctrl+C in the result view copies the same: a click there takes the keyboard (and
  // clears the selection, so Select All again).
  ASSERT_TRUE(e2e::BringToFront(w.main));
  e2e::PostLeftClick(w.main, 650, LineY(1));
  ASSERT_TRUE(e2e::WaitForFocus(w.main));
  w.Command(3010);
  e2e::ClearClipboard();
  e2e::SendKey('C', {VK_CONTROL});
  EXPECT_TRUE(e2e::WaitUntil([] { return e2e::ClipboardText() == PageText(0, 10, false, true); }))
      << e2e::ClipboardText();
}

TEST(SearchWindow, QueryOfExcludedWordsOnlyFindsNothing) {
  SearchWindow w;
  w.WriteDocs(3);
  w.WriteExclusions("common\r\n");
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  w.Search("common");
  e2e::MessageBoxInfo box = e2e::WaitForMessageBox(w.process.id());
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, "Info");
  EXPECT_EQ(box.text, "No results.");
  EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(e2e::AnswerMessageBox(box.hwnd));
  EXPECT_TRUE(w.WaitForStatus(""));
}

TEST(SearchWindow, WaitingNewIndexIsSwappedInAtStart) {
  SearchWindow w;
  w.WriteDocs(3, "alpha");
  w.Index();
  // Age the current statistics so the swapped-in file's time surely differs.
  {
    HANDLE f = CreateFileA((w.index() + "\\_stats.dat").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    FILETIME old{0x2ac18000, 0x01c0c4c0};  // early 2001
    SetFileTime(f, nullptr, nullptr, &old);
    CloseHandle(f);
  }
  w.WriteDocs(4, "beta");
  w.BuildNew();
  ASSERT_TRUE(e2e::FileExists(w.index() + "\\_newstats.dat"));
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  EXPECT_FALSE(e2e::FileExists(w.index() + "\\_newstats.dat"));
  w.Search("beta");
  std::string last;
  EXPECT_TRUE(e2e::WaitForStatusText(
      w.status, [](const std::string& s) { return s.find("|Total=4") != std::string::npos; },
      &last))
      << last;
  // Had the old time been recorded, the page would report "Files reindexed." instead.
  EXPECT_TRUE(w.HoverShows(4, LineY(0), "doc00.txt", &last)) << last;
  EXPECT_EQ(e2e::FindMessageBox(w.process.id()).hwnd, nullptr);
}

// A scheduled norvel-cli refresh replaces the index under an open window: its next
// search loads the new index by itself, says so once, and finds the new documents.
TEST(SearchWindow, AnIndexRefreshedByNorvelCliIsLoadedAtTheNextSearch) {
  SearchWindow w;
  w.WriteDocs(3, "alpha");
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  w.Search("alpha");
  std::string last;
  ASSERT_TRUE(e2e::WaitForStatusText(
      w.status, [](const std::string& s) { return s.find("|Total=3") != std::string::npos; },
      &last))
      << last;

  w.WriteDocs(5, "beta");
  e2e::Process refresh =
      e2e::Process::Launch(e2e::ProgramDir() + "\\norvel-cli.exe",
                           "refresh --app-dir \"" + w.app() + "\"", w.app(), SW_HIDE);
  ASSERT_TRUE(refresh.ok()) << refresh.error();
  ASSERT_TRUE(refresh.WaitForExit(120000));
  ASSERT_EQ(refresh.ExitCode(), 0);

  w.Search("beta");
  EXPECT_TRUE(e2e::WaitForStatusText(
      w.status,
      [](const std::string& s) {
        return s.rfind("New index loaded|", 0) == 0 && s.find("|Total=5") != std::string::npos;
      },
      &last))
      << last;
  EXPECT_EQ(e2e::FindMessageBox(w.process.id()).hwnd, nullptr);
  // The new index's pages: a title names one of the new documents.
  EXPECT_TRUE(w.HoverShows(4, LineY(0), "doc00.txt", &last)) << last;
  w.Search("beta");
  EXPECT_TRUE(e2e::WaitForStatusText(
      w.status,
      [](const std::string& s) {
        return s.find("New index") == std::string::npos && s.find("|Total=5") != std::string::npos;
      },
      &last))
      << last;
}

TEST(SearchWindow, ResizingKeepsTheLayoutRule) {
  SearchWindow w;
  w.WriteDocs(25);
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  const RECT field_before = e2e::RectInParent(w.field);
  const RECT button_before = e2e::RectInParent(w.button);
  SetWindowPos(w.main, nullptr, 0, 0, 900, 720, SWP_NOMOVE | SWP_NOZORDER);
  ASSERT_TRUE(e2e::WaitUntil(
      [&] { return e2e::WindowRect(w.main).right - e2e::WindowRect(w.main).left == 900; }));
  ASSERT_TRUE(e2e::Ping(w.main));
  const RECT client = e2e::ClientRect(w.main);
  const int s = e2e::ClientRect(w.status).bottom;
  const int v = GetSystemMetrics(SM_CYVTHUMB);
  const int h = GetSystemMetrics(SM_CXHTHUMB);
  RECT bar = e2e::RectInParent(w.search_bar);
  EXPECT_EQ(bar.left, 0);
  EXPECT_EQ(bar.top, 0);
  EXPECT_EQ(bar.right, client.right);
  EXPECT_EQ(bar.bottom, 30);
  RECT status = e2e::RectInParent(w.status);
  EXPECT_EQ(status.bottom, client.bottom);
  EXPECT_EQ(status.right, client.right);
  RECT vertical = e2e::RectInParent(w.vertical_bar);
  EXPECT_EQ(vertical.left, client.right - v);
  EXPECT_EQ(vertical.top, 30);
  EXPECT_EQ(vertical.bottom, client.bottom - s - h);
  RECT horizontal = e2e::RectInParent(w.horizontal_bar);
  EXPECT_EQ(horizontal.left, 0);
  EXPECT_EQ(horizontal.right, client.right - v);
  EXPECT_EQ(horizontal.bottom, client.bottom - s);
  // The search field and button neither move nor stretch.
  RECT field = e2e::RectInParent(w.field), button = e2e::RectInParent(w.button);
  EXPECT_TRUE(EqualRect(&field, &field_before));
  EXPECT_TRUE(EqualRect(&button, &button_before));

  // A long result page shows the vertical bar alone, which then takes its whole side.
  SetWindowPos(w.main, nullptr, 0, 0, 900, 400, SWP_NOMOVE | SWP_NOZORDER);
  ASSERT_TRUE(e2e::Ping(w.main));
  w.Search("alpha");
  ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::IsVisible(w.vertical_bar); }));
  ASSERT_TRUE(e2e::Ping(w.main));  // the search has run through
  const RECT small = e2e::ClientRect(w.main);
  vertical = e2e::RectInParent(w.vertical_bar);
  EXPECT_EQ(vertical.top, 30);
  EXPECT_EQ(vertical.bottom, small.bottom - s);
  EXPECT_FALSE(e2e::IsVisible(w.horizontal_bar));
}

TEST(SearchWindow, TabCyclesFieldButtonAndView) {
  SearchWindow w;
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(e2e::BringToFront(w.main));
  ASSERT_TRUE(e2e::WaitForFocus(w.field));
  e2e::PostChar(w.field, '\t');
  EXPECT_TRUE(e2e::WaitForFocus(w.button));
  e2e::PostChar(w.button, '\t');
  EXPECT_TRUE(e2e::WaitForFocus(w.main));
  e2e::PostKey(w.main, VK_TAB);
  EXPECT_TRUE(e2e::WaitForFocus(w.field));
}

TEST(SearchWindow, ScreenshotOfAResultPage) {
  SearchWindow w;
  w.WriteDocs(12);
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  w.Search("alpha number03");
  std::string last;
  ASSERT_TRUE(w.HoverShows(650, LineY(0), "Page=1/2|Total=12", &last)) << last;
  ASSERT_TRUE(e2e::BringToFront(w.main));
  e2e::PostMouseMove(w.main, 690, 500);  // keep the pointer off the text
  ASSERT_TRUE(e2e::Ping(w.main));
  std::string path = e2e::SaveScreenshot(w.main, "search_window_result_page");
  EXPECT_FALSE(path.empty());
  std::printf("screenshot: %s\n", path.c_str());

  e2e::Image image;
  ASSERT_TRUE(e2e::CaptureWindow(w.main, &image, /*client_only=*/true));
  // The first title's number is blue; a light-grey rule runs across its line's top.
  bool blue = false;
  for (int y = kViewTop; y < kViewTop + 15; ++y) {
    for (int x = 2; x < 12; ++x) blue = blue || image.Pixel(x, y) == RGB(0, 0, 255);
  }
  EXPECT_TRUE(blue);
  EXPECT_EQ(image.Pixel(400, kViewTop + 1), RGB(192, 192, 192));
  // No rule above the excerpt line below the title.
  EXPECT_EQ(image.Pixel(400, kViewTop + 15 + 1), RGB(255, 255, 255));
}
