// Damaged index files (cut at every offset, bytes flipped) never crash a load, a search or
// a result page: they are refused, or they answer with what they still hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "engine_fixture.h"
#include "index/positions.h"
#include "query/query.h"
#include "viewer/search.h"

using norvel_test::Corpus;
using norvel_test::ReadBytes;
using norvel_test::WriteBytes;

namespace {

const char* kFiles[] = {"_stats.dat", "_ndxwrds.dat", "_ndxfile.dat", "_file0.dat"};

// What a search over a damaged index may do: refuse with a message, or answer only with
// file numbers the index names. Its memory is bounded by what the files hold: an index
// is loaded only with as many files as its list holds records (5 bytes at least each),
// and a result names each of those files at most once. (Its time is bounded by the
// test's own time limit: a search that never ends fails the run.)
void ExpectRefusedOrSound(Corpus& c, const std::string& damage) {
  size_t log_before = c.Log().size();
  if (c.Load() != 0) {
    EXPECT_GT(c.Log().size(), log_before) << damage << ": a load refused without a log line";
    return;
  }
  uint64_t list_bytes = ReadBytes(c.IndexFile("_file0.dat")).size();
  ASSERT_LE(uint64_t{c.loaded.total_files} * 5, list_bytes) << damage;
  norvel::PageSources sources{c.data, c.index, &c.loaded};
  for (const char* q : {"cat", "dog +bird", "bird -cat", "+fish", "cat dog bird fish"}) {
    norvel::SearchState state;
    uint32_t total = norvel::runQuery(q, c.index, c.loaded, &state.words, &state.result_list);
    ASSERT_EQ(total, state.result_list.size()) << damage << " " << q;
    ASSERT_LE(total, c.loaded.total_files) << damage << " " << q;
    for (size_t i = 0; i < state.result_list.size(); ++i) {
      uint32_t n = state.result_list[i];
      ASSERT_TRUE(n >= 1 && n <= c.loaded.total_files) << damage << " " << q << ": file " << n;
      if (i > 0) {
        ASSERT_LT(state.result_list[i - 1], n) << damage << " " << q;
      }
    }
    // Pages name the files of the list, or are refused.
    state.result_total = total;
    for (uint32_t start : {0u, 10u}) {
      if (start >= total) break;
      state.page_start = start;
      state.page_end = total < start + 10 ? total : start + 10;
      if (norvel::GetNextPage(&state, sources) == 0) {
        EXPECT_EQ(state.page_file_names.size(), state.page_end - state.page_start) << damage;
      } else {
        EXPECT_TRUE(state.page_file_names.empty()) << damage;
      }
    }
  }
}

// Loads the index as it is on disk and runs a few searches with their first pages.
void LoadAndSearch(Corpus& c, const std::string& damage = "") {
  ExpectRefusedOrSound(c, damage);
}

class DamagedIndex : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int d = 1; d <= 12; ++d) {
      std::string text = d % 2 ? "cat dog " : "dog bird ";
      if (d % 3 == 0) text += "fish ";
      c.Add("doc" + std::to_string(d + 10) + ".txt", text + "filler words here");
    }
    ASSERT_EQ(c.Build(), 0);
    for (const char* f : kFiles) sound[f] = ReadBytes(c.IndexFile(f));
  }
  void Restore() {
    for (const char* f : kFiles) ASSERT_TRUE(WriteBytes(c.IndexFile(f), sound[f]));
  }

  Corpus c;
  std::map<std::string, std::string> sound;
};

}  // namespace

TEST_F(DamagedIndex, CutAtEveryOffset) {
  for (const char* f : kFiles) {
    const std::string& bytes = sound[f];
    for (size_t len = 0; len < bytes.size(); ++len) {
      Restore();
      ASSERT_TRUE(WriteBytes(c.IndexFile(f), bytes.substr(0, len)));
      LoadAndSearch(c, std::string(f) + " cut at " + std::to_string(len));
    }
  }
}

TEST_F(DamagedIndex, EveryByteFlipped) {
  for (const char* f : kFiles) {
    for (size_t at = 0; at < sound[f].size(); ++at) {
      for (unsigned char mask : {0xFF, 0x01, 0x80}) {
        Restore();
        std::string bytes = sound[f];
        bytes[at] = static_cast<char>(bytes[at] ^ mask);
        ASSERT_TRUE(WriteBytes(c.IndexFile(f), bytes));
        LoadAndSearch(
            c, std::string(f) + " byte " + std::to_string(at) + " ^ " + std::to_string(mask));
      }
    }
  }
}

TEST_F(DamagedIndex, RandomDamageInSeveralFiles) {
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    Restore();
    for (const char* f : kFiles) {
      std::string bytes = sound[f];
      if (bytes.empty() || rng() % 2) continue;
      for (int k = 0; k < 3; ++k) bytes[rng() % bytes.size()] = static_cast<char>(rng());
      if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
      ASSERT_TRUE(WriteBytes(c.IndexFile(f), bytes));
    }
    LoadAndSearch(c, "round " + std::to_string(round));
  }
}

TEST_F(DamagedIndex, ResultPagesStayInsideTheFileLists) {
  ASSERT_EQ(c.Load(), 0);
  norvel::PageSources sources{c.data, c.index, &c.loaded};
  norvel::SearchState state;
  // File numbers the index does not hold: 0, beyond total files, far beyond any list.
  state.result_list = {0, 13, 500000, 4000000000u};
  state.result_total = 4;
  for (uint32_t i = 0; i < 4; ++i) {
    state.page_start = i;
    state.page_end = i + 1;
    c.ui.boxes.clear();
    EXPECT_EQ(norvel::GetNextPage(&state, sources), -1);
    EXPECT_TRUE(state.page_file_names.empty());
    ASSERT_EQ(c.ui.boxes.size(), 1u);
    EXPECT_EQ(c.ui.boxes[0].text.rfind("File seek error.", 0), 0u) << c.ui.boxes[0].text;
  }
  // A page beyond the result list is refused.
  state.page_start = 0;
  state.page_end = 5;
  EXPECT_EQ(norvel::GetNextPage(&state, sources), -1);
}

namespace {

// What the positions reader gives for every token: documents, counts and positions.
std::map<std::string, std::vector<std::vector<uint32_t>>> PositionsAnswers(
    norvel::PositionsReader* reader, bool* damage) {
  std::map<std::string, std::vector<std::vector<uint32_t>>> out;
  std::vector<std::string> tokens;
  reader->ForEachTokenWithPrefix("", [&](std::string_view t) {
    tokens.emplace_back(t);
    return true;
  });
  for (const char* t : {"cat", "dog", "fish", "words", "here", "absent"}) tokens.push_back(t);
  for (const std::string& t : tokens) {
    norvel::PositionsReader::Postings p;
    auto& docs = out[t];
    docs.clear();  // a token asked for twice
    if (!reader->Find(t, &p)) continue;
    while (p.Next()) {
      std::vector<uint32_t> entry = {p.doc(), p.count(), reader->DocumentTokens(p.doc())};
      std::vector<uint32_t> positions;
      if (p.Positions(&positions)) entry.insert(entry.end(), positions.begin(), positions.end());
      docs.push_back(entry);
    }
    *damage = *damage || p.damaged();
  }
  *damage = *damage || reader->damage_met();
  return out;
}

}  // namespace

// A positions file cut or with any byte changed is refused with one log line, or answers
// exactly as the sound one does, or says that it met damage: never another answer.
TEST_F(DamagedIndex, PositionsAreRefusedOrRightOrSayTheyAreDamaged) {
  ASSERT_EQ(c.Load(), 0);
  const std::string sound_positions = ReadBytes(c.IndexFile("_positions.dat"));
  norvel::PositionsReader reader;
  ASSERT_TRUE(reader.Open(c.index, c.loaded));
  bool damage = false;
  const auto truth = PositionsAnswers(&reader, &damage);
  ASSERT_FALSE(damage);
  ASSERT_EQ(truth.at("fish").size(), 4u);
  auto expect = [&](const std::string& bytes, const std::string& what) {
    ASSERT_TRUE(WriteBytes(c.IndexFile("_positions.dat"), bytes));
    std::string before = c.Log();
    auto lines = std::count(before.begin(), before.end(), '\n');
    norvel::PositionsReader damaged;
    if (!damaged.Open(c.index, c.loaded)) {
      std::string log = c.Log();
      EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), lines + 1) << what;
      EXPECT_NE(log.find("]Positions not used: "), std::string::npos) << what;
      return;
    }
    bool met = false;
    auto answers = PositionsAnswers(&damaged, &met);
    if (!met) {
      EXPECT_EQ(answers, truth) << what;
    }
  };
  for (size_t len = 0; len < sound_positions.size(); ++len) {
    expect(sound_positions.substr(0, len), "cut at " + std::to_string(len));
  }
  for (size_t at = 0; at < sound_positions.size(); ++at) {
    for (unsigned char mask : {0xFF, 0x01, 0x80}) {
      std::string bytes = sound_positions;
      bytes[at] = static_cast<char>(bytes[at] ^ mask);
      expect(bytes, "byte " + std::to_string(at) + " ^ " + std::to_string(mask));
    }
  }
}
