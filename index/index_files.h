// The index files: their formats, the writer of words, postings and statistics, and the
// readers of words, file lists and postings.
//
// Four kinds of little-endian binary file with no header live in the index directory.
// A build writes them under "_new" names; the swap renames them to the current names.
//
//   _stats.dat (_newstats.dat), 8 bytes:
//     u32 distinct words  (records in _ndxwrds.dat; bucket count of the load-time table)
//     u32 total files     (number of documents = highest file number)
//
//   _ndxwrds.dat (_newndxwrds.dat), word records back to back:
//     u32 posting offset  (byte offset of the word's first pair in _ndxfile.dat)
//     u8  L               (1 to 254)
//     L bytes             folded word, no terminator
//   Records come in bucket order of the build's 1,000,000-bucket word hash, first-met
//   order inside a bucket, so posting offsets strictly increase from 0.
//
//   _ndxfile.dat (_newndxfile.dat), for each word in the same order, its pairs and (0, 0):
//     u32 first, u32 last  (first 0: the single file number `last`; else first..last)
//   Pairs ascend and never overlap; a word with R runs takes 8 * (R + 1) bytes.
//
//   _file%d.dat (_newfile%d.dat), list k holds the name records of file numbers
//   k*500,000 to k*500,000+499,999 (list 0 starts at 1), in order, no gaps:
//     u32 kind     0: the name's bytes as the data directory listing gives them (on
//                  Windows, in the ANSI code page); 1: UTF-8, for a Windows name the
//                  code page cannot spell. Any other value reads as 0.
//     u8  N        (1 to 255)
//     N bytes      the document's file name, no terminator
//   Total files T gives T / 500,000 + 1 lists; list 0 exists even when empty.
//   The loader keeps, per list, the offset of each record's length byte (4, then 5 + N
//   further for each next record).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/word_table.h"
#include "platform/file.h"
#include "platform/memory_pages.h"

namespace norvel {

struct JobProgress;

constexpr uint32_t kFilesPerList = 500000;
// The kinds of name in a file list's record.
constexpr uint32_t kNameAsListed = 0;
constexpr uint32_t kNameUtf8 = 1;
constexpr uint32_t kMaxListRecords = 500000;

extern const char kStatsFile[];     // "_stats.dat"
extern const char kWordsFile[];     // "_ndxwrds.dat"
extern const char kPostingsFile[];  // "_ndxfile.dat"
extern const char kNewStatsFile[];
extern const char kNewWordsFile[];
extern const char kNewPostingsFile[];
// "_newstats.tmp": the statistics while they are written, renamed to _newstats.dat once
// they are on the disk, so that the mark of a complete new index never stands empty.
extern const char kNewStatsTempFile[];
// "_file%d.dat", or "_newfile%d.dat" for a new index.
std::string ListFileName(uint32_t list, bool new_index = false);

// The list and the record index of file number n (n >= 1).
inline uint32_t ListOfFile(uint32_t n) {
  return n / kFilesPerList;
}
inline uint32_t RecordOfFile(uint32_t n) {
  return n < kFilesPerList ? n - 1 : n % kFilesPerList;
}

// The smallest name record: reserved field, length byte and one character.
constexpr uint64_t kMinNameRecord = 4 + 1 + 1;

// How many name records list k holds in an index of total_files documents.
inline uint32_t RecordsInList(uint32_t list, uint32_t total_files) {
  uint64_t first = list == 0 ? 1 : uint64_t{list} * kFilesPerList;
  uint64_t last = uint64_t{list} * kFilesPerList + kFilesPerList - 1;
  if (last > total_files) last = total_files;
  return last >= first ? static_cast<uint32_t>(last - first + 1) : 0;
}

// Writes _newndxwrds.dat, _newndxfile.dat and then _newstats.dat (distinct words, total
// files) from a build-time table, setting each entry's posting offset. Each file is on the
// disk before the next is written, and the statistics appear under their name only whole. Counts
// the words saved in progress (may be null). 0, or -1 after a log line. Statistics are written only
// when words and postings were written whole, so a failed save never leaves a new index
// that looks complete.
int saveIndex(WordTable* table, const std::string& index_dir, uint32_t total_files,
              uint32_t distinct_words, JobProgress* progress);

// A part of a build: a table of the documents numbered base + 1 on, whose own numbers
// count from 1. The parts of one build follow each other without gaps.
struct TableSegment {
  WordTable* table;
  uint32_t base;
};
// The words of all parts as one table would hold them: first-met order across the parts
// in turn, each word's runs joined across part boundaries. Entry order of the parts.
struct MergedWords {
  size_t parts = 0;
  platform::LargePageVector<uint32_t> where;   // parts per word: its entry + 1 in each part,
                                               // 0 for none
  platform::LargePageVector<uint32_t> bucket;  // per word: word hash % the tables' size
  size_t count() const { return parts ? where.size() / parts : 0; }
};
// The lookups are shared out over `threads` threads. Throws std::bad_alloc. The tables have
// buckets (size > 0; checked where NORVEL_EXPECTS is on).
void MergeWords(const std::vector<TableSegment>& segments, MergedWords* out, unsigned threads = 1);
// saveIndex over the parts of a build, as one table holding all their words would be
// saved; each word's posting offset is set in the first part that has it.
int saveIndex(const std::vector<TableSegment>& segments, const MergedWords& merged,
              const std::string& index_dir, uint32_t total_files, uint32_t distinct_words,
              JobProgress* progress);
// The same in its two steps, for a build that finishes other files between them: the
// words and postings, then the statistics that mark the new index complete.
int saveIndexFiles(const std::vector<TableSegment>& segments, const MergedWords& merged,
                   const std::string& index_dir, JobProgress* progress);
int saveIndexStats(const std::string& index_dir, uint32_t total_files, uint32_t distinct_words);

// Enters every word record of a words file (of the given size) into the load-time table;
// records_read counts them. A file shorter than 5 bytes, a record of length 0 or a record
// cut off by the end of the file is refused. 0, or -1 after a log line.
int readIndex(const std::string& path, uint64_t size, uint32_t* records_read, WordTable* table);

// Builds one file-name offset table per list (lists = total files / 500,000 + 1). Before
// anything is allocated, every list must exist and be large enough for the records that
// total files gives it: a damaged total (up to 2^32 documents) must not stand for more
// documents than the lists on disk can name, as every search's postings are expanded up
// to it. A list with more records than total files or than 500,000, a name of length 0
// or a record cut off by the end of the file is refused too. 0, or -1 after a log line.
int readFileList(const std::string& index_dir, uint32_t lists, uint32_t total_files,
                 std::vector<std::vector<uint32_t>>* tables);

// Reads the ascending file numbers of one folded word from the postings file into out.
// Numbers above total files name no document and are left out; pairs that do not ascend
// are damage and give no list. True when a non-empty list came back. words is a loaded
// table (checked where NORVEL_EXPECTS is on).
bool getFileList(const std::string& index_dir, const WordTable& words, uint32_t total_files,
                 const std::string& word, std::vector<uint32_t>* out);

// The postings file held open while the lists of many words are read in turn (a prefix's
// words): one open instead of one per word.
class PostingsFile {
 public:
  // False, after getFileList's log line, when the file cannot be opened.
  bool Open(const std::string& index_dir);
  // The list of the word whose posting offset is given, as getFileList reads it. Throws
  // std::bad_alloc.
  bool Read(uint32_t offset, uint32_t total_files, std::vector<uint32_t>* out);
  // The same list as runs (first..last, first never 0), appended to *out without expanding
  // them. False for damage or a read error, with *out as it was. Throws std::bad_alloc.
  bool ReadRuns(uint32_t offset, uint32_t total_files, std::vector<PostingRun>* out);

 private:
  platform::File file_;
};

}  // namespace norvel
