// The index build.
#include "index/build.h"

#include <new>
#include <vector>

#include "app/job_progress.h"
#include "app/messages.h"
#include "index/index_files.h"
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

LoopEnd IndexDocuments(const std::string& data_dir, const std::vector<std::string>& names,
                       const WordTable& exclusions, WordTable* table, ListWriter* list,
                       BuildCounts* counts, JobProgress* progress) {
  uint32_t file_number = 0;
  for (const std::string& name : names) {
    std::string path = platform::JoinPath(data_dir, name);
    platform::FileStatus st;
    if (!platform::GetFileStatus(path, &st)) {
      WriteLog("doIndex():Error reading file.");
      return LoopEnd::kFailed;
    }
    if (st.size == 0) continue;
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
    if (addFileToIndex(file_number, path, st.size, &counts->distinct_words, table, &exclusions,
                       kBuildTableSize) != 0) {
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
  LoopEnd end = IndexDocuments(data_dir, names, exclusions, &table, &list, &counts, progress);
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
