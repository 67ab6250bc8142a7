// The index build.
#include "index/build.h"

#include <cstring>
#include <new>
#include <vector>

#include "app/job_progress.h"
#include "app/messages.h"
#include "index/doc_words.h"
#include "index/index_files.h"
#include "index/read_ahead.h"
#include "index/word_table.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

namespace {

enum class LoopEnd { kListingDone, kFailed, kStopped, kListWriteFailed };

// The file list being written: list number k, cut every 500,000 file numbers.
class ListWriter {
 public:
  explicit ListWriter(const std::string& index_dir) : index_dir_(index_dir) {}
  bool Open(uint32_t list) {
    list_ = list;
    return file_.Open(platform::JoinPath(index_dir_, ListFileName(list, true)), "wb");
  }
  uint32_t list() const { return list_; }
  bool Append(const std::string& name) {
    unsigned char head[5] = {0, 0, 0, 0, static_cast<unsigned char>(name.size())};
    return file_.Write(head, 5) && file_.Write(name.data(), name.size());
  }
  bool Close() { return file_.Close(); }

 private:
  std::string index_dir_;
  platform::File file_;
  uint32_t list_ = 0;
};

struct BuildCounts {
  uint32_t files_written = 0;
  uint32_t distinct_words = 0;
};

// Enters one document's words under its file number, exactly as addFileToIndex would
// enter the document's tokens one by one: the words limit is checked after every accepted
// token, repeats included. 0, or -1 after the log line.
int AddDocumentWords(const DocumentWords& doc, uint32_t file_number, uint32_t* distinct_words,
                     WordTable* table) {
  switch (doc.status) {
    case DocumentWords::Status::kCannotOpen:
      WriteLog("addFileToIndex():Cannot open file.");
      return -1;
    case DocumentWords::Status::kNoMemory:
      WriteLog("addNode():Malloc failure for Word node");
      return -1;
    default:
      break;
  }
  // The table is far larger than the caches: its slots and entries for the records a
  // little further on are fetched while this one is entered.
  const char* rec = doc.records.data();
  const char* end = rec + doc.records.size();
  const char* slot_ahead = rec;
  const char* entry_ahead = rec;
  auto next = [](const char* r) { return r + 6 + static_cast<unsigned char>(r[4]); };
  auto key_of = [](const char* r) {
    uint32_t key;
    std::memcpy(&key, r, 4);
    return key;
  };
  for (int i = 0; i < 16 && slot_ahead < end; ++i) {
    table->PrefetchSlot(key_of(slot_ahead));
    slot_ahead = next(slot_ahead);
  }
  for (int i = 0; i < 8 && entry_ahead < end; ++i) entry_ahead = next(entry_ahead);
  for (uint32_t k = 0; k < doc.count; ++k) {
    if (slot_ahead < end) {
      table->PrefetchSlot(key_of(slot_ahead));
      slot_ahead = next(slot_ahead);
    }
    if (entry_ahead < end) {
      table->PrefetchEntry(key_of(entry_ahead));
      entry_ahead = next(entry_ahead);
    }
    uint32_t key;
    std::memcpy(&key, rec, 4);
    size_t len = static_cast<unsigned char>(rec[4]);
    bool repeat_follows = rec[5] != 0;
    int r = table->AddOccurrence(rec + 6, len, file_number, key);
    if (r < 0) return -1;
    if (*distinct_words > kBuildTableSize) {
      WriteLog("addFileToIndex():Max words limit reached.");
      return -1;
    }
    *distinct_words += static_cast<uint32_t>(r);
    // A repeated token after this word meets the same check, the word being known.
    if (repeat_follows && *distinct_words > kBuildTableSize) {
      WriteLog("addFileToIndex():Max words limit reached.");
      return -1;
    }
    rec += 6 + len;
  }
  if (doc.status == DocumentWords::Status::kReadError) {
    WriteLog("addFileToIndex():Read error.");
    return -1;
  }
  return 0;
}

LoopEnd IndexDocuments(const std::vector<std::string>& names, ReadAhead* ahead, WordTable* table,
                       ListWriter* list, BuildCounts* counts, JobProgress* progress) {
  uint32_t file_number = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    const DocumentWords& doc = ahead->Take(i);
    if (!doc.stat_ok) {
      WriteLog("doIndex():Error reading file.");
      return LoopEnd::kFailed;
    }
    if (doc.size == 0) continue;
    // The name record holds at most 255 bytes; a longer name could never be shown.
    if (name.size() > 255) {
      WriteLog("doIndex():File name too long.");
      continue;
    }
    ++file_number;
    if (ListOfFile(file_number) != list->list()) {
      if (!list->Close()) return LoopEnd::kListWriteFailed;
      if (!list->Open(ListOfFile(file_number))) return LoopEnd::kListWriteFailed;
    }
    if (AddDocumentWords(doc, file_number, &counts->distinct_words, table) != 0) {
      return LoopEnd::kFailed;
    }
    // A lost name record would shift every later name: such a list must not be used.
    if (!list->Append(name)) return LoopEnd::kListWriteFailed;
    ++counts->files_written;
    if (progress) {
      progress->files_indexed = counts->files_written;
      progress->distinct_words = counts->distinct_words;
      if (progress->stop) return LoopEnd::kStopped;
    }
  }
  return LoopEnd::kListingDone;
}

int Build(const std::string& data_dir, const std::string& index_dir, const std::string& app_dir,
          JobProgress* progress) {
  WordTable exclusions;
  if (readXcludeWords(app_dir, &exclusions) != 0) return -1;
  WordTable table(kBuildTableSize);
  std::vector<std::string> names;
  if (!platform::ListDirectory(data_dir, "*.txt", &names) || names.empty()) {
    WriteLog("doIndex():Nothing to index.");
    return -1;
  }
  // Whatever this build leaves must not be taken for a complete new index before its
  // statistics are written, which saveIndex does last.
  platform::RemoveFile(platform::JoinPath(index_dir, kNewStatsFile));
  ListWriter list(index_dir);
  if (!list.Open(0)) {
    WriteLog("doIndex():Cannot write file list.");
    return -1;
  }
  BuildCounts counts;
  LoopEnd end;
  {
    ReadAhead ahead(data_dir, names, &exclusions, ReadAhead::DefaultWorkers());
    end = IndexDocuments(names, &ahead, &table, &list, &counts, progress);
  }
  bool closed = list.Close();
  if (end == LoopEnd::kListWriteFailed || !closed) {
    WriteLog("doIndex():Cannot write file list.");
    return -1;
  }
  if (progress) progress->distinct_words = counts.distinct_words;
  if (saveIndex(&table, index_dir, counts.files_written, counts.distinct_words, progress) != 0) {
    WriteLog("doIndex():Error saving index.");
    return -1;
  }
  return end == LoopEnd::kListingDone ? 0 : -1;
}

}  // namespace

int doIndex(const std::string& data_dir, const std::string& index_dir, const std::string& app_dir,
            JobProgress* progress) {
  try {
    return Build(data_dir, index_dir, app_dir, progress);
  } catch (const std::bad_alloc&) {
    WriteLog("doIndex():Malloc failure for Hash table.");
    return -1;
  }
}

}  // namespace norvel
