// Reading a build's documents ahead of it on worker threads.
#include "index/read_ahead.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "platform/path.h"

namespace norvel {

unsigned ReadAhead::DefaultWorkers() {
  // The build's own thread reads too whenever the workers fall behind: one worker fewer
  // than processors keeps every processor busy without threads displacing each other.
  unsigned n = std::thread::hardware_concurrency();
  if (n == 0) return 1;
  return n - 1 > 3 ? 3 : n - 1;
}

ReadAhead::ReadAhead(const std::string& data_dir, const std::vector<std::string>& names,
                     const WordTable* exclusions, unsigned workers)
    : data_dir_(data_dir), names_(names), exclusions_(exclusions) {
  slots_.resize(16 * workers + 16);
  threads_.reserve(workers);
  try {
    for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
    // Without threads (or with fewer) the build still runs: Take reads what none reads.
  }
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  room_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void ReadAhead::Work() {
  DocumentWordReader reader;
  for (;;) {
    size_t doc;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (stopping_ || next_ >= names_.size()) return;
      doc = next_++;
      // The slot is free once the build has taken the document that used it before. A
      // worker that got that far ahead rests until half the slots are free again, so that
      // it is not woken for every document.
      if (doc >= taken_ + slots_.size()) {
        ++waiting_for_room_;
        size_t resume = doc + slots_.size() / 2 + 1 - slots_.size();
        if (resume < resume_at_) resume_at_ = resume;
        room_.wait(lock, [&] { return stopping_ || taken_ >= resume; });
        --waiting_for_room_;
        if (waiting_for_room_ == 0) resume_at_ = kNone;
      }
      if (stopping_) return;
    }
    Fill(&reader, doc);
  }
}

// Reads document doc into its slot and marks it read; wakes Take when it waits for it.
void ReadAhead::Fill(DocumentWordReader* reader, size_t doc) {
  Slot& slot = slots_[doc % slots_.size()];
  ReadInto(reader, doc, &slot.words);
  bool awaited;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slot.document = doc;
    awaited = awaited_ == doc;
  }
  if (awaited) ready_.notify_one();
}

void ReadAhead::ReadInto(DocumentWordReader* reader, size_t doc, DocumentWords* out) {
  try {
    reader->Read(platform::JoinPath(data_dir_, names_[doc]), exclusions_, out);
  } catch (const std::bad_alloc&) {
    out->Clear();
    out->stat_ok = true;
    out->size = 1;
    out->status = DocumentWords::Status::kNoMemory;
  }
}

const DocumentWords& ReadAhead::Take(size_t i) {
  Slot& slot = slots_[i % slots_.size()];
  std::unique_lock<std::mutex> lock(mutex_);
  if (i > 0 && taken_ < i) {
    taken_ = i;  // the slot of document i - 1 may be reused
    if (waiting_for_room_ > 0 && taken_ >= resume_at_) room_.notify_all();
  }
  // Rather than wait, read: this document when no worker has started on it, else the next
  // one nobody has started while there is room for it.
  while (slot.document != i) {
    if (next_ <= i || next_ < std::min(names_.size(), taken_ + slots_.size())) {
      size_t doc = next_ <= i ? i : next_;
      next_ = doc + 1;
      lock.unlock();
      Fill(&own_reader_, doc);
      lock.lock();
      continue;
    }
    awaited_ = i;
    ready_.wait(lock, [&] { return slot.document == i; });
    awaited_ = kNone;
  }
  return slot.words;
}

}  // namespace norvel
