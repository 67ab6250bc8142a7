// Message composition rules and the log entry format.
#include "core/messages.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "recording_ui.h"

using norvel_test::ReadBytes;
using norvel_test::RecordingUi;
using norvel_test::ScratchDir;

TEST(ShowMessage, TableTextAndDetailRunTogether) {
  RecordingUi ui;
  norvel::ShowMessage(norvel::kError, 20, "Please check the logs.");
  norvel::ShowMessage(norvel::kInfo, 0, "Please try later.");
  norvel::ShowMessage(norvel::kInfo, 11, "");
  ASSERT_EQ(ui.boxes.size(), 3u);
  EXPECT_EQ(ui.boxes[0].text, "Export error.Please check the logs.");
  EXPECT_EQ(ui.boxes[0].caption, "Error");
  EXPECT_EQ(ui.boxes[1].text, "Indexing in progress.Please try later.");
  EXPECT_EQ(ui.boxes[1].caption, "Info");
  EXPECT_EQ(ui.boxes[2].text, "Property error.");
  EXPECT_EQ(ui.boxes[2].style, norvel::BoxStyle::kInfoOk);
  EXPECT_TRUE(ui.boxes[2].owned_by_main);
}

TEST(ShowMessage, TableIsStoredExactly) {
  EXPECT_STREQ(norvel::MessageTableText(6), "File rename error");
  EXPECT_STREQ(norvel::MessageTableText(7), "File creation error");
  EXPECT_STREQ(norvel::MessageTableText(13), "Thread Error.");
  EXPECT_STREQ(norvel::MessageTableText(21), "Index error.");
  EXPECT_EQ(norvel::MessageTableText(22), nullptr);
  EXPECT_EQ(norvel::MessageTableText(-1), nullptr);
}

TEST(ShowMessage, WrongMessageFormat) {
  RecordingUi ui;
  // "Index error." is 12 characters: 243 more make 255, the most a box holds.
  std::string fits(255 - 12, 'x');
  norvel::ShowMessage(norvel::kInfo, 21, fits.c_str());
  norvel::ShowMessage(norvel::kInfo, 21, (fits + "y").c_str());
  norvel::ShowMessage(2, 1, "");
  norvel::ShowMessage(0, 22, "");
  norvel::ShowMessage(0, -1, "");
  ASSERT_EQ(ui.boxes.size(), 5u);
  EXPECT_EQ(ui.boxes[0].text, "Index error." + fits);
  for (size_t i = 1; i < 5; ++i) {
    EXPECT_EQ(ui.boxes[i].text, "Wrong Message Format") << i;
    EXPECT_EQ(ui.boxes[i].caption, "Error") << i;
  }
}

TEST(SetStatusText, CutsAt255Characters) {
  RecordingUi ui;
  norvel::SetStatusText(std::string(300, 'a'));
  ASSERT_EQ(ui.status.size(), 1u);
  EXPECT_EQ(ui.status[0].size(), 255u);
}

TEST(WriteLog, EntriesBeginOnANewLineAndTheFileNeverEndsWithOne) {
  ScratchDir dir;
  norvel::SetLogDirectory(dir.path());
  EXPECT_EQ(norvel::WriteLog("doIndex():Nothing to index."), 0);
  EXPECT_EQ(norvel::WriteLog(""), 0);
  EXPECT_EQ(norvel::WriteLog("second"), 0);
  std::string log = ReadBytes(dir.File("norvel_log.txt"));
  std::regex entry(
      "\r\n\\[\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\\]doIndex\\(\\):Nothing to index\\."
      "\r\n\\[\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\\]"
      "\r\n\\[\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\\]second");
  EXPECT_TRUE(std::regex_match(log, entry)) << log;
  norvel::SetLogDirectory(dir.File("missing-dir"));
  EXPECT_EQ(norvel::WriteLog("lost"), -1);
  norvel::SetLogDirectory("");
}
