// The fingerprint of the index files a positions file belongs to, taken from a loaded
// index or from the files a build wrote.
#include "index/positions_format.h"

#include "index/in_memory_index.h"
#include "index/index_files.h"
#include "index/record_reader.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

namespace {

bool AddSize(const std::string& index_dir, const std::string& name, FingerprintHash* h) {
  platform::FileStatus st;
  if (!platform::GetFileStatus(platform::JoinPath(index_dir, name), &st)) return false;
  h->Number(st.size);
  return true;
}

// The sizes of the words file, the postings file and every list of total_files documents.
bool AddSizes(const std::string& index_dir, bool new_index, uint32_t total_files,
              FingerprintHash* h) {
  if (!AddSize(index_dir, new_index ? kNewWordsFile : kWordsFile, h) ||
      !AddSize(index_dir, new_index ? kNewPostingsFile : kPostingsFile, h)) {
    return false;
  }
  uint32_t lists = total_files / kFilesPerList + 1;
  for (uint32_t k = 0; k < lists; ++k) {
    if (!AddSize(index_dir, ListFileName(k, new_index), h)) return false;
  }
  return true;
}

}  // namespace

bool LoadedIndexFingerprint(const std::string& index_dir, const InMemoryIndex& index,
                            uint64_t* out) {
  // The words cannot change while the index stays loaded: they are hashed once per load,
  // not at every search that opens the positions.
  if (!index.words_fingerprinted) {
    FingerprintHash words;
    words.Number(index.words.size());
    words.Number(index.total_files);
    for (size_t e = 0; e < index.words.word_count(); ++e) {
      words.Word(index.words.Text(e), index.words.PostingOffset(e));
    }
    words.Number(index.words.word_count());
    index.words_fingerprint = words.Value();
    index.words_fingerprinted = true;
  }
  FingerprintHash h(index.words_fingerprint);
  if (!AddSizes(index_dir, false, index.total_files, &h)) return false;
  *out = h.Value();
  return true;
}

bool NewIndexFingerprint(const std::string& index_dir, uint32_t distinct_words,
                         uint32_t total_files, uint64_t* out) {
  platform::File words;
  FingerprintHash h;
  h.Number(distinct_words);
  h.Number(total_files);
  uint64_t count = 0;
  if (!words.Open(platform::JoinPath(index_dir, kNewWordsFile), "rb")) return false;
  RecordsEnd end = ReadRecords(words, [&](uint32_t offset, const char* text, size_t len, uint64_t) {
    h.Word(std::string_view(text, len), offset);
    ++count;
    return true;
  });
  if (end != RecordsEnd::kWhole) return false;
  h.Number(count);
  if (!AddSizes(index_dir, true, total_files, &h)) return false;
  *out = h.Value();
  return true;
}

}  // namespace norvel
