// The index held in memory: giving back what it holds.
#include "index/in_memory_index.h"

namespace norvel {

void InMemoryIndex::Release() {
  words.Clear();
  exclusions.Clear();
  std::vector<std::vector<uint32_t>>().swap(name_offsets);
  total_files = 0;
  std::vector<uint32_t>().swap(words_in_order);
  positions_usable = -1;
  words_fingerprint = 0;
  words_fingerprinted = false;
  positions_tables.reset();
  std::vector<uint32_t>().swap(document_tokens);
  rules = WordRules::kAscii;
}

}  // namespace norvel
