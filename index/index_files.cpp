// The writer and the readers of the index files (format at the top of index_files.h).
#include "index/index_files.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "core/job_progress.h"
#include "core/messages.h"
#include "index/new_files.h"
#include "index/parallel.h"
#include "index/record_reader.h"
#include "platform/expects.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

const char kStatsFile[] = "_stats.dat";
const char kWordsFile[] = "_ndxwrds.dat";
const char kPostingsFile[] = "_ndxfile.dat";
const char kNewStatsFile[] = "_newstats.dat";
const char kNewWordsFile[] = "_newndxwrds.dat";
const char kNewPostingsFile[] = "_newndxfile.dat";
const char kNewStatsTempFile[] = "_newstats.tmp";

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
    // What is written goes on to the disk as the save goes on: the sync at the end then
    // waits for the last of it only.
    unsynced_ += used_;
    if (unsynced_ >= kStartSync) {
      file_->StartSync();
      unsynced_ = 0;
    }
    used_ = 0;
  }
  // Flushes, syncs to the disk and closes; false when any write failed.
  bool Finish() {
    Flush();
    bool synced = file_->Sync();
    return file_->Close() && synced && ok_;
  }
  bool ok() const { return ok_; }

 private:
  // Larger than any one Put; small enough to stay in the cache, and to take few pages.
  static constexpr size_t kChunk = 256 << 10;
  static constexpr size_t kStartSync = 4 << 20;
  platform::File* file_;
  std::unique_ptr<unsigned char[]> buf_;
  size_t used_ = 0;
  size_t unsynced_ = 0;
  bool ok_ = true;
};

// The statistics mark a complete new index: they are written under a temporary name,
// synced, and only then given their own, with the directory synced before that rename
// (the new words, postings and lists were created in it: their names reach the disk
// before the mark that says they are complete) and after it, so that a power cut never
// leaves the mark empty or standing without the new index's files.
int WriteStats(const std::string& index_dir, uint32_t distinct_words, uint32_t total_files) {
  std::string temp = platform::JoinPath(index_dir, kNewStatsTempFile);
  platform::File stats;
  unsigned char b[8];
  StoreLE32(b, distinct_words);
  StoreLE32(b + 4, total_files);
  platform::RemoveFile(temp);
  bool written = stats.Open(temp, "wb") && stats.Write(b, 8) && stats.Sync();
  written = stats.Close() && written;
  if (written) platform::SyncDirectory(index_dir);
  if (!written || !platform::RenameReplace(temp, platform::JoinPath(index_dir, kNewStatsFile))) {
    platform::RemoveFile(temp);
    WriteLog("saveIndex():Cannot write stats.");
    return -1;
  }
  platform::SyncDirectory(index_dir);
  return 0;
}

// The merged words in the writer's order: bucket 0 to size - 1, first-met order inside.
// A stable radix sort, eleven bits a pass, needs no counter per bucket.
std::vector<uint32_t> MergedBucketOrder(const MergedWords& merged) {
  size_t n = merged.bucket.size();
  std::vector<uint32_t> order(n), other(n);
  for (size_t m = 0; m < n; ++m) order[m] = static_cast<uint32_t>(m);
  uint32_t highest = 0;
  for (uint32_t b : merged.bucket) highest = std::max(highest, b);
  constexpr unsigned kBits = 11;
  for (unsigned shift = 0; shift < 32 && (highest >> shift) != 0; shift += kBits) {
    uint32_t count[(1u << kBits) + 1] = {};
    for (uint32_t b : merged.bucket) ++count[((b >> shift) & ((1u << kBits) - 1)) + 1];
    for (size_t d = 1; d <= (1u << kBits); ++d) count[d] += count[d - 1];
    for (uint32_t m : order) other[count[(merged.bucket[m] >> shift) & ((1u << kBits) - 1)]++] = m;
    order.swap(other);
  }
  return order;
}

// Joins runs that meet where one part ends and the next begins, and writes each pair.
class RunWriter {
 public:
  explicit RunWriter(ChunkWriter* out) : out_(out) {}
  void Add(PostingRun run) {
    uint32_t first = run.first != 0 ? run.first : run.last;
    if (held_ && first == last_ + 1) {
      if (first_ == 0) first_ = last_;
      last_ = run.last;
      return;
    }
    Flush();
    first_ = run.first;
    last_ = run.last;
    held_ = true;
  }
  // Writes the held run and the terminator; the bytes written for the word.
  uint64_t End() {
    Flush();
    out_->Put32(0);
    out_->Put32(0);
    uint64_t bytes = written_ + 8;
    written_ = 0;
    return bytes;
  }

 private:
  void Flush() {
    if (!held_) return;
    out_->Put32(first_);
    out_->Put32(last_);
    written_ += 8;
    held_ = false;
  }
  ChunkWriter* out_;
  uint32_t first_ = 0, last_ = 0;
  bool held_ = false;
  uint64_t written_ = 0;
};

// Writes the words [begin, end) of the writer's order and their postings, the first of
// them at `offset` in the postings file; the word at i has its entries in the parts at
// sorted[i * parts]. Counts words saved. False when a posting offset would pass 4 GB (the
// words file's offsets are 32-bit).
bool WriteWords(const std::vector<TableSegment>& segments,
                const platform::LargePageVector<uint32_t>& sorted, size_t begin, size_t end,
                uint64_t offset, ChunkWriter* words, ChunkWriter* postings, JobProgress* progress) {
  RunWriter runs(postings);
  size_t parts = segments.size();
  // The words come in bucket order, scattered over the tables: each is fetched into the
  // cache a few words before it is written.
  constexpr size_t kEntryAhead = 32, kWordAhead = 16;
  auto prefetch = [&](size_t i) {
    if (i + kEntryAhead < end) {
      const uint32_t* w = &sorted[(i + kEntryAhead) * parts];
      for (size_t s = 0; s < parts; ++s) {
        if (w[s]) segments[s].table->PrefetchEntryAt(w[s] - 1);
      }
    }
    if (i + kWordAhead < end) {
      const uint32_t* w = &sorted[(i + kWordAhead) * parts];
      for (size_t s = 0; s < parts; ++s) {
        if (w[s]) segments[s].table->PrefetchWordOf(w[s] - 1);
      }
    }
  };
  uint32_t saved = 0;
  for (size_t i = begin; i < end; ++i) {
    prefetch(i);
    if (offset > 0xFFFFFFFFull) return false;
    bool named = false;
    for (size_t s = 0; s < parts; ++s) {
      uint32_t e = sorted[i * parts + s];
      if (e == 0) continue;
      WordTable& table = *segments[s].table;
      if (!named) {
        std::string_view text = table.Text(e - 1);
        words->Put32(static_cast<uint32_t>(offset));
        unsigned char len = static_cast<unsigned char>(text.size());
        words->Put(&len, 1);
        words->Put(text.data(), text.size());
      }
      uint32_t base = segments[s].base;
      table.ForEachRunOf(e - 1, [&](PostingRun r) {
        runs.Add(PostingRun{r.first != 0 ? r.first + base : 0, r.last + base});
      });
      if (!named) table.SetPostingOffset(e - 1, static_cast<uint32_t>(offset));
      named = true;
    }
    offset += runs.End();
    if (progress && (++saved & 1023) == 0) progress->words_saved.fetch_add(1024);
  }
  if (progress) progress->words_saved.fetch_add(saved & 1023);
  return true;
}

// Where the words from begin on in the writer's order start: the bytes that the words
// before take in the words file and in the postings file, counted without decoding the
// runs.
void PlaceWords(const std::vector<TableSegment>& segments,
                const platform::LargePageVector<uint32_t>& sorted, size_t begin,
                uint64_t* words_bytes, uint64_t* postings_bytes) {
  size_t parts = segments.size();
  uint64_t w = 0, runs = 0;
  for (size_t i = 0; i < begin; ++i) {
    if (i + 16 < begin) {
      const uint32_t* ahead = &sorted[(i + 16) * parts];
      for (size_t s = 0; s < parts; ++s) {
        if (ahead[s]) segments[s].table->PrefetchEntryAt(ahead[s] - 1);
      }
    }
    const uint32_t* where = &sorted[i * parts];
    bool named = false;
    uint64_t last = 0;  // the word's last file number so far, 0 for none
    for (size_t s = 0; s < parts; ++s) {
      if (where[s] == 0) continue;
      const WordTable& table = *segments[s].table;
      size_t e = where[s] - 1;
      if (!named) w += 5 + table.Text(e).size();
      named = true;
      runs += table.RunCount(e);
      uint64_t base = segments[s].base;
      // A run that ends a part and one that starts the next are written as one.
      if (last != 0 && last == base && table.FirstFile(e) == 1) --runs;
      last = base + table.LastFile(e);
    }
    ++runs;  // the terminator
  }
  *words_bytes = w;
  *postings_bytes = 8 * runs;
}

// Writes the words and postings in one pass, a word's posting offset being the size of
// the postings before it; a large table in two halves on two threads, the second writing
// through handles of its own from where the first half ends. False after the log line.
bool WriteWordsAndPostings(const std::vector<TableSegment>& segments, const MergedWords& merged,
                           const std::string& index_dir, platform::File* words_file,
                           platform::File* postings_file, JobProgress* progress) {
  if (progress) progress->words_saved = 0;
  // The merged words' entries in the writer's order, read from front to back.
  platform::LargePageVector<uint32_t> sorted;
  size_t n = merged.count(), parts = merged.parts;
  {
    std::vector<uint32_t> order = MergedBucketOrder(merged);
    sorted.resize(n * parts);
    for (size_t i = 0; i < n; ++i) {
      std::memcpy(&sorted[i * parts], &merged.where[size_t{order[i]} * parts],
                  parts * sizeof(uint32_t));
    }
  }
  size_t half = n >= 65536 ? n / 2 : n;
  uint64_t words_at = 0, postings_at = 0;
  if (half < n) PlaceWords(segments, sorted, half, &words_at, &postings_at);
  platform::File words_rest, postings_rest;
  std::thread helper;
  bool rest_words_ok = true, rest_postings_ok = true;
  // File offsets past 2 GB cannot be sought to: the second half then follows the first.
  if (half < n && postings_at <= 0x7FFFFFFFu && words_at <= 0x7FFFFFFFu &&
      words_rest.Open(platform::JoinPath(index_dir, kNewWordsFile), "r+b") &&
      postings_rest.Open(platform::JoinPath(index_dir, kNewPostingsFile), "r+b") &&
      words_rest.Seek(words_at) && postings_rest.Seek(postings_at)) {
    try {
      helper = std::thread([&] {
        try {
          ChunkWriter words(&words_rest), postings(&postings_rest);
          rest_postings_ok =
              WriteWords(segments, sorted, half, n, postings_at, &words, &postings, progress);
          rest_words_ok = words.Finish();
          rest_postings_ok = postings.Finish() && rest_postings_ok;
        } catch (const std::bad_alloc&) {
          rest_words_ok = false;
        }
      });
    } catch (const std::system_error&) {
    }
  }
  if (!helper.joinable()) half = n;
  JoinOnExit join_on_exit(helper);
  ChunkWriter words(words_file), postings(postings_file);
  bool postings_ok = WriteWords(segments, sorted, 0, half, 0, &words, &postings, progress);
  if (helper.joinable()) helper.join();
  bool words_ok = words.Finish() && rest_words_ok;
  postings_ok = postings.Finish() && postings_ok && rest_postings_ok;
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

namespace {

// Per entry of each part: its bucket, and from the second part on where an earlier part
// holds the same word: (that part << 32) | (its entry + 1), 0 for none. Entries are shared
// out over the threads, a slice of every part each; every lookup goes to tables no thread
// changes.
struct PartWords {
  platform::LargePageVector<uint32_t> bucket;
  platform::LargePageVector<uint64_t> earlier;
};

void LookUpEntries(const std::vector<TableSegment>& segments, size_t s, size_t begin, size_t end,
                   PartWords* out) {
  const WordTable& table = *segments[s].table;
  const WordTable& first = *segments[0].table;
  uint32_t size = table.size();
  // The slot, the entry and the text of a word a little further on are fetched ahead
  // from the first part, where most words are found.
  constexpr size_t kSlotAhead = 16, kEntryAhead = 8, kWordAhead = 4, kRing = 32;
  uint32_t keys[kRing];
  auto key_of = [&](size_t e) {
    std::string_view text = table.Text(e);
    return WordKey(text.data(), text.size());
  };
  for (size_t e = begin; e < end && e < begin + kSlotAhead; ++e) {
    keys[e % kRing] = key_of(e);
    if (s > 0) first.PrefetchSlot(keys[e % kRing]);
  }
  for (size_t e = begin; e < end; ++e) {
    if (e + kSlotAhead < end) {
      keys[(e + kSlotAhead) % kRing] = key_of(e + kSlotAhead);
      if (s > 0) first.PrefetchSlot(keys[(e + kSlotAhead) % kRing]);
    }
    if (s > 0 && e + kEntryAhead < end) first.PrefetchEntry(keys[(e + kEntryAhead) % kRing]);
    if (s > 0 && e + kWordAhead < end) first.PrefetchWord(keys[(e + kWordAhead) % kRing]);
    std::string_view text = table.Text(e);
    out->bucket[e] = WordHash(text) % size;
    if (s == 0) continue;
    uint64_t where = 0;
    for (size_t t = 0; t < s && where == 0; ++t) {
      long found = segments[t].table->Find(text.data(), text.size(), keys[e % kRing]);
      if (found >= 0) where = (uint64_t{t} << 32) | static_cast<uint64_t>(found + 1);
    }
    out->earlier[e] = where;
  }
}

}  // namespace

void MergeWords(const std::vector<TableSegment>& segments, MergedWords* out, unsigned threads) {
  // The words are placed by hash % table size: a table of size 0 has no place for them.
  NORVEL_EXPECTS(!segments.empty() && segments[0].table->present());
  size_t parts = segments.size();
  out->parts = parts;
  out->where.clear();
  out->bucket.clear();
  size_t total = 0;
  for (const TableSegment& seg : segments) total += seg.table->word_count();
  std::vector<PartWords> words(parts);
  for (size_t s = 0; s < parts; ++s) {
    words[s].bucket.resize(segments[s].table->word_count());
    if (s > 0) words[s].earlier.resize(segments[s].table->word_count());
  }
  size_t shares = std::max<size_t>(1, std::min<size_t>(threads, total / 4096 + 1));
  OnThreads(shares, [&](size_t t) {
    // Share t of every part: the lookups are in the parts after the first.
    for (size_t s = 0; s < parts; ++s) {
      size_t n = segments[s].table->word_count();
      size_t begin = n * t / shares, end = n * (t + 1) / shares;
      if (begin < end) LookUpEntries(segments, s, begin, end, &words[s]);
    }
  });
  if (parts == 1) {
    out->where.resize(total);
    for (size_t e = 0; e < total; ++e) out->where[e] = static_cast<uint32_t>(e + 1);
    out->bucket.swap(words[0].bucket);
    return;
  }
  out->where.assign(total * parts, 0);
  out->bucket.reserve(total);
  // The merged word of each entry of each part, to find a word met in an earlier part.
  std::vector<platform::LargePageVector<uint32_t>> merged_of(parts);
  for (size_t s = 0; s < parts; ++s) {
    size_t n = segments[s].table->word_count();
    merged_of[s].resize(n);
    for (size_t e = 0; e < n; ++e) {
      uint64_t earlier = s > 0 ? words[s].earlier[e] : 0;
      uint32_t m;
      if (earlier != 0) {
        m = merged_of[earlier >> 32][static_cast<uint32_t>(earlier) - 1];
      } else {
        m = static_cast<uint32_t>(out->bucket.size());
        out->bucket.push_back(words[s].bucket[e]);
      }
      merged_of[s][e] = m;
      out->where[size_t{m} * parts + s] = static_cast<uint32_t>(e + 1);
    }
    decltype(words[s].bucket)().swap(words[s].bucket);
    decltype(words[s].earlier)().swap(words[s].earlier);
  }
  out->where.resize(out->bucket.size() * parts);
}

namespace {

bool OpenOutputs(const std::string& index_dir, platform::File* words_file,
                 platform::File* postings_file) {
  // A stale statistics file would mark whatever this save leaves as a complete new index,
  // also after a power cut: its deletion reaches the disk before the files are rewritten,
  // and when it stays nothing is rewritten.
  if (!RemoveNewIndexMark(index_dir, "saveIndex():")) {
    WriteLog("saveIndex():Cannot write index.");
    return false;
  }
  if (!words_file->Open(platform::JoinPath(index_dir, kNewWordsFile), "wb") ||
      !postings_file->Open(platform::JoinPath(index_dir, kNewPostingsFile), "wb")) {
    WriteLog("saveIndex():Cannot write index.");
    return false;
  }
  return true;
}

}  // namespace

int saveIndex(const std::vector<TableSegment>& segments, const MergedWords& merged,
              const std::string& index_dir, uint32_t total_files, uint32_t distinct_words,
              JobProgress* progress) {
  if (saveIndexFiles(segments, merged, index_dir, progress) != 0) return -1;
  return WriteStats(index_dir, distinct_words, total_files);
}

int saveIndexStats(const std::string& index_dir, uint32_t total_files, uint32_t distinct_words) {
  return WriteStats(index_dir, distinct_words, total_files);
}

int saveIndexFiles(const std::vector<TableSegment>& segments, const MergedWords& merged,
                   const std::string& index_dir, JobProgress* progress) {
  platform::File words_file, postings_file;
  if (!OpenOutputs(index_dir, &words_file, &postings_file)) return -1;
  bool written;
  try {
    written =
        WriteWordsAndPostings(segments, merged, index_dir, &words_file, &postings_file, progress);
  } catch (const std::bad_alloc&) {
    WriteLog("saveIndex():Cannot write index.");
    written = false;
  }
  return written ? 0 : -1;
}

int saveIndex(WordTable* table, const std::string& index_dir, uint32_t total_files,
              uint32_t distinct_words, JobProgress* progress) {
  std::vector<TableSegment> one{TableSegment{table, 0}};
  MergedWords merged;
  try {
    MergeWords(one, &merged);
  } catch (const std::bad_alloc&) {
    RemoveNewIndexMark(index_dir, "saveIndex():");
    WriteLog("saveIndex():Cannot write index.");
    return -1;
  }
  return saveIndex(one, merged, index_dir, total_files, distinct_words, progress);
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
  // Each word's slot is fetched as its record is read and the word entered kAhead records
  // later: the table is far larger than the caches, and a slot is all that entering a new
  // word reads.
  constexpr size_t kAhead = 32, kRing = 64;
  struct Waiting {
    uint32_t offset, key, len;
  };
  Waiting waiting[kRing];
  std::vector<char> texts(kRing * 256);
  size_t read = 0, entered = 0;
  auto enter_one = [&] {
    const Waiting& w = waiting[entered % kRing];
    // A failure is logged by Insert and only loses this word.
    table->Insert(&texts[(entered % kRing) * 256], w.len, w.key, w.offset);
    ++entered;
  };
  bool bad = false;
  RecordsEnd end = ReadRecords(file, [&](uint32_t offset, const char* word, size_t len, uint64_t) {
    if (len == 0) {
      bad = true;
      return false;
    }
    char* folded = &texts[(read % kRing) * 256];
    for (size_t i = 0; i < len; ++i) folded[i] = FoldChar(word[i]);
    ++*records_read;
    uint32_t key = WordKey(folded, len);
    waiting[read % kRing] = Waiting{offset, key, static_cast<uint32_t>(len)};
    table->PrefetchSlot(key);
    if (++read - entered > kAhead) enter_one();
    return true;
  });
  while (entered < read) enter_one();
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

// Calls add(first, last) for each pair of one word's list from the file's position up to
// its (0, 0) pair or the end of the file; add returns false for runs that do not ascend.
// kWhole at the list's end, kCutOff for bad runs (after a log line), kReadError.
template <typename Add>
RecordsEnd ForEachPair(platform::File& file, Add&& add) {
  unsigned char buf[1024 + 8];
  size_t held = 0;
  for (;;) {
    size_t got = file.Read(buf + held, 1024);
    if (got == 0) return file.Error() ? RecordsEnd::kReadError : RecordsEnd::kWhole;
    held += got;
    size_t pos = 0;
    for (; held - pos >= 8; pos += 8) {
      uint32_t first = LoadLE32(buf + pos), last = LoadLE32(buf + pos + 4);
      if (first == 0 && last == 0) return RecordsEnd::kWhole;
      if (!add(first, last)) {
        WriteLog("getFileList():Bad postings in file index.");
        return RecordsEnd::kCutOff;
      }
    }
    std::memmove(buf, buf + pos, held - pos);
    held -= pos;
  }
}

// Reads the runs of one word's list into *out. False, with *out empty, for a read error,
// bad runs (after a log line) or an empty list. Throws std::bad_alloc.
bool ReadList(platform::File& file, uint32_t total_files, std::vector<uint32_t>* out) {
  auto add = [&](uint32_t first, uint32_t last) {
    return ExpandPair(first, last, total_files, out);
  };
  if (ForEachPair(file, add) != RecordsEnd::kWhole) out->clear();
  return !out->empty();
}

}  // namespace

bool getFileList(const std::string& index_dir, const WordTable& words, uint32_t total_files,
                 const std::string& word, std::vector<uint32_t>* out) {
  NORVEL_EXPECTS(words.present());  // searched before an index was loaded
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
    return ReadList(file, total_files, out);
  } catch (const std::bad_alloc&) {
    WriteLog("getFileList():Malloc failure ul tmp node.");
    out->clear();
    return false;
  }
}

bool PostingsFile::Open(const std::string& index_dir) {
  if (!file_.Open(platform::JoinPath(index_dir, kPostingsFile), "rb")) {
    WriteLog("getFileList():Cannot open file index.");
    return false;
  }
  return true;
}

bool PostingsFile::Read(uint32_t offset, uint32_t total_files, std::vector<uint32_t>* out) {
  out->clear();
  if (!file_.Seek(offset)) {
    WriteLog("getFileList():Seek error in file index.");
    return false;
  }
  return ReadList(file_, total_files, out);
}

}  // namespace norvel

namespace norvel {

bool PostingsFile::ReadRuns(uint32_t offset, uint32_t total_files, std::vector<PostingRun>* out) {
  if (!file_.Seek(offset)) {
    WriteLog("getFileList():Seek error in file index.");
    return false;
  }
  size_t before = out->size();
  uint32_t prev = 0;
  auto add = [&](uint32_t first, uint32_t last) {
    if (first == 0) first = last;
    if (first > last) return true;  // yields nothing
    if (first <= prev) return false;
    if (last > total_files) last = total_files;
    if (first > last) return true;  // beyond the last document
    out->push_back(PostingRun{first, last});
    prev = last;
    return true;
  };
  if (ForEachPair(file_, add) == RecordsEnd::kWhole) return true;
  out->resize(before);
  return false;
}

}  // namespace norvel
