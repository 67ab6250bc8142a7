// The bundled demo server, found beside the library: every schema exports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ar_test_server.h"
#include "core/job_progress.h"
#include "export/ar_connection.h"

namespace {

TEST(DemoServer, EverySchemaExportsEveryEntry) {
  norvel_test::ArTestServer scratch;
  norvel_test::SetEnvironment("ARSIM_SERVERS", "");  // the servers beside the library
  std::vector<std::string> names;
  ASSERT_EQ(norvel::GetSchema("demo", "demo", "demo", &names), 3);
  EXPECT_EQ(names, (std::vector<std::string>{"HPD:Case", "CHG:Change Request", "KB:Known Issue"}));
  norvel::JobProgress progress;
  for (const std::string& schema : names) {
    EXPECT_EQ(norvel::ExportData("demo", "demo", "demo", schema, 1000, "'Create Date' > 0",
                                 scratch.data_dir(), &progress),
              0)
        << schema;
  }
  EXPECT_EQ(scratch.DataFiles().size(), 310u);
  EXPECT_EQ(progress.exported, 310u);
  EXPECT_EQ(progress.entries_listed, 40u);  // the last schema's count
  EXPECT_TRUE(scratch.Log().empty());

  std::string issue = norvel_test::ReadBytes(scratch.DataFile("KI0000000000001.txt"));
  EXPECT_EQ(issue.rfind("<<Workaround_History>>\r\n   ", 0), 0u) << issue;
  std::string change = norvel_test::ReadBytes(scratch.DataFile("CRQ000000000001.txt"));
  EXPECT_EQ(change.rfind("<<Change_ID>>\r\n   CRQ000000000001\r\n<<Change_Reason>>\r\n   ", 0), 0u)
      << change;

  // Resolved or closed cases of high priority, as a user would ask for them.
  norvel_test::ArTestServer second;
  norvel_test::SetEnvironment("ARSIM_SERVERS", "");
  ASSERT_EQ(norvel::ExportData("demo", "demo", "demo", "HPD:Case", 1000,
                               "'Status' >= \"Resolved\" AND 'Priority' <= \"High\"",
                               second.data_dir(), nullptr),
            0);
  EXPECT_GT(second.DataFiles().size(), 5u);
  EXPECT_LT(second.DataFiles().size(), 180u);
}

}  // namespace
