// Reading the documents of a build ahead of it, on worker threads: document i of the
// listing is read into its distinct words while the build enters earlier ones, which it
// takes strictly in listing order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "index/doc_words.h"

namespace norvel {

class ReadAhead {
 public:
  // Reads data_dir's documents `names` with `workers` threads, keeping at most a few
  // documents per worker ahead of the build. Take reads a document itself when no worker
  // has started on it (always, with no worker or none that could start).
  ReadAhead(const std::string& data_dir, const std::vector<std::string>& names,
            const WordTable* exclusions, unsigned workers);
  ~ReadAhead();  // stops the workers and waits for them
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Document i, once read. Documents are taken in order 0, 1, 2, ...; taking document i
  // gives the slot of document i - 1 back to the workers.
  const DocumentWords& Take(size_t i);

  // Worker count for this machine: one fewer than its processors, at most 3.
  static unsigned DefaultWorkers();

 private:
  struct Slot {
    DocumentWords words;
    size_t document = static_cast<size_t>(-1);  // which document the slot holds, once read
  };
  void Work();
  void Fill(DocumentWordReader* reader, size_t doc);
  void ReadInto(DocumentWordReader* reader, size_t doc, DocumentWords* out);

  const std::string& data_dir_;
  const std::vector<std::string>& names_;
  const WordTable* exclusions_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable ready_;  // a slot was filled
  std::condition_variable room_;   // the build moved on
  size_t next_ = 0;                // next document a worker claims
  size_t taken_ = 0;               // documents before this one are done with
  static constexpr size_t kNone = static_cast<size_t>(-1);
  size_t awaited_ = kNone;         // the document Take waits for
  unsigned waiting_for_room_ = 0;  // workers waiting for a free slot
  size_t resume_at_ = kNone;       // the taken_ at which the first of them goes on
  bool stopping_ = false;
  std::vector<std::thread> threads_;
  DocumentWordReader own_reader_;  // reads in Take
};

}  // namespace norvel
