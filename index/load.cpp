// Loading an index into memory.
#include "index/load.h"

#include <algorithm>
#include <new>

#include "core/messages.h"
#include "index/index_files.h"
#include "index/record_reader.h"
#include "index/word_choice.h"
#include "index/word_files.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

bool RecordIndexTime(const std::string& index_dir, InMemoryIndex* index) {
  platform::FileStatus st;
  if (!platform::GetFileStatus(platform::JoinPath(index_dir, kStatsFile), &st)) return false;
  index->stats_mtime = st.mtime;
  return true;
}

namespace {

// Reads the two counts of _stats.dat; -1 after the log line of what failed.
int ReadStats(const std::string& index_dir, uint32_t* table_size, uint32_t* total_files) {
  platform::File stats;
  if (!stats.Open(platform::JoinPath(index_dir, kStatsFile), "rb")) {
    WriteLog("readIndexIntoMem():Cannot read stats.");
    return -1;
  }
  unsigned char b[4];
  if (stats.Read(b, 4) != 4) {
    WriteLog("readIndexIntoMem():Error reading table size.");
    return -1;
  }
  *table_size = LoadLE32(b);
  if (stats.Read(b, 4) != 4) {
    WriteLog("readIndexIntoMem():Error reading total files.");
    return -1;
  }
  *total_files = LoadLE32(b);
  return 0;
}

// Every word's postings, at least its terminator pair, must lie inside the postings file.
bool PostingOffsetsFit(const std::string& index_dir, const WordTable& words) {
  platform::FileStatus st;
  if (!platform::GetFileStatus(platform::JoinPath(index_dir, kPostingsFile), &st)) {
    WriteLog("readIndexIntoMem():Error reading _ndxfile.dat.");
    return false;
  }
  for (size_t i = 0; i < words.word_count(); ++i) {
    if (uint64_t{words.PostingOffset(i)} + 8 > st.size) {
      WriteLog("readIndexIntoMem():Posting offset beyond _ndxfile.dat.");
      return false;
    }
  }
  return true;
}

int Load(const std::string& index_dir, const std::string& app_dir, InMemoryIndex* out) {
  if (!ReadWordRules(index_dir, false, "readIndexIntoMem():", &out->rules)) return -1;
  if (readXcludeWords(app_dir, &out->exclusions, out->rules) != 0) return -1;
  uint32_t table_size = 0;
  if (ReadStats(index_dir, &table_size, &out->total_files) != 0) return -1;
  std::string words_path = platform::JoinPath(index_dir, kWordsFile);
  platform::FileStatus st;
  if (!platform::GetFileStatus(words_path, &st) || st.is_directory) {
    WriteLog("readIndexIntoMem():Error reading _ndxwrds.dat.");
    return -1;
  }
  if (st.size == 0) {
    WriteLog("readIndexIntoMem():Empty index file.");
    return -1;
  }
  // The bucket count reduces every lookup's hash; 0 beside words can only be damage.
  if (table_size == 0) {
    WriteLog("readIndexIntoMem():Bad table size.");
    return -1;
  }
  out->words = WordTable(table_size);
  // Every record takes at least 6 bytes; a damaged table size reserves no more than that.
  out->words.Reserve(std::min<uint64_t>(table_size, st.size / 6), static_cast<size_t>(st.size));
  uint32_t records = 0;
  if (readIndex(words_path, st.size, &records, &out->words) != 0) return -1;
  if (!PostingOffsetsFit(index_dir, out->words)) return -1;
  uint32_t lists = out->total_files / kFilesPerList + 1;
  return readFileList(index_dir, lists, out->total_files, &out->name_offsets);
}

}  // namespace

int readIndexIntoMem(const std::string& index_dir, const std::string& app_dir, InMemoryIndex* out) {
  out->Release();
  int result;
  try {
    result = Load(index_dir, app_dir, out);
  } catch (const std::bad_alloc&) {
    WriteLog("readIndexIntoMem():Malloc failure for Hashtable.");
    result = -1;
  }
  if (result != 0) out->Release();
  return result;
}

}  // namespace norvel
