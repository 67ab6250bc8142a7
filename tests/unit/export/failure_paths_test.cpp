// Every failure path of the connection, the schema list and the entry export, with the
// line each writes to the log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ar_test_server.h"
#include "core/job_progress.h"
#include "export/ar_connection.h"
#include "failing_new.h"
#include "platform/path.h"

namespace {

using norvel_test::ArTestServer;
using norvel_test::ReadBytes;
using Lines = std::vector<std::string>;

const char kSchema[] = R"(schema "Test:Cases"
field 1 char "Request ID" max=15
field 8 char "Short Description" max=128
field 10 diary "Work Log"
entry
set 1 C1
set 8 "Printer jams"
diary 10 1165000000 jsmith "Cleared the tray."
entry
set 1 C2
set 8 "No dial tone"
)";

class FailurePathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.AddServerLines("user Demo secret");
    server_.AddSchema("cases.schema", kSchema);
    server_.AddSchema("other.schema", "schema Other\nfield 1 char Id max=15\n");
  }
  int Schemas(std::vector<std::string>* names, const std::string& password = "secret") {
    return norvel::GetSchema(ArTestServer::kName, "Demo", password, names);
  }
  int Export(const std::string& query = "", const std::string& schema = "Test:Cases") {
    return ExportInto(server_.data_dir(), query, schema);
  }
  int ExportInto(const std::string& data_dir, const std::string& query = "",
                 const std::string& schema = "Test:Cases") {
    return norvel::ExportData(ArTestServer::kName, "Demo", "secret", schema, 100, query, data_dir,
                              &progress_, &tally_);
  }
  ArTestServer server_;
  norvel::JobProgress progress_;
  norvel::ExportTally tally_;
};

TEST_F(FailurePathsTest, GetSchemaListsTheNamesInServerOrder) {
  std::vector<std::string> names;
  EXPECT_EQ(Schemas(&names), 2);
  EXPECT_EQ(names, (Lines{"Test:Cases", "Other"}));
  EXPECT_TRUE(server_.Log().empty());
}

TEST_F(FailurePathsTest, ConnectionFrameLogLines) {
  struct Case {
    const char* lacking;
    Lines get_schema_log;
    Lines export_log;
  } cases[] = {
      {"ARInitialization",
       {"GetSchema():No Proc:ARInitialization"},
       {"ExportData():No Proc:ARInitialization"}},
      {"FreeARStatusList",
       {"GetSchema():No Proc:FreeARStatusList"},
       {"ExportData():No Proc:FreeARStatusList"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lacking);
    ArTestServer server;
    server.AddSchema("cases.schema", kSchema);
    server.UseLibraryLacking(c.lacking);
    std::vector<std::string> names{"kept"};
    EXPECT_EQ(norvel::GetSchema(ArTestServer::kName, "u", "p", &names), -1);
    EXPECT_EQ(names, Lines{"kept"});
    EXPECT_EQ(norvel::ExportData(ArTestServer::kName, "u", "p", "Test:Cases", 10, "",
                                 server.data_dir(), nullptr),
              -1);
    Lines expected = c.get_schema_log;
    expected.insert(expected.end(), c.export_log.begin(), c.export_log.end());
    EXPECT_EQ(server.Log(), expected);
    EXPECT_TRUE(server.DataFiles().empty());
  }
}

TEST_F(FailurePathsTest, MissingLibrary) {
  norvel::SetArLibraryPath(platform::JoinPath(server_.folder(), "no-such-library"));
  std::vector<std::string> names;
  EXPECT_EQ(Schemas(&names), -1);
  EXPECT_EQ(Export(), -1);
  EXPECT_EQ(server_.Log(), (Lines{"GetSchema():Dll error.", "ExportData():Dll error."}));
}

TEST_F(FailurePathsTest, FailedInitializationLogsTheServerReasonAndTheStep) {
  server_.AddServerLines("fail ARInitialization text=\"License expired\"");
  std::vector<std::string> names;
  EXPECT_EQ(Schemas(&names), -1);
  EXPECT_EQ(Export(), -1);
  EXPECT_EQ(server_.Log(), (Lines{"License expired", "GetSchema():Error initializing AR",
                                  "License expired", "ExportData():Error initializing AR"}));
}

TEST_F(FailurePathsTest, UnknownServer) {
  std::vector<std::string> names;
  EXPECT_EQ(norvel::GetSchema("nowhere", "Demo", "secret", &names), -1);
  EXPECT_EQ(server_.Log(),
            (Lines{"Cannot establish a network connection to the AR System server : nowhere",
                   "GetSchema():Error initializing AR"}));
}

TEST_F(FailurePathsTest, WrongPasswordFailsTheFirstServerCallWithTheServersText) {
  std::vector<std::string> names;
  EXPECT_EQ(Schemas(&names, "wrong"), -1);
  EXPECT_EQ(norvel::ExportData(ArTestServer::kName, "Demo", "wrong", "Test:Cases", 10, "",
                               server_.data_dir(), &progress_),
            -1);
  EXPECT_EQ(server_.Log(), (Lines{"Authentication failed : Demo", "Authentication failed : Demo"}));
}

TEST_F(FailurePathsTest, MissingTerminationKeepsTheResult) {
  server_.UseLibraryLacking("ARTermination");
  std::vector<std::string> names;
  EXPECT_EQ(Schemas(&names), 2);
  EXPECT_EQ(Export(), 0);
  EXPECT_EQ(server_.DataFiles(), (Lines{"C1.txt", "C2.txt"}));
  EXPECT_EQ(server_.Log(),
            (Lines{"GetSchema():No Proc:ARTermination", "ExportData():No Proc:ARTermination"}));
}

TEST_F(FailurePathsTest, SchemaListFailures) {
  std::vector<std::string> names{"kept"};
  {
    ArTestServer server;
    server.UseLibraryLacking("ARGetListSchema");
    EXPECT_EQ(norvel::GetSchema(ArTestServer::kName, "u", "p", &names), -1);
    EXPECT_EQ(server.Log(), Lines{"APIARGetListSchema():No Proc:ARGetListSchema"});
  }
  {
    ArTestServer server;
    server.AddServerLines("fail ARGetListSchema text=\"Server is shutting down\"");
    EXPECT_EQ(norvel::GetSchema(ArTestServer::kName, "u", "p", &names), -1);
    EXPECT_EQ(server.Log(), Lines{"Server is shutting down"});
  }
  {
    ArTestServer server;  // a server without schemas
    EXPECT_EQ(norvel::GetSchema(ArTestServer::kName, "u", "p", &names), 0);
    EXPECT_TRUE(server.Log().empty());
  }
  {
    ArTestServer server;  // names are released silently without FreeARNameList
    norvel_test::LeaksExpected the_names_stay_with_the_library;
    server.AddSchema("a.schema", "schema A\n");
    server.UseLibraryLacking("FreeARNameList");
    EXPECT_EQ(norvel::GetSchema(ArTestServer::kName, "u", "p", &names), 1);
    EXPECT_TRUE(server.Log().empty());
  }
  EXPECT_EQ(names, Lines{"A"});
}

TEST_F(FailurePathsTest, MissingFunctionsOfTheListing) {
  struct Case {
    const char* lacking;
    int result;
    Lines log;
    Lines files;
  } cases[] = {
      {"ARGetMultipleFields", -1, {"APIARGetMultipleFields():No Proc:ARGetField"}, {}},
      {"ARLoadARQualifierStruct",
       -1,
       {"APIARGetListEntryWithFields():No Proc:ProcARLoadARQualifierStruct"},
       {}},
      {"ARGetListEntryWithFields",
       -1,
       {"APIARGetListEntryWithFields():No Proc:ARGetListEntryWithFields"},
       {}},
      {"FreeARQualifierStruct",
       -1,
       {"APIARGetListEntryWithFields():No Proc:FreeARQualifierStruct"},
       {"C1.txt", "C2.txt"}},
      {"FreeARSortList",
       -1,
       {"APIARGetListEntryWithFields():No Proc:FreeARSortList"},
       {"C1.txt", "C2.txt"}},
      {"FreeAREntryListFieldValueList",
       -1,
       {"APIARGetListEntryWithFields():No Proc:FreeAREntryListFieldValueList"},
       {"C1.txt", "C2.txt"}},
      {"ARGetEntry",
       0,
       {"APIARGetEntry():No Proc:ARGetListSchema", "APIARGetEntry():No Proc:ARGetListSchema"},
       {"C1.txt", "C2.txt"}},
      {"FreeAREntryIdList",
       0,
       {"APIARGetEntry():No Proc:FreeAREntryIdList", "APIARGetEntry():No Proc:FreeAREntryIdList"},
       {"C1.txt", "C2.txt"}},
      {"ARDecodeDiary", 0, {"APIPrintDiary():No Proc:ARDecodeDiary"}, {"C1.txt", "C2.txt"}},
      {"FreeARDiaryList", 0, {"APIPrintDiary():No Proc:FreeARDiaryList"}, {"C1.txt", "C2.txt"}},
      // Release functions without a line of their own are skipped silently.
      {"FreeARFieldLimitList", 0, {}, {"C1.txt", "C2.txt"}},
      {"FreeARFieldValueList", 0, {}, {"C1.txt", "C2.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lacking);
    ArTestServer server;
    server.AddSchema("cases.schema", kSchema);
    server.UseLibraryLacking(c.lacking);
    norvel_test::LeaksExpected what_cannot_be_released_stays;
    EXPECT_EQ(norvel::ExportData(ArTestServer::kName, "u", "p", "Test:Cases", 100, "",
                                 server.data_dir(), nullptr),
              c.result);
    EXPECT_EQ(server.Log(), c.log);
    EXPECT_EQ(server.DataFiles(), c.files);
  }
}

TEST_F(FailurePathsTest, WithoutDiaryDecodingTheFileLacksOnlyTheDiaryBlock) {
  server_.UseLibraryLacking("ARDecodeDiary");
  ASSERT_EQ(Export(), 0);
  EXPECT_EQ(ReadBytes(server_.DataFile("C1.txt")),
            "<<Request_ID>>\r\n   C1\r\n<<Short_Description>>\r\n   Printer jams\r\n");
}

TEST_F(FailurePathsTest, ServerRefusals) {
  {
    ArTestServer server;
    server.AddSchema("cases.schema", kSchema);
    server.AddServerLines("fail ARGetMultipleFields text=\"Form is being restructured\"");
    EXPECT_EQ(norvel::ExportData(ArTestServer::kName, "u", "p", "Test:Cases", 100, "",
                                 server.data_dir(), nullptr),
              -1);
    EXPECT_EQ(server.Log(), Lines{"Form is being restructured"});
  }
  {
    // A refused listing is logged and still counts as made.
    ArTestServer server;
    server.AddSchema("cases.schema", kSchema);
    server.AddServerLines(
        "fail ARGetListEntryWithFields number=93 text=\"Timeout during database query\"");
    EXPECT_EQ(norvel::ExportData(ArTestServer::kName, "u", "p", "Test:Cases", 100, "",
                                 server.data_dir(), nullptr),
              0);
    EXPECT_EQ(server.Log(), Lines{"Timeout during database query"});
    EXPECT_TRUE(server.DataFiles().empty());
  }
  {
    // A warning is a success.
    ArTestServer server;
    server.AddSchema("cases.schema", kSchema);
    server.AddServerLines("fail ARGetListEntryWithFields type=1 text=\"Busy\"");
    EXPECT_EQ(norvel::ExportData(ArTestServer::kName, "u", "p", "Test:Cases", 100, "",
                                 server.data_dir(), nullptr),
              0);
    EXPECT_TRUE(server.Log().empty());
    EXPECT_EQ(server.DataFiles(), (Lines{"C1.txt", "C2.txt"}));
  }
  {
    // Failing single-entry and diary calls leave their blocks out, silently.
    ArTestServer server;
    server.AddSchema("cases.schema", kSchema);
    server.AddServerLines("fail ARGetEntry\nfail ARDecodeDiary");
    EXPECT_EQ(norvel::ExportData(ArTestServer::kName, "u", "p", "Test:Cases", 100, "",
                                 server.data_dir(), nullptr),
              0);
    EXPECT_TRUE(server.Log().empty());
    EXPECT_EQ(ReadBytes(server.DataFile("C1.txt")),
              "<<Request_ID>>\r\n   C1\r\n<<Short_Description>>\r\n   Printer jams\r\n");
  }
}

TEST_F(FailurePathsTest, AFailedQualificationIsLoggedAndTheListingSkipped) {
  EXPECT_EQ(Export("'Short Description' LIKE"), -1);
  EXPECT_EQ(Export("'No Such Field' = 1"), -1);
  EXPECT_EQ(server_.Log(), (Lines{"Expected a field or a value at position 25 of the qualification",
                                  "Field does not exist on current form : No Such Field"}));
  EXPECT_TRUE(server_.DataFiles().empty());
  EXPECT_EQ(progress_.exported, 0u);
}

// Such an entry once ended the export of the whole listing; later it failed the export.
// It has no file to be written: it is logged and skipped, and the export goes on and
// succeeds.
TEST_F(FailurePathsTest, AnEntryWithoutRequestIdIsSkippedAndTheListingGoesOn) {
  server_.AddSchema("cases.schema", R"(schema "Test:Cases"
field 1 char "Request ID" max=15
field 8 char "Short Description" max=128
entry
set 1 N1
entry
set 8 "no request id"
entry
set 1 N3
)");
  EXPECT_EQ(Export(), 0);
  EXPECT_EQ(server_.Log(), (Lines{"GetEntryId():Error generating file name"}));
  EXPECT_EQ(server_.DataFiles(), (Lines{"N1.txt", "N3.txt"}));
  EXPECT_EQ(progress_.exported, 3u);  // counted before the name is formed
  EXPECT_EQ(tally_.written, 2u);
  EXPECT_EQ(tally_.not_written, 0u);
  EXPECT_EQ(tally_.without_id, 1u);
}

TEST_F(FailurePathsTest, AnEntryFileThatCannotBeCreatedIsLoggedAndSkipped) {
  // A folder in the way of C1.txt.
  ASSERT_TRUE(platform::MakeDirectory(server_.DataFile("C1.txt")));
  EXPECT_EQ(Export(), -1);
  EXPECT_EQ(server_.Log(), (Lines{"ExportEntries():Cannot create " + server_.DataFile("C1.txt"),
                                  "ExportEntries():1 of 2 listed entries not written."}));
  EXPECT_EQ(server_.DataFiles(), Lines{"C2.txt"});
  EXPECT_EQ(progress_.exported, 2u);
  EXPECT_EQ(tally_.written, 1u);
  EXPECT_EQ(tally_.not_written, 1u);
}

// A data directory too long for any entry file name once wrote nothing and reported
// success.
TEST_F(FailurePathsTest, NoRoomForAnyFileNameIsAFailureOfEveryEntry) {
  std::string data_dir = platform::JoinPath(server_.data_dir(), std::string(250, 'd'));
  EXPECT_EQ(ExportInto(data_dir), -1);
  std::string line = "GetEntryId():No room for an entry file name in " + data_dir;
  EXPECT_EQ(server_.Log(),
            (Lines{line, line, "ExportEntries():2 of 2 listed entries not written."}));
  EXPECT_TRUE(server_.DataFiles().empty());
  EXPECT_EQ(tally_.written, 0u);
  EXPECT_EQ(tally_.not_written, 2u);
}

// With no definitions at all the label lookup once yielded position 0 of an empty list.
TEST_F(FailurePathsTest, NoFieldDefinitionsMeansNoLabelsNotAnInventedField) {
  server_.AddSchema("cases.schema", R"(schema "Test:Cases"
field 1 char "Request ID" max=15 hidden
field 10 char "Summary" max=80 hidden
entry
set 1 H1
set 10 "never labelled"
)");
  EXPECT_EQ(Export(), 0);
  EXPECT_EQ(server_.DataFiles(), Lines{"H1.txt"});
  EXPECT_EQ(ReadBytes(server_.DataFile("H1.txt")), "");
  EXPECT_TRUE(server_.Log().empty());
}

TEST_F(FailurePathsTest, AFieldListThatCannotBeAllocatedEndsTheListing) {
  std::string schema = "schema Wide\nfield 1 char Id max=15\n";
  for (int i = 2; i <= 37; ++i) {
    schema +=
        "field " + std::to_string(536870900 + i) + " char F" + std::to_string(i) + " max=10\n";
  }
  server_.AddSchema("wide.schema", schema + "entry\nset 1 W1\n");
  norvel_test::FailNextAllocationOf(37 * sizeof(AREntryListFieldStruct));
  EXPECT_EQ(Export("", "Wide"), -1);
  EXPECT_TRUE(norvel_test::ArmedAllocationFailed());
  norvel_test::FailNextAllocationOf(0);
  EXPECT_EQ(server_.Log(), Lines{"APIARGetListEntryWithFields():Malloc failure for field list."});
  EXPECT_TRUE(server_.DataFiles().empty());
}

// An allocation that fails while an entry file is written ends the export in the
// connection's frame; the qualifier and the listed entries still go back to the library
// (the sanitizer build reports them as leaked when they do not).
TEST_F(FailurePathsTest, AnAllocationFailureWhileWritingStillReleasesTheListing) {
  const std::string notes(5000, 'q');
  server_.AddSchema("long.schema",
                    "schema Long\nfield 1 char Id max=15\n"
                    "field 8 char Notes max=6000\nentry\nset 1 L1\nset 8 " +
                        notes + "\n");
  // The formatted block of field 8: "<<Notes>>\n   ", the text and "\n", then a NUL.
  norvel_test::FailNextAllocationOf(std::string("<<Notes>>\n   \n").size() + notes.size() + 1);
  EXPECT_EQ(Export("", "Long"), -1);
  EXPECT_TRUE(norvel_test::ArmedAllocationFailed());
  norvel_test::FailNextAllocationOf(0);
  EXPECT_EQ(server_.Log(), Lines{"ExportData():Malloc failure."});
}

TEST_F(FailurePathsTest, ThePasswordReachesNeitherTheLogNorTheFiles) {
  const std::string password = "Zq8-very-secret";
  server_.AddServerLines("user Demo " + password);
  server_.AddServerLines("fail ARGetEntry schema=Other");
  ASSERT_EQ(norvel::ExportData(ArTestServer::kName, "Demo", password, "Test:Cases", 100, "",
                               server_.data_dir(), &progress_),
            0);
  EXPECT_EQ(norvel::ExportData(ArTestServer::kName, "Demo", password, "Test:Cases", 100, "'x' = 1",
                               server_.data_dir(), &progress_),
            -1);
  std::vector<std::string> names;
  EXPECT_EQ(norvel::GetSchema(ArTestServer::kName, "Demo", "wrong" + password, &names), -1);
  ASSERT_FALSE(server_.Log().empty());
  for (const std::string& line : server_.Log()) EXPECT_EQ(line.find(password), std::string::npos);
  for (const std::string& name : server_.DataFiles()) {
    EXPECT_EQ(ReadBytes(server_.DataFile(name)).find(password), std::string::npos);
  }
}

}  // namespace
