// Phrases and prefixes in the query: how they are parsed and which words they mark.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_fixture.h"
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

TEST(QueryTerms, MarkedWordsOfPhrasesAndABoundedPrefix) {
  norvel_test::Corpus c;
  std::string text = "tail ";
  for (size_t i = 0; i < norvel::kMaxMarkedPrefixWords + 5; ++i)
    text += "w" + std::to_string(i) + " ";
  c.Add("1.txt", text);
  ASSERT_EQ(c.Build(), 0);
  QueryWords w = Parse("ta* w* \"Out of 2024\" -\"not marked\"");
  WordTable table = norvel::MakeQueryWordTable(w, c.loaded);
  size_t marked = 0;
  for (size_t e = 0; e < c.loaded.words.word_count(); ++e) {
    std::string_view word = c.loaded.words.Text(e);
    if (word[0] != 'w') continue;
    bool held = table.Contains(word);
    // The first words in the index's order are the ones marked.
    if (marked < norvel::kMaxMarkedPrefixWords) {
      EXPECT_TRUE(held) << word;
    }
    marked += held;
  }
  EXPECT_EQ(marked, norvel::kMaxMarkedPrefixWords);
  EXPECT_TRUE(table.Contains("tail"));
  for (const char* token : {"out", "of", "2024"}) EXPECT_TRUE(table.Contains(token)) << token;
  EXPECT_FALSE(table.Contains("not"));
  // Words alone make the table they always made: one bucket per AllnAny and Include word.
  WordTable plain = norvel::MakeQueryWordTable(Parse("cat +dog -bird"), c.loaded);
  EXPECT_EQ(plain.size(), 2u);
  EXPECT_EQ(plain.word_count(), 2u);
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
