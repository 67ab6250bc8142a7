// The entry files of an export, byte for byte, against the stand-in library.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "ar_test_server.h"
#include "core/job_progress.h"
#include "export/ar_connection.h"
#include "platform/file.h"

namespace {

using norvel_test::ArTestServer;
using norvel_test::ReadBytes;

const char kCases[] = R"(schema "Test:Cases"
field 8 char "Short Description" max=128
field 1 char "Request ID" max=15
field 3 time "Create Date"
field 7 enum "Status" values="New;Assigned;Closed"
field 536870913 real "Cost Estimate"
field 536870914 char "Owner Group/Team Name" max=60
field 536870915 char "Notes" max=0
field 536870916 diary "Work Log"
field 536870917 integer "Reopen Count"
field 536870918 decimal "Hours"
field 536870919 keyword "Keyword"
field 536870920 bitmask "Flags"
field 536870921 date "Due Day"
field 536870922 ulong "Counter"
field 536870923 attach "Screenshot"
field 536870924 currency "Charge"

entry
set 1 TC001
set 8 ""
set 3 1165000000
set 7 Assigned
set 536870913 2.5
set 536870914 "Desk Side"
set 536870915 "Unlimited text is never listed"
diary 536870916 1165000100 jsmith "Called the user."

entry
set 1 TC002
set 8 "Mail server down"
set 7 Closed
set 536870917 -3
set 536870918 "12.75"
set 536870919 4000000000
set 536870920 -2
set 536870921 733000
set 536870922 4294967295
)";

int Export(ArTestServer& server, const std::string& schema, int max_records,
           const std::string& query, norvel::JobProgress* progress) {
  return norvel::ExportData(ArTestServer::kName, "Demo", "secret", schema, max_records, query,
                            server.data_dir(), progress);
}

class EntryFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { server_.AddServerLines("user Demo secret"); }
  ArTestServer server_;
  norvel::JobProgress progress_;
};

TEST_F(EntryFilesTest, FieldBlocksByTypeInFieldIdOrder) {
  server_.AddSchema("cases.schema", kCases);
  ASSERT_EQ(Export(server_, "Test:Cases", 100, "", &progress_), 0);

  // Empty character value: label line and three blanks; real with six decimals; blanks and
  // slash of a name become underscores; the unlimited character field, the diary, the
  // attachment and fields without a value leave no block.
  EXPECT_EQ(ReadBytes(server_.DataFile("TC001.txt")),
            "<<Request_ID>>\r\n   TC001\r\n"
            "<<Create_Date>>\r\n   1165000000\r\n"
            "<<Status>>\r\n   1\r\n"
            "<<Short_Description>>\r\n   \r\n"
            "<<Cost_Estimate>>\r\n   2.500000\r\n"
            "<<Owner_Group_Team_Name>>\r\n   Desk Side\r\n");
  // Integer, bitmask and date signed; keyword, selection and unsigned long unsigned.
  EXPECT_EQ(ReadBytes(server_.DataFile("TC002.txt")),
            "<<Request_ID>>\r\n   TC002\r\n"
            "<<Status>>\r\n   2\r\n"
            "<<Short_Description>>\r\n   Mail server down\r\n"
            "<<Reopen_Count>>\r\n   -3\r\n"
            "<<Hours>>\r\n   12.75\r\n"
            "<<Keyword>>\r\n   4000000000\r\n"
            "<<Flags>>\r\n   -2\r\n"
            "<<Due_Day>>\r\n   733000\r\n"
            "<<Counter>>\r\n   4294967295\r\n");
  EXPECT_EQ(progress_.exported, 2u);
  EXPECT_EQ(progress_.entries_listed, 2u);
  EXPECT_TRUE(server_.Log().empty());
}

TEST_F(EntryFilesTest, DiaryFieldTenComesFirstThenTheWaitingRequestId) {
  server_.AddSchema("known.schema", R"(schema "Test:Known Issue"
field 1 char "Request ID" max=15
field 8 char "Short Description" max=128
field 10 diary "Workaround History"
entry
set 1 KI001
set 8 "VPN drops every hour"
diary 10 1165000000 jsmith "Renew the lease.\n"
diary 10 1165003600 akhan "Fixed in client 4.2"
)");
  ASSERT_EQ(Export(server_, "Test:Known Issue", 10, "", &progress_), 0);
  // The item text is written as stored: no line feed is added after the last one.
  EXPECT_EQ(ReadBytes(server_.DataFile("KI001.txt")),
            "<<Workaround_History>>\r\n   1165000000, jsmith\r\nRenew the lease.\r\n"
            "1165003600, akhan\r\nFixed in client 4.2"
            "<<Request_ID>>\r\n   KI001\r\n"
            "<<Short_Description>>\r\n   VPN drops every hour\r\n");
}

TEST_F(EntryFilesTest, CharacterFieldTenFollowsFieldOneAndKeepsItsOwnPlace) {
  server_.AddSchema("chg.schema", R"(schema "Test:Change"
field 1 char "Request ID" max=15
field 2 char "Submitter" max=30
field 10 char "Summary" max=80
entry
set 1 CR001
set 2 mlopez
set 10 "Swap core switch"
)");
  ASSERT_EQ(Export(server_, "Test:Change", 10, "", &progress_), 0);
  EXPECT_EQ(ReadBytes(server_.DataFile("CR001.txt")),
            "<<Request_ID>>\r\n   CR001\r\n"
            "<<Summary>>\r\n   Swap core switch\r\n"
            "<<Submitter>>\r\n   mlopez\r\n"
            "<<Summary>>\r\n   Swap core switch\r\n");
}

TEST_F(EntryFilesTest, PendingTextReachesTheFileInBatchesOfAtMost1024Bytes) {
  // Two 600-byte blocks cannot wait together: the first is written when the second comes,
  // and the order of the blocks is kept.
  std::string a(585, 'a'), b(585, 'b');
  server_.AddSchema("long.schema",
                    "schema Long\nfield 1 char Id max=15\n"
                    "field 2 char A max=1000\nfield 3 char B max=1000\n"
                    "entry\nset 1 L1\nset 2 " +
                        a + "\nset 3 " + b + "\n");
  ASSERT_EQ(Export(server_, "Long", 10, "", &progress_), 0);
  EXPECT_EQ(ReadBytes(server_.DataFile("L1.txt")),
            "<<Id>>\r\n   L1\r\n<<A>>\r\n   " + a + "\r\n<<B>>\r\n   " + b + "\r\n");
}

TEST_F(EntryFilesTest, MaxRecordsLimitsTheListing) {
  std::string schema =
      "schema Many\nfield 1 char Id max=15\nfield 7 enum Status values=Open;Closed\n";
  for (int i = 1; i <= 14; ++i) {
    schema += "entry\nset 1 M" + std::to_string(100 + i) + "\nset 7 " +
              (i <= 12 ? "Open" : "Closed") + "\n";
  }
  server_.AddSchema("many.schema", schema);
  ASSERT_EQ(Export(server_, "Many", 5, "'Status' = \"Open\"", &progress_), 0);
  EXPECT_EQ(server_.DataFiles(),
            (std::vector<std::string>{"M101.txt", "M102.txt", "M103.txt", "M104.txt", "M105.txt"}));
  EXPECT_EQ(progress_.entries_listed, 5u);
  EXPECT_EQ(progress_.exported, 5u);
}

TEST_F(EntryFilesTest, EntriesListedKeepsItsValueWhenAListingIsEmpty) {
  server_.AddSchema("cases.schema", kCases);
  progress_.entries_listed = 77;
  ASSERT_EQ(Export(server_, "Test:Cases", 10, "'Status' = \"New\"", &progress_), 0);
  EXPECT_EQ(progress_.entries_listed, 77u);
  EXPECT_TRUE(server_.DataFiles().empty());
}

TEST_F(EntryFilesTest, ARepeatedRequestIdOverwritesTheFile) {
  server_.AddSchema("dup.schema",
                    "schema Dup\nfield 1 char Id max=15\nfield 8 char Text max=50\n"
                    "entry\nset 1 D1\nset 8 first\n"
                    "entry\nset 1 D1\nset 8 second\n");
  norvel_test::WriteBytes(server_.DataFile("D1.txt"), "an older, longer file from before");
  ASSERT_EQ(Export(server_, "Dup", 10, "", &progress_), 0);
  EXPECT_EQ(ReadBytes(server_.DataFile("D1.txt")), "<<Id>>\r\n   D1\r\n<<Text>>\r\n   second\r\n");
  EXPECT_EQ(progress_.exported, 2u);
}

TEST_F(EntryFilesTest, CancelStopsBeforeTheNextEntryAndKeepsTheWrittenFiles) {
  std::string schema = "schema Slow\nfield 1 char Id max=15\n";
  for (int i = 1; i <= 6; ++i) schema += "entry\nset 1 S" + std::to_string(i) + "\n";
  server_.AddSchema("slow.schema", schema);
  server_.AddServerLines("hold ARGetEntry entry=S3");
  int result = -2;
  std::thread job([&] { result = Export(server_, "Slow", 100, "", &progress_); });
  // The library waits inside entry S3 until its marker is removed.
  std::string marker = server_.folder() + platform::kPathSep + "ARGetEntry.held";
  for (int i = 0; i < 60000 && !platform::FileExists(marker); ++i) platform::SleepMillis(10);
  ASSERT_TRUE(platform::FileExists(marker));
  progress_.stop = true;
  platform::RemoveFile(marker);
  job.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(server_.DataFiles(), (std::vector<std::string>{"S1.txt", "S2.txt", "S3.txt"}));
  EXPECT_EQ(progress_.exported, 3u);
  EXPECT_EQ(progress_.entries_listed, 6u);

  // The next schema of the job fetches its definitions and ends before its listing.
  EXPECT_EQ(Export(server_, "Slow", 100, "", &progress_), -1);
  EXPECT_EQ(progress_.exported, 3u);
  EXPECT_TRUE(server_.Log().empty());
}

TEST_F(EntryFilesTest, FieldFifteenAsCharacterIsNeverWritten) {
  server_.AddSchema("hist.schema", R"(schema Hist
field 1 char Id max=15
field 15 char "Status History" max=255
entry
set 1 H1
set 15 "New 1165000000 jsmith"
)");
  ASSERT_EQ(Export(server_, "Hist", 10, "", &progress_), 0);
  // The last value writes out what waits even though it has no block of its own.
  EXPECT_EQ(ReadBytes(server_.DataFile("H1.txt")), "<<Id>>\r\n   H1\r\n");
}

// A value the server returns as a diary for a field defined otherwise, as the entry's last
// value, used to leave the entry's waiting blocks to the next entry's file.
TEST_F(EntryFilesTest, BlocksOfAnEntryNeverMoveIntoTheNextEntrysFile) {
  server_.AddSchema("odd.schema", R"(schema Odd
field 1 char Id max=15
field 8 char Text max=50
field 9 char Log max=200
entry
set 1 O1
set 8 "first entry"
raw 9 diary "1165000000\x04jsmith\x04note"
entry
set 1 O2
set 8 "second entry"
)");
  ASSERT_EQ(Export(server_, "Odd", 10, "", &progress_), 0);
  EXPECT_EQ(ReadBytes(server_.DataFile("O1.txt")),
            "<<Log>>\r\n   1165000000, jsmith\r\nnote"
            "<<Id>>\r\n   O1\r\n<<Text>>\r\n   first entry\r\n");
  EXPECT_EQ(ReadBytes(server_.DataFile("O2.txt")),
            "<<Id>>\r\n   O2\r\n<<Text>>\r\n   second entry\r\n");
}

TEST_F(EntryFilesTest, QualificationSelectsTheEntries) {
  server_.AddSchema("cases.schema", kCases);
  ASSERT_EQ(Export(server_, "Test:Cases", 10,
                   "('Short Description' LIKE \"%server%\" OR 'Reopen Count' < 0) AND "
                   "NOT 'Status' = \"New\"",
                   &progress_),
            0);
  EXPECT_EQ(server_.DataFiles(), std::vector<std::string>{"TC002.txt"});
}

}  // namespace
