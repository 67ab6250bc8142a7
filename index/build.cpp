// The index build.
//
// The listing is cut into consecutive parts, which threads index at the same time, each
// into a word table of its own with file numbers counted from 1 within the part. Saving
// merges them: a word's first-met order is that of the first part holding it, then of the
// next, and the parts' runs follow each other with the numbers moved up by the documents
// of the parts before, so every byte written is what one table filled document by
// document gives. Where one thread would have stopped early (a document that fails, the
// stop flag) only the parts before that point and the part holding it count.
#include "index/build.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "core/job_progress.h"
#include "core/messages.h"
#include "index/doc_words.h"
#include "index/index_files.h"
#include "index/new_files.h"
#include "index/parallel.h"
#include "index/positions.h"
#include "index/positions_format.h"
#include "index/positions_writer.h"
#include "index/record_reader.h"
#include "index/word_choice.h"
#include "index/word_files.h"
#include "index/word_table.h"
#include "platform/dir.h"
#include "platform/dir_sizes.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

namespace {

constexpr size_t kLongestName = 255;  // a name record holds at most 255 bytes
// The memory the parts' positions take at most (shared out among them) before they go to
// their spill files.
constexpr size_t kPositionsMemory = size_t{8} << 20;
constexpr size_t kNoEarlyEnd = static_cast<size_t>(-1);

// The file list being written: list number k, cut every 500,000 file numbers.
class ListWriter {
 public:
  explicit ListWriter(const std::string& index_dir) : index_dir_(index_dir) {}
  bool Open(uint32_t list) {
    list_ = list;
    return file_.Open(platform::JoinPath(index_dir_, ListFileName(list, true)), "wb");
  }
  uint32_t list() const { return list_; }
  // A name held as UTF-8 (on Windows, one the code page cannot spell) is written without
  // its mark, with kNameUtf8 in the record's first field; every other name with 0, so
  // that its record keeps the bytes it always had.
  bool Append(std::string_view held) {
    std::string_view name = platform::NameBytes(held);
    unsigned char kind = platform::HeldAsUtf8(held) ? kNameUtf8 : kNameAsListed;
    unsigned char head[5] = {kind, 0, 0, 0, static_cast<unsigned char>(name.size())};
    return file_.Write(head, 5) && file_.Write(name.data(), name.size());
  }
  // Syncs the list to the disk before it closes: the swap renames it into place later.
  bool Close() {
    bool synced = !file_.is_open() || file_.Sync();
    return file_.Close() && synced;
  }

 private:
  std::string index_dir_;
  platform::File file_;
  uint32_t list_ = 0;
};

// What the documents of the listing cost to index, by stretches of consecutive documents:
// a document costs its stretch's mean.
class Costs {
 public:
  Costs() = default;
  // stretch_costs[k]: of the documents from k * stride on (the last stretch may hold fewer).
  Costs(size_t documents, size_t stride, const std::vector<uint64_t>& stretch_costs)
      : documents_(documents), stride_(stride), before_(stretch_costs.size() + 1, 0) {
    for (size_t k = 0; k < stretch_costs.size(); ++k)
      before_[k + 1] = before_[k] + stretch_costs[k];
  }
  uint64_t total() const { return before_.back(); }
  // Of the documents before i.
  uint64_t Before(size_t i) const {
    if (i >= documents_) return total();
    size_t k = i / stride_, begin = k * stride_;
    uint64_t width = std::min(stride_, documents_ - begin);
    return before_[k] + (before_[k + 1] - before_[k]) * (i - begin) / width;
  }
  uint64_t Between(size_t begin, size_t end) const { return Before(end) - Before(begin); }
  // The first document whose documents before cost at least `cost` (documents_ if none).
  size_t FirstReaching(uint64_t cost) const {
    size_t low = 0, high = documents_;
    while (low < high) {
      size_t mid = low + (high - low) / 2;
      if (Before(mid) >= cost) {
        high = mid;
      } else {
        low = mid + 1;
      }
    }
    return low;
  }

 private:
  size_t documents_ = 0, stride_ = 1;
  std::vector<uint64_t> before_ = std::vector<uint64_t>(1, 0);
};

// A run of consecutive documents of the listing and what indexing them gave. A thread
// that runs out of parts takes over the later share of a part still running: that part
// then ends earlier, and the share is a part of its own, after it in the listing.
struct Part {
  size_t begin = 0;
  size_t end = 0;        // Shared::lock's while the part runs
  size_t claimed = 0;    // Shared::lock's: one past the last document its thread began
  bool running = false;  // Shared::lock's: its thread is at it
  std::chrono::steady_clock::time_point started;  // when its thread began it
  WordTable table{kBuildTableSize};
  std::unique_ptr<PositionsCollector> positions;
  uint32_t distinct = 0;   // word entries counted as addFileToIndex counts them
  uint32_t files = 0;      // documents given a number
  size_t handled_end = 0;  // one past the last document handled (the failed one included)
  // Listing indexes of the documents passed over: empty, or for their name (the latter
  // with a log line). The others up to handled_end have numbers, in order.
  std::vector<uint32_t> empty;
  std::vector<uint32_t> long_names;
  DocumentEnd failure = DocumentEnd::kEntered;  // how the last document handled ended
  bool failed_numbered = false;  // the failure came at a numbered document (it has no record)
  bool stopped = false;          // the stop flag ended the part after its last numbered document
  bool whole = false;            // Shared::lock's: every document of the part was entered
  // Every part before it was entered whole: its words are words of the new index.
  std::atomic<bool> certain{false};
  bool ended_early() const { return stopped || failure != DocumentEnd::kEntered; }
};

// How the build's parts are made, at the start and when a share is taken over.
struct PartPlan {
  const std::string& index_dir;
  const BuildTuning& tuning;
  size_t threads;
  uint32_t words_hint;  // the distinct words the last index held
};

// share: the part's fraction of the whole cost, for a share taken over (0: a part cut at the
// start). A share's positions get what its documents need of the parts' memory rather
// than a whole part's: it runs beside the part it came from.
std::unique_ptr<Part> MakePart(const PartPlan& plan, size_t begin, size_t end, uint32_t number,
                               double share = 0) {
  auto part = std::make_unique<Part>();
  part->begin = begin;
  part->end = end;
  part->claimed = begin;
  part->table.KeepFailureLines();
  if (plan.tuning.positions) {
    size_t memory = plan.tuning.positions_memory ? plan.tuning.positions_memory : kPositionsMemory;
    size_t floor = plan.tuning.positions_memory ? 0 : size_t{2} << 20;
    size_t budget = std::max(memory / plan.threads, floor);
    if (share > 0) {
      budget = std::min(budget, std::max(static_cast<size_t>(memory * share), floor / 2));
    }
    part->positions = std::make_unique<PositionsCollector>(
        platform::JoinPath(plan.index_dir, PositionsSpillName(number)), budget);
  }
  return part;
}

// What the parts share while they run.
struct Shared {
  const std::string& data_dir;
  const platform::DirListing& entries;
  const WordTable* exclusions;
  WordRules rules;
  JobProgress* progress;
  const PartPlan& plan;
  const Costs& costs;
  std::mutex lock;
  // In listing order; a share taken over goes in after the part it came from.
  std::vector<std::unique_ptr<Part>>& parts;
  std::vector<Part*> cut;   // the parts cut at the start, in turn
  size_t next_cut = 0;      // lock's
  uint32_t parts_made = 0;  // lock's: names the spill files
  // The listing index at which a part ended early: parts after it count for nothing.
  std::atomic<size_t> first_ended{kNoEarlyEnd};
};

void NoteEarlyEnd(Shared* shared, size_t document) {
  size_t seen = shared->first_ended.load();
  while (document < seen && !shared->first_ended.compare_exchange_weak(seen, document)) {
  }
}

// The distinct words counter shows the largest count of a part that counts for certain:
// never more than the new index holds (a word met in two parts is one word), and never
// less than it showed before.
void ShowAtLeast(std::atomic<uint32_t>* counter, uint32_t count) {
  uint32_t shown = counter->load();
  while (count > shown && !counter->compare_exchange_weak(shown, count)) {
  }
}

// Indexes the documents of a part, as the build loop over them would.
// True when every document of it was entered.
bool IndexPart(Shared* shared, Part* in, DocumentWordReader* reader) {
  Part& part = *in;
  for (size_t i = part.begin;; ++i) {
    if (shared->first_ended.load(std::memory_order_relaxed) < part.begin)
      return false;  // not needed
    {
      std::lock_guard<std::mutex> hold(shared->lock);
      // A share taken over ends the part no earlier than the documents begun.
      if (i >= part.end) {
        part.handled_end = i;
        return true;
      }
      part.claimed = i + 1;
    }
    part.handled_end = i;
    uint64_t size = 0;
    DocumentEnd end = reader->Open(shared->entries, i, &size);
    if (end == DocumentEnd::kNoStatus) {
      part.failure = end;
      NoteEarlyEnd(shared, i);
      return false;
    }
    // A document passed over counts as handled only once it is in its list: were that
    // list to run short of memory, the document would be read as a numbered one.
    if (size == 0) {
      part.empty.push_back(static_cast<uint32_t>(i));
      part.handled_end = i + 1;
      continue;
    }
    if (platform::NameBytes(shared->entries.name(i)).size() > kLongestName) {
      reader->Skip();
      part.long_names.push_back(static_cast<uint32_t>(i));
      part.handled_end = i + 1;
      continue;
    }
    part.handled_end = i + 1;
    ++part.files;
    part.failed_numbered = true;  // until its words are in
    if (end == DocumentEnd::kEntered) {
      end = reader->EnterWords(part.files, size, &part.table, kBuildWordsLimit, &part.distinct,
                               part.positions.get());
    }
    if (end != DocumentEnd::kEntered) {
      part.failure = end;
      NoteEarlyEnd(shared, i);
      return false;
    }
    part.failed_numbered = false;
    if (JobProgress* progress = shared->progress) {
      progress->files_indexed.fetch_add(1, std::memory_order_relaxed);
      if (part.certain.load(std::memory_order_relaxed)) {
        ShowAtLeast(&progress->distinct_words, part.distinct);
      }
      if (progress->stop) {
        part.stopped = true;
        NoteEarlyEnd(shared, i);
        return false;
      }
    }
  }
}

// A part that ran out of memory ends as a document without memory (its log line is
// written only if the part counts).
void FailPartForMemory(Shared* shared, Part* part) {
  part->failure = DocumentEnd::kNoMemory;
  NoteEarlyEnd(shared, part->begin);
}

// The later share of the part with the most left to do, as a part of its own for a thread
// that indexes `rate` cost a second (0: not known yet); null where no share is worth
// what a part costs more (a table and a merge). The share is what leaves both threads
// ending together at the rates they have shown. Under the lock.
Part* TakeOver(Shared* shared, double rate) {
  const Costs& costs = shared->costs;
  if (shared->first_ended.load() != kNoEarlyEnd || (shared->progress && shared->progress->stop)) {
    return nullptr;
  }
  Part* from = nullptr;
  uint64_t most = 0;
  for (const auto& part : shared->parts) {
    uint64_t left = part->running ? costs.Between(part->claimed, part->end) : 0;
    if (left > most) {
      most = left;
      from = part.get();
    }
  }
  if (!from) return nullptr;
  auto now = std::chrono::steady_clock::now();
  double seconds = std::chrono::duration<double>(now - from->started).count();
  double from_rate = seconds > 0 ? costs.Between(from->begin, from->claimed) / seconds : 0;
  uint64_t share = most / 2;
  if (rate > 0 && from_rate > 0) share = static_cast<uint64_t>(most * (rate / (rate + from_rate)));
  // A share costs a table more (much of the vocabulary again, megabytes), held until the
  // save, and a merge, whose memory is the peak of a build without positions: none under
  // 1/16 of the whole cost is taken there. A build with positions takes twice as long and
  // peaks earlier, while its parts collect: threads that would end 40 ms apart of 400 are
  // worth evening out there, down to 1/40.
  const uint64_t least_share = shared->plan.tuning.positions ? 40 : 16;
  if (share == 0 || share < costs.total() / least_share) return nullptr;
  size_t begin = std::max(from->claimed, costs.FirstReaching(costs.Before(from->end) - share));
  if (from->end - begin < std::max<size_t>(1, shared->plan.tuning.min_part_documents)) {
    return nullptr;
  }
  try {
    const uint64_t cost = costs.Between(begin, from->end);
    auto part = MakePart(shared->plan, begin, from->end, shared->parts_made,
                         static_cast<double>(cost) / static_cast<double>(costs.total()));
    // Most shares are small: their tables would leave most of each large page empty.
    constexpr uint64_t kSmallShare = 8;  // at most 1/8 of the whole cost
    if (cost <= costs.total() / kSmallShare) part->table.UseSmallPages();
    auto at = std::find_if(shared->parts.begin(), shared->parts.end(),
                           [from](const auto& p) { return p.get() == from; });
    Part* taken = shared->parts.insert(at + 1, std::move(part))->get();
    ++shared->parts_made;
    from->end = begin;
    return taken;
  } catch (const std::bad_alloc&) {
    return nullptr;  // the part runs on as it is
  }
}

// The next part for a thread: one cut at the start, else a share taken over (null: none).
Part* NextPart(Shared* shared, double rate) {
  std::lock_guard<std::mutex> hold(shared->lock);
  Part* part = nullptr;
  if (shared->next_cut < shared->cut.size()) {
    part = shared->cut[shared->next_cut++];
  } else {
    part = TakeOver(shared, rate);
  }
  if (part) {
    part->running = true;
    part->started = std::chrono::steady_clock::now();
  }
  return part;
}

// The part's thread is done with it. A part entered whole makes the parts after it count
// for certain up to the next that is not whole.
void EndPart(Shared* shared, Part* part, bool whole) {
  std::lock_guard<std::mutex> hold(shared->lock);
  part->running = false;
  part->whole = whole;
  if (!whole) return;
  for (const auto& p : shared->parts) {
    p->certain = true;
    if (!p->whole) break;
  }
}

// Takes parts until none is left. Throws nothing: it runs on helper threads.
void Work(Shared* shared) {
  std::unique_ptr<DocumentWordReader> reader;
  try {
    reader =
        std::make_unique<DocumentWordReader>(shared->data_dir, shared->exclusions, shared->rules);
  } catch (const std::bad_alloc&) {
    // Without a reader every part this thread takes fails as a document without memory.
  }
  const Costs& costs = shared->costs;
  double rate = 0;  // this thread's, over its last part
  while (Part* part = NextPart(shared, rate)) {
    if (!reader) {
      FailPartForMemory(shared, part);
      EndPart(shared, part, false);
      continue;
    }
    bool whole = false;
    try {
      // Room for the part's vocabulary up front spares regrowing. A vocabulary grows about
      // as the square root of the text: a quarter of the documents hold about half of it.
      if (uint32_t hint = shared->plan.words_hint) {
        double share = costs.total() ? static_cast<double>(costs.Between(part->begin, part->end)) /
                                           static_cast<double>(costs.total())
                                     : 1.0;
        try {
          part->table.Reserve(static_cast<size_t>(hint * std::sqrt(share)));
        } catch (const std::bad_alloc&) {
          // Only a head start: the table grows as words come.
        }
      }
      whole = IndexPart(shared, part, reader.get());
    } catch (const std::bad_alloc&) {
      // Only what a table itself cannot hold is caught there; any other shortage ends
      // the part as a document without memory.
      FailPartForMemory(shared, part);
    }
    // (A part not needed after an early end handled nothing: handled_end stays 0.)
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - part->started).count();
    size_t done = std::max(part->begin, part->handled_end);
    rate = seconds > 0 ? costs.Between(part->begin, done) / seconds : 0;
    EndPart(shared, part, whole);
    // The part's last run goes to its spill file now, while other parts may still run,
    // and its memory to the next part.
    if (part->positions) part->positions->Finish();
  }
}

unsigned ThreadsFor(const BuildTuning& tuning) {
  unsigned n = tuning.threads ? tuning.threads : std::thread::hardware_concurrency();
  return n == 0 ? 1 : std::min(n, 4u);
}

// Where the parts of the listing begin: each of `count` parts costs about as much, and
// holds at least one document.
std::vector<size_t> CutsByCost(const Costs& costs, size_t n, size_t count) {
  std::vector<size_t> cuts(count + 1, n);
  for (size_t k = 0; k < count; ++k) {
    // Part k begins at the first document that the costs before reach its share.
    cuts[k] = costs.total() == 0 ? n * k / count : costs.FirstReaching(costs.total() / count * k);
  }
  cuts[0] = 0;
  // Every part keeps a document: no cut before the one before it plus one, nor so late
  // that a part after it has none.
  for (size_t k = 1; k < count; ++k) {
    cuts[k] = std::max(cuts[k], cuts[k - 1] + 1);
    cuts[k] = std::min(cuts[k], n - (count - k));
  }
  return cuts;
}

// The most stretches that the costs of a listing are kept in.
constexpr size_t kCostStretches = 2048;

// The documents' sizes, taken on `threads` threads. Where the listing holds no sizes, a
// status call for every document would cost about a quarter of what reading them costs:
// only the first document of each stretch is asked, its size standing for each of the
// stretch's, which cuts about as evenly.
Costs SizesOf(const std::string& data_dir, const platform::DirListing& entries, unsigned threads) {
  size_t n = entries.size();
  size_t stretch = std::max<size_t>(1, n / kCostStretches);
  size_t stride = entries.size_known() ? 1 : stretch;
  size_t samples = (n + stride - 1) / stride;
  std::vector<uint64_t> sampled(samples), sums((n + stretch - 1) / stretch, 0);
  size_t shares = std::min<size_t>(threads, samples);
  OnThreads(shares, [&](size_t t) {
    size_t begin = samples * t / shares, end = samples * (t + 1) / shares;
    platform::ListedFileSizes(data_dir, entries, begin * stride, std::min(n, end * stride),
                              sampled.data() + begin, stride);
  });
  for (size_t i = 0; i < n; ++i) sums[i / stretch] += sampled[i / stride];
  return Costs(n, stretch, sums);
}

// What its documents cost a part, as the index that a rebuild replaces tells: a part's
// time goes with its tokens more than with its bytes (a changelog holds far more tokens a
// byte than prose does), and opening, reading and closing a document costs about as much
// as kDocumentTokens tokens (fitted to the parts' CPU times on linux-doc, whose documents'
// sizes differ widely). The listing is cut into stretches of consecutive documents
// (at most kCostStretches); each costs the tokens that the index's positions count for its
// documents under the names from its first to the next stretch's first (both are in byte
// order of the names, so one pass over the index's names finds them), and the mean of
// those for each of its documents more than the index held there (documents added since).
// False (the parts are then cut by bytes) without positions, or where the index held
// under half or over twice as many documents. Only the balance of the parts depends on
// it, never what the build writes.
bool CostsFromLastIndex(const std::string& index_dir, const platform::DirListing& entries,
                        Costs* costs) {
  constexpr uint64_t kDocumentTokens = 24;
  std::string path = platform::JoinPath(index_dir, kPositionsFile);
  platform::FileStatus st;
  platform::File positions;
  unsigned char h[kPositionsHeaderSize];
  if (!platform::GetFileStatus(path, &st) || !positions.Open(path, "rb") ||
      !positions.ReadAt(0, h, sizeof h) || std::memcmp(h, kPositionsMagic, 8) != 0) {
    return false;
  }
  const uint32_t files = GetLE32(h + 24);
  const uint64_t counts_at = GetLE64(h + 48);
  const size_t n = entries.size();
  // Counts that the file cannot hold are no counts (the file is damaged).
  if (files < n / 2 || files > 2 * uint64_t{n} + 1024 || counts_at > st.size ||
      (st.size - counts_at) / 4 < files) {
    return false;
  }
  const size_t stride = std::max<size_t>(1, n / kCostStretches);
  const size_t stretches = (n + stride - 1) / stride;
  std::vector<uint64_t> tokens(stretches, 0);
  std::vector<uint32_t> held(stretches, 0);
  std::vector<unsigned char> counts(size_t{64} << 10);
  size_t next = 1;  // the stretch whose first name is the next to reach
  uint64_t total = 0;
  uint32_t number = 0;  // names met
  bool read = true;
  // The names in file number order, list by list.
  for (uint32_t list = 0; read && number < files && list <= ListOfFile(files); ++list) {
    platform::File names;
    if (!names.Open(platform::JoinPath(index_dir, ListFileName(list)), "rb")) break;
    ReadRecords(names, [&](uint32_t, const char* text, size_t len, uint64_t) {
      size_t in_chunk = number % (counts.size() / 4);
      if (in_chunk == 0) {
        size_t want = std::min<size_t>(counts.size(), (uint64_t{files} - number) * 4);
        read = positions.ReadAt(counts_at + uint64_t{number} * 4, counts.data(), want);
        if (!read) return false;
      }
      std::string_view name(text, len);
      while (next < stretches && name >= platform::NameBytes(entries.name(next * stride))) ++next;
      uint32_t count = GetLE32(&counts[in_chunk * 4]);
      tokens[next - 1] += count;
      ++held[next - 1];
      total += count;
      return ++number < files;
    });
  }
  if (!read) return false;
  const uint64_t mean = total / files;
  for (size_t k = 0; k < stretches; ++k) {
    uint64_t docs = std::min(n, (k + 1) * stride) - k * stride;
    uint64_t cost =
        tokens[k] + docs * kDocumentTokens + (docs > held[k] ? docs - held[k] : 0) * mean;
    tokens[k] = std::max(docs, cost);  // every document costs something
  }
  *costs = Costs(n, stride, tokens);
  return true;
}

// The parts cut at the start: one per thread, each costing about as much (by the last
// index's token counts, else by bytes). More parts, taken in turn, would even out
// documents of uneven sizes and threads of uneven speeds, but each costs a table that
// holds much of the vocabulary again, and merging them costs more than the evening out
// gains: a thread that ends early takes over a share of another's part instead.
std::vector<std::unique_ptr<Part>> MakeParts(const std::string& data_dir,
                                             const platform::DirListing& entries,
                                             const PartPlan& plan, Costs* costs) {
  size_t documents = entries.size();
  size_t count = plan.threads;
  size_t least = std::max<size_t>(1, plan.tuning.min_part_documents);
  while (count > 1 && documents / count < least) --count;
  if (plan.tuning.cut_parts) count = std::min(count, plan.tuning.cut_parts);
  *costs = Costs();
  bool by_tokens = false;
  if (plan.threads > 1 && documents / least > 1) {
    try {
      by_tokens = CostsFromLastIndex(plan.index_dir, entries, costs);
    } catch (const std::bad_alloc&) {
      // Without the costs the parts are cut by bytes.
    }
    if (!by_tokens) *costs = SizesOf(data_dir, entries, static_cast<unsigned>(plan.threads));
  }
  std::vector<size_t> cuts = CutsByCost(*costs, documents, count);
  std::vector<std::unique_ptr<Part>> parts;
  for (size_t k = 0; k < count; ++k) {
    parts.push_back(MakePart(plan, cuts[k], cuts[k + 1], static_cast<uint32_t>(k)));
  }
  parts[0]->certain = true;
  return parts;
}

// Runs every part; the calling thread is one of the workers, and takes what a helper that
// could not be started would have taken.
void RunParts(Shared* shared, unsigned threads) {
  for (const auto& part : shared->parts) shared->cut.push_back(part.get());
  shared->parts_made = static_cast<uint32_t>(shared->parts.size());
  // Without costs (too few documents for more parts) no share is taken over either.
  size_t want = shared->costs.total() ? threads : std::min<size_t>(threads, shared->parts.size());
  OnThreads(want, [shared](size_t) { Work(shared); });
}

// The distinct words of the last build in this index directory, if any: a good guess of
// this one's. Every word record takes at least 6 bytes, so a damaged count cannot stand
// for more words than the words file holds.
uint32_t PreviousDistinctWords(const std::string& index_dir) {
  platform::File stats;
  unsigned char b[8];
  if (!stats.Open(platform::JoinPath(index_dir, kStatsFile), "rb") || stats.Read(b, 8) != 8) {
    return 0;
  }
  uint32_t words = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                   static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  platform::FileStatus st;
  if (!platform::GetFileStatus(platform::JoinPath(index_dir, kWordsFile), &st)) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>(words, st.size / 6));
}

// Saves the words and postings while the threads write the positions' token ranges (none
// when positions is null), each thread taking the next of them in turn; the word tables
// are cleared once saved. On one thread: the ranges, then the save. Returns what
// saveIndexFiles returns; *ranges_written false when a range failed. Rethrows what the
// save threw, once every thread is done.
int SaveBesidePositions(std::vector<std::unique_ptr<Part>>* parts,
                        const std::vector<TableSegment>& tables, MergedWords* merged,
                        const std::string& index_dir, JobProgress* progress, unsigned threads,
                        PositionsWriter* positions, bool* ranges_written) {
  size_t ranges = positions ? positions->ranges() : 0;
  size_t save_task = std::min<size_t>(ranges, threads);
  std::atomic<size_t> next_task{0};
  std::atomic<bool> written{true};
  int saved = -1;
  std::exception_ptr save_error;
  // The tasks: the ranges and the save, then the dictionary's taking in of the ranges
  // written by then, for the thread that is done first.
  const size_t take_task = positions ? ranges + 1 : ranges;
  OnThreads(std::min<size_t>(threads, ranges + 1), [&](size_t) {
    for (size_t task; (task = next_task.fetch_add(1)) <= take_task;) {
      if (task == take_task && positions) {
        positions->TakeWritten();
      } else if (task == save_task) {
        try {
          saved = saveIndexFiles(tables, *merged, index_dir, progress);
          // Saved: their memory goes to what is left of the positions.
          for (auto& part : *parts) part->table.Clear();
          *merged = MergedWords();
        } catch (...) {
          save_error = std::current_exception();
        }
      } else if (!positions->WriteRange(task < save_task ? task : task - 1)) {
        written = false;
      }
    }
  });
  *ranges_written = written;
  if (save_error) std::rethrow_exception(save_error);
  return saved;
}

struct Outcome {
  size_t last = 0;  // the last part that counts
  uint32_t files_written = 0;
  bool complete = true;
};

// Writes the name records of the documents that count, opening list files as their
// numbers reach them and writing the parts' log lines in document order. False after
// "Cannot write file list." (nothing else of the index is then written).
bool WriteLists(const platform::DirListing& entries,
                const std::vector<std::unique_ptr<Part>>& parts, size_t last, ListWriter* list,
                Outcome* out) {
  uint32_t file_number = 0;
  for (size_t p = 0; p <= last; ++p) {
    const Part& part = *parts[p];
    size_t e = 0, l = 0;
    uint32_t numbered = 0;
    for (size_t i = part.begin; i < part.handled_end; ++i) {
      if (e < part.empty.size() && part.empty[e] == i) {
        ++e;
        continue;
      }
      if (l < part.long_names.size() && part.long_names[l] == i) {
        WriteLog("doIndex():File name too long.");
        ++l;
        continue;
      }
      ++file_number;
      ++numbered;
      if (ListOfFile(file_number) != list->list()) {
        if (!list->Close() || !list->Open(ListOfFile(file_number))) return false;
      }
      // The document that failed has its number (and its list) but no record; a size
      // that could not be taken, or memory that ran short between documents, gave none.
      bool failed_here = p == last && numbered == part.files && part.failed_numbered;
      if (failed_here) break;
      // A lost name record would shift every later name: such a list must not be used.
      if (!list->Append(entries.name(i))) return false;
      ++out->files_written;
    }
  }
  return true;
}

// Begins the body of the new positions file from the parts that count (finished), in
// token ranges for `threads` threads.
bool BeginPositions(const std::vector<std::unique_ptr<Part>>& parts, uint32_t total_files,
                    WordRules rules, const std::string& index_dir, unsigned threads,
                    PositionsWriter* writer) {
  std::vector<PositionsPart> inputs;
  uint32_t base = 0;
  for (const auto& part : parts) {
    if (part->positions->failed()) return false;
    inputs.push_back(PositionsPart{part->positions.get(), base});
    base += part->files;
  }
  // One range more than threads: the save of the four files is taken alongside.
  size_t ranges = threads > 1 ? threads + 1 : 1;
  return writer->Begin(index_dir, inputs, total_files, rules, ranges);
}

int Build(const std::string& data_dir, const std::string& index_dir, const std::string& app_dir,
          JobProgress* progress, const BuildTuning& tuning, std::optional<WordRules> choice) {
  WordRules rules = choice.value_or(WordRules::kAscii);
  if (!choice && !ReadWordRules(index_dir, false, "doIndex():", &rules)) return -1;
  WordTable exclusions;
  if (readXcludeWords(app_dir, &exclusions, rules) != 0) return -1;
  platform::DirListing entries;
  if (!platform::ListDirectory(data_dir, "*.txt", &entries) || entries.empty()) {
    WriteLog("doIndex():Nothing to index.");
    return -1;
  }
  uint32_t words_hint = PreviousDistinctWords(index_dir);
  // Whatever this build leaves must not be taken for a complete new index before its
  // statistics are written, which saveIndex does last; statistics that stay would mark
  // this build's files as complete, and rules that stay would be swapped in with them.
  if (!RemoveNewIndexMark(index_dir, "doIndex():") ||
      !RemoveNewIndexFile(index_dir, kNewWordsChoiceFile, "doIndex():")) {
    return -1;
  }
  // Positions left by an earlier build would be swapped in with this one's files if it
  // wrote none; their fingerprint would refuse them, but they are not this build's.
  RemoveNewIndexFile(index_dir, kNewPositionsFile, "doIndex():");
  if ((choice || rules != WordRules::kAscii) && !WriteNewWordRules(index_dir, rules)) return -1;
  ListWriter list(index_dir);
  if (!list.Open(0)) {
    WriteLog("doIndex():Cannot write file list.");
    return -1;
  }
  unsigned threads = ThreadsFor(tuning);
  std::vector<std::unique_ptr<Part>> parts;
  MergedWords merged;
  for (;;) {
    PartPlan plan{index_dir, tuning, threads, words_hint};
    Costs costs;
    parts = MakeParts(data_dir, entries, plan, &costs);
    Shared shared{data_dir, entries, &exclusions, rules, progress, plan, costs, {}, parts};
    RunParts(&shared, threads);
    // Parts after the first early end count for nothing.
    size_t counting = 0;
    while (counting < parts.size() && parts[counting]->begin <= shared.first_ended.load()) {
      ++counting;
    }
    size_t last = counting - 1;
    parts.resize(counting);
    bool limit = parts.size() > 1 && parts[last]->failure == DocumentEnd::kWordsLimit;
    if (!limit) {
      std::vector<TableSegment> tables;
      for (auto& part : parts) tables.push_back(TableSegment{&part->table, 0});
      // Merging looks words up in the parts before each part only.
      if (parts.size() > 1) parts.back()->table.ReleaseSlots();
      MergeWords(tables, &merged, threads);
      limit = parts.size() > 1 && merged.count() > kBuildWordsLimit;
    }
    if (!limit) {
      // Saving reads the tables in order; their slots are of no further use.
      for (auto& part : parts) part->table.ReleaseSlots();
      break;
    }
    // Where the words limit is passed depends on every token before: one part, in order.
    parts.clear();
    threads = 1;
    // The distinct words shown so far are words of a part before the limit, which the
    // build in order meets again: the counter keeps them rather than going back to 0.
    if (progress) progress->files_indexed = 0;
  }
  Outcome outcome;
  outcome.last = parts.size() - 1;
  const Part& last = *parts.back();
  outcome.complete = !last.ended_early();
  bool lists_ok = WriteLists(entries, parts, outcome.last, &list, &outcome);
  bool closed = list.Close();
  if (!lists_ok || !closed) {
    WriteLog("doIndex():Cannot write file list.");
    return -1;
  }
  if (const char* line = DocumentEndLog(last.failure)) WriteLog(line);
  if (last.failure == DocumentEnd::kNoMemory) {
    const char* line = last.table.failure_line();
    WriteLog(line ? line : "addNode():Malloc failure for Word node");
  }
  uint32_t distinct =
      parts.size() == 1 ? parts[0]->distinct : static_cast<uint32_t>(merged.count());
  std::vector<TableSegment> tables;
  uint32_t base = 0;
  for (auto& part : parts) {
    tables.push_back(TableSegment{&part->table, base});
    base += part->files;
  }
  if (progress) {
    progress->files_indexed = outcome.files_written;
    ShowAtLeast(&progress->distinct_words, distinct);
  }
  // The positions' body is written beside the save; its header, which makes it usable,
  // follows once the files it fingerprints are written.
  PositionsWriter positions;
  bool with_positions = false;
  if (tuning.positions) {
    with_positions =
        BeginPositions(parts, outcome.files_written, rules, index_dir, threads, &positions);
  }
  bool ranges_written = true;
  int saved = SaveBesidePositions(&parts, tables, &merged, index_dir, progress, threads,
                                  with_positions ? &positions : nullptr, &ranges_written);
  if (with_positions) {
    with_positions = ranges_written && positions.End(distinct);
    if (!with_positions) positions.Abandon();
  }
  for (const auto& part : parts) {
    if (part->positions) part->positions.reset();  // their spill files go
  }
  if (tuning.positions && !with_positions) WriteLog("doIndex():Cannot write positions.");
  // The statistics mark the new index complete once nothing of this build is left to
  // delete: whatever a build deletes after its mark is a discard's.
  if (saved == 0) saved = saveIndexStats(index_dir, outcome.files_written, distinct);
  if (saved != 0) {
    positions.Abandon();
    WriteLog("doIndex():Error saving index.");
    return -1;
  }
  if (with_positions && !positions.Finish()) WriteLog("doIndex():Cannot write positions.");
  return outcome.complete ? 0 : -1;
}

}  // namespace

int doIndex(const std::string& data_dir, const std::string& index_dir, const std::string& app_dir,
            JobProgress* progress, const BuildTuning& tuning, std::optional<WordRules> choice) {
  try {
    return Build(data_dir, index_dir, app_dir, progress, tuning, choice);
  } catch (const std::bad_alloc&) {
    WriteLog("doIndex():Malloc failure for Hash table.");
    return -1;
  }
}

int doIndex(const std::string& data_dir, const std::string& index_dir, const std::string& app_dir,
            JobProgress* progress, const BuildTuning& tuning) {
  return doIndex(data_dir, index_dir, app_dir, progress, tuning, std::nullopt);
}

int doIndex(const std::string& data_dir, const std::string& index_dir, const std::string& app_dir,
            JobProgress* progress) {
  return doIndex(data_dir, index_dir, app_dir, progress, BuildTuning());
}

}  // namespace norvel
