// Reading a build's documents ahead of it on worker threads.
#include "index/read_ahead.h"

#include <new>
#include <system_error>

#include "platform/path.h"

namespace norvel {

unsigned ReadAhead::DefaultWorkers() {
  unsigned n = std::thread::hardware_concurrency();
  return n < 1 ? 1 : (n > 4 ? 4 : n);
}

ReadAhead::ReadAhead(const std::string& data_dir, const std::vector<std::string>& names,
                     const WordTable* exclusions, unsigned workers)
    : data_dir_(data_dir), names_(names), exclusions_(exclusions) {
  slots_.resize(4 * workers + 2);
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
      // The slot is free once the build has taken every document before doc's
      // predecessor in this slot.
      room_.wait(lock, [&] { return stopping_ || doc < taken_ + slots_.size(); });
      if (stopping_) return;
    }
    Slot& slot = slots_[doc % slots_.size()];
    ReadInto(&reader, doc, &slot.words);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot.document = doc;
    }
    ready_.notify_all();
  }
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
  if (threads_.empty()) {
    ReadInto(&own_reader_, i, &slot.words);
    slot.document = i;
    return slot.words;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (i > 0 && taken_ < i) {
    taken_ = i;  // the slot of document i - 1 may be reused
    room_.notify_all();
  }
  ready_.wait(lock, [&] { return slot.document == i; });
  return slot.words;
}

}  // namespace norvel
