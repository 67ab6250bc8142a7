// Directory listing: the regular files of one directory whose names match a pattern,
// sorted by name in byte order on every platform, so file numbers are reproducible.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Windows-style wildcard match ('*' any run, '?' one character), ignoring the case of
// ASCII letters as the Windows file system does ("A.TXT" matches "*.txt").
bool WildcardMatch(const char* pattern, const char* name);

// Fills names with the matching regular files (no directories) of dir, sorted by byte
// order. Returns false when the directory cannot be read.
bool ListDirectory(const std::string& dir, const std::string& pattern,
                   std::vector<std::string>* names);

// The matching regular files of a directory, sorted by name in byte order, held compactly
// (a listing may name millions of files): the names back to back in blocks that are
// never copied, sorting only an order of them, and the sizes where the listing itself
// tells them (Windows does; Linux tells the kind only). Those sizes are as old as the
// listing: they serve to share out work, never as the size of a file being read.
class DirListing {
 public:
  size_t size() const { return order_.size(); }
  bool empty() const { return size() == 0; }
  std::string_view name(size_t i) const { return Name(order_[i]); }
  bool size_known() const { return !sizes_.empty(); }
  uint64_t file_size(size_t i) const { return sizes_[order_[i]]; }

  // For the platform's lister: adds a file (size ~0 for unknown), then sorts them all.
  void Add(const char* name, uint64_t size);
  void Sort();

 private:
  static constexpr unsigned kBlockBits = 16;  // a block of names: 64 KB
  static constexpr size_t kBlockSize = size_t{1} << kBlockBits;
  // The name added as the k-th: its position (block << kBlockBits | offset) and length.
  std::string_view Name(uint32_t k) const {
    uint32_t at = starts_[k];
    return std::string_view(blocks_[at >> kBlockBits].get() + (at & (kBlockSize - 1)), lengths_[k]);
  }
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t block_used_ = kBlockSize;
  std::vector<uint32_t> starts_;
  std::vector<uint16_t> lengths_;
  std::vector<uint32_t> order_;  // the names added, in sorted order
  std::vector<uint64_t> sizes_;  // in the order added
  bool sizes_known_ = true;
};
bool ListDirectory(const std::string& dir, const std::string& pattern, DirListing* listing);

// Reads the files of one listed directory with as few system calls as each allows: an
// open that never waits and takes regular files only (as File::Open), the size of the
// open file, reads as large as the caller's buffer, a close. Raw bytes:
// the caller applies text mode. One reader per thread; one file open at a time.
class ListedFileReader {
 public:
  enum class Result { kOk, kNoStatus, kCannotOpen };
  explicit ListedFileReader(const std::string& dir);
  ~ListedFileReader();
  ListedFileReader(const ListedFileReader&) = delete;
  ListedFileReader& operator=(const ListedFileReader&) = delete;

  // kOk with the size (a file of size 0 is not kept open); kNoStatus when the size could
  // not be taken (the file is gone); kCannotOpen for a file of known, non-zero size that
  // cannot be opened for reading.
  Result Open(const DirListing& listing, size_t i, uint64_t* size);
  // Opens as Open does and, where the listing holds the sizes (Windows), reads the file's
  // beginning in the same step: one read of up to n bytes into dst, *got of them; a read
  // that ends short of n has read the whole file, whose size that is, and the file is then
  // closed. A listed size of at least n - 1 costs nothing but a status call more when the
  // file has grown past it. So a document whose listed size is n - 1 or less costs an
  // open, one read and a close. Elsewhere *got is 0 and this is Open.
  Result OpenAndRead(const DirListing& listing, size_t i, uint64_t* size, char* dst, size_t n,
                     size_t* got);
  // Up to n bytes of the open file in one call: 0 at its end or on an error; fewer than
  // asked at the end (and, rarely, before it: a reader that knows the size can stop
  // once it has that many).
  size_t Read(char* dst, size_t n);
  bool Error() const { return error_; }
  void Close();

 private:
  std::string dir_;
  intptr_t dir_handle_ = -1;  // the directory, where names resolve relative to it
  intptr_t file_ = -1;
  bool error_ = false;
};

}  // namespace platform

namespace platform {

// The name under which its directory holds the entry that path opens: the letter case it
// was created with where the file system ignores case (and, on Windows, the long name
// where path gives a short one). Empty when nothing is there.
std::string StoredName(const std::string& path);

// Removes a directory with everything below it; false when something stayed.
bool RemoveDirectoryTree(const std::string& dir);

}  // namespace platform
