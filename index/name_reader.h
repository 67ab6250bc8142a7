// The one reader of document names from an index's file lists, by file number, for the
// result pages and for the phrases' reading of documents alike.
#pragma once

#include <cstdint>
#include <string>

#include "index/in_memory_index.h"
#include "platform/file.h"

namespace norvel {

// Reads name records of the loaded index's file lists (_file%d.dat), keeping the list of
// the last name open: one seek and two reads per name. A name is handed out only when it
// is one plain file name: a record that would lead out of the data directory ("..\x",
// "/etc/x") can only come from a damaged list and names nothing.
class NameReader {
 public:
  enum class Result {
    kOk,
    kNoRecord,    // no record holds the number (0, beyond total files, missing)
    kCannotOpen,  // the list file cannot be opened
    kCannotSeek,  // the record's offset cannot be reached
    kCannotRead,  // the record's bytes cannot be read
    kBadName,     // the record holds no plain file name
  };
  NameReader(const std::string& index_dir, const InMemoryIndex& index)
      : index_dir_(index_dir), index_(index) {}

  // Opens list k, closing the one open; false when it cannot be opened.
  bool OpenList(uint32_t k);
  // The name of file number n: kOk with *name, else what failed.
  Result Read(uint32_t n, std::string* name);
  // The path of the list last opened or tried (the one a failure concerns).
  const std::string& list_path() const { return list_path_; }
  // The path of the list of file number n.
  std::string ListPathOf(uint32_t n) const;

 private:
  const std::string& index_dir_;
  const InMemoryIndex& index_;
  platform::File list_;
  uint32_t list_number_ = 0;
  std::string list_path_;
};

}  // namespace norvel
