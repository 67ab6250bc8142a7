// Writing the positions file (its layout: index/positions.h). Once a build's parts have
// collected their positions (index/positions_collector.h), their tokens are merged in byte
// order, each token's documents in file number order, into _newpositions.dat; its header
// (with the fingerprint of the four index files) is written once those are saved.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "index/positions_collector.h"
#include "index/word_rules_intl.h"
#include "platform/file.h"

namespace norvel {

extern const char kNewPositionsFile[];
// "_newpositions%u.tmp": the spill file of a build's part; "_newpositionsrange%u.tmp":
// of a token range of the body.
std::string PositionsSpillName(uint32_t part);
std::string PositionsRangeName(uint32_t range);

// One part's collector (finished) and the file number before its first document.
struct PositionsPart {
  const PositionsCollector* collector;
  uint32_t base;
};

// Writes _newpositions.dat: the body first, the header once the four index files are
// saved (Finish). The body is written in token ranges that threads may write at the same
// time (Begin, WriteRange for each, End); the file's bytes do not depend on how many.
// A failure leaves no _newpositions.dat behind; the build logs it as
// "doIndex():Cannot write positions.".
class PositionsWriter {
 public:
  PositionsWriter();
  ~PositionsWriter();
  PositionsWriter(const PositionsWriter&) = delete;
  PositionsWriter& operator=(const PositionsWriter&) = delete;

  // Documents 1 to total_files count; the parts' later numbers are left out. Cuts the
  // body into at most `ranges` token ranges (ranges() of them), of about equal bytes but
  // the first, twice as large. Every range after the first is written to a spill file of
  // its own, created here.
  bool Begin(const std::string& index_dir, const std::vector<PositionsPart>& parts,
             uint32_t total_files, WordRules rules, size_t ranges);
  size_t ranges() const;
  // Writes range k: any thread, each k once, while the others are written.
  bool WriteRange(size_t k);
  // Has the dictionary take in the ranges written so far, in token order, each range after
  // the first copied into the file after the one before (End takes the rest): one thread,
  // while others may write the ranges after them.
  void TakeWritten();
  // Once every range is written and the four index files are saved: joins the ranges,
  // puts the token counts and the dictionary, and takes the fingerprint of the "_new"
  // index files (with the counts their statistics are to hold).
  bool End(uint32_t distinct_words);
  // Once the statistics are written: writes the header and syncs.
  bool Finish();
  void Abandon();  // closes and removes what was written

  struct Header;

 private:
  struct Range;
  struct Plan;
  bool Fail();
  void RemoveRangeFiles();
  // Copies a range's own file into the positions file, at its end, and removes it.
  bool Join(Range* range);
  std::string index_dir_;
  platform::File file_;
  std::shared_ptr<Header> header_;
  std::unique_ptr<Plan> plan_;
  uint64_t fingerprint_ = 0;
};

}  // namespace norvel
