// Entering one document's words into a build's word table.
#include "index/doc_words.h"

#include <cstring>
#include <new>

#include "index/positions_collector.h"
#include "index/tokenizer.h"

namespace norvel {

namespace {

// A document up to this size is read in one call; a larger one in pieces of this size,
// its tokens running on across them as across any blocks. Few documents are larger, and
// the buffer of a reader grows to this size at most.
constexpr size_t kLargestRead = size_t{256} << 10;

// The international scanner handing its ASCII tokens to the ASCII rules' folding, which
// folds and hashes them in one pass: they give the same words either way.
template <typename OnAscii>
class IntlAsciiScanner {
 public:
  explicit IntlAsciiScanner(OnAscii& on_ascii, bool every_token = false)
      : scanner_(every_token), on_ascii_(on_ascii) {}
  bool starts_with_letter() const { return scanner_.starts_with_letter(); }
  template <typename OnToken>
  bool Feed(const char* block, size_t n, OnToken& on_token) {
    return scanner_.Feed(block, n, on_token, on_ascii_);
  }
  template <typename OnToken>
  bool Finish(OnToken& on_token) {
    return scanner_.Finish(on_token);
  }

 private:
  IntlTokenScanner scanner_;
  OnAscii& on_ascii_;
};

}  // namespace

const char* DocumentEndLog(DocumentEnd end) {
  switch (end) {
    case DocumentEnd::kNoStatus:
      return "doIndex():Error reading file.";
    case DocumentEnd::kCannotOpen:
      return "addFileToIndex():Cannot open file.";
    case DocumentEnd::kReadError:
      return "addFileToIndex():Read error.";
    case DocumentEnd::kWordsLimit:
      return "addFileToIndex():Max words limit reached.";
    default:
      return nullptr;
  }
}

DocumentWordReader::DocumentWordReader(const std::string& data_dir, const WordTable* exclusions,
                                       WordRules rules)
    : files_(data_dir), exclusions_(exclusions), rules_(rules) {}

// Where the listing tells the size, the document is read whole as it is opened.
DocumentEnd DocumentWordReader::Open(const platform::DirListing& listing, size_t i,
                                     uint64_t* size) {
  first_got_ = first_want_ = 0;
  if (listing.size_known()) {
    uint64_t listed = listing.file_size(i);
    first_want_ = listed < kLargestRead ? static_cast<size_t>(listed) + 1 : kLargestRead;
    try {
      if (buf_.size() < first_want_ + kTokenSlack) buf_.resize(first_want_ + kTokenSlack);
    } catch (const std::bad_alloc&) {
      first_want_ = 0;  // read later, where a shortage of memory has its own end
    }
  }
  switch (first_want_ ? files_.OpenAndRead(listing, i, size, buf_.data(), first_want_, &first_got_)
                      : files_.Open(listing, i, size)) {
    case platform::ListedFileReader::Result::kNoStatus:
      return DocumentEnd::kNoStatus;
    case platform::ListedFileReader::Result::kCannotOpen:
      return DocumentEnd::kCannotOpen;
    default:
      return DocumentEnd::kEntered;
  }
}

DocumentEnd DocumentWordReader::EnterPending(uint32_t file_number, WordTable* table, uint32_t limit,
                                             uint32_t* distinct_words,
                                             PositionsCollector* positions) {
  constexpr size_t kSlotsAhead = 24, kEntriesAhead = 16, kWordsAhead = 8;
  const size_t n = pending_.size();
  for (size_t i = 0; i < n && i < kSlotsAhead; ++i) table->PrefetchSlot(pending_[i].key);
  DocumentEnd end = DocumentEnd::kEntered;
  for (size_t i = 0; i < n; ++i) {
    if (i + kSlotsAhead < n) table->PrefetchSlot(pending_[i + kSlotsAhead].key);
    if (i + kEntriesAhead < n) table->PrefetchEntry(pending_[i + kEntriesAhead].key);
    if (i + kWordsAhead < n) table->PrefetchWord(pending_[i + kWordsAhead].key);
    const Pending& w = pending_[i];
    uint32_t entry;
    int r = table->AddFolded(&folded_[w.at], w.len, file_number, w.key, &entry);
    if (positions) words_[i] = PositionsCollector::Word{entry, w.len, &folded_[w.at], w.key};
    if (r < 0) {
      end = DocumentEnd::kNoMemory;
      break;
    }
    // Checked after the word went in and before the count grows, as the limit always was.
    if (*distinct_words > limit) {
      end = DocumentEnd::kWordsLimit;
      break;
    }
    *distinct_words += static_cast<uint32_t>(r);
  }
  // The positions take the words' entries for their tokens (a document that ends here
  // has no positions).
  if (positions && end == DocumentEnd::kEntered) positions->SetWords(words_.data(), n);
  pending_.clear();
  folded_used_ = 0;
  return end;
}

template <typename Scanner, typename OnToken>
DocumentEnd DocumentWordReader::ReadTokens(uint64_t size, Scanner& scanner, OnToken& on_token) {
  // One read more than the size would need tells the end of the file without a second
  // call; the buffer keeps kTokenSlack bytes after the text for FoldToken.
  size_t want = size < kLargestRead ? static_cast<size_t>(size) + 1 : kLargestRead;
  DocumentEnd end = DocumentEnd::kEntered;
  uint64_t total = 0;
  for (;;) {
    // The first block may have come with the opening.
    size_t asked = first_got_ ? first_want_ : want;
    size_t got = first_got_ ? first_got_ : files_.Read(buf_.data(), want);
    first_got_ = 0;
    if (got == 0) {
      if (files_.Error()) end = DocumentEnd::kReadError;
      break;
    }
    total += got;
    // Text mode ends the text at byte 0x1A; CR LF and LF both only separate words.
    const void* eot = std::memchr(buf_.data(), 0x1A, got);
    size_t text = eot ? static_cast<size_t>(static_cast<const char*>(eot) - buf_.data()) : got;
    std::memset(buf_.data() + text, 0, kTokenSlack);
    if (!scanner.Feed(buf_.data(), text, on_token)) return DocumentEnd::kEntered;
    if (eot || (got < asked && total >= size)) break;
  }
  files_.Close();
  if (end == DocumentEnd::kEntered) scanner.Finish(on_token);
  return end;
}

DocumentEnd DocumentWordReader::EnterWords(uint32_t file_number, uint64_t size, WordTable* table,
                                           uint32_t limit, uint32_t* distinct_words,
                                           PositionsCollector* positions) {
  constexpr size_t kBatch = 2048;  // words entered together
  constexpr size_t kRoom = kMaxWordLength + kTokenSlack;
  const bool excluding = exclusions_ && exclusions_->present();
  DocumentEnd end = DocumentEnd::kEntered;
  // Takes a word folded at folded_[folded_used_] with its key; it is the document's next
  // token for the positions too.
  auto take = [&](size_t len, uint32_t key) {
    const char* folded = &folded_[folded_used_];
    if (excluding && exclusions_->Find(folded, len, key) >= 0) {
      if (positions) positions->AddFolded(folded, len, key);
      return true;
    }
    if (positions) positions->AddWord();
    // Field by field: a whole Pending built on the stack and copied would be read back
    // before its stores are done, a stall at every token.
    Pending& w = pending_.emplace_back();
    w.key = key;
    w.at = static_cast<uint32_t>(folded_used_);
    w.len = static_cast<uint32_t>(len);
    folded_used_ += len;
    if (pending_.size() < kBatch && folded_used_ + kRoom <= folded_.size()) return true;
    end = EnterPending(file_number, table, limit, distinct_words, positions);
    return end == DocumentEnd::kEntered;
  };
  auto on_token = [&](const char* token, size_t len, size_t) {
    uint32_t key;
    if (!FoldToken(token, len, &folded_[folded_used_], &key)) {
      if (positions) positions->AddRaw(token, len);
      return true;
    }
    return take(len, key);
  };
  // The international scanner delivers words folded already.
  auto on_word = [&](const char* word, size_t len, size_t) {
    std::memcpy(&folded_[folded_used_], word, len);
    return take(len, WordKey(word, len));
  };
  size_t want = size < kLargestRead ? static_cast<size_t>(size) + 1 : kLargestRead;
  try {
    if (buf_.size() < want + kTokenSlack) buf_.resize(want + kTokenSlack);
    if (folded_.empty()) folded_.resize(kBatch * 16 + kRoom);
    pending_.reserve(kBatch);
    if (positions) words_.resize(kBatch);
  } catch (const std::bad_alloc&) {
    files_.Close();
    return DocumentEnd::kNoMemory;  // the build writes the line, if the document counts
  }
  pending_.clear();
  folded_used_ = 0;
  if (positions) positions->BeginDocument(file_number, size);
  DocumentEnd read;
  if (rules_ == WordRules::kInternational && positions) {
    // Every token for the positions; the words among them as the word scanner gives them.
    // ASCII tokens take the ASCII rules' way, which gives the collector the same tokens.
    IntlAsciiScanner<decltype(on_token)> scanner(on_token, /*every_token=*/true);
    auto on_every = [&](const char* folded, size_t len, size_t sep) {
      if (!scanner.starts_with_letter() || len > kMaxWordLength) {
        positions->AddFolded(folded, len);
        return true;
      }
      return on_word(folded, len, sep);
    };
    read = ReadTokens(size, scanner, on_every);
  } else if (rules_ == WordRules::kInternational) {
    IntlAsciiScanner<decltype(on_token)> scanner(on_token);
    read = ReadTokens(size, scanner, on_word);
  } else {
    TokenScanner scanner;
    read = ReadTokens(size, scanner, on_token);
  }
  files_.Close();
  if (end == DocumentEnd::kEntered) end = read;
  // The words of the text read before a read error are entered too.
  if (end == DocumentEnd::kEntered || end == DocumentEnd::kReadError) {
    DocumentEnd entered = EnterPending(file_number, table, limit, distinct_words, positions);
    if (entered != DocumentEnd::kEntered) end = entered;
  }
  pending_.clear();
  folded_used_ = 0;
  if (positions && end == DocumentEnd::kEntered) positions->EndDocument();
  return end;
}

}  // namespace norvel
