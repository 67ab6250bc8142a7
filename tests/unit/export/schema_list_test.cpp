// The schema list: copying the server's names, the re-selection rule of "Get Schemas", and
// the failures that leave the dialog's list as it was.
#include "export/schema_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ar_test_server.h"
#include "failing_new.h"

namespace {

using Names = std::vector<std::string>;
using norvel::ReselectSchemas;

TEST(ReselectSchemas, HeldNamesSelectTheirItems) {
  Names items = {"HPD:Case", "CHG:Change Request", "KB:Known Issue"};
  // After the dialog opened: the saved schemas, one of them gone from the server.
  EXPECT_EQ(ReselectSchemas(items, {"KB:Known Issue", "Old:Form"}),
            (std::vector<bool>{false, false, true}));
  // Letter case does not matter.
  EXPECT_EQ(ReselectSchemas(items, {"hpd:case"}), (std::vector<bool>{true, false, false}));
  // After a fetch the held names are all fetched names: everything is selected.
  EXPECT_EQ(ReselectSchemas(items, items), (std::vector<bool>{true, true, true}));
  EXPECT_EQ(ReselectSchemas(items, {}), (std::vector<bool>{false, false, false}));
  // Like the list box's exact search, a held name selects the first item that matches.
  EXPECT_EQ(ReselectSchemas({"A", "a", "b"}, {"a"}), (std::vector<bool>{true, false, false}));
}

TEST(PrintARNameList, CopiesEachNameUpToItsEnd) {
  ARNameType names[2];
  std::memset(names, 'x', sizeof names);  // a full slot without its NUL is cut at 255
  std::strcpy(names[0], "HPD:Case");
  ARNameList list = {2, names};
  Names out = {"old"};
  EXPECT_EQ(norvel::PrintARNameList(list, &out), 2);
  EXPECT_EQ(out, (Names{"HPD:Case", std::string(255, 'x')}));
  ARNameList empty = {0, nullptr};
  EXPECT_EQ(norvel::PrintARNameList(empty, &out), 0);
  EXPECT_EQ(out.size(), 2u);
}

TEST(PrintARNameList, OutOfMemory) {
  norvel_test::ArTestServer server;
  ARNameType names[3] = {"A schema with a long name, allocated", "B", "C"};
  ARNameList list = {3, names};
  Names out = {"old"};
  norvel_test::FailNextAllocationOf(3 * sizeof(std::string));
  EXPECT_EQ(norvel::PrintARNameList(list, &out), -1);
  EXPECT_TRUE(norvel_test::ArmedAllocationFailed());
  norvel_test::FailNextAllocationOf(std::strlen(names[0]) + 1);
  EXPECT_EQ(norvel::PrintARNameList(list, &out), -1);
  EXPECT_TRUE(norvel_test::ArmedAllocationFailed());
  norvel_test::FailNextAllocationOf(0);
  EXPECT_EQ(out, Names{"old"});
  EXPECT_EQ(server.Log(), (Names{"PrintARNameList():Malloc failure for Schema names.",
                                 "PrintARNameList():Malloc failure allocating for Schema name."}));
}

TEST(FetchSchemaList, AFetchReselectsTheHeldNames) {
  norvel_test::ArTestServer server;
  server.AddSchema("1.schema", "schema HPD:Case\n");
  server.AddSchema("2.schema", "schema \"CHG:Change Request\"\n");
  server.AddSchema("3.schema", "schema \"KB:Known Issue\"\n");
  norvel_test::RecordingUi ui;
  norvel::SchemaListUpdate update;
  ASSERT_TRUE(norvel::FetchSchemaList(norvel_test::ArTestServer::kName, "u", "p",
                                      {"kb:known issue", "Gone"}, &update));
  EXPECT_EQ(update.items, (Names{"HPD:Case", "CHG:Change Request", "KB:Known Issue"}));
  EXPECT_EQ(update.selected, (std::vector<bool>{false, false, true}));
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(FetchSchemaList, NoNamesOrAFailureShowsTheExportErrorBox) {
  norvel_test::ArTestServer server;  // no schemas
  norvel_test::RecordingUi ui;
  norvel::SchemaListUpdate update;
  update.items = {"unchanged"};
  EXPECT_FALSE(norvel::FetchSchemaList(norvel_test::ArTestServer::kName, "u", "p", {}, &update));
  norvel::SetArLibraryPath(server.folder() + "-no-library");
  EXPECT_FALSE(norvel::FetchSchemaList(norvel_test::ArTestServer::kName, "u", "p", {}, &update));
  EXPECT_EQ(update.items, Names{"unchanged"});
  ASSERT_EQ(ui.boxes.size(), 2u);
  for (const auto& box : ui.boxes) {
    EXPECT_EQ(box.text, "Export error.Please check the logs.");
    EXPECT_EQ(box.caption, "Error");
  }
  EXPECT_EQ(server.Log(), Names{"GetSchema():Dll error."});
}

}  // namespace
