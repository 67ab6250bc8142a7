// Formatting field and diary blocks.
#include "export/entry_format.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace norvel {

namespace {

// printf into a string of whatever length the result needs.
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (n > 0) {
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, again);
    out.assign(buf.data(), static_cast<size_t>(n));
  }
  va_end(again);
  return out;
}

// Text values may come without their text; they then print as empty.
const char* TextOf(const char* text) {
  return text ? text : "";
}

}  // namespace

std::string CleanFieldName(const std::string& name) {
  std::string label = name;
  for (char& c : label) {
    if (c == ' ' || c == '/') c = '_';
  }
  return label;
}

std::string FormatFieldBlock(const std::string& label, const ARValueStruct& value) {
  const char* l = label.c_str();
  const auto& u = value.u;
  switch (value.dataType) {
    case AR_DATA_TYPE_KEYWORD:
      return Format("<<%s>>\n   %u\n", l, u.keyNum);
    case AR_DATA_TYPE_INTEGER:
      return Format("<<%s>>\n   %d\n", l, static_cast<int>(u.intVal));
    case AR_DATA_TYPE_REAL:
      return Format("<<%s>>\n   %f\n", l, u.realVal);
    case AR_DATA_TYPE_CHAR:
      return Format("<<%s>>\n   %s\n", l, TextOf(u.charVal));
    case AR_DATA_TYPE_ENUM:
      return Format("<<%s>>\n   %u\n", l, static_cast<unsigned>(u.enumVal));
    case AR_DATA_TYPE_TIME:
      return Format("<<%s>>\n   %ld\n", l, static_cast<long>(u.timeVal));
    case AR_DATA_TYPE_BITMASK:
      return Format("<<%s>>\n   %d\n", l, static_cast<int>(u.maskVal));
    case AR_DATA_TYPE_DECIMAL:
      return Format("<<%s>>\n   %s\n", l, TextOf(u.decimalVal));
    case AR_DATA_TYPE_DATE:
      return Format("<<%s>>\n   %d\n", l, u.dateVal);
    case AR_DATA_TYPE_ULONG:
      return Format("<<%s>>\n   %u\n", l, static_cast<unsigned>(u.ulongVal));
    case AR_DATA_TYPE_VIEW:
    case AR_DATA_TYPE_DISPLAY:
      return Format("<<%s>>\n   %s\n", l, TextOf(u.charVal));
    default:
      return std::string();
  }
}

std::string FormatDiaryBlock(const std::string& label, const ARDiaryList& diary) {
  if (diary.numItems == 0 || !diary.diaryList) return std::string();
  std::string out = Format("<<%s>>\n   ", label.c_str());
  for (unsigned i = 0; i < diary.numItems; ++i) {
    const ARDiaryStruct& item = diary.diaryList[i];
    std::string user(item.user, strnlen(item.user, sizeof item.user));
    out += Format("%ld, %s\n", static_cast<long>(item.timeVal), user.c_str());
    out += TextOf(item.value);
  }
  return out;
}

}  // namespace norvel
