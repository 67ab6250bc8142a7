// Document names from the file lists.
#include "index/name_reader.h"

#include "index/index_files.h"
#include "index/record_reader.h"
#include "platform/path.h"

namespace norvel {

bool NameReader::OpenList(uint32_t k) {
  list_.Close();
  list_number_ = k;
  list_path_ = platform::JoinPath(index_dir_, ListFileName(k));
  return list_.Open(list_path_, "rb");
}

std::string NameReader::ListPathOf(uint32_t n) const {
  return platform::JoinPath(index_dir_, ListFileName(ListOfFile(n)));
}

NameReader::Result NameReader::Read(uint32_t n, std::string* name) {
  name->clear();
  uint32_t k = ListOfFile(n);
  // A number that no record holds (0, beyond total files, a missing record) cannot be
  // reached, whatever the list files hold.
  uint32_t i = n == 0 ? 0 : RecordOfFile(n);
  uint32_t offset = 0;
  if (n != 0 && n <= index_.total_files && k < index_.name_offsets.size() &&
      i < index_.name_offsets[k].size()) {
    offset = index_.name_offsets[k][i];
  }
  if (offset == 0) return Result::kNoRecord;
  if ((!list_.is_open() || k != list_number_) && !OpenList(k)) return Result::kCannotOpen;
  // The record's kind stands in the 4 bytes before its length.
  if (offset < 4 || !list_.Seek(offset - 4)) return Result::kCannotSeek;
  unsigned char head[5];
  char buf[256];
  size_t got = 0;
  if (list_.Read(head, 5) != 5 || (got = list_.Read(buf, head[4])) == 0) {
    return Result::kCannotRead;
  }
  std::string bytes(buf, got);
  if (!platform::IsPlainFileName(bytes)) return Result::kBadName;
  bool utf8 = LoadLE32(head) == kNameUtf8;
  *name = platform::HeldName(bytes, utf8);
  return Result::kOk;
}

}  // namespace norvel
