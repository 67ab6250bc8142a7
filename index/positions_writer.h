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
// "_newpositions%u.tmp": the spill file of a build's part.
std::string PositionsSpillName(uint32_t part);

// One part's collector (finished) and the file number before its first document.
struct PositionsPart {
  const PositionsCollector* collector;
  uint32_t base;
};

// Writes _newpositions.dat: the body first (WriteBody), the header once the four index
// files are saved (Finish). A failure leaves no _newpositions.dat behind; the build logs
// it as "doIndex():Cannot write positions.".
class PositionsWriter {
 public:
  // Documents 1 to total_files count; the parts' later numbers are left out.
  bool WriteBody(const std::string& index_dir, const std::vector<PositionsPart>& parts,
                 uint32_t total_files, WordRules rules);
  // Takes the fingerprint of the "_new" index files, writes the header and syncs.
  bool Finish();
  void Abandon();  // closes and removes what was written

  struct Header;

 private:
  bool Fail();
  std::string index_dir_;
  platform::File file_;
  std::shared_ptr<Header> header_;
};

}  // namespace norvel
