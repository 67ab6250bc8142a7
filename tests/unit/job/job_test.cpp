// The background job's sequence against the stand-in library and the real index build:
// its outcomes, its boxes and status texts, the progress timer, Cancel and the marker.
#include "job/job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ar_test_server.h"
#include "index/marker.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path.h"

namespace {

using norvel_test::ArTestServer;
using norvel_test::ScratchDir;
using Strings = std::vector<std::string>;

class RecordingJobWindow : public norvel::JobWindow {
 public:
  void StartProgressTimer() override { events.push_back("start timer"); }
  void StopProgressTimer() override { events.push_back("stop timer"); }
  Strings events;
};

const char kCases[] = R"(schema "Test:Cases"
field 1 char "Request ID" max=15
field 8 char "Short Description" max=128
entry
set 1 C1
set 8 "Printer jams on the second floor"
entry
set 1 C2
set 8 "Mail server refuses attachments"
)";

class JobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.AddServerLines("user Demo secret");
    server_.AddSchema("cases.schema", kCases);
    server_.AddSchema("other.schema",
                      "schema Other\nfield 1 char Id max=15\nfield 8 char Text max=40\n"
                      "entry\nset 1 O1\nset 8 \"Badge reader offline\"\n");
    norvel_test::WriteBytes(app_.File("xcludelist.ini"), "the and of\r\n");
    norvel::JobSettings& s = state_.settings;
    s.server = ArTestServer::kName;
    s.user = "Demo";
    s.password.Assign("secret");
    s.max_records = 100;
    s.query = "'1' != $NULL$";
    s.data_dir = server_.data_dir();
    s.index_dir = index_.path();
    s.app_dir = app_.path();
    ASSERT_TRUE(norvel::BeginIndexCommand(&state_, app_.path()));
  }
  void TearDown() override { norvel::UnlockMarker(); }

  bool MarkerHeld() {
    if (!norvel::TryLockMarker(app_.path())) return true;
    norvel::UnlockMarker();
    return false;
  }
  Strings NewIndexFiles() {
    Strings names;
    platform::ListDirectory(index_.path(), "_new*", &names);
    return names;
  }
  Strings BoxTexts() {
    Strings texts;
    for (const auto& box : ui_.boxes) texts.push_back(box.caption + ": " + box.text);
    return texts;
  }
  void AddDocuments(int n) {
    for (int i = 1; i <= n; ++i) {
      norvel_test::WriteBytes(server_.DataFile("doc" + std::to_string(i) + ".txt"),
                              "Document number " + std::to_string(i) + " about printers\r\n");
    }
  }

  ArTestServer server_;
  ScratchDir app_;
  ScratchDir index_;
  norvel_test::RecordingUi ui_;
  RecordingJobWindow window_;
  norvel::JobState state_;
};

TEST_F(JobTest, ASuccessfulJobLeavesANewIndexReadyAndTheMarkerHeld) {
  state_.settings.schemas = {"Test:Cases", "Other"};
  state_.progress.entries_listed = 100;  // what the dialog sets: max records
  EXPECT_EQ(norvel::IndexJob(&state_, &window_), 0);

  EXPECT_TRUE(state_.progress.index_ready);
  EXPECT_EQ(window_.events, (Strings{"start timer", "stop timer"}));
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(server_.DataFiles(), (Strings{"C1.txt", "C2.txt", "O1.txt"}));
  ASSERT_FALSE(ui_.status.empty());
  EXPECT_EQ(ui_.status.back(), norvel::ProgressText(state_.progress));
  EXPECT_EQ(ui_.status.back().rfind("Exported = 3/1 | Indexed = 3/1 | Saved = ", 0), 0u)
      << ui_.status.back();
  EXPECT_GT(state_.progress.words_saved, 0u);
  EXPECT_TRUE(platform::FileExists(platform::JoinPath(index_.path(), "_newstats.dat")));
  EXPECT_TRUE(MarkerHeld());
  EXPECT_TRUE(state_.settings.password.empty());
  EXPECT_TRUE(state_.settings.schemas.empty());

  // Cancel afterwards throws the new index away and frees the marker.
  bool waited = false;
  norvel::CancelJob(&state_, [&] { waited = true; });
  EXPECT_TRUE(waited);
  EXPECT_FALSE(state_.progress.index_ready);
  EXPECT_TRUE(NewIndexFiles().empty());
  EXPECT_FALSE(MarkerHeld());
}

TEST_F(JobTest, AFailedSchemaIsReportedAndTheIndexIsBuiltAnyway) {
  AddDocuments(2);
  state_.settings.schemas = {"No Such Schema", "Other"};
  norvel::IndexJob(&state_, &window_);
  EXPECT_EQ(BoxTexts(), Strings{"Error: Export error.Please check the logs."});
  EXPECT_TRUE(state_.progress.index_ready);
  EXPECT_EQ(state_.progress.files_indexed, 3u);
  EXPECT_EQ(server_.Log(), Strings{"Form does not exist on server : No Such Schema"});
}

// A "_new" file left by an earlier run that cannot be deleted (here a folder in its
// place) is logged; the job still exports before its build meets it.
TEST_F(JobTest, ALeftoverNewFileThatStaysDoesNotEndTheJobBeforeItsExport) {
  std::string in_the_way = platform::JoinPath(index_.path(), "_newndxfile.dat");
  ASSERT_TRUE(platform::MakeDirectory(in_the_way));
  norvel_test::WriteBytes(platform::JoinPath(in_the_way, "keep"), "x");
  state_.settings.schemas = {"Test:Cases"};
  norvel::IndexJob(&state_, &window_);
  EXPECT_EQ(server_.DataFiles(), (Strings{"C1.txt", "C2.txt"}));
  Strings log = server_.Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "doIndex():Cannot delete _newndxfile.dat."),
            log.end());
  EXPECT_EQ(window_.events, (Strings{"start timer", "stop timer"}));
}

TEST_F(JobTest, AFailedBuildEmptiesTheStatusAndReleasesTheMarker) {
  norvel::IndexJob(&state_, &window_);  // no schemas, no documents
  EXPECT_FALSE(state_.progress.index_ready);
  EXPECT_EQ(window_.events, (Strings{"start timer", "stop timer"}));
  EXPECT_EQ(ui_.status, Strings{""});
  EXPECT_EQ(BoxTexts(), Strings{"Error: Index error.Please check the logs."});
  EXPECT_FALSE(MarkerHeld());
  EXPECT_EQ(server_.Log(), Strings{"doIndex():Nothing to index."});
}

// A stopped build saves what it indexed so far; left on disk, it would be swapped in over
// the complete index at the next start and the other documents would be lost.
TEST_F(JobTest, AStoppedBuildLeavesNoNewIndexBehind) {
  AddDocuments(3);
  state_.progress.stop = true;
  norvel::IndexJob(&state_, &window_);
  EXPECT_EQ(state_.progress.files_indexed, 1u);
  EXPECT_TRUE(NewIndexFiles().empty());
  EXPECT_FALSE(state_.progress.index_ready);
  EXPECT_EQ(BoxTexts(), Strings{"Error: Index error.Please check the logs."});
  EXPECT_FALSE(MarkerHeld());
}

// The job's discard is the one of every path: the recorded word rules of the stopped
// build go with its other "_new" files.
TEST_F(JobTest, AStoppedBuildOfAnInternationalIndexLeavesNoNewFileBehind) {
  ASSERT_TRUE(norvel_test::WriteBytes(index_.File("_words.ini"), "words=international\r\n"));
  AddDocuments(3);
  state_.progress.stop = true;
  norvel::IndexJob(&state_, &window_);
  EXPECT_EQ(state_.progress.files_indexed, 1u);
  EXPECT_EQ(NewIndexFiles(), Strings{});
  EXPECT_FALSE(state_.progress.index_ready);
}

TEST_F(JobTest, CancelDuringTheExportStopsBeforeTheNextEntryAndBuildsNothing) {
  std::string schema = "schema Slow\nfield 1 char Id max=15\nfield 8 char Text max=40\n";
  for (int i = 1; i <= 5; ++i) schema += "entry\nset 1 S" + std::to_string(i) + "\nset 8 text\n";
  server_.AddSchema("slow.schema", schema);
  server_.AddServerLines("hold ARGetEntry entry=S2");
  state_.settings.schemas = {"Slow", "Other"};
  std::atomic<bool> ended{false};
  std::thread job([&] {
    norvel::IndexJob(&state_, &window_);
    ended = true;
  });
  std::string marker = platform::JoinPath(server_.folder(), "ARGetEntry.held");
  for (int i = 0; i < 60000 && !platform::FileExists(marker); ++i) {
    if (ended) break;  // the job ended early: it will not reach the hold
    platform::SleepMillis(10);
  }
  if (!platform::FileExists(marker)) {
    job.join();
    FAIL() << "the export never reached entry S2";
  }

  norvel::CancelJob(&state_, [&] {
    platform::RemoveFile(marker);
    job.join();
  });
  EXPECT_EQ(server_.DataFiles(), (Strings{"S1.txt", "S2.txt"}));
  // The next schema ends before its listing; the build stops after its first document.
  EXPECT_EQ(BoxTexts(), (Strings{"Error: Export error.Please check the logs.",
                                 "Error: Index error.Please check the logs."}));
  EXPECT_TRUE(NewIndexFiles().empty());
  EXPECT_FALSE(state_.progress.index_ready);
  EXPECT_FALSE(MarkerHeld());
  EXPECT_TRUE(state_.progress.stop);
}

TEST_F(JobTest, ADeclinedDirectoryEndsTheJobBeforeTheTimer) {
  state_.settings.data_dir = platform::JoinPath(server_.data_dir(), "missing");
  state_.settings.schemas = {"Other"};
  ui_.next_answer = norvel::BoxAnswer::kCancel;
  norvel::IndexJob(&state_, &window_);
  EXPECT_TRUE(window_.events.empty());
  EXPECT_EQ(BoxTexts(),
            Strings{"Info: " + state_.settings.data_dir + " doesn't exist. Create it ?"});
  EXPECT_FALSE(platform::IsDirectory(state_.settings.data_dir));
  EXPECT_FALSE(state_.progress.index_ready);
  EXPECT_FALSE(MarkerHeld());
  EXPECT_TRUE(state_.settings.password.empty());
  EXPECT_TRUE(state_.settings.schemas.empty());
}

// The check once left the current directory at the index directory, so relative data
// directories then named a different place for the export and the build.
TEST_F(JobTest, RelativeDirectoriesMeanTheSamePlaceThroughoutTheJob) {
  ScratchDir work;
  std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(work.path());
  state_.settings.data_dir = "data";
  state_.settings.index_dir = "index";
  state_.settings.schemas = {"Test:Cases"};
  norvel::IndexJob(&state_, &window_);
  std::filesystem::path after = std::filesystem::current_path();
  std::filesystem::current_path(before);

  EXPECT_EQ(after, std::filesystem::path(work.path()));
  EXPECT_EQ(ui_.boxes.size(), 2u);  // the two questions
  EXPECT_TRUE(platform::FileExists(work.File(platform::JoinPath("data", "C1.txt"))));
  EXPECT_TRUE(platform::FileExists(work.File(platform::JoinPath("index", "_newstats.dat"))));
  EXPECT_TRUE(state_.progress.index_ready);
  EXPECT_EQ(state_.progress.files_indexed, 2u);
}

TEST_F(JobTest, TheIndexCommandWhileTheMarkerIsHeld) {
  state_.progress.exported = 9;
  state_.progress.stop = true;
  EXPECT_FALSE(norvel::BeginIndexCommand(&state_, app_.path()));
  EXPECT_EQ(BoxTexts(), Strings{"Info: Indexing in progress.Please try later."});
  EXPECT_EQ(state_.progress.exported, 9u);  // nothing else happens

  // Cancel with no job ever started returns at once and frees the marker.
  norvel::CancelJob(&state_, nullptr);
  EXPECT_TRUE(norvel::BeginIndexCommand(&state_, app_.path()));
  EXPECT_EQ(state_.progress.exported, 0u);
  EXPECT_FALSE(state_.progress.stop);
}

TEST(ProgressTimer, PleaseWaitGrowsThenTheProgressShows) {
  norvel_test::RecordingUi ui;
  norvel::JobState state;
  state.wait_animation = 0;
  for (int tick = 0; tick < 15; ++tick) norvel::OnProgressTimer(&state);
  ASSERT_EQ(ui.status.size(), 15u);
  EXPECT_EQ(ui.status[0], "Pl");
  EXPECT_EQ(ui.status[1], "Ple");
  EXPECT_EQ(ui.status[12], "Please wait...");
  EXPECT_EQ(ui.status[13], "P");
  EXPECT_EQ(ui.status[14], "Pl");

  state.progress.exported = 3;
  state.progress.entries_listed = 5;
  state.progress.files_indexed = 120;
  state.progress.words_saved = 40;
  state.progress.distinct_words = 41;
  norvel::OnProgressTimer(&state);
  EXPECT_EQ(ui.status.back(), "Exported = 3/5 | Indexed = 120/5 | Saved = 40/41");
}

}  // namespace
