// Reading words out of text files: a document into a word table, and the exclusion list.
#include "index/word_files.h"

#include <cstring>
#include <new>
#include <vector>

#include "core/messages.h"
#include "index/tokenizer.h"
#include "index/word_rules_intl.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

namespace {

// Text mode turns CR LF into LF and ends the text at byte 0x1A. CR and LF are both
// separators, so only the 0x1A rule changes the tokens: reading raw blocks and cutting
// at 0x1A gives exactly the words of a text-mode read, with far fewer calls.
constexpr size_t kReadBlock = 64 * 1024;

// Feeds the file's text, block by block, to fn(block, n); false on a read error. The
// buffer keeps kTokenSlack bytes after each block for FoldToken.
template <typename Fn>
bool ReadTextBlocks(platform::File& file, std::vector<char>& buf, Fn&& fn) {
  for (;;) {
    size_t got = file.Read(buf.data(), buf.size() - kTokenSlack);
    if (got == 0) return !file.Error();
    const void* eot = std::memchr(buf.data(), 0x1A, got);
    if (eot) got = static_cast<size_t>(static_cast<const char*>(eot) - buf.data());
    if (got > 0 && !fn(buf.data(), got)) return true;
    if (eot) return true;
  }
}

}  // namespace

int addFileToIndex(uint32_t file_number, const std::string& path, uint64_t file_size,
                   uint32_t* distinct_words, WordTable* table, const WordTable* exclusions,
                   uint32_t table_size, WordRules rules) {
  platform::File file;
  if (!file.Open(path, "rb")) {
    WriteLog("addFileToIndex():Cannot open file.");
    return -1;
  }
  std::vector<char> buf;
  try {
    size_t block =
        file_size < kReadBlock ? (file_size ? static_cast<size_t>(file_size) : 1) : kReadBlock;
    buf.resize(block + kTokenSlack, 0);
  } catch (const std::bad_alloc&) {
    WriteLog("addNode():Malloc failure for Word node");
    return -1;
  }
  const bool excluding = exclusions && exclusions->present();
  bool failed = false;
  auto on_token = [&](const char* token, size_t len, size_t) {
    char folded[kMaxWordLength + kTokenSlack];
    uint32_t key;
    if (rules == WordRules::kInternational) {
      // The international scanner delivers words already folded.
      std::memcpy(folded, token, len);
      key = WordKey(folded, len);
    } else if (!FoldToken(token, len, folded, &key)) {
      return true;
    }
    if (excluding && exclusions->Find(folded, len, key) >= 0) return true;
    int r = table->AddOccurrence(folded, len, file_number, key);
    if (r < 0) {
      failed = true;
      return false;
    }
    // Checked after the word went in and before the count grows, as the limit always was.
    if (*distinct_words > table_size) {
      WriteLog("addFileToIndex():Max words limit reached.");
      failed = true;
      return false;
    }
    *distinct_words += static_cast<uint32_t>(r);
    return true;
  };
  bool read_ok;
  if (rules == WordRules::kInternational) {
    IntlTokenScanner scanner;
    read_ok = ReadTextBlocks(
        file, buf, [&](const char* block, size_t n) { return scanner.Feed(block, n, on_token); });
    if (!failed && read_ok) scanner.Finish(on_token);
  } else {
    TokenScanner scanner;
    read_ok = ReadTextBlocks(
        file, buf, [&](const char* block, size_t n) { return scanner.Feed(block, n, on_token); });
    if (!failed && read_ok) scanner.Finish(on_token);
  }
  if (!read_ok && !failed) WriteLog("addFileToIndex():Read error.");
  return (failed || !read_ok) ? -1 : 0;
}

int readXcludeWords(const std::string& app_dir, WordTable* out, WordRules rules) {
  *out = WordTable();
  std::string path = platform::JoinPath(app_dir, "xcludelist.ini");
  platform::FileStatus st;
  if (!platform::GetFileStatus(path, &st) || st.size == 0 || st.is_directory) {
    WriteLog("readXcludeWords():Error getting stats.");
    return 0;
  }
  uint32_t tokens = 0;
  {
    platform::File file;
    if (!file.Open(path, "rb")) {
      WriteLog("readXcludeWords():Error opening xcludelist.ini");
      return -1;
    }
    // Every token counts, whatever its first character or length.
    std::vector<char> buf(kReadBlock + kTokenSlack, 0);
    auto count = [&tokens](const char*, size_t, size_t) {
      ++tokens;
      return true;
    };
    if (rules == WordRules::kInternational) {
      IntlTokenScanner scanner(true);
      ReadTextBlocks(file, buf,
                     [&](const char* block, size_t n) { return scanner.Feed(block, n, count); });
      scanner.Finish(count);
    } else {
      TokenScanner scanner;
      ReadTextBlocks(file, buf,
                     [&](const char* block, size_t n) { return scanner.Feed(block, n, count); });
      scanner.Finish(count);
    }
  }
  if (tokens == 0) return 0;
  WordTable table(tokens);
  uint32_t distinct = 0;
  try {
    if (addFileToIndex(1, path, st.size, &distinct, &table, nullptr, tokens, rules) != 0) return -1;
  } catch (const std::bad_alloc&) {
    WriteLog("readXcludeWords():Malloc failure for exclude words.");
    return -1;
  }
  *out = std::move(table);
  return 0;
}

}  // namespace norvel
