// Index directories on file systems without byte-range locks, and discards that cannot
// finish: what readers, writers and the next command find.
#include <gtest/gtest.h>

#include <string>

#include "engine_fixture.h"
#include "index/index_lock.h"
#include "index/marker.h"
#include "platform/lock.h"

using norvel_test::Corpus;
using norvel_test::LE;
using norvel_test::ReadBytes;
using norvel_test::Record;
using norvel_test::WriteBytes;

namespace {

// A file system that answers every lock call as some NAS and FUSE shares do.
platform::LockCall NoLocks(uint32_t, bool, bool) {
  return platform::LockCall::kUnsupported;
}

struct WithoutByteLocks {
  WithoutByteLocks() { platform::SetLockCallForTesting(NoLocks); }
  ~WithoutByteLocks() {
    norvel::UnlockMarker();
    platform::SetLockCallForTesting(nullptr);
  }
};

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(NoByteLocks, ReadersAndWritersGoAheadAndTheLogSaysSoOnce) {
  Corpus c;
  c.Add("a.txt", "cat dog");
  WithoutByteLocks no_locks;
  // The Index command and the build take the marker and the writer lock.
  ASSERT_EQ(norvel::LockMarker(c.app), norvel::LockResult::kLocked);
  ASSERT_EQ(norvel::LockIndexWriter(c.index), norvel::LockResult::kLocked);
  // This process's own lock still excludes a second taker.
  EXPECT_EQ(norvel::LockMarker(c.app), norvel::LockResult::kBusy);
  EXPECT_EQ(norvel::LockIndexWriter(c.index), norvel::LockResult::kBusy);
  ASSERT_EQ(norvel::PrepareForBuild(c.index), true);
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), 0);
  norvel::RenAndReloadNdx(c.index, c.app, &c.loaded, nullptr, nullptr);
  EXPECT_TRUE(c.loaded.loaded());
  norvel::UnlockMarker();
  EXPECT_EQ(norvel::LockMarker(c.app), norvel::LockResult::kLocked);
  norvel::UnlockMarker();
  // Every search reads under the shared swap lock, which must never look busy.
  for (int search = 0; search < 3; ++search) {
    norvel::SwapLock reading;
    ASSERT_EQ(norvel::ReadIndexAsReader(c.index, c.app, &c.loaded, &reading), 0);
    EXPECT_TRUE(c.loaded.words.Contains("dog"));
  }
  EXPECT_TRUE(c.ui.boxes.empty());
  std::string log = c.Log();
  EXPECT_EQ(Count(log, "]Index directory has no byte-range locks: " + c.index), 1u) << log;
  EXPECT_EQ(Count(log, "]Application directory has no byte-range locks: " + c.app), 1u) << log;
  EXPECT_EQ(Count(log, "Index in use"), 0u) << log;
}

TEST(NoByteLocks, ABusyLockIsStillBusy) {
  Corpus c;
  platform::ByteLock holder, other;
  ASSERT_TRUE(holder.Open(platform::JoinPath(c.app, "isndxng.dat")));
  ASSERT_TRUE(holder.TryLock());
  ASSERT_TRUE(other.Open(platform::JoinPath(c.app, "isndxng.dat")));
  EXPECT_FALSE(other.TryLock());
  EXPECT_FALSE(other.no_locks());
  EXPECT_EQ(norvel::LockMarker(c.app), norvel::LockResult::kBusy);
  EXPECT_EQ(c.Log().find("byte-range locks"), std::string::npos);
}

// Statistics that cannot be deleted keep the whole new index waiting: deleting the rest
// beside them would leave what looks like a swap stopped half-way, and the next command
// would complete it with the new statistics over the old words.
TEST(Discard, StatisticsThatStayKeepTheNewIndexWhole) {
  Corpus c;
  c.Add("a.txt", "cat");
  ASSERT_EQ(c.Build(), 0);
  c.Add("b.txt", "dog");
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), 0);
  ASSERT_TRUE(platform::RemoveFile(c.IndexFile("_newstats.dat")));
  ASSERT_TRUE(platform::MakeDirectory(c.IndexFile("_newstats.dat")));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(c.IndexFile("_newstats.dat"), "x"), "x"));
  norvel::DelNdx(c.index, nullptr);
  ASSERT_EQ(c.ui.boxes.size(), 1u);
  EXPECT_EQ(c.ui.boxes[0].text, "File write error.DelNdx():Deleting files.");
  EXPECT_FALSE(norvel::SwapInterrupted(c.index));
  EXPECT_TRUE(platform::FileExists(c.IndexFile("_newndxwrds.dat")));
  EXPECT_TRUE(platform::FileExists(c.IndexFile("_newfile0.dat")));
}

// A build that cannot delete the statistics of the new index waiting before it rewrites
// nothing: its words under those statistics would be a new index of two builds.
TEST(Discard, ABuildStopsAtStatisticsThatStay) {
  Corpus c;
  c.Add("a.txt", "cat");
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), 0);
  std::string words = ReadBytes(c.IndexFile("_newndxwrds.dat"));
  ASSERT_TRUE(platform::RemoveFile(c.IndexFile("_newstats.dat")));
  ASSERT_TRUE(platform::MakeDirectory(c.IndexFile("_newstats.dat")));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(c.IndexFile("_newstats.dat"), "x"), "x"));
  c.Add("b.txt", "dog");
  EXPECT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), -1);
  EXPECT_TRUE(c.Logged("doIndex():Cannot delete _newstats.dat.")) << c.Log();
  EXPECT_EQ(ReadBytes(c.IndexFile("_newndxwrds.dat")), words);
  // saveIndex alone stops there too.
  norvel::WordTable table(1);
  char fish[] = "fish";
  ASSERT_EQ(norvel::addNode(fish, 4, &table, 1), 1);
  EXPECT_EQ(norvel::saveIndex(&table, c.index, 1, 1, nullptr), -1);
  EXPECT_EQ(ReadBytes(c.IndexFile("_newndxwrds.dat")), words);
}
