// The job's directory check: existing directories, the question, creation level by level,
// refusals, and drive letters on Windows.
#include <gtest/gtest.h>

#include <string>

#include "job/job.h"
#include "platform/file.h"
#include "platform/path.h"
#include "recording_ui.h"

namespace {

using norvel_test::RecordingUi;
using norvel_test::ScratchDir;

TEST(CheckDirectory, AnExistingDirectoryAsksNothing) {
  RecordingUi ui;
  ScratchDir dir;
  EXPECT_TRUE(norvel::CheckDirectory(dir.path()));
  EXPECT_TRUE(norvel::CheckDirectory(dir.path() + platform::kPathSep));
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(CheckDirectory, AMissingDirectoryIsCreatedLevelByLevelAfterOk) {
  RecordingUi ui;
  ScratchDir dir;
  std::string path = platform::JoinPath(platform::JoinPath(dir.path(), "docs"), "new");
  EXPECT_TRUE(norvel::CheckDirectory(path));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, path + " doesn't exist. Create it ?");
  EXPECT_EQ(ui.boxes[0].caption, "Info");
  EXPECT_EQ(ui.boxes[0].style, norvel::BoxStyle::kPlainOkCancel);
  EXPECT_TRUE(ui.boxes[0].owned_by_main);
  EXPECT_TRUE(platform::IsDirectory(path));
}

TEST(CheckDirectory, CancelCreatesNothing) {
  RecordingUi ui;
  ui.next_answer = norvel::BoxAnswer::kCancel;
  ScratchDir dir;
  std::string path = dir.File("new");
  EXPECT_FALSE(norvel::CheckDirectory(path));
  EXPECT_FALSE(platform::IsDirectory(path));
  EXPECT_FALSE(norvel::CheckJobDirectories(path, dir.File("index")));
  EXPECT_EQ(ui.boxes.size(), 2u);  // the index directory is not asked about
  EXPECT_FALSE(platform::IsDirectory(dir.File("index")));
}

TEST(CheckDirectory, ALevelThatCannotBeCreatedShowsTheSystemError) {
  RecordingUi ui;
  ScratchDir dir;
  norvel_test::WriteBytes(dir.File("file.txt"), "not a folder");
  EXPECT_FALSE(norvel::CheckDirectory(platform::JoinPath(dir.File("file.txt"), "sub")));
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[1].caption, "Error");
  EXPECT_FALSE(ui.boxes[1].owned_by_main);
  EXPECT_FALSE(ui.boxes[1].text.empty());
}

TEST(CheckDirectory, DoubledSeparatorsAreSkipped) {
  RecordingUi ui;
  ScratchDir dir;
  std::string sep(1, platform::kPathSep);
  std::string path = dir.path() + sep + sep + "a" + sep + sep + "b" + sep;
  EXPECT_TRUE(norvel::CheckDirectory(path));
  EXPECT_TRUE(platform::IsDirectory(platform::JoinPath(dir.File("a"), "b")));
}

#ifdef _WIN32
TEST(CheckDirectory, ADriveThatDoesNotExist) {
  RecordingUi ui;
  EXPECT_FALSE(norvel::CheckDirectory("Q:\\docs\\new"));
  EXPECT_FALSE(norvel::CheckDirectory("1:\\docs"));
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, "Illegal drive letter");
  EXPECT_EQ(ui.boxes[0].caption, "Error");
  EXPECT_EQ(ui.boxes[0].style, norvel::BoxStyle::kInfoOk);
}
#endif

}  // namespace
