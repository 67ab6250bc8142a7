// Reading fixture files and the diary encoding of the simulated server.
#include "arsim/fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arsim/diary.h"

namespace {

std::string SchemaError(const std::string& text) {
  arsim::Schema schema;
  std::string error;
  return arsim::ParseSchemaText(text, "x.schema", &schema, &error) ? "ok" : error;
}

TEST(Fixture, SchemaFile) {
  arsim::Schema s;
  std::string error;
  ASSERT_TRUE(arsim::ParseSchemaText(R"(# a comment
schema "HPD:Case"
field 8 char "Short Description" max=128
field 1 char "Request ID" max=15
field 7 enum Status values="New;In Progress"
field 10 diary "Work Log" hidden
field 20 real Cost

entry
  set 1 HD1
  set 8 "Quote \" and tab\t and \x41"
  set 7 "In Progress"
  diary 10 1165000000 jsmith "first\nsecond"
  raw 20 null
)",
                                     "x.schema", &s, &error))
      << error;
  EXPECT_EQ(s.name, "HPD:Case");
  ASSERT_EQ(s.fields.size(), 5u);
  EXPECT_EQ(s.fields[0].id, 8u);
  EXPECT_EQ(s.fields[0].name, "Short Description");
  EXPECT_EQ(s.fields[0].max_length, 128u);
  EXPECT_EQ(s.fields[2].selections, (std::vector<std::string>{"New", "In Progress"}));
  EXPECT_TRUE(s.fields[3].hidden);
  EXPECT_EQ(s.fields[4].data_type, unsigned{AR_DATA_TYPE_REAL});
  ASSERT_EQ(s.entries.size(), 1u);
  const arsim::Entry& e = s.entries[0];
  EXPECT_EQ(e.EntryId(), "HD1");
  EXPECT_EQ(e.values.at(8).text, "Quote \" and tab\t and A");
  EXPECT_EQ(e.values.at(7).integer, 1);
  ASSERT_EQ(e.values.at(10).diary.size(), 1u);
  EXPECT_EQ(e.values.at(10).diary[0].text, "first\nsecond");
  EXPECT_EQ(e.values.at(20).data_type, unsigned{AR_DATA_TYPE_NULL});
  EXPECT_EQ(s.FieldByReference("status"), &s.fields[2]);
  EXPECT_EQ(s.FieldByReference("10"), &s.fields[3]);
}

TEST(Fixture, ErrorsNameTheFileAndLine) {
  EXPECT_EQ(SchemaError("field 1 char Id\n"),
            "x.schema:1: the file must begin with \"schema NAME\"");
  EXPECT_EQ(SchemaError("schema A\nfield 1 nosuchtype Id\n"),
            "x.schema:2: expected \"field ID TYPE NAME [max=N] [values=A;B] [hidden]\"");
  EXPECT_EQ(SchemaError("schema A\nfield 1 char Id\nfield 1 char Again\n"),
            "x.schema:3: field 1 defined twice");
  EXPECT_EQ(SchemaError("schema A\nfield 1 char Id\nentry\nset 2 x\n"),
            "x.schema:4: field 2 is not defined");
  EXPECT_EQ(SchemaError("schema A\nfield 3 time T\nentry\nset 3 yesterday\n"),
            "x.schema:4: not a value of this field: yesterday");
  EXPECT_EQ(SchemaError("schema A\nfield 1 char Id\nentry\nset 1 \"open\n"),
            "x.schema:4: quoted text without its closing quote");
  EXPECT_EQ(SchemaError("schema A\nfield 1 char Id\nset 1 x\n"), "x.schema:3: unexpected \"set\"");
  EXPECT_EQ(SchemaError("# nothing\n"), "x.schema: no \"schema NAME\" line");
}

TEST(Fixture, ServerFile) {
  arsim::Server server;
  std::string error;
  ASSERT_TRUE(
      arsim::ParseServerText("user Demo \"pass word\"\n"
                             "fail ARGetEntry schema=\"HPD:Case\" type=1 number=7 "
                             "text=\"Slow disk\"\n"
                             "fail ARTermination\n"
                             "hold ARGetEntry entry=HD3\n",
                             "server.txt", &server, &error))
      << error;
  EXPECT_TRUE(server.Accepts("demo", "pass word"));
  EXPECT_FALSE(server.Accepts("demo", "Pass word"));
  const arsim::Failure* f = server.FailureFor("ARGetEntry", "hpd:case");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->type, 1u);
  EXPECT_EQ(f->number, 7);
  EXPECT_EQ(f->text, "Slow disk");
  EXPECT_EQ(server.FailureFor("ARGetEntry", "Other"), nullptr);
  ASSERT_NE(server.FailureFor("ARTermination", nullptr), nullptr);
  EXPECT_EQ(server.FailureFor("ARTermination", nullptr)->text,
            "Simulated failure of ARTermination");
  ASSERT_EQ(server.holds.size(), 1u);
  EXPECT_EQ(server.holds[0].entry, "HD3");

  arsim::Server open;
  EXPECT_TRUE(open.Accepts("anyone", ""));
  EXPECT_FALSE(arsim::ParseServerText("fail ARGetEntry colour=red\n", "server.txt", &open, &error));
  EXPECT_EQ(error, "server.txt:1: unknown option colour=red");
}

TEST(Diary, EncodedAsTheServerDoesAndDecodedBack) {
  std::vector<arsim::DiaryItem> items = {{1165000000, "jsmith", "first\nline"},
                                         {1165003600, "akhan", ""}};
  std::string encoded = arsim::EncodeDiary(items);
  EXPECT_EQ(encoded,
            "1165000000\x04jsmith\x04"
            "first\nline\x03"
            "1165003600\x04"
            "akhan\x04\x03");
  std::vector<arsim::DiaryItem> back;
  std::string error;
  ASSERT_TRUE(arsim::DecodeDiary(encoded, &back, &error));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].time, 1165000000);
  EXPECT_EQ(back[0].user, "jsmith");
  EXPECT_EQ(back[0].text, "first\nline");
  EXPECT_EQ(back[1].text, "");
  // The last separator is optional.
  ASSERT_TRUE(arsim::DecodeDiary(encoded.substr(0, encoded.size() - 1), &back, &error));
  EXPECT_EQ(back.size(), 2u);
  ASSERT_TRUE(arsim::DecodeDiary("", &back, &error));
  EXPECT_TRUE(back.empty());
}

TEST(Diary, MalformedItemsAreRefused) {
  std::vector<arsim::DiaryItem> items;
  std::string error;
  for (const char* bad : {"no separators", "12\x04user only", "x1\x04u\x04t", "\x04u\x04t"}) {
    EXPECT_FALSE(arsim::DecodeDiary(bad, &items, &error)) << bad;
    EXPECT_TRUE(items.empty());
  }
  EXPECT_FALSE(
      arsim::DecodeDiary("1\x04u\x04t\x03"
                         "2\x04u",
                         &items, &error));
  EXPECT_EQ(error, "The diary value is not in diary format (item 2)");
}

}  // namespace
