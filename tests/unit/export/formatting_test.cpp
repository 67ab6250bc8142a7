// Field labels, field blocks by data type, diary blocks, and the field definitions' order.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "export/entry_format.h"
#include "export/field_definitions.h"

namespace {

using norvel::FormatFieldBlock;

ARValueStruct Value(unsigned type) {
  ARValueStruct v;
  std::memset(&v, 0, sizeof v);
  v.dataType = type;
  return v;
}

TEST(CleanFieldName, BlanksAndSlashesBecomeUnderscores) {
  EXPECT_EQ(norvel::CleanFieldName("Owner Group/Team  Name"), "Owner_Group_Team__Name");
  EXPECT_EQ(norvel::CleanFieldName("Status"), "Status");
  EXPECT_EQ(norvel::CleanFieldName(""), "");
}

TEST(FormatFieldBlock, EveryDataTypeOfTheTable) {
  char text[] = "text";
  struct {
    unsigned type;
    void (*fill)(ARValueStruct*, char*);
    const char* block;
  } cases[] = {
      {AR_DATA_TYPE_NULL, [](ARValueStruct*, char*) {}, ""},
      {AR_DATA_TYPE_KEYWORD, [](ARValueStruct* v, char*) { v->u.keyNum = 4000000000u; },
       "<<L>>\n   4000000000\n"},
      {AR_DATA_TYPE_INTEGER, [](ARValueStruct* v, char*) { v->u.intVal = -17; }, "<<L>>\n   -17\n"},
      {AR_DATA_TYPE_REAL, [](ARValueStruct* v, char*) { v->u.realVal = -0.125; },
       "<<L>>\n   -0.125000\n"},
      {AR_DATA_TYPE_CHAR, [](ARValueStruct* v, char* t) { v->u.charVal = t; }, "<<L>>\n   text\n"},
      {AR_DATA_TYPE_CHAR, [](ARValueStruct* v, char*) { v->u.charVal = nullptr; }, "<<L>>\n   \n"},
      {AR_DATA_TYPE_DIARY, [](ARValueStruct* v, char* t) { v->u.diaryVal = t; }, ""},
      {AR_DATA_TYPE_ENUM, [](ARValueStruct* v, char*) { v->u.enumVal = 3; }, "<<L>>\n   3\n"},
      {AR_DATA_TYPE_TIME, [](ARValueStruct* v, char*) { v->u.timeVal = 1165000000; },
       "<<L>>\n   1165000000\n"},
      {AR_DATA_TYPE_BITMASK, [](ARValueStruct* v, char*) { v->u.maskVal = 0xFFFFFFFFul; },
       "<<L>>\n   -1\n"},
      {AR_DATA_TYPE_BYTES, [](ARValueStruct*, char*) {}, ""},
      {AR_DATA_TYPE_DECIMAL, [](ARValueStruct* v, char* t) { v->u.decimalVal = t; },
       "<<L>>\n   text\n"},
      {AR_DATA_TYPE_ATTACH, [](ARValueStruct*, char*) {}, ""},
      {AR_DATA_TYPE_CURRENCY, [](ARValueStruct*, char*) {}, ""},
      {AR_DATA_TYPE_DATE, [](ARValueStruct* v, char*) { v->u.dateVal = -5; }, "<<L>>\n   -5\n"},
      {AR_DATA_TYPE_TIME_OF_DAY, [](ARValueStruct* v, char*) { v->u.timeOfDayVal = 60; }, ""},
      {15, [](ARValueStruct*, char*) {}, ""},
      {AR_DATA_TYPE_ATTACH_POOL, [](ARValueStruct*, char*) {}, ""},
      {39, [](ARValueStruct*, char*) {}, ""},
      {AR_DATA_TYPE_ULONG, [](ARValueStruct* v, char*) { v->u.ulongVal = 4294967295ul; },
       "<<L>>\n   4294967295\n"},
      {AR_DATA_TYPE_COORDS, [](ARValueStruct*, char*) {}, ""},
      {AR_DATA_TYPE_VIEW, [](ARValueStruct* v, char* t) { v->u.charVal = t; }, "<<L>>\n   text\n"},
      {AR_DATA_TYPE_DISPLAY, [](ARValueStruct* v, char* t) { v->u.charVal = t; },
       "<<L>>\n   text\n"},
      {44, [](ARValueStruct*, char*) {}, ""},
  };
  for (const auto& c : cases) {
    ARValueStruct v = Value(c.type);
    c.fill(&v, text);
    EXPECT_EQ(FormatFieldBlock("L", v), c.block) << "type " << c.type;
  }
}

TEST(FormatFieldBlock, LongValuesAreWrittenWhole) {
  std::string big(5000, 'z');
  ARValueStruct v = Value(AR_DATA_TYPE_CHAR);
  v.u.charVal = &big[0];
  EXPECT_EQ(FormatFieldBlock("L", v), "<<L>>\n   " + big + "\n");
  v = Value(AR_DATA_TYPE_REAL);
  v.u.realVal = 1e20;
  EXPECT_EQ(FormatFieldBlock("L", v), "<<L>>\n   100000000000000000000.000000\n");
}

TEST(FormatDiaryBlock, ItemsFollowTheLabelWithTheirTextAsStored) {
  ARDiaryStruct items[2];
  std::memset(items, 0, sizeof items);
  std::strcpy(items[0].user, "jsmith");
  items[0].timeVal = 1165000000;
  char first[] = "line one\nline two\n";
  items[0].value = first;
  std::strcpy(items[1].user, "akhan");
  items[1].timeVal = 1165003600;
  char second[] = "done";
  items[1].value = second;
  ARDiaryList list = {2, items};
  EXPECT_EQ(norvel::FormatDiaryBlock("Work_Log", list),
            "<<Work_Log>>\n   1165000000, jsmith\nline one\nline two\n1165003600, akhan\ndone");
  ARDiaryList empty = {0, nullptr};
  EXPECT_EQ(norvel::FormatDiaryBlock("Work_Log", empty), "");
}

TEST(FieldDefinitions, SortedTogetherAndFoundByBinarySearch) {
  norvel::ArModule no_library;  // nothing loaded: releasing finds no functions
  norvel::FieldDefinitions defs(no_library);
  ARInternalId ids[] = {8, 1, 536870913, 3};
  ARNameType names[] = {"Short Description", "Request ID", "Cost", "Create Date"};
  unsigned types[] = {4, 4, 3, 7};
  ARFieldLimitStruct limits[4];
  std::memset(limits, 0, sizeof limits);
  limits[0].dataType = 4;
  limits[0].u.charLimits.maxLength = 128;
  limits[1].dataType = 4;
  limits[1].u.charLimits.maxLength = 15;
  defs.ids = {4, ids};
  defs.names = {4, names};
  defs.types = {4, types};
  defs.limits = {4, limits};

  defs.SortById();
  defs.CleanFieldNames();
  ASSERT_EQ(defs.size(), 4u);
  EXPECT_EQ(defs.FindFieldIndex(1), 0);
  EXPECT_EQ(defs.Label(0), "Request_ID");
  EXPECT_EQ(defs.MaxLength(0), 15u);
  EXPECT_EQ(defs.FindFieldIndex(3), 1);
  EXPECT_EQ(defs.DataType(1), 7u);
  EXPECT_EQ(defs.FindFieldIndex(8), 2);
  EXPECT_EQ(defs.Label(2), "Short_Description");
  EXPECT_EQ(defs.MaxLength(2), 128u);
  EXPECT_EQ(defs.FindFieldIndex(536870913), 3);
  EXPECT_EQ(defs.FindFieldIndex(2), -1);
  EXPECT_EQ(defs.FindFieldIndex(999999999), -1);
  // The arrays are the library's; they must not be released here.
  defs.ids = {0, nullptr};
  defs.names = {0, nullptr};
  defs.types = {0, nullptr};
  defs.limits = {0, nullptr};
}

TEST(FieldDefinitions, NoDefinitionsFindNothing) {
  norvel::ArModule no_library;
  norvel::FieldDefinitions defs(no_library);
  EXPECT_EQ(defs.size(), 0u);
  EXPECT_EQ(defs.FindFieldIndex(0), -1);
  EXPECT_EQ(defs.FindFieldIndex(1), -1);
}

}  // namespace
