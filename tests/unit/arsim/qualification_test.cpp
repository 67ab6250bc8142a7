// The qualification subset of the simulated server, evaluated over fixture entries.
#include "arsim/qualification.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arsim/fixture.h"

namespace {

const char kSchema[] = R"(schema "HPD:Case"
field 1 char "Request ID" max=15
field 3 time "Create Date"
field 7 enum "Status" values="New;Assigned;In Progress;Closed"
field 8 char "Short Description" max=128
field 9 integer "Priority"
field 10 diary "Work Log"
field 11 real "Cost"
entry
set 1 HD1
set 3 1165000000
set 7 New
set 8 "Printer on floor 3 jams"
set 9 1
diary 10 1165000100 jsmith "Toner replaced"
set 11 2.5
entry
set 1 HD2
set 3 1166000000
set 7 "In Progress"
set 8 "VPN drops every hour"
set 9 3
entry
set 1 HD3
set 3 1167000000
set 7 Closed
set 9 2
set 11 10
)";

class QualificationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(arsim::ParseSchemaText(kSchema, "test.schema", &schema_, &error)) << error;
  }

  // The Request IDs of the entries that match, or "error: <message>".
  std::string Matching(const std::string& text) {
    ARQualifierStruct q;
    std::string error;
    if (!arsim::LoadQualifier(schema_, text, &q, &error)) return "error: " + error;
    std::string ids;
    for (const arsim::Entry& entry : schema_.entries) {
      bool match = false;
      if (!arsim::MatchQualifier(schema_, entry, &q, &match, &error)) {
        ids = "error: " + error;
        break;
      }
      if (match) ids += (ids.empty() ? "" : " ") + entry.values.at(1).text;
    }
    arsim::ReleaseQualifier(&q);
    return ids;
  }

  arsim::Schema schema_;
};

TEST_F(QualificationTest, ComparisonsOnEveryKindOfField) {
  EXPECT_EQ(Matching("'Priority' = 1"), "HD1");
  EXPECT_EQ(Matching("'Priority' != 1"), "HD2 HD3");
  EXPECT_EQ(Matching("'Priority' <> 1"), "HD2 HD3");
  EXPECT_EQ(Matching("'Priority' < 3"), "HD1 HD3");
  EXPECT_EQ(Matching("'Priority' <= 2"), "HD1 HD3");
  EXPECT_EQ(Matching("'Priority' > 1"), "HD2 HD3");
  EXPECT_EQ(Matching("'Priority' >= \"3\""), "HD2");
  EXPECT_EQ(Matching("'Create Date' > 1165500000"), "HD2 HD3");
  EXPECT_EQ(Matching("'Cost' > 2.4"), "HD1 HD3");
  EXPECT_EQ(Matching("'Request ID' = \"hd2\""), "HD2");  // text ignores letter case
  EXPECT_EQ(Matching("'Request ID' >= HD2"), "HD2 HD3");
  EXPECT_EQ(Matching("'9' = 2"), "HD3");  // a field by its ID
  EXPECT_EQ(Matching("'priority' = 2"), "HD3");
}

TEST_F(QualificationTest, SelectionFieldsTakeNumbersOrTheirValueNames) {
  EXPECT_EQ(Matching("'Status' = \"In Progress\""), "HD2");
  EXPECT_EQ(Matching("'Status' = closed"), "HD3");
  EXPECT_EQ(Matching("'Status' < 2"), "HD1");
  EXPECT_EQ(Matching("\"Closed\" = 'Status'"), "HD3");
  EXPECT_EQ(Matching("'Status' = \"Pending\""),
            "error: Value does not match the data type of field 'Status' : Pending");
}

TEST_F(QualificationTest, LikeWithWildcards) {
  EXPECT_EQ(Matching("'Short Description' LIKE \"%floor%\""), "HD1");
  EXPECT_EQ(Matching("'Short Description' like \"vpn%\""), "HD2");
  EXPECT_EQ(Matching("'Short Description' LIKE \"%hou_\""), "HD2");
  EXPECT_EQ(Matching("'Short Description' LIKE \"%\""), "HD1 HD2");
  EXPECT_EQ(Matching("'Work Log' LIKE \"%toner%\""), "HD1");
  EXPECT_EQ(Matching("'Request ID' LIKE \"HD_\""), "HD1 HD2 HD3");
}

TEST_F(QualificationTest, NullValues) {
  EXPECT_EQ(Matching("'Short Description' = $NULL$"), "HD3");
  EXPECT_EQ(Matching("'Short Description' != $NULL$"), "HD1 HD2");
  EXPECT_EQ(Matching("'Cost' < 100"), "HD1 HD3");                      // no value compares false
  EXPECT_EQ(Matching("'Short Description' != \"x\""), "HD1 HD2 HD3");  // no value differs
}

TEST_F(QualificationTest, AndOrNotAndParentheses) {
  EXPECT_EQ(Matching("'Priority' = 1 OR 'Priority' = 3 AND 'Status' = New"), "HD1");
  EXPECT_EQ(Matching("('Priority' = 1 OR 'Priority' = 3) AND 'Status' != New"), "HD2");
  EXPECT_EQ(Matching("NOT 'Priority' = 1"), "HD2 HD3");
  EXPECT_EQ(Matching("not not 'Priority' = 1"), "HD1");
  EXPECT_EQ(Matching("NOT ('Priority' = 1 or 'Priority' = 2)"), "HD2");
  EXPECT_EQ(Matching("1 = 1"), "HD1 HD2 HD3");
  EXPECT_EQ(Matching(""), "HD1 HD2 HD3");
  EXPECT_EQ(Matching("   "), "HD1 HD2 HD3");
}

TEST_F(QualificationTest, Errors) {
  EXPECT_EQ(Matching("'Nope' = 1"), "error: Field does not exist on current form : Nope");
  EXPECT_EQ(Matching("'Priority' = "),
            "error: Expected a field or a value at position 14 of the qualification");
  EXPECT_EQ(Matching("'Priority' 1"),
            "error: Expected a relational operator at position 12 of the qualification");
  EXPECT_EQ(Matching("('Priority' = 1"),
            "error: Missing closing parenthesis at position 16 of the qualification");
  EXPECT_EQ(Matching("'Priority' = 1 )"),
            "error: Unexpected text at position 16 of the qualification");
  EXPECT_EQ(Matching("'Priority = 1"), "error: Missing closing quote for the text at position 1");
  EXPECT_EQ(Matching("'Priority' ! 1"), "error: Unexpected \"!\" at position 12");
  EXPECT_EQ(Matching("'Priority' = AND"),
            "error: Expected a field or a value at position 14 of the qualification");
}

TEST_F(QualificationTest, ForeignQualifiersAreRefused) {
  ARQualifierStruct q;
  q.operation = 99;
  bool match = true;
  std::string error;
  EXPECT_FALSE(arsim::MatchQualifier(schema_, schema_.entries[0], &q, &match, &error));
  EXPECT_EQ(error, "Invalid qualification structure");
  ARQualifierStruct cleared = {};
  EXPECT_TRUE(arsim::MatchQualifier(schema_, schema_.entries[0], &cleared, &match, &error));
  EXPECT_TRUE(match);
}

TEST(LikeMatch, Wildcards) {
  EXPECT_TRUE(arsim::LikeMatch("", "%"));
  EXPECT_TRUE(arsim::LikeMatch("abc", "a%c"));
  EXPECT_TRUE(arsim::LikeMatch("aXbXc", "a%b%c"));
  EXPECT_TRUE(arsim::LikeMatch("ABC", "a_c"));
  EXPECT_FALSE(arsim::LikeMatch("abc", "a_"));
  EXPECT_FALSE(arsim::LikeMatch("abcd", "%c"));
  EXPECT_TRUE(arsim::LikeMatch("aaab", "%ab"));
}

}  // namespace
