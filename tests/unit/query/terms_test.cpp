// Phrases and prefixes in the query: how they are parsed and which words they mark.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "index/positions.h"
#include "query/query.h"

using norvel::QueryTerm;
using norvel::QueryWords;
using norvel::WordTable;

namespace {

using Words = std::vector<std::string>;

QueryWords Parse(const char* q, const WordTable& exclusions = WordTable()) {
  QueryWords w;
  norvel::parseQuery(q, &w, exclusions);
  return w;
}

}  // namespace

TEST(QueryTerms, PhrasesAndPrefixesTakeTheirGroups) {
  WordTable ex(1);
  norvel::insertWord(0, "of", 2, &ex);
  QueryWords w = Parse("cat +\"Out of, PAPER\" -draft* \"of\" \"Dog\" licen*\"x y", ex);
  EXPECT_EQ(w.all_n_any, (Words{"cat", "dog"}));  // "of" alone is the excluded word
  ASSERT_EQ(w.include_terms.size(), 1u);
  EXPECT_EQ(w.include_terms[0].kind, QueryTerm::Kind::kPhrase);
  EXPECT_EQ(w.include_terms[0].tokens, (Words{"out", "of", "paper"}));
  ASSERT_EQ(w.exclude_terms.size(), 1u);
  EXPECT_EQ(w.exclude_terms[0].kind, QueryTerm::Kind::kPrefix);
  EXPECT_EQ(w.exclude_terms[0].tokens, Words{"draft"});
  ASSERT_EQ(w.any_terms.size(), 2u);  // licen* and the unclosed "x y
  EXPECT_EQ(w.any_terms[0].tokens, Words{"licen"});
  EXPECT_EQ(w.any_terms[1].tokens, (Words{"x", "y"}));
  // A '*' that makes no prefix is part of the word, as it always was.
  EXPECT_EQ(Parse("* +* a*b a** \"\"").all_n_any, (Words{"*", "a*b", "a**"}));
  EXPECT_EQ(Parse("* +* a*b a**").include, Words{"*"});
  EXPECT_EQ(Parse("\"\" \" . \"").any_terms.size(), 0u);
}

TEST(QueryTerms, MarkedWordsOfPhrasesAndGroups) {
  norvel_test::Corpus c;
  c.Add("1.txt", "tail out of 2024");
  ASSERT_EQ(c.Build(), 0);
  QueryWords w = Parse("ta* \"Out of 2024\" -\"not marked\" +\"near by\"~3");
  WordTable table = norvel::MakeQueryWordTable(w, c.loaded);
  for (const char* token : {"out", "of", "2024", "near", "by"}) {
    EXPECT_TRUE(table.Contains(token)) << token;
  }
  EXPECT_FALSE(table.Contains("not"));
  EXPECT_FALSE(table.Contains("tail"));  // a prefix marks through its PrefixMarks
  // Words alone make the table they always made: one bucket per AllnAny and Include word.
  WordTable plain = norvel::MakeQueryWordTable(Parse("cat +dog -bird"), c.loaded);
  EXPECT_EQ(plain.size(), 2u);
  EXPECT_EQ(plain.word_count(), 2u);
}

TEST(QueryTerms, ProximityGroupsFollowAClosingQuote) {
  QueryWords w = Parse("\"printer jam\"~5 -\"a b\"~0 \"x y\"~ \"p q\"~12x ~3 \"one\"~4");
  ASSERT_EQ(w.any_terms.size(), 3u);
  EXPECT_EQ(w.any_terms[0].kind, QueryTerm::Kind::kNear);
  EXPECT_EQ(w.any_terms[0].slack, 5u);
  EXPECT_EQ(w.any_terms[0].tokens, (Words{"printer", "jam"}));
  EXPECT_EQ(w.any_terms[1].kind, QueryTerm::Kind::kPhrase);  // "x y"~ keeps its '~' a word
  EXPECT_EQ(w.any_terms[2].kind, QueryTerm::Kind::kNear);    // "p q"~12, then the word x
  EXPECT_EQ(w.any_terms[2].slack, 12u);
  ASSERT_EQ(w.exclude_terms.size(), 1u);
  EXPECT_EQ(w.exclude_terms[0].kind, QueryTerm::Kind::kNear);
  EXPECT_EQ(w.exclude_terms[0].slack, 0u);
  // A group of one token is that word; an unclosed quote holds its '~'.
  EXPECT_EQ(w.all_n_any, (Words{"~", "x", "~3", "one"}));
  ASSERT_EQ(Parse("\"c d~2").any_terms.size(), 1u);
  EXPECT_EQ(Parse("\"c d~2").any_terms[0].kind, QueryTerm::Kind::kPhrase);
  EXPECT_EQ(Parse("\"a b\"~99999999999999").any_terms[0].slack, norvel::kMaxSlack);
}

TEST(QueryTerms, APhraseReadsNoDocumentADamagedListNamesOutsideTheData) {
  norvel_test::Corpus c;
  c.Add("a.txt", "printer jams");
  c.Add("b.txt", "jams, then printer");  // a candidate that does not hold the phrase
  ASSERT_EQ(c.Build(), 0);
  // Beside the data directory, a document that holds it.
  ASSERT_TRUE(norvel_test::WriteBytes(c.root.File("out.txt"), "printer jams"));
  std::string outside = std::string("..") + platform::kPathSep + "out.txt";
  ASSERT_TRUE(
      norvel_test::WriteBytes(c.IndexFile("_file0.dat"),
                              norvel_test::Record(0, "a.txt") + norvel_test::Record(0, outside)));
  ASSERT_EQ(c.Load(), 0);
  QueryWords words;
  norvel::FileList result;
  norvel::runQuery("\"printer jams\"", c.index, c.loaded, &words, &result, c.data);
  EXPECT_EQ(result, norvel::FileList{1});  // file 2's record names no document
}

TEST(QueryTerms, WithoutPositionsAnUnreadableCandidateIsNoMinusPhraseLeftIn) {
  norvel_test::Corpus c;
  c.Add("a.txt", "printer jams");
  c.Add("b.txt", "printer jams too");
  c.Add("c.txt", "printer alone");
  ASSERT_EQ(c.Build(), 0);
  std::remove(c.IndexFile(norvel::kPositionsFile).c_str());  // the documents are read
  std::remove(platform::JoinPath(c.data, "b.txt").c_str());
  QueryWords words;
  norvel::FileList result;
  // Its words say it may hold the phrase: it is taken so, as the word path takes a document.
  norvel::runQuery("printer -\"printer jams\"", c.index, c.loaded, &words, &result, c.data);
  EXPECT_EQ(result, norvel::FileList{3});
  norvel::runQuery("\"printer jams\"", c.index, c.loaded, &words, &result, c.data);
  EXPECT_EQ(result, (norvel::FileList{1, 2}));
  EXPECT_TRUE(c.Logged("Phrases: cannot read 1 candidate document(s), first " +
                       platform::JoinPath(c.data, "b.txt")))
      << c.Log();
}

TEST(QueryTerms, DamagedPositionsMetBySearchGiveWayToTheDocuments) {
  norvel_test::Corpus c;
  c.Add("a.txt", "the printer jams at 2024 10");
  c.Add("b.txt", "jams, then printer");
  ASSERT_EQ(c.Build(), 0);
  // The header and tables hold; every token's region after them is damaged.
  std::string path = c.IndexFile(norvel::kPositionsFile);
  std::string bytes = norvel_test::ReadBytes(path);
  ASSERT_GT(bytes.size(), 128u);
  uint64_t regions_end = 0;
  for (int i = 7; i >= 0; --i)
    regions_end = regions_end << 8 | static_cast<unsigned char>(bytes[48 + i]);
  ASSERT_LE(regions_end, bytes.size());
  for (size_t i = 128; i < regions_end; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  ASSERT_TRUE(norvel_test::WriteBytes(path, bytes));
  QueryWords words;
  norvel::FileList result;
  norvel::runQuery("\"printer jams\"", c.index, c.loaded, &words, &result, c.data);
  EXPECT_EQ(result, norvel::FileList{1});
  EXPECT_TRUE(c.Logged("Positions file damaged: phrases are confirmed by reading the documents."))
      << c.Log();
  norvel::runQuery("+\"jams then\"~1 printer", c.index, c.loaded, &words, &result, c.data);
  EXPECT_EQ(result, norvel::FileList{2});
}
