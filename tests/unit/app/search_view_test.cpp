// The search command, paging, opening documents and the hover texts, on a real index.
#include "app/search_view.h"

#include <gtest/gtest.h>

#include <regex>

#include "corpus.h"
#include "index/in_memory_index.h"
#include "index/load.h"
#include "index/swap.h"
#include "platform/file.h"
#include "platform/path.h"
#include "view_fakes.h"

using norvel::SearchSession;
using norvel_test::AppDirs;
using norvel_test::FakeHost;
using norvel_test::MakeMetrics;
using norvel_test::RecordingUi;

namespace {

class SearchViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dirs.WriteDocs(25);
    ASSERT_TRUE(dirs.Build());
    settings.app_dir = dirs.app();
    settings.data_dir = dirs.data();
    settings.index_dir = dirs.index();
  }
  void Load() {
    ASSERT_EQ(norvel::readIndexIntoMem(dirs.index(), dirs.app(), &index), 0);
    ASSERT_TRUE(norvel::RecordIndexTime(dirs.index(), &index));
  }
  // The link's rectangle is in layout coordinates, which are client coordinates while
  // the view is not scrolled.
  norvel::HoverInfo HoverLink(int link) {
    const auto& r = view.layout().links.at(link);
    return session.Hover(r.left + 1, r.top + 1);
  }
  norvel::HoverInfo HoverNowhere() { return session.Hover(650, 31); }
  std::string Page() const {
    return std::to_string(session.state().page_start) + ".." +
           std::to_string(session.state().page_end);
  }

  RecordingUi ui;
  AppDirs dirs;
  norvel::Settings settings;
  norvel::InMemoryIndex index;
  norvel::JobProgress job;
  norvel::TableMetrics metrics = MakeMetrics();
  FakeHost host;
  norvel::ResultView view{&metrics, &host};
  SearchSession session{&settings, &index, &job, &view};
};

}  // namespace

TEST_F(SearchViewTest, TwentyFiveDocumentsInPagesOfTenTenAndFive) {
  Load();
  session.OnSearch("alpha");
  ASSERT_EQ(session.state().result_total, 25u);
  ASSERT_FALSE(ui.status.empty());
  EXPECT_TRUE(std::regex_match(ui.status.back(), std::regex("\\d+\\.\\d{6} seconds\\|Total=25")))
      << ui.status.back();
  EXPECT_EQ(Page(), "0..10");
  EXPECT_EQ(view.layout().links.size(), 11u);
  EXPECT_EQ(view.layout().lines.front(), "1.");

  norvel::HoverInfo over_title = HoverLink(0);
  EXPECT_TRUE(over_title.over_link);
  EXPECT_EQ(over_title.status, "doc00.txt");
  norvel::HoverInfo over_next = HoverLink(10);
  EXPECT_TRUE(over_next.over_link);
  EXPECT_FALSE(over_next.has_status);
  EXPECT_EQ(HoverNowhere().status, "Page=1/3|Total=25");

  session.FollowLink(10);  // Next
  EXPECT_EQ(Page(), "10..20");
  EXPECT_EQ(view.layout().links.size(), 12u);
  EXPECT_EQ(HoverLink(0).status, "doc10.txt");
  EXPECT_EQ(HoverNowhere().status, "Page=2/3|Total=25");
  session.FollowLink(11);  // Next after Previous
  EXPECT_EQ(Page(), "20..25");
  EXPECT_EQ(view.layout().links.size(), 6u);
  EXPECT_EQ(view.layout().lines.back(), "Previous");
  EXPECT_EQ(HoverNowhere().status, "Page=3/3|Total=25");
  session.FollowLink(5);  // Previous
  EXPECT_EQ(Page(), "10..20");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SearchViewTest, OpeningADocumentAndBackReturnsToThePageWithTheCaretTopLeft) {
  Load();
  session.OnSearch("alpha");
  session.FollowLink(10);  // the second page
  view.OnLeftButtonDown(40, 30 + 15 + 1);
  ASSERT_NE(view.caret().line, 0);
  session.FollowLink(2);  // "13."
  ASSERT_TRUE(session.state().document_view);
  EXPECT_EQ(view.layout().lines,
            (std::vector<std::string>{"Title of document 12", "alpha common text about number12.",
                                      "", "Back"}));
  EXPECT_EQ(view.caret().line, 0);
  EXPECT_TRUE(HoverLink(0).over_link);
  EXPECT_FALSE(HoverLink(0).has_status);
  session.FollowLink(0);  // Back
  EXPECT_FALSE(session.state().document_view);
  EXPECT_EQ(Page(), "10..20");
  EXPECT_EQ(view.layout().lines.front(), "11.");
  EXPECT_EQ(view.caret().line, 0);
  EXPECT_EQ(view.caret().column, 0);
  EXPECT_EQ(view.caret().x, 2);
  EXPECT_EQ(view.caret().y, 30);
  EXPECT_EQ(view.scroll().top_line, 0);
}

TEST_F(SearchViewTest, QueryWordsOfTheSearchAreMarked) {
  Load();
  session.OnSearch("ALPHA +common");
  ASSERT_TRUE(view.is_query_word);
  EXPECT_TRUE(view.is_query_word("Alpha"));
  EXPECT_TRUE(view.is_query_word("common"));
  EXPECT_FALSE(view.is_query_word("text"));
}

TEST_F(SearchViewTest, WithoutAnIndexSearchAsksToCheckTheLogs) {
  session.OnSearch("alpha");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Index read error.Please check the logs");
  EXPECT_EQ(ui.boxes[0].caption, "Info");
  EXPECT_EQ(ui.boxes[0].style, norvel::BoxStyle::kInfoOk);
}

TEST_F(SearchViewTest, ExcludedWordsAloneFindNothing) {
  norvel_test::WriteBytes(platform::JoinPath(dirs.app(), "xcludelist.ini"), "common\r\n");
  Load();
  session.OnSearch("alpha");
  ASSERT_FALSE(view.layout().lines.empty());
  session.OnSearch("common");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "No results.");
  EXPECT_EQ(ui.boxes[0].caption, "Info");
  EXPECT_EQ(ui.boxes[0].style, norvel::BoxStyle::kPlainOk);
  EXPECT_EQ(ui.status.back(), "");
  EXPECT_TRUE(view.layout().lines.empty());
  EXPECT_FALSE(HoverNowhere().has_status);
}

TEST_F(SearchViewTest, FollowingALinkWithTheSpaceBarClearsTheSelection) {
  Load();
  session.OnSearch("alpha");
  // Select from the first excerpt line up to the title with Shift and Up, so the caret
  // stands on the first title link with the selection made.
  view.OnLeftButtonDown(2, 30 + 15 + 1);
  view.OnKeyDown(norvel::kVkShift);
  view.OnKeyDown(norvel::kVkUp);
  view.OnKeyUp(norvel::kVkShift);
  ASSERT_TRUE(view.selection().active);
  view.OnChar(' ');
  ASSERT_TRUE(session.state().document_view);
  EXPECT_FALSE(view.selection().active);
  host.clipboard.clear();
  view.CopyToCB();
  EXPECT_TRUE(host.clipboard.empty());
}

TEST_F(SearchViewTest, ADocumentThatCannotBeOpenedLeavesTheUserOnThePage) {
  // Regression: the view went empty and lost its Back link, so only a new search left it.
  Load();
  session.OnSearch("alpha");
  const std::string path = dirs.Doc("doc00.txt");
  ASSERT_TRUE(platform::RemoveFile(path));
  session.FollowLink(0);
  ASSERT_FALSE(ui.boxes.empty());
  EXPECT_EQ(ui.boxes[0].text, "File open error." + path);
  EXPECT_FALSE(session.state().document_view);
  ASSERT_FALSE(view.layout().lines.empty());
  EXPECT_NE(view.layout().lines.back(), "Back");
}

TEST_F(SearchViewTest, NewIndexReadyIsSwappedInBeforeTheSearch) {
  Load();
  session.OnSearch("alpha");
  dirs.WriteDocs(7, "gamma");
  ASSERT_TRUE(dirs.BuildNew());
  job.index_ready = true;
  session.OnSearch("gamma");
  EXPECT_FALSE(job.index_ready);
  EXPECT_FALSE(norvel::NewIndexPending(dirs.index()));
  EXPECT_EQ(session.state().result_total, 7u);
  EXPECT_EQ(view.layout().links.size(), 7u);  // one page: no Previous, no Next
  EXPECT_EQ(HoverNowhere().status, "Page=1/1|Total=7");
  platform::FileStatus stats;
  ASSERT_TRUE(platform::GetFileStatus(dirs.IndexFile("_stats.dat"), &stats));
  EXPECT_EQ(index.stats_mtime, stats.mtime);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SearchViewTest, AFailedReloadDropsThePagesOfTheOldIndex) {
  // Regression: after a swap whose reload failed, the old page stayed on screen with its
  // Next link while its result list had been released with the old index.
  Load();
  session.OnSearch("alpha");
  ASSERT_EQ(view.layout().links.size(), 11u);
  norvel_test::WriteBytes(dirs.IndexFile("_newstats.dat"), std::string(4, '\0'));
  job.index_ready = true;
  session.OnSearch("alpha");
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, "Index read error.RenAndReloadNdx().");
  EXPECT_EQ(ui.boxes[1].text, "Index read error.Please check the logs");
  EXPECT_TRUE(view.layout().lines.empty());
  EXPECT_EQ(session.state().page_end, 0u);
  EXPECT_FALSE(HoverNowhere().has_status);
  session.FollowLink(10);
  EXPECT_TRUE(view.layout().lines.empty());
}

// Another window or norvel-cli may replace the index files while this window holds the
// word offsets of the old ones: the next search loads the new index first, never reading
// the new postings through the old offsets, and says so once.
TEST_F(SearchViewTest, AnIndexReplacedByAnotherProcessIsLoadedAgainAtTheNextSearch) {
  Load();
  session.OnSearch("alpha");
  ASSERT_EQ(session.state().result_total, 25u);
  for (int i = 0; i < 25; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "doc%02d.txt", i);
    platform::RemoveFile(dirs.Doc(name));
  }
  dirs.WriteDocs(3, "zulu");
  ASSERT_TRUE(dirs.Build());
  ui.status.clear();

  session.FollowLink(10);  // Next: the pages number documents of the old index
  EXPECT_EQ(session.state().result_total, 0u);
  EXPECT_EQ(ui.status.back(), "Files reindexed. Please search again.");

  session.OnSearch("zulu");
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(session.state().result_total, 3u);
  EXPECT_EQ(session.state().page_file_names.front(), "doc00.txt");
  EXPECT_TRUE(std::regex_match(ui.status.back(),
                               std::regex("New index loaded\\|\\d+\\.\\d{6} seconds\\|Total=3")))
      << ui.status.back();
  session.OnSearch("zulu");
  EXPECT_EQ(ui.status.back().find("New index"), std::string::npos);
}

// Another process's swap whose reload fails says what the reload of this window's swap
// says: code 1 with "RenAndReloadNdx().", not a request to restart.
TEST_F(SearchViewTest, AFailedReloadAfterAnotherProcessesSwapIsAnIndexReadError) {
  Load();
  session.OnSearch("alpha");
  index.stats_mtime = 0;  // the time this window recorded is not the files' any more
  norvel_test::WriteBytes(dirs.IndexFile("_stats.dat"), std::string(4, '\0'));
  session.OnSearch("alpha");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Index read error.RenAndReloadNdx().");
  EXPECT_TRUE(view.layout().lines.empty());
}

// A swap whose writer died after its first rename: the next search completes it, as the
// next start-up would, instead of asking to try later at every search.
TEST_F(SearchViewTest, ASwapLeftHalfWayIsCompletedByTheNextSearch) {
  Load();
  session.OnSearch("alpha");
  dirs.WriteDocs(7, "gamma");
  ASSERT_TRUE(dirs.BuildNew());
  ASSERT_TRUE(
      platform::RenameReplace(dirs.IndexFile("_newndxwrds.dat"), dirs.IndexFile("_ndxwrds.dat")));
  ASSERT_TRUE(norvel::SwapInterrupted(dirs.index()));
  session.OnSearch("gamma");
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_FALSE(norvel::NewIndexPending(dirs.index()));
  EXPECT_EQ(session.state().result_total, 7u);
  session.OnSearch("gamma");
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(session.state().result_total, 7u);
}

// Statistics that vanish are not a new index: the page's file-name lookup says which
// file it could not find.
TEST_F(SearchViewTest, MissingStatisticsReachTheFileNameLookupsMessage) {
  Load();
  session.OnSearch("alpha");
  ASSERT_TRUE(platform::RemoveFile(dirs.IndexFile("_stats.dat")));
  session.OnSearch("alpha");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "File open error.GetFileName():" + dirs.IndexFile("_stats.dat"));
}

// An international index in the window: the query typed in the window's code page finds
// the UTF-8 document, whose excerpt and text are shown in that code page (a character it
// cannot show as '?'), with the accented query word drawn bold.
TEST_F(SearchViewTest, AnInternationalIndexIsSearchedAndShownInTheWindowsCodePage) {
  // A name the code page cannot spell, held as UTF-8 (as the Windows listing gives it).
  const std::string held = platform::HeldName("\xD0\x96ur.txt", true);
  norvel_test::WriteBytes(dirs.Doc(held),
                          "Drucker im B\xC3\xBCro von Herrn M\xC3\x9CLLER \xD0\x96 ok\r\n");
  ASSERT_EQ(norvel::doIndex(dirs.data(), dirs.index(), dirs.app(), nullptr, norvel::BuildTuning(),
                            norvel::WordRules::kInternational),
            0);
  norvel::InMemoryIndex scratch;
  norvel::RenAndReloadNdx(dirs.index(), dirs.app(), &scratch, nullptr, nullptr);
  Load();
  ASSERT_EQ(index.rules, norvel::WordRules::kInternational);
  session.OnSearch("m\xFCller");  // the window's text is ANSI: 'ü' is one byte
  ASSERT_EQ(session.state().result_total, 1u);
  ASSERT_GE(view.layout().lines.size(), 2u);
  EXPECT_EQ(view.layout().lines[1], "Drucker im B\xFCro von Herrn M\xDCLLER ? ok ");
  EXPECT_TRUE(view.is_query_word("M\xDCLLER"));
  EXPECT_TRUE(view.is_word_char(0xDC));
  norvel_test::RecordingCanvas canvas;
  view.PaintView(&canvas);
  bool bold = false;
  for (const auto& t : canvas.texts) {
    if (t.text == "M\xDCLLER") bold = t.style == norvel::FontStyle::kBold;
  }
  EXPECT_TRUE(bold);
  // Shown in the code page on Windows; elsewhere names are bytes, shown as they are.
  EXPECT_EQ(HoverLink(0).status, platform::HeldAsUtf8(held) ? "?ur.txt" : "\xD0\x96ur.txt");
  session.FollowLink(0);  // the document
  ASSERT_TRUE(session.state().document_view);
  EXPECT_EQ(view.layout().lines.front(), "Drucker im B\xFCro von Herrn M\xDCLLER ? ok");
}
