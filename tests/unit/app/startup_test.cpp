// The start-up sequence: settings, the swap of a waiting index, the load under the marker.
#include "app/startup.h"

#include <gtest/gtest.h>

#include "core/messages.h"
#include "corpus.h"
#include "index/load.h"
#include "index/marker.h"
#include "index/swap.h"
#include "query/query.h"

using norvel::InMemoryIndex;
using norvel::JobProgress;
using norvel::Settings;
using norvel_test::AppDirs;
using norvel_test::ReadBytes;
using norvel_test::RecordingUi;

namespace {

uint32_t Count(const InMemoryIndex& index, const std::string& dir, const char* query) {
  norvel::QueryWords words;
  norvel::FileList result;
  return norvel::runQuery(query, dir, index, &words, &result);
}

}  // namespace

TEST(StartUp, WithoutSettingsThereIsNoIndexButTheLogHasItsDirectory) {
  RecordingUi ui;
  AppDirs dirs;
  Settings settings;
  InMemoryIndex index;
  JobProgress job;
  norvel::RunStartUp(dirs.app(), &settings, &index, &job);
  EXPECT_FALSE(index.loaded());
  EXPECT_TRUE(settings.index_dir.empty());
  EXPECT_TRUE(ui.boxes.empty());
  // The log goes to the application directory, not to the root of a drive.
  EXPECT_EQ(norvel::LogDirectory(), dirs.app());
  norvel::WriteLog("probe");
  EXPECT_NE(ReadBytes(platform::JoinPath(dirs.app(), "norvel_log.txt")).find("probe"),
            std::string::npos);
}

TEST(StartUp, EmptyIndexDirectoryLogsTheFailedLoad) {
  RecordingUi ui;
  AppDirs dirs;
  dirs.WriteSettings();
  Settings settings;
  InMemoryIndex index;
  norvel::RunStartUp(dirs.app(), &settings, &index, nullptr);
  EXPECT_EQ(settings.index_dir, dirs.index());
  EXPECT_FALSE(index.loaded());
  EXPECT_NE(ReadBytes(platform::JoinPath(dirs.app(), "norvel_log.txt"))
                .find("readIndexIntoMem():Cannot read stats."),
            std::string::npos);
}

TEST(StartUp, LoadsTheIndexAndRecordsItsTime) {
  RecordingUi ui;
  AppDirs dirs;
  dirs.WriteDocs(3);
  ASSERT_TRUE(dirs.Build());
  dirs.WriteSettings();
  Settings settings;
  InMemoryIndex index;
  norvel::RunStartUp(dirs.app(), &settings, &index, nullptr);
  ASSERT_TRUE(index.loaded());
  EXPECT_EQ(Count(index, dirs.index(), "alpha"), 3u);
  platform::FileStatus stats;
  ASSERT_TRUE(platform::GetFileStatus(dirs.IndexFile("_stats.dat"), &stats));
  EXPECT_EQ(index.stats_mtime, stats.mtime);
  // The marker is free again.
  EXPECT_TRUE(norvel::TryLockMarker(dirs.app()));
  norvel::UnlockMarker();
}

TEST(StartUp, WaitingNewIndexIsSwappedInFirst) {
  RecordingUi ui;
  AppDirs dirs;
  dirs.WriteDocs(3);
  ASSERT_TRUE(dirs.Build());
  dirs.WriteDocs(5, "beta");  // a later job's documents, built but not swapped
  ASSERT_TRUE(dirs.BuildNew());
  ASSERT_TRUE(norvel::NewIndexPending(dirs.index()));
  dirs.WriteSettings();
  Settings settings;
  InMemoryIndex index;
  norvel::RunStartUp(dirs.app(), &settings, &index, nullptr);
  ASSERT_TRUE(index.loaded());
  EXPECT_FALSE(norvel::NewIndexPending(dirs.index()));
  EXPECT_EQ(Count(index, dirs.index(), "beta"), 5u);
  EXPECT_EQ(Count(index, dirs.index(), "alpha"), 0u);
  platform::FileStatus stats;
  ASSERT_TRUE(platform::GetFileStatus(dirs.IndexFile("_stats.dat"), &stats));
  EXPECT_EQ(index.stats_mtime, stats.mtime);  // the new _stats.dat's time
}

TEST(StartUp, MarkerHeldElsewhereMeansNoIndex) {
  RecordingUi ui;
  AppDirs dirs;
  dirs.WriteDocs(2);
  ASSERT_TRUE(dirs.Build());
  dirs.WriteSettings();
  // The lock excludes every other descriptor, so holding it here stands for another
  // instance's running job.
  ASSERT_TRUE(norvel::TryLockMarker(dirs.app()));
  Settings settings;
  InMemoryIndex index;
  norvel::RunStartUp(dirs.app(), &settings, &index, nullptr);
  norvel::UnlockMarker();
  EXPECT_FALSE(index.loaded());
  EXPECT_TRUE(ui.boxes.empty());
}
