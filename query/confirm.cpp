// Phrases and groups confirmed by reading the candidate documents.
#include "query/confirm.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "core/messages.h"
#include "index/index_files.h"
#include "index/parallel.h"
#include "index/swap.h"
#include "platform/file.h"
#include "platform/path.h"
#include "query/phrase.h"

namespace norvel {

namespace {

constexpr size_t kPerThread = 64;  // fewer candidates are read on one thread
constexpr size_t kSlice = 8;

size_t Threads() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 2 : n > 4 ? 4 : n;
}

// What tells that a swap renamed the index files: the statistics' and words' times and
// sizes.
struct FilesSeen {
  platform::FileStatus stats, words;
  bool operator==(const FilesSeen& o) const {
    return stats.mtime == o.stats.mtime && stats.size == o.stats.size &&
           words.mtime == o.words.mtime && words.size == o.words.size;
  }
};

FilesSeen Look(const std::string& index_dir) {
  FilesSeen seen;
  platform::GetFileStatus(platform::JoinPath(index_dir, kStatsFile), &seen.stats);
  platform::GetFileStatus(platform::JoinPath(index_dir, kWordsFile), &seen.words);
  return seen;
}

}  // namespace

FileList DocumentConfirmation::Candidates(const QueryTerm& term, size_t slot, bool) {
  if (terms_.size() <= slot) terms_.resize(slot + 1);
  terms_[slot] = &term;
  return PhraseCandidates(index_dir_, index_, term.tokens);
}

bool DocumentConfirmation::Prepare(const FileList& candidates, size_t slots,
                                   const std::function<bool(uint32_t n, size_t slot)>& wanted) {
  slots_ = slots;
  std::vector<uint8_t> want(candidates.size() * slots, 0);
  held_terms_.assign(want.size(), 0);
  bool any = false;
  for (size_t j = 0; j < candidates.size(); ++j) {
    for (size_t s = 0; s < slots; ++s) any |= (want[j * slots + s] = wanted(candidates[j], s));
  }
  if (!any || data_dir_.empty()) return true;  // nothing to read: nothing holds
  // The names come from the index's lists, which the swap lock protects; the documents
  // are read without it, so that a slow share never keeps a swap waiting.
  std::vector<std::string> names = NamesOf(index_dir_, index_, candidates);
  SwapLock* lock = held_ ? held_->lock : nullptr;
  FilesSeen before = Look(index_dir_);
  if (lock) lock->Release();
  Read(names, want);
  if (!lock) return true;
  if (!lock->AcquireShared(index_dir_)) {
    held_->lost = true;
    return false;
  }
  held_->replaced = SwapInterrupted(index_dir_) || !(Look(index_dir_) == before);
  return true;
}

void DocumentConfirmation::Read(const std::vector<std::string>& names,
                                const std::vector<uint8_t>& want) {
  size_t count = names.size();
  size_t threads = count < kPerThread ? 1 : Threads();
  std::atomic<size_t> next{0};
  std::atomic<bool> out_of_memory{false};
  std::mutex unread_lock;
  size_t unread = 0;
  std::string first_unread;
  OnThreads(threads, [&](size_t) {
    try {
      DocumentReader reader(data_dir_, index_.rules);
      std::vector<TermMatcher> matchers;
      for (const QueryTerm* t : terms_) matchers.emplace_back(*t);
      std::vector<TermMatcher*> asked;
      std::vector<size_t> slot_of;
      std::vector<uint8_t> found;
      // Small slices handed out in turn: documents differ much in length.
      for (size_t i; (i = next.fetch_add(kSlice)) < count;) {
        for (size_t j = i; j < i + kSlice && j < count; ++j) {
          asked.clear();
          slot_of.clear();
          for (size_t s = 0; s < slots_; ++s) {
            if (!want[j * slots_ + s]) continue;
            asked.push_back(&matchers[s]);
            slot_of.push_back(s);
          }
          // A number without a name (a damaged list) names no document: it holds nothing.
          if (asked.empty() || names[j].empty()) continue;
          bool read = reader.Check(names[j], asked, &found);
          for (size_t a = 0; a < asked.size(); ++a) {
            held_terms_[j * slots_ + slot_of[a]] = read ? found[a] : 1;
          }
          if (read) continue;
          std::lock_guard<std::mutex> guard(unread_lock);
          if (unread++ == 0) first_unread = names[j];
        }
      }
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
  });
  if (out_of_memory) throw std::bad_alloc();
  if (unread > 0) {
    WriteLog("Phrases: cannot read " + std::to_string(unread) + " candidate document(s), first " +
             platform::JoinPath(data_dir_, first_unread) +
             "; each counts as holding the phrases its words give it.");
  }
}

}  // namespace norvel
