// The international word rules: decoding, folding, and words cut the same wherever the
// read blocks end.
#include "index/word_rules_intl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> WordsOf(const std::string& text, std::vector<size_t> cuts) {
  std::vector<std::string> out;
  norvel::IntlTokenScanner scanner;
  auto on = [&](const char* w, size_t len, size_t) {
    out.emplace_back(w, len);
    return true;
  };
  size_t at = 0;
  cuts.push_back(text.size());
  for (size_t cut : cuts) {
    scanner.Feed(text.data() + at, cut - at, on);
    at = cut;
  }
  scanner.Finish(on);
  return out;
}

TEST(IntlWords, FoldCaseAccentsAndUndecomposedLetters) {
  EXPECT_EQ(norvel::FoldIntlText("M\xC3\x9CLLER"), "muller");  // MÜLLER, UTF-8
  EXPECT_EQ(norvel::FoldIntlText("M\xFCller"), "muller");      // Windows-1252
  EXPECT_EQ(norvel::FoldIntlText("Stra\xC3\x9F"
                                 "e"),
            "strasse");  // ß
  EXPECT_EQ(norvel::FoldIntlText("Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"), "zazolc");
  EXPECT_EQ(norvel::FoldIntlText("\xC3\x86\xC5\x92\xC3\x98\xC4\x90"), "aeoeod");  // ÆŒØĐ
  EXPECT_EQ(norvel::FoldIntlText("cafe\xCC\x81"), "cafe");  // e + combining acute
  EXPECT_EQ(norvel::FoldIntlText("\xD0\x81\xD0\x9B\xD0\x9A\xD0\x90"),
            "\xD0\xB5\xD0\xBB\xD0\xBA\xD0\xB0");
}

TEST(IntlWords, DecodingTakesValidUtf8AndWindows1252ForTheRest) {
  uint32_t cp;
  EXPECT_EQ(norvel::DecodeChar("\xE2\x82\xAC", 3, true, &cp), 3u);
  EXPECT_EQ(cp, 0x20ACu);
  EXPECT_EQ(norvel::DecodeChar("\x80", 1, true, &cp), 1u);  // Windows-1252's euro sign
  EXPECT_EQ(cp, 0x20ACu);
  EXPECT_EQ(norvel::DecodeChar("\xE2\x82", 2, false, &cp), 0u);  // cut: wait for more
  EXPECT_EQ(norvel::DecodeChar("\xE2\x82", 2, true, &cp), 1u);
  EXPECT_EQ(cp, 0xE2u);
  EXPECT_EQ(norvel::DecodeChar("\xC0\xAF", 2, false, &cp), 1u);          // overlong
  EXPECT_EQ(norvel::DecodeChar("\xED\xA0\x80", 3, false, &cp), 1u);      // surrogate
  EXPECT_EQ(norvel::DecodeChar("\xED\xA0", 2, false, &cp), 1u);          // known bad already
  EXPECT_EQ(norvel::DecodeChar("\xF4\x90\x80\x80", 4, false, &cp), 1u);  // past U+10FFFF
  // A byte-order mark separates; the five undefined bytes are control characters.
  EXPECT_EQ(WordsOf("\xEF\xBB\xBFword \x81x", {}), (std::vector<std::string>{"word", "x"}));
}

TEST(IntlWords, WordsBeginWithALetterAndFoldToAtMost254Bytes) {
  EXPECT_EQ(WordsOf("9lives -x _y x-9_z \xC3\xA9t\xC3\xA9", {}),
            (std::vector<std::string>{"x-9_z", "ete"}));
  std::string ss(127, 's');
  EXPECT_EQ(WordsOf(ss + " " + std::string(127, '\xDF'), {}).size(), 2u);  // 254 bytes
  EXPECT_EQ(WordsOf(std::string(128, '\xDF'), {}).size(), 0u);  // 256 bytes folded: dropped
}

TEST(IntlWords, WordsDoNotDependOnWhereBlocksEnd) {
  std::mt19937 rng(19);
  const std::vector<std::string> pieces = {"a",
                                           "Z",
                                           "9",
                                           "-",
                                           " ",
                                           ".",
                                           "\n",
                                           "\xC3\xBC",
                                           "\xC3\x9C",
                                           "\xE2\x82\xAC",
                                           "\xF0\x9F\x98\x80",
                                           "\xD0\x96",
                                           "\xCC\x81",
                                           "\xFC",
                                           "\xE2\x82",
                                           "\xC3",
                                           "\xEF\xBB\xBF"};
  for (int round = 0; round < 60; ++round) {
    std::string text;
    size_t n = rng() % 200;
    for (size_t i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    std::vector<std::string> whole = WordsOf(text, {});
    for (size_t cut = 0; cut <= text.size(); cut += 1 + rng() % 3) {
      EXPECT_EQ(WordsOf(text, {cut}), whole) << "cut at " << cut;
    }
    for (size_t cut = 0; cut + 1 < text.size(); cut += 1 + rng() % 7) {
      EXPECT_EQ(WordsOf(text, {cut, cut + 1}), whole) << "one byte at " << cut;
    }
  }
}

// Text of long and short ASCII runs with letters of other scripts, Windows-1252 bytes and
// separators of every kind between and inside them.
std::string MixedText(std::mt19937& rng) {
  const std::vector<std::string> pieces = {"word",
                                           "Kernel",
                                           "x",
                                           "9lives",
                                           "-",
                                           "_",
                                           " ",
                                           "  ",
                                           ".",
                                           "\n",
                                           "\r\n",
                                           "(",
                                           std::string(70, 'q'),
                                           std::string(254, 'A'),
                                           std::string(255, 'b'),
                                           "\xC3\xBC",
                                           "\xC3\x9C",
                                           "\xE2\x80\x94",
                                           "\xE4\xB8\xAD",
                                           "\xCC\x81",
                                           "\xFC",
                                           "\xA0",
                                           "\xC3"};
  std::string text;
  size_t n = rng() % 400;
  for (size_t i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
  return text;
}

// The words taken one character at a time (blocks of one byte never hold a whole ASCII
// token) are the words of the 64-byte steps over ASCII runs.
TEST(IntlWords, AsciiRunsGiveTheWordsOfTheCharacterByCharacterPath) {
  std::mt19937 rng(26);
  for (int round = 0; round < 200; ++round) {
    std::string text = MixedText(rng);
    std::vector<size_t> every_byte;
    for (size_t k = 1; k < text.size(); ++k) every_byte.push_back(k);
    EXPECT_EQ(WordsOf(text, {}), WordsOf(text, every_byte)) << "round " << round;
  }
}

// The build hands ASCII tokens to the ASCII rules' folding: the same words, separator
// offsets included.
TEST(IntlWords, AsciiTokensFoldedByTheAsciiRulesAreTheSameWords) {
  std::mt19937 rng(2626);
  for (int round = 0; round < 200; ++round) {
    std::string text = MixedText(rng);
    text.append(norvel::kTokenSlack, '\0');  // room for FoldToken's eight-byte reads
    size_t n = text.size() - norvel::kTokenSlack;
    using Words = std::vector<std::pair<std::string, size_t>>;
    Words plain, split;
    auto to = [](Words* out) {
      return [out](const char* w, size_t len, size_t sep) {
        out->emplace_back(std::string(w, len), sep);
        return true;
      };
    };
    auto on_plain = to(&plain), on_split = to(&split);
    auto on_ascii = [&](const char* raw, size_t len, size_t sep) {
      char folded[norvel::kMaxWordLength + norvel::kTokenSlack];
      uint32_t key;
      if (norvel::FoldToken(raw, len, folded, &key)) {
        EXPECT_EQ(key, norvel::WordKey(folded, len));
        split.emplace_back(std::string(folded, len), sep);
      }
      return true;
    };
    norvel::IntlTokenScanner a, b;
    a.Feed(text.data(), n, on_plain);
    a.Finish(on_plain);
    b.Feed(text.data(), n, on_split, on_ascii);
    b.Finish(on_split);
    EXPECT_EQ(plain, split) << "round " << round;
  }
}

}  // namespace
