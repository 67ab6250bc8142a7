// Encoding and decoding diary values.
#include "arsim/diary.h"

#include <cerrno>
#include <cstdlib>

namespace arsim {

std::string EncodeDiary(const std::vector<DiaryItem>& items) {
  std::string out;
  for (const DiaryItem& item : items) {
    out += std::to_string(item.time);
    out += AR_DIARY_FIELD_SEPARATOR;
    out += item.user;
    out += AR_DIARY_FIELD_SEPARATOR;
    out += item.text;
    out += AR_DIARY_ITEM_SEPARATOR;
  }
  return out;
}

namespace {

bool DecodeItem(const std::string& item, DiaryItem* out) {
  size_t first = item.find(AR_DIARY_FIELD_SEPARATOR);
  if (first == std::string::npos || first == 0) return false;
  size_t second = item.find(AR_DIARY_FIELD_SEPARATOR, first + 1);
  if (second == std::string::npos) return false;
  std::string time = item.substr(0, first);
  if (time.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  out->time = std::strtol(time.c_str(), nullptr, 10);
  if (errno != 0) return false;
  out->user = item.substr(first + 1, second - first - 1);
  out->text = item.substr(second + 1);
  return true;
}

}  // namespace

bool DecodeDiary(const std::string& encoded, std::vector<DiaryItem>* items, std::string* error) {
  items->clear();
  size_t start = 0;
  int number = 1;
  while (start < encoded.size()) {
    size_t end = encoded.find(AR_DIARY_ITEM_SEPARATOR, start);
    if (end == std::string::npos) end = encoded.size();
    DiaryItem item;
    if (!DecodeItem(encoded.substr(start, end - start), &item)) {
      *error = "The diary value is not in diary format (item " + std::to_string(number) + ")";
      items->clear();
      return false;
    }
    items->push_back(item);
    start = end + 1;
    ++number;
  }
  return true;
}

}  // namespace arsim
