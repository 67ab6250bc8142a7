// Document names from the file lists.
#include "index/name_reader.h"

#include "index/index_files.h"
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
  if (!list_.Seek(offset)) return Result::kCannotSeek;
  unsigned char len = 0;
  char buf[256];
  size_t got = 0;
  if (list_.Read(&len, 1) != 1 || (got = list_.Read(buf, len)) == 0) return Result::kCannotRead;
  name->assign(buf, got);
  if (!platform::IsPlainFileName(*name)) {
    name->clear();
    return Result::kBadName;
  }
  return Result::kOk;
}

}  // namespace norvel
