// The export dialog's decisions without its window: the fields it opens with, the field
// checks and their order, what Index hands to the job, and a job that cannot start.
#include "job/export_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "failing_new.h"
#include "recording_ui.h"

namespace {

using norvel::ExportDialogTexts;
using norvel::JobState;
using Strings = std::vector<std::string>;

ExportDialogTexts PassingTexts() {
  ExportDialogTexts t;
  t.server = "demo";
  t.user = "Demo";
  t.query = "'Status' = \"Open\"";
  t.max_records = "250";
  t.data_dir = "C:\\data";
  t.index_dir = "C:\\index";
  return t;
}

const char* FirstProblem(const ExportDialogTexts& texts, int* control = nullptr) {
  JobState state;
  norvel::CopyFieldsToJob(texts, "", &state.settings);
  norvel::FieldProblem problem = norvel::ValidateExportFields(state.settings);
  if (control) *control = problem.control;
  return problem ? problem.message : "";
}

TEST(ExportDialogFields, OpenWithTheSavedSettingsEverySavedSchemaSelected) {
  norvel::Settings read;
  read.server = "demo";
  read.user = "Demo";
  read.query = "'Status' = \"Open\"";
  read.max_records = -5;
  read.data_dir = "C:\\data";
  read.index_dir = "C:\\index";
  read.schema_names = {"HPD:Case", "KB:Known Issue"};
  ExportDialogTexts t = norvel::DialogTextsFromSettings(read, true);
  EXPECT_EQ(t.server, "demo");
  EXPECT_EQ(t.max_records, "-5");
  EXPECT_EQ(t.index_dir, "C:\\index");
  EXPECT_EQ(t.schemas, (Strings{"HPD:Case", "KB:Known Issue"}));
  EXPECT_EQ(t.selected, (std::vector<bool>{true, true}));

  // Settings that could not be read leave everything empty, whatever was read before the
  // failure, and the record count reads "0".
  ExportDialogTexts empty = norvel::DialogTextsFromSettings(read, false);
  EXPECT_EQ(empty.server, "");
  EXPECT_EQ(empty.data_dir, "");
  EXPECT_EQ(empty.max_records, "0");
  EXPECT_TRUE(empty.schemas.empty());
}

TEST(ExportDialogFields, MaxRecordsTextReadsAsADecimalNumber) {
  EXPECT_EQ(norvel::ReadMaxRecords("250"), 250);
  EXPECT_EQ(norvel::ReadMaxRecords("-5"), -5);
  EXPECT_EQ(norvel::ReadMaxRecords(" 12abc"), 12);
  EXPECT_EQ(norvel::ReadMaxRecords("abc"), 0);
  EXPECT_EQ(norvel::ReadMaxRecords(""), 0);
  EXPECT_EQ(norvel::ReadMaxRecords("99999999999"), INT32_MAX);
}

TEST(ExportDialogFields, FieldsAreCutToWhatTheirSettingsHold) {
  ExportDialogTexts t = PassingTexts();
  t.server = std::string(600, 's');
  t.query = std::string(1100, 'q');
  t.data_dir = std::string(300, 'd');
  t.index_dir = std::string(300, 'i');
  JobState state;
  norvel::CopyFieldsToJob(t, "secret", &state.settings);
  EXPECT_EQ(state.settings.server, std::string(511, 's'));
  EXPECT_EQ(state.settings.query, std::string(1023, 'q'));
  EXPECT_EQ(state.settings.data_dir, std::string(259, 'd'));
  EXPECT_EQ(state.settings.index_dir, std::string(259, 'i'));
  EXPECT_EQ(state.settings.password.str(), "secret");
  EXPECT_EQ(state.settings.max_records, 250);
}

TEST(ExportDialogFields, ChecksReportOnlyTheFirstFaultInTheirOrder) {
  int control = 0;
  EXPECT_STREQ(FirstProblem(ExportDialogTexts{}, &control), "Invalid Server Name.");
  EXPECT_EQ(control, norvel::kServerEditId);

  ExportDialogTexts t = PassingTexts();
  t.user.clear();
  t.query.clear();
  EXPECT_STREQ(FirstProblem(t, &control), "Invalid User Id.");
  EXPECT_EQ(control, norvel::kUserEditId);
  t.user = "Demo";
  EXPECT_STREQ(FirstProblem(t, &control), "Invalid Query.");
  EXPECT_EQ(control, norvel::kQueryEditId);

  t = PassingTexts();
  t.max_records = "no digits";
  t.data_dir.clear();
  EXPECT_STREQ(FirstProblem(t, &control), "Invalid Max records.");
  EXPECT_EQ(control, norvel::kMaxRecordsEditId);
  t.max_records = "-5";  // any value other than 0 passes
  EXPECT_STREQ(FirstProblem(t, &control), "Invalid Data Dir.");
  EXPECT_EQ(control, norvel::kDataDirEditId);

  t = PassingTexts();
  t.index_dir.clear();
  EXPECT_STREQ(FirstProblem(t, &control), "Invalid Index Dir.");
  EXPECT_EQ(control, norvel::kIndexDirEditId);

  // The password is not examined.
  EXPECT_STREQ(FirstProblem(PassingTexts(), &control), "");
  EXPECT_EQ(control, 0);
}

class StartingTheJob : public ::testing::Test {
 protected:
  void SetUp() override {
    ExportDialogTexts t = PassingTexts();
    t.max_records = "-5";
    norvel::CopyFieldsToJob(t, "secret", &state_.settings);
  }
  norvel_test::RecordingUi ui_;
  JobState state_;
  Strings items_ = {"HPD:Case", "CHG:Change Request", "KB:Known Issue"};
};

TEST_F(StartingTheJob, SelectedSchemasGoToTheJobInListOrder) {
  int starts = 0;
  ASSERT_TRUE(norvel::StartExportJob(items_, {2, 0}, &state_, [&] { return ++starts, true; }));
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(state_.settings.schemas, (Strings{"HPD:Case", "KB:Known Issue"}));
  // A negative count reaches the listing as its unsigned equivalent.
  EXPECT_EQ(state_.progress.entries_listed.load(), 4294967291u);
  EXPECT_EQ(state_.settings.password.str(), "secret");
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(StartingTheJob, WithNothingSelectedTheJobStillStarts) {
  ASSERT_TRUE(norvel::StartExportJob(items_, {}, &state_, [] { return true; }));
  EXPECT_TRUE(state_.settings.schemas.empty());
}

// No thread will ever clear the password or release the schemas of a job that did not
// start, so the dialog does it.
TEST_F(StartingTheJob, AThreadThatCannotStartDropsThePasswordAndSaysSo) {
  EXPECT_FALSE(norvel::StartExportJob(items_, {0, 1}, &state_, [] { return false; }));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].caption, "Info");
  EXPECT_EQ(ui_.boxes[0].text, "Thread Error.doExportData():Create failure.");
  EXPECT_TRUE(state_.settings.password.empty());
  EXPECT_TRUE(state_.settings.schemas.empty());
}

TEST_F(StartingTheJob, MemoryRunningOutWhileCollectingStartsNoJob) {
  bool started = false;
  auto start = [&] { return started = true; };
  norvel_test::FailNextAllocationOf(3 * sizeof(std::string));
  EXPECT_FALSE(norvel::StartExportJob(items_, {0, 1, 2}, &state_, start));
  ASSERT_TRUE(norvel_test::ArmedAllocationFailed());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "Malloc failure.doExportData():List Box Items");

  const std::string long_name(40, 'n');  // beyond the short-string buffer
  items_.push_back(long_name);
  norvel::CopyFieldsToJob(PassingTexts(), "secret", &state_.settings);
  norvel_test::FailNextAllocationOf(long_name.size() + 1);
  EXPECT_FALSE(norvel::StartExportJob(items_, {3}, &state_, start));
  ASSERT_TRUE(norvel_test::ArmedAllocationFailed());
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[1].text, "Malloc failure.doExportData():List Box Item string.");
  EXPECT_FALSE(started);
  EXPECT_TRUE(state_.settings.password.empty());
  EXPECT_TRUE(state_.settings.schemas.empty());
}

}  // namespace
