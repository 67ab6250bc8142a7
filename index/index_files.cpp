// The writer and the readers of the index files (format at the top of index_files.h).
#include "index/index_files.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "app/job_progress.h"
#include "app/messages.h"
#include "index/record_reader.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

const char kStatsFile[] = "_stats.dat";
const char kWordsFile[] = "_ndxwrds.dat";
const char kPostingsFile[] = "_ndxfile.dat";
const char kNewStatsFile[] = "_newstats.dat";
const char kNewWordsFile[] = "_newndxwrds.dat";
const char kNewPostingsFile[] = "_newndxfile.dat";

std::string ListFileName(uint32_t list, bool new_index) {
  return std::string(new_index ? "_newfile" : "_file") + std::to_string(list) + ".dat";
}

namespace {

// Collects output in a buffer so that a save makes few large writes; remembers failure.
class ChunkWriter {
 public:
  explicit ChunkWriter(platform::File* file) : file_(file), buf_(new unsigned char[kChunk]) {}
  void Put(const void* data, size_t n) {
    if (used_ + n > kChunk) Flush();
    std::memcpy(buf_.get() + used_, data, n);
    used_ += n;
  }
  void Put32(uint32_t v) {
    unsigned char b[4];
    StoreLE32(b, v);
    Put(b, 4);
  }
  void Flush() {
    if (used_ > 0 && !file_->Write(buf_.get(), used_)) ok_ = false;
    used_ = 0;
  }
  // Flushes and closes; false when any write failed.
  bool Finish() {
    Flush();
    return file_->Close() && ok_;
  }
  bool ok() const { return ok_; }

 private:
  static constexpr size_t kChunk = 1 << 20;  // larger than any one Put
  platform::File* file_;
  std::unique_ptr<unsigned char[]> buf_;
  size_t used_ = 0;
  bool ok_ = true;
};

int WriteStats(const std::string& index_dir, uint32_t distinct_words, uint32_t total_files) {
  platform::File stats;
  unsigned char b[8];
  StoreLE32(b, distinct_words);
  StoreLE32(b + 4, total_files);
  if (!stats.Open(platform::JoinPath(index_dir, kNewStatsFile), "wb") || !stats.Write(b, 8) ||
      !stats.Close()) {
    WriteLog("saveIndex():Cannot write stats.");
    return -1;
  }
  return 0;
}

// Byte offset of each word's postings, in writer order; false when the postings would
// pass the 4 GB that the words file's 32-bit offsets can address.
bool PlacePostings(const WordTable& table, const std::vector<uint32_t>& order,
                   std::vector<uint64_t>* start, uint64_t* total) {
  start->assign(table.word_count(), 0);
  uint64_t offset = 0;
  for (uint32_t entry : order) {
    if (offset > 0xFFFFFFFFull) return false;
    (*start)[entry] = offset;
    offset += 8 * (uint64_t{table.RunCount(entry)} + 1);
  }
  *total = offset;
  return true;
}

// Writes the postings file window by window: every run goes straight to its place in a
// zeroed buffer (so the terminators are already there), which is then written whole.
bool WritePostings(const WordTable& table, const std::vector<uint64_t>& start, uint64_t total,
                   platform::File* file) {
  constexpr uint64_t kWindow = 64ull << 20;
  std::vector<unsigned char> buf;
  std::vector<uint64_t> cursor;
  for (uint64_t base = 0; base < total; base += kWindow) {
    uint64_t end = std::min(total, base + kWindow);
    buf.assign(static_cast<size_t>(end - base), 0);
    cursor = start;
    table.ForEachRun([&](size_t entry, PostingRun run) {
      uint64_t at = cursor[entry];
      cursor[entry] += 8;
      if (at < base || at >= end) return;
      StoreLE32(&buf[static_cast<size_t>(at - base)], run.first);
      StoreLE32(&buf[static_cast<size_t>(at - base) + 4], run.last);
    });
    if (!file->Write(buf.data(), buf.size())) return false;
  }
  return true;
}

// Writes the words and postings; false after the log line of the failure.
bool WriteWordsAndPostings(WordTable* table, platform::File* words_file,
                           platform::File* postings_file, JobProgress* progress) {
  std::vector<uint32_t> order = table->BucketOrder();
  std::vector<uint64_t> start;
  uint64_t total = 0;
  if (!PlacePostings(*table, order, &start, &total)) {
    WriteLog("saveIndex():Cannot write file index.");
    return false;
  }
  // The postings are written on a second thread while this one writes the words.
  bool postings_ok = false;
  auto write_postings = [&] {
    try {
      postings_ok = WritePostings(*table, start, total, postings_file);
    } catch (const std::bad_alloc&) {
      postings_ok = false;
    }
    postings_ok = postings_file->Close() && postings_ok;
  };
  std::thread helper;
  try {
    helper = std::thread(write_postings);
  } catch (const std::system_error&) {
    // No second thread: the postings follow the words on this one.
  }
  struct JoinOnExit {
    std::thread& t;
    ~JoinOnExit() {
      if (t.joinable()) t.join();
    }
  } join_on_exit{helper};
  ChunkWriter words(words_file);
  uint32_t saved = 0;
  for (uint32_t entry : order) {
    std::string_view text = table->Text(entry);
    table->SetPostingOffset(entry, static_cast<uint32_t>(start[entry]));
    words.Put32(static_cast<uint32_t>(start[entry]));
    unsigned char len = static_cast<unsigned char>(text.size());
    words.Put(&len, 1);
    words.Put(text.data(), text.size());
    if (progress && (++saved & 1023) == 0) progress->words_saved = saved;
  }
  if (progress) progress->words_saved = saved;
  bool words_ok = words.Finish();
  if (helper.joinable()) {
    helper.join();
  } else {
    write_postings();
  }
  if (!words_ok) {
    WriteLog("saveIndex():Cannot write index.");
    return false;
  }
  if (!postings_ok) {
    WriteLog("saveIndex():Cannot write file index.");
    return false;
  }
  return true;
}

}  // namespace

int saveIndex(WordTable* table, const std::string& index_dir, uint32_t total_files,
              uint32_t distinct_words, JobProgress* progress) {
  // A stale statistics file would mark whatever this save leaves as a complete new index.
  platform::RemoveFile(platform::JoinPath(index_dir, kNewStatsFile));
  platform::File words_file, postings_file;
  if (!words_file.Open(platform::JoinPath(index_dir, kNewWordsFile), "wb") ||
      !postings_file.Open(platform::JoinPath(index_dir, kNewPostingsFile), "wb")) {
    WriteLog("saveIndex():Cannot write index.");
    return -1;
  }
  bool written;
  try {
    written = WriteWordsAndPostings(table, &words_file, &postings_file, progress);
  } catch (const std::bad_alloc&) {
    WriteLog("saveIndex():Cannot write index.");
    written = false;
  }
  if (!written) return -1;
  return WriteStats(index_dir, distinct_words, total_files);
}

int readIndex(const std::string& path, uint64_t size, uint32_t* records_read, WordTable* table) {
  *records_read = 0;
  if (size < 5) {
    WriteLog("readIndex():Bad index file format.");
    return -1;
  }
  platform::File file;
  if (!file.Open(path, "rb")) {
    WriteLog("readIndex():Cannot open file.");
    return -1;
  }
  bool bad = false;
  RecordsEnd end = ReadRecords(file, [&](uint32_t offset, const char* word, size_t len, uint64_t) {
    if (len == 0) {
      bad = true;
      return false;
    }
    char folded[256];
    for (size_t i = 0; i < len; ++i) folded[i] = FoldChar(word[i]);
    ++*records_read;
    // A failure is logged by insertWord and only loses this word.
    insertWord(offset, folded, len, table);
    return true;
  });
  if (bad || end == RecordsEnd::kCutOff) {
    WriteLog("readIndex():Bad index file format.");
    return -1;
  }
  return end == RecordsEnd::kReadError ? -1 : 0;
}

namespace {

int ReadOneList(const std::string& path, uint32_t total_files, std::vector<uint32_t>* table) {
  platform::File file;
  if (!file.Open(path, "rb")) {
    WriteLog("readFileList():Cannot open file.");
    return -1;
  }
  bool too_long = false, bad = false;
  RecordsEnd end = ReadRecords(file, [&](uint32_t, const char*, size_t len, uint64_t at) {
    if (len == 0 || at + 4 > 0xFFFFFFFFull) {
      bad = true;
      return false;
    }
    if (table->size() < total_files && table->size() < kMaxListRecords) {
      table->push_back(static_cast<uint32_t>(at + 4));
    } else {
      too_long = true;  // read on to the end, as a damaged list is still refused whole
    }
    return true;
  });
  if (too_long) WriteLog("readFileList():File list longer than expected.");
  if (bad || end == RecordsEnd::kCutOff) WriteLog("readFileList():Bad file list format.");
  return (too_long || bad || end != RecordsEnd::kWhole) ? -1 : 0;
}

// The size of every list, each checked against the records it must hold; false after
// the log line.
bool ListSizesFit(const std::string& index_dir, uint32_t lists, uint32_t total_files,
                  std::vector<uint64_t>* sizes) {
  for (uint32_t k = 0; k < lists; ++k) {
    platform::FileStatus st;
    if (!platform::GetFileStatus(platform::JoinPath(index_dir, ListFileName(k)), &st) ||
        st.is_directory) {
      WriteLog("readFileList():Error opening file list.");
      return false;
    }
    if (st.size < kMinNameRecord * RecordsInList(k, total_files)) {
      WriteLog("readFileList():File list shorter than expected.");
      return false;
    }
    sizes->push_back(st.size);
  }
  return true;
}

}  // namespace

int readFileList(const std::string& index_dir, uint32_t lists, uint32_t total_files,
                 std::vector<std::vector<uint32_t>>* tables) {
  tables->clear();
  std::vector<uint64_t> sizes;  // at most 8,590 lists
  if (!ListSizesFit(index_dir, lists, total_files, &sizes)) return -1;
  for (uint32_t k = 0; k < lists; ++k) {
    std::string path = platform::JoinPath(index_dir, ListFileName(k));
    try {
      tables->emplace_back();
      // One record takes at least 6 bytes; reserve no more than the file can hold.
      uint64_t most = sizes[k] / kMinNameRecord;
      tables->back().reserve(static_cast<size_t>(most < kMaxListRecords ? most : kMaxListRecords));
      if (ReadOneList(path, total_files, &tables->back()) != 0) return -1;
    } catch (const std::bad_alloc&) {
      WriteLog("readFileList():Malloc failure for File list.");
      return -1;
    }
  }
  return 0;
}

namespace {

// Appends the numbers of one posting pair; false when the list stops ascending.
bool ExpandPair(uint32_t first, uint32_t last, uint32_t total_files, std::vector<uint32_t>* out) {
  if (first == 0) first = last;
  if (first > last) return true;  // yields nothing
  uint32_t prev = out->empty() ? 0 : out->back();
  if (first <= prev) return false;
  if (last > total_files) last = total_files;  // beyond the last document: no name, no result
  for (uint64_t n = first; n <= last; ++n) out->push_back(static_cast<uint32_t>(n));
  return true;
}

}  // namespace

bool getFileList(const std::string& index_dir, const WordTable& words, uint32_t total_files,
                 const std::string& word, std::vector<uint32_t>* out) {
  out->clear();
  std::string path = platform::JoinPath(index_dir, kPostingsFile);
  platform::FileStatus st;
  if (!platform::GetFileStatus(path, &st)) {
    WriteLog("getFileList():Error reading statis file index.");
    return false;
  }
  uint32_t offset = 0;
  if (findWord(words, word, &offset) != 0) return false;
  platform::File file;
  if (!file.Open(path, "rb")) {
    WriteLog("getFileList():Cannot open file index.");
    return false;
  }
  if (!file.Seek(offset)) {
    WriteLog("getFileList():Seek error in file index.");
    return false;
  }
  try {
    unsigned char buf[1024 + 8];
    size_t held = 0;
    for (;;) {
      size_t got = file.Read(buf + held, 1024);
      if (got == 0) {
        if (file.Error()) {
          out->clear();
          return false;
        }
        break;  // the end of the file also ends the list
      }
      held += got;
      size_t pos = 0;
      for (; held - pos >= 8; pos += 8) {
        uint32_t first = LoadLE32(buf + pos), last = LoadLE32(buf + pos + 4);
        if (first == 0 && last == 0) return !out->empty();
        if (!ExpandPair(first, last, total_files, out)) {
          WriteLog("getFileList():Bad postings in file index.");
          out->clear();
          return false;
        }
      }
      std::memmove(buf, buf + pos, held - pos);
      held -= pos;
    }
  } catch (const std::bad_alloc&) {
    WriteLog("getFileList():Malloc failure ul tmp node.");
    out->clear();
    return false;
  }
  return !out->empty();
}

}  // namespace norvel
