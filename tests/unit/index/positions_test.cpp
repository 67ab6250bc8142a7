// The positions file: a build writes every token's documents, occurrences and positions
// and every document's token count, and the reader gives them back.
#include "index/positions.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "index/positions_collector.h"
#include "index/positions_format.h"
#include "index/word_hash.h"
#include "platform/dir.h"
#include "query/terms.h"

using norvel::PositionsReader;
using norvel_test::Corpus;

namespace {

struct Occurrences {
  std::map<uint32_t, std::vector<uint32_t>> by_doc;
};

// What the positions of a corpus must be: each document's tokens as a phrase cuts them.
std::map<std::string, Occurrences> Expected(const std::vector<std::string>& texts,
                                            norvel::WordRules rules,
                                            std::vector<uint32_t>* counts) {
  std::map<std::string, Occurrences> out;
  for (uint32_t d = 0; d < texts.size(); ++d) {
    std::vector<std::string> tokens = norvel::CutFoldedTokens(texts[d], rules);
    counts->push_back(static_cast<uint32_t>(tokens.size()));
    for (uint32_t p = 0; p < tokens.size(); ++p) {
      out[tokens[p].substr(0, 255)].by_doc[d + 1].push_back(p);
    }
  }
  return out;
}

void ExpectPositions(Corpus& c, const std::vector<std::string>& texts, norvel::WordRules rules) {
  std::vector<uint32_t> counts;
  std::map<std::string, Occurrences> want = Expected(texts, rules, &counts);
  PositionsReader reader;
  ASSERT_TRUE(reader.Open(c.index, c.loaded));
  EXPECT_EQ(reader.documents(), texts.size());
  EXPECT_EQ(reader.distinct_tokens(), want.size());
  uint64_t total = 0;
  for (uint32_t d = 0; d < counts.size(); ++d) {
    EXPECT_EQ(reader.DocumentTokens(d + 1), counts[d]) << "document " << d + 1;
    total += counts[d];
  }
  EXPECT_EQ(reader.total_tokens(), total);
  EXPECT_EQ(reader.DocumentTokens(0), 0u);
  EXPECT_EQ(reader.DocumentTokens(static_cast<uint32_t>(texts.size() + 1)), 0u);
  std::vector<std::string> listed;
  reader.ForEachTokenWithPrefix("", [&](std::string_view t) {
    listed.emplace_back(t);
    return true;
  });
  std::vector<std::string> keys;
  for (const auto& kv : want) keys.push_back(kv.first);
  EXPECT_EQ(listed, keys);
  for (const auto& [token, occ] : want) {
    PositionsReader::Postings p;
    ASSERT_TRUE(reader.Find(token, &p)) << token;
    EXPECT_EQ(p.documents(), occ.by_doc.size()) << token;
    auto it = occ.by_doc.begin();
    // Every other token's positions are asked for, so that both the reading and the
    // passing over of positions are taken.
    bool ask = token.size() % 2 == 0;
    while (p.Next()) {
      ASSERT_NE(it, occ.by_doc.end()) << token;
      EXPECT_EQ(p.doc(), it->first) << token;
      EXPECT_EQ(p.count(), it->second.size()) << token;
      if (ask || it->first % 3 == 0) {
        std::vector<uint32_t> got;
        EXPECT_TRUE(p.Positions(&got));
        EXPECT_EQ(got, it->second) << token << " in " << it->first;
      }
      ++it;
    }
    EXPECT_EQ(it, occ.by_doc.end()) << token;
    EXPECT_FALSE(p.damaged());
  }
  PositionsReader::Postings none;
  EXPECT_FALSE(reader.Find("notthere", &none));
}

// A corpus of several parts and more than one block of documents per common token.
std::vector<std::string> ManyDocuments() {
  std::vector<std::string> texts;
  for (int d = 0; d < 700; ++d) {
    std::string t = "The kernel " + std::to_string(d) + " of the device-driver ";
    for (int k = 0; k < d % 7; ++k) t += "of the memory management; ";
    if (d % 50 == 0) t += std::string(300, 'x') + " tail _under 9lives ";
    texts.push_back(t);
  }
  return texts;
}

TEST(PositionsTest, BuildWritesEveryTokenOfEveryDocument) {
  Corpus c;
  c.Exclude("the\nof\n");
  std::vector<std::string> texts = ManyDocuments();
  char name[32];
  for (size_t d = 0; d < texts.size(); ++d) {
    std::snprintf(name, sizeof name, "d%04zu.txt", d);
    c.Add(name, texts[d]);
  }
  norvel::BuildTuning tuning;
  tuning.threads = 3;
  tuning.min_part_documents = 64;
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr, tuning), 0);
  norvel::RenAndReloadNdx(c.index, c.app, &c.loaded, nullptr, nullptr);
  ASSERT_TRUE(c.loaded.loaded());
  ExpectPositions(c, texts, norvel::WordRules::kAscii);

  // SkipTo lands on the first document at or after the number asked for.
  PositionsReader reader;
  ASSERT_TRUE(reader.Open(c.index, c.loaded));
  PositionsReader::Postings p;
  ASSERT_TRUE(reader.Find("memory", &p));
  ASSERT_TRUE(p.SkipTo(400));
  EXPECT_EQ(p.doc(), 401u);  // document 400 is d0399: 399 % 7 == 0, no memory
  ASSERT_TRUE(p.SkipTo(690));
  EXPECT_EQ(p.doc(), 690u);
  std::vector<uint32_t> got;
  ASSERT_TRUE(p.Positions(&got));
  EXPECT_EQ(got.size(), 689u % 7);
  EXPECT_FALSE(p.SkipTo(701));
}

// The body merged in token ranges on threads, from runs spilled at every size and from
// parts that threads took over shares of: every byte must be that of the one range of
// one thread's one run.
TEST(PositionsTest, TheFileKeepsItsBytesWhateverTheRunsAndRanges) {
  Corpus c;
  c.Exclude("the\n");
  std::mt19937 rng(5);
  for (int d = 0; d < 400; ++d) {
    std::string text;
    // Some documents large enough that their runs are cut inside.
    size_t tokens = d % 50 == 7 ? 40000 : 100 + rng() % 5000;
    for (size_t i = 0; i < tokens; ++i) {
      uint32_t r = rng() % 100;
      // Common tokens in many blocks, rarer ones in a few runs, the rarest in one.
      text += r < 20   ? "the"
              : r < 40 ? std::to_string(rng() % 30)
                       : "w" + std::to_string(rng() % (r * 40));
      text += " ,\n"[rng() % 3];
    }
    char name[32];
    std::snprintf(name, sizeof name, "d%04d.txt", d);
    c.Add(name, text);
  }
  norvel::BuildTuning one;
  one.threads = 1;
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr, one), 0);
  std::string want = norvel_test::ReadBytes(c.IndexFile("_newpositions.dat"));
  ASSERT_GT(want.size(), size_t{300} << 10);
  // Runs of one document each, and runs cut at their marks; one part cut at the start, the
  // other threads taking shares of it (and of each other's shares).
  struct Spread {
    unsigned threads;
    size_t memory, cut_parts;
  };
  for (Spread s : {Spread{2, 40 << 10, 0}, Spread{2, 3 << 20, 0}, Spread{3, 5 << 20, 0},
                   Spread{1, 40 << 10, 0}, Spread{2, 40 << 10, 1}, Spread{4, 3 << 20, 1}}) {
    norvel::BuildTuning tuning;
    tuning.threads = s.threads;
    tuning.min_part_documents = 16;
    tuning.positions_memory = s.memory;
    tuning.cut_parts = s.cut_parts;
    ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr, tuning), 0);
    EXPECT_TRUE(norvel_test::ReadBytes(c.IndexFile("_newpositions.dat")) == want)
        << s.threads << " threads, " << s.memory << " bytes, " << s.cut_parts << " parts cut";
    std::vector<std::string> left;
    platform::ListDirectory(c.index, "_newpositions*.tmp", &left);
    EXPECT_TRUE(left.empty()) << left[0];
  }
}

TEST(PositionsTest, InternationalRulesCutAndFoldTokensAsPhrasesDo) {
  Corpus c;
  std::vector<std::string> texts = {"Ärger über Öl, ÄRGER 2x straße",
                                    "caf\xe9 CAFÉ cafe\xcc\x81 10-20 _x", "Straße über alles über"};
  char name[32];
  for (size_t d = 0; d < texts.size(); ++d) {
    std::snprintf(name, sizeof name, "d%zu.txt", d);
    c.Add(name, texts[d]);
  }
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr, norvel::BuildTuning(),
                            norvel::WordRules::kInternational),
            0);
  norvel::RenAndReloadNdx(c.index, c.app, &c.loaded, nullptr, nullptr);
  ASSERT_TRUE(c.loaded.loaded());
  ExpectPositions(c, texts, norvel::WordRules::kInternational);
}

}  // namespace

namespace {

std::string ReadFile(const Corpus& c, const char* name) {
  return norvel_test::ReadBytes(c.IndexFile(name));
}

// Opens the positions of c's loaded index; the log line of a refusal in *line.
bool OpenPositions(Corpus& c, std::string* line) {
  std::string before = c.Log();
  PositionsReader reader;
  bool open = reader.Open(c.index, c.loaded);
  std::string added = c.Log().substr(before.size());
  *line = added.empty() ? "" : added.substr(added.find(']') + 1);
  line->erase(line->find_last_not_of("\r\n") + 1);
  return open;
}

}  // namespace

TEST(PositionsTest, PositionsOfOtherFilesAnotherVersionOrNoneAreNotUsed) {
  Corpus c;
  c.Add("a.txt", "printer jam in tray 2");
  ASSERT_EQ(c.Build(), 0);
  std::string line;
  ASSERT_TRUE(OpenPositions(c, &line)) << line;
  EXPECT_EQ(line, "");
  const std::string first = ReadFile(c, "_positions.dat");
  c.Add("b.txt", "toner low");
  ASSERT_EQ(c.Build(), 0);
  ASSERT_TRUE(OpenPositions(c, &line)) << line;

  // The positions of the index before, left beside the new one.
  ASSERT_TRUE(norvel_test::WriteBytes(c.IndexFile("_positions.dat"), first));
  EXPECT_FALSE(OpenPositions(c, &line));
  EXPECT_EQ(line, "Positions not used: the positions file belongs to other index files.");

  // A later version's file, whole and sound.
  c.Build();
  std::string later = ReadFile(c, "_positions.dat");
  later[8] = static_cast<char>(norvel::kPositionsVersion + 1);
  auto* h = reinterpret_cast<unsigned char*>(&later[0]);
  norvel::PutLE64(h + 120, norvel::CheckOf(h, 120));
  ASSERT_TRUE(norvel_test::WriteBytes(c.IndexFile("_positions.dat"), later));
  EXPECT_FALSE(OpenPositions(c, &line));
  EXPECT_EQ(line, "Positions not used: the positions file is of another version.");

  platform::RemoveFile(c.IndexFile("_positions.dat"));
  EXPECT_FALSE(OpenPositions(c, &line));
  EXPECT_EQ(line, "Positions not used: no positions file.");
}

// The tables a reader keeps with the loaded index are those of the file it opens: a
// positions file of the same four index files (documents that differ only in tokens that
// are no words) put in place under the same loaded index is read by its own tables.
TEST(PositionsTest, ReadersOfTheLoadedIndexTakeTheTablesOfTheFileInPlace) {
  Corpus c, other;
  c.Add("a.txt", "version 2 of the printer");
  other.Add("a.txt", "version 3 of the printer");
  ASSERT_EQ(c.Build(), 0);
  ASSERT_EQ(other.Build(), 0);
  ASSERT_EQ(ReadFile(c, "_ndxwrds.dat"), ReadFile(other, "_ndxwrds.dat"));
  PositionsReader::Postings p;
  {
    PositionsReader reader;
    ASSERT_TRUE(reader.Open(c.index, c.loaded));
    EXPECT_TRUE(reader.Find("2", &p));
  }
  ASSERT_TRUE(
      norvel_test::WriteBytes(c.IndexFile("_positions.dat"), ReadFile(other, "_positions.dat")));
  PositionsReader reader;
  ASSERT_TRUE(reader.Open(c.index, c.loaded));
  EXPECT_FALSE(reader.Find("2", &p));
  ASSERT_TRUE(reader.Find("3", &p));
  ASSERT_TRUE(p.Next());
  std::vector<uint32_t> at;
  ASSERT_TRUE(p.Positions(&at));
  EXPECT_EQ(at, std::vector<uint32_t>{1});
}

// A new index without positions (they could not be written) takes the old ones away at
// its swap; a swap that stopped after the positions moved keeps them when it completes.
TEST(PositionsTest, TheSwapNeverLeavesOldPositionsBesideNewFiles) {
  Corpus c;
  c.Add("a.txt", "printer jam");
  ASSERT_EQ(c.Build(), 0);
  c.Add("b.txt", "printer toner");
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), 0);
  ASSERT_TRUE(platform::RemoveFile(c.IndexFile("_newpositions.dat")));
  norvel::RenAndReloadNdx(c.index, c.app, &c.loaded, nullptr, nullptr);
  EXPECT_FALSE(platform::FileExists(c.IndexFile("_positions.dat")));

  c.Add("c.txt", "paper jam");
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), 0);
  // The swap stopped after renaming everything but the statistics.
  for (const char* name : {"ndxwrds.dat", "ndxfile.dat", "file0.dat", "positions.dat"}) {
    ASSERT_TRUE(platform::RenameReplace(c.IndexFile(std::string("_new") + name),
                                        c.IndexFile(std::string("_") + name)));
  }
  ASSERT_TRUE(norvel::PrepareForBuild(c.index));
  ASSERT_EQ(c.Load(), 0);
  EXPECT_EQ(c.loaded.total_files, 3u);
  std::string line;
  EXPECT_TRUE(OpenPositions(c, &line)) << line;
}

// A word's token is found by its word table entry, the other tokens by their text: one
// text met both ways would be two records of one token in a run, so the positions are
// dropped rather than written.
TEST(PositionsTest, ATextGivenAsWordAndAsTextDropsThePositions) {
  Corpus c;
  for (bool twice : {false, true}) {
    norvel::PositionsCollector collector(c.IndexFile("_newpositions0.tmp"), 1 << 20);
    const char text[] = "alpha\0\0\0\0\0\0\0\0";
    collector.BeginDocument(1);
    collector.AddWord();
    collector.AddFolded(twice ? "alpha" : "beta", twice ? 5 : 4);
    norvel::PositionsCollector::Word word{0, 5, text, norvel::WordKey(text, 5)};
    collector.SetWords(&word, 1);
    collector.EndDocument();
    collector.Finish();
    EXPECT_EQ(collector.failed(), twice);
    EXPECT_EQ(collector.runs().size(), twice ? 0u : 1u);
  }
}

TEST(PositionsFormat, ChecksAndVarintSkipsGoByteByByte) {
  // The check and the skip take many bytes a step; their answers are those of the bytes
  // taken one by one, whatever the lengths and wherever a run is cut.
  std::mt19937 rng(11);
  std::vector<unsigned char> bytes(5000);
  for (auto& b : bytes) b = static_cast<unsigned char>(rng());
  for (size_t n : {0, 1, 15, 16, 17, 100, 4096, 5000}) {
    uint64_t a = 1, b = 0;
    for (size_t i = 0; i < n; ++i) {
      a += bytes[i] + 1;
      b += a;
    }
    uint64_t x = a * 0x9E3779B97F4A7C15ull ^ b * 0xC2B2AE3D27D4EB4Full;
    uint32_t expected = static_cast<uint32_t>(x ^ (x >> 29) ^ (x >> 47));
    EXPECT_EQ(norvel::CheckOf(bytes.data(), n), expected) << n;
    norvel::BlockCheck cut;
    cut.Add(bytes.data(), n / 3);
    cut.Add(bytes.data() + n / 3, n - n / 3);
    EXPECT_EQ(cut.Value(), expected) << n;
  }
  // Varints of one to five bytes; skipping k of them lands where decoding k does.
  std::vector<unsigned char> varints;
  for (int i = 0; i < 3000; ++i) {
    uint64_t v = rng() >> (rng() % 32);
    unsigned char b[10];
    varints.insert(varints.end(), b, b + norvel::PutVarint(b, v));
  }
  const unsigned char* end = varints.data() + varints.size();
  for (uint64_t k : {0, 1, 7, 8, 9, 64, 1000, 2999, 3000}) {
    const unsigned char* decoded = varints.data();
    uint64_t v;
    for (uint64_t i = 0; i < k; ++i) ASSERT_TRUE(norvel::GetVarint(&decoded, end, &v));
    const unsigned char* skipped = varints.data();
    ASSERT_TRUE(norvel::SkipVarints(&skipped, end, k)) << k;
    EXPECT_EQ(skipped, decoded) << k;
  }
  const unsigned char* p = varints.data();
  EXPECT_FALSE(norvel::SkipVarints(&p, end, 3001));
}
