// Result pages: excerpts cut around the first query word, names through the file lists,
// and the search command that leads to the first page.
#include "viewer/pages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "engine_fixture.h"
#include "viewer/search.h"

using norvel::SearchState;
using norvel::WordTable;
using norvel_test::Corpus;
using norvel_test::LE;
using norvel_test::Record;
using norvel_test::WriteBytes;

namespace {

WordTable QueryTable(std::initializer_list<const char*> words) {
  WordTable t(static_cast<uint32_t>(words.size()));
  for (const char* w : words) norvel::insertWord(0, w, std::strlen(w), &t);
  return t;
}

std::string Excerpt(Corpus& c, const std::string& text, std::initializer_list<const char*> words,
                    int* result = nullptr) {
  c.Add("doc.txt", text);
  std::string out = "unset";
  int r = norvel::GetExcerpt(c.data, "doc.txt", QueryTable(words), &out);
  if (result) *result = r;
  return out;
}

// n bytes of filler text that holds no query word.
std::string Filler(size_t n) {
  std::string s;
  while (s.size() < n) s += "x ";
  s.resize(n);
  return s;
}

}  // namespace

TEST(Excerpt, HitNearTheStartBeginsAtTheFirstByte) {
  Corpus c;
  std::string text = "Intro line\r\nthe hello\tworld " + Filler(800);
  std::string e = Excerpt(c, text, {"hello"});
  EXPECT_EQ(e.size(), 512u);
  EXPECT_EQ(e.substr(0, 28), "Intro line the hello world x");  // CR LF read as one LF
}

TEST(Excerpt, HitInTheSecondBlockNeverReachesBackIntoTheFirst) {
  Corpus c;
  // Block 2 starts at byte 1024; 'hello' ends at offset 300 of it.
  std::string second = Filler(294) + " hello " + Filler(600);
  std::string e = Excerpt(c, Filler(1024) + second, {"hello"});
  EXPECT_EQ(e, second.substr(44, 512));
}

TEST(Excerpt, HitSplitByTheBlockEnd) {
  Corpus c;
  std::string text = Filler(1020) + " hel" + "lo rest" + Filler(300);
  EXPECT_EQ(Excerpt(c, text, {"hello"}), text.substr(1024, 512));
  // A word ending exactly at the block end and one after a separator are two words.
  std::string apart = Filler(1020) + " hel" + " lo " + Filler(100);
  EXPECT_EQ(Excerpt(c, apart, {"hello"}), "");
  EXPECT_EQ(Excerpt(c, apart, {"lo"}), apart.substr(1024, 512));
}

TEST(Excerpt, LastWordOfTheDocument) {
  Corpus c;
  std::string text = Filler(1500) + " final";
  // The last block holds 476 bytes; the excerpt is its last 256.
  EXPECT_EQ(Excerpt(c, text, {"final"}), text.substr(text.size() - 256));
  EXPECT_EQ(Excerpt(c, "short final", {"final"}), "short final");
}

TEST(Excerpt, NoHitEmptyDocumentAndLongWords) {
  Corpus c;
  int r = -1;
  EXPECT_EQ(Excerpt(c, "", {"any"}, &r), "");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Excerpt(c, "nothing to see", {"any"}, &r), "");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Excerpt(c, "report" + std::string(249, 'z') + " x", {"report"}), "");
  EXPECT_EQ(Excerpt(c, "text", {}), "");  // an empty query-word table holds nothing
}

TEST(Excerpt, LetterCaseAndWordsAroundDots) {
  Corpus c;
  EXPECT_EQ(Excerpt(c, "See REPORT now", {"report"}), "See REPORT now");
  EXPECT_EQ(Excerpt(c, "file Report.TXT", {"txt"}), "file Report.TXT");
  EXPECT_EQ(Excerpt(c, "file Report.TXT", {"report.txt"}), "");
}

TEST(Excerpt, IsATextThatEndsAtANulByte) {
  Corpus c;
  EXPECT_EQ(Excerpt(c, std::string("before\0after hello", 18), {"hello"}), "before");
}

TEST(Excerpt, MissingDocumentShowsItsPath) {
  Corpus c;
  std::string out;
  EXPECT_EQ(norvel::GetExcerpt(c.data, "gone.txt", QueryTable({"a"}), &out), -1);
  ASSERT_EQ(c.ui.boxes.size(), 1u);
  EXPECT_EQ(c.ui.boxes[0].text, "File open error." + platform::JoinPath(c.data, "gone.txt"));
  EXPECT_EQ(c.ui.boxes[0].caption, "Info");
}

namespace {

class ResultPages : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int d = 0; d < 25; ++d) {
      c.Add("doc" + std::to_string(100 + d) + ".txt", "Common word " + std::to_string(d) + " here");
    }
    c.Add("other.txt", "unrelated");
    ASSERT_EQ(c.Build(), 0);
  }
  norvel::PageSources Sources() { return {c.data, c.index, &c.loaded}; }
  Corpus c;
};

}  // namespace

TEST_F(ResultPages, SearchShowsTheTimingAndTheFirstPage) {
  SearchState s;
  ASSERT_EQ(norvel::RunSearch("common", Sources(), &s), 0);
  EXPECT_EQ(s.result_total, 25u);
  EXPECT_EQ(s.page_start, 0u);
  EXPECT_EQ(s.page_end, 10u);
  ASSERT_EQ(s.page_file_names.size(), 10u);
  EXPECT_EQ(s.page_file_names[0], "doc100.txt");
  EXPECT_EQ(s.page_excerpts[0], "Common word 0 here");
  ASSERT_FALSE(c.ui.status.empty());
  EXPECT_TRUE(
      std::regex_match(c.ui.status.back(), std::regex("[0-9]+\\.[0-9]{6} seconds\\|Total=25")))
      << c.ui.status.back();
  EXPECT_TRUE(norvel::IsQueryWord(s, "COMMON", 6));
  EXPECT_FALSE(norvel::IsQueryWord(s, "word", 4));
  EXPECT_TRUE(c.ui.boxes.empty());
}

TEST_F(ResultPages, PagesOfTenAndTheLastOfFive) {
  SearchState s;
  ASSERT_EQ(norvel::RunSearch("common", Sources(), &s), 0);
  s.page_start = 20;
  s.page_end = 25;
  ASSERT_EQ(norvel::GetNextPage(&s, Sources()), 0);
  ASSERT_EQ(s.page_file_names.size(), 5u);
  EXPECT_EQ(s.page_file_names[4], "doc124.txt");
  EXPECT_EQ(s.page_excerpts[4], "Common word 24 here");
}

TEST_F(ResultPages, NoResultsBox) {
  SearchState s;
  ASSERT_EQ(norvel::RunSearch("common", Sources(), &s), 0);
  c.ui.boxes.clear();
  for (const char* q : {"nothing", "", "-common", "common +nothing"}) {
    EXPECT_EQ(norvel::RunSearch(q, Sources(), &s), -1) << q;
    EXPECT_EQ(s.result_total, 0u);
    EXPECT_EQ(s.page_end, 0u);
    EXPECT_TRUE(s.page_file_names.empty());
    EXPECT_FALSE(s.query_words.present());
    EXPECT_EQ(c.ui.status.back(), "");
  }
  ASSERT_EQ(c.ui.boxes.size(), 4u);
  EXPECT_EQ(c.ui.boxes[0].text, "No results.");
  EXPECT_EQ(c.ui.boxes[0].caption, "Info");
  EXPECT_EQ(c.ui.boxes[0].style, norvel::BoxStyle::kPlainOk);
}

TEST_F(ResultPages, QueryIsCutTo255Characters) {
  SearchState s;
  std::string query = "unrelated" + std::string(246, ' ') + "common";  // 'common' starts at 255
  ASSERT_EQ(norvel::RunSearch(query.c_str(), Sources(), &s), 0);
  EXPECT_EQ(s.result_total, 1u);
  EXPECT_EQ(norvel::QueryFromField(std::string(300, 'a')).size(), 255u);
}

TEST_F(ResultPages, AReplacedIndexAsksForARestart) {
  SearchState s;
  ASSERT_EQ(norvel::RunSearch("common", Sources(), &s), 0);
  c.loaded.stats_mtime += 1;  // as if another instance had swapped a new index in
  c.ui.boxes.clear();
  EXPECT_EQ(norvel::GetNextPage(&s, Sources()), -1);
  ASSERT_EQ(c.ui.boxes.size(), 1u);
  EXPECT_EQ(c.ui.boxes[0].text, "Files reindexed.Please restart application.");
  EXPECT_TRUE(s.page_file_names.empty());
  EXPECT_TRUE(s.page_excerpts.empty());
}

TEST_F(ResultPages, FirstPageThatCannotBeBuiltLeavesAnEmptyState) {
  platform::RemoveFile(platform::JoinPath(c.data, "doc103.txt"));
  SearchState s;
  EXPECT_EQ(norvel::RunSearch("common", Sources(), &s), 0);  // documents were found
  EXPECT_EQ(s.result_total, 0u);
  EXPECT_EQ(s.page_end, 0u);
  EXPECT_TRUE(s.page_file_names.empty());
  ASSERT_EQ(c.ui.boxes.size(), 1u);
  EXPECT_EQ(c.ui.boxes[0].text, "File open error." + platform::JoinPath(c.data, "doc103.txt"));
  EXPECT_EQ(c.ui.status.back().find("Total=25") != std::string::npos, true);  // timing stays
}

TEST_F(ResultPages, MissingStatisticsFile) {
  SearchState s;
  ASSERT_EQ(norvel::RunSearch("common", Sources(), &s), 0);
  platform::RemoveFile(c.IndexFile("_stats.dat"));
  c.ui.boxes.clear();
  EXPECT_EQ(norvel::GetNextPage(&s, Sources()), -1);
  ASSERT_EQ(c.ui.boxes.size(), 1u);
  EXPECT_EQ(c.ui.boxes[0].text, "File open error.GetFileName():" + c.IndexFile("_stats.dat"));
}

TEST_F(ResultPages, ANameThatLeadsOutOfTheDataDirectoryIsRefused) {
  // A damaged list whose first name climbs out of the data directory.
  std::string list = norvel_test::ReadBytes(c.IndexFile("_file0.dat"));
  std::string evil = Record(0, "../app/x.txt");
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file0.dat"), evil + list.substr(evil.size())));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(c.app, "x.txt"), "common secret"));
  ASSERT_TRUE(norvel::RecordIndexTime(c.index, &c.loaded));
  SearchState s;
  EXPECT_EQ(norvel::RunSearch("common", Sources(), &s), 0);
  EXPECT_TRUE(s.page_file_names.empty());
  EXPECT_TRUE(c.Logged("GetFileName():Bad file name."));
}

TEST(FileNames, NumbersAroundTheListBoundary) {
  // 500,001 files: list 0 holds 1 to 499,999, list 1 starts with 500,000.
  Corpus c;
  std::string list0;
  list0.reserve(499999 * 12);
  for (uint32_t n = 1; n <= 499999; ++n) list0 += Record(0, "f" + std::to_string(n));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file0.dat"), list0));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file1.dat"), Record(0, "f500000") + Record(0, "f500001")));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_stats.dat"), LE({1, 500001})));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_ndxwrds.dat"), Record(0, "w")));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_ndxfile.dat"), LE({499998, 500001, 0, 0})));
  ASSERT_EQ(c.Load(), 0);
  SearchState s;
  norvel::PageSources src{c.data, c.index, &c.loaded};
  s.result_list = {1, 499999, 500000, 500001};
  s.result_total = 4;
  s.page_end = 4;
  ASSERT_EQ(norvel::GetFileName(&s, src), 0);
  EXPECT_EQ(s.page_file_names, (std::vector<std::string>{"f1", "f499999", "f500000", "f500001"}));
  // A page ranked by relevance holds its numbers in any order; its names keep that order.
  s.result_list = {500001, 1, 500000, 499999};
  ASSERT_EQ(norvel::GetFileName(&s, src), 0);
  EXPECT_EQ(s.page_file_names, (std::vector<std::string>{"f500001", "f1", "f500000", "f499999"}));
  // The query finds them through the postings as well.
  norvel::QueryWords words;
  norvel::FileList result;
  EXPECT_EQ(norvel::runQuery("w", c.index, c.loaded, &words, &result), 4u);
  EXPECT_EQ(result, (norvel::FileList{499998, 499999, 500000, 500001}));
}

TEST(PrefixPages, EveryWordOfAPrefixMarksAndGivesItsExcerpt) {
  // Far more index words than any bound on a list of them: the document found through the
  // last of them still gets its excerpt, and each of them is marked; an excluded word is
  // no index word and stays unmarked.
  Corpus c;
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "w" + std::to_string(i) + " ";
  c.Add("many.txt", many);
  c.Add("one.txt", "first line, then w2999 at last");
  c.Add("ex.txt", "nothing here but wex");
  ASSERT_TRUE(WriteBytes(platform::JoinPath(c.app, "xcludelist.ini"), "wex\r\n"));
  ASSERT_EQ(c.Build(), 0);
  SearchState s;
  ASSERT_EQ(norvel::RunSearch("w*", {c.data, c.index, &c.loaded}, &s), 0);
  ASSERT_EQ(s.page_file_names.size(), 2u);
  size_t one = s.page_file_names[0] == "one.txt" ? 0 : 1;
  EXPECT_EQ(s.page_file_names[one], "one.txt");
  EXPECT_EQ(s.page_excerpts[one], "first line, then w2999 at last");
  EXPECT_TRUE(norvel::IsQueryWord(s, "W2999", 5));
  EXPECT_TRUE(norvel::IsQueryWord(s, "w0", 2));
  EXPECT_FALSE(norvel::IsQueryWord(s, "wex", 3));
  EXPECT_FALSE(norvel::IsQueryWord(s, "then", 4));
}

TEST(RelevancePages, PagesPastTheBestRankedAtFirstWalkTheWholeOrder) {
  // A word in 300 documents of many lengths: the first page ranks the best alone; paging on
  // past them scores every document, and the pages, in turn, are the whole ranked list.
  Corpus c;
  for (int d = 0; d < 300; ++d) {
    std::string text = "alpha";
    for (int w = 0; w < (d * 37) % 50; ++w) text += (w % 7 == 3) ? " alpha" : " filler";
    c.Add("doc" + std::to_string(1000 + d) + ".txt", text);
  }
  ASSERT_EQ(c.Build(), 0);
  norvel::PageSources src{c.data, c.index, &c.loaded};
  src.order = norvel::ResultOrder::kRelevance;
  // Every name in rank order, as norvel-cli lists them.
  SearchState all;
  ASSERT_EQ(norvel::runQuery("alpha", c.index, c.loaded, &all.words, &all.result_list), 300u);
  norvel::OrderByRelevance(src, &all, norvel::RankOptions(), 300);
  all.ranking.Extend(300, &all.result_list);

  SearchState s;
  ASSERT_EQ(norvel::RunSearch("alpha", src, &s), 0);
  EXPECT_FALSE(s.ranking.Covers(norvel::kFirstRanked + 1));
  for (uint32_t start = 0; start < 300; start += 10) {
    s.page_start = start;
    s.page_end = start + 10;
    ASSERT_EQ(norvel::GetNextPage(&s, src), 0);
    all.page_start = start;
    all.page_end = start + 10;
    ASSERT_EQ(norvel::GetFileName(&all, src), 0);
    EXPECT_EQ(s.page_file_names, all.page_file_names) << "page from " << start;
  }
}
