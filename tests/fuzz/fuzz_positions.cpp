// Fuzz target for the positions file's reader: the input replaces _positions.dat of a
// real index. Its first byte chooses how far the input gets: bit 0 has its header sealed
// (the fingerprint of the loaded index, its size and its check written in), bit 1 turns
// the reader's block checks off, so that damage reaches the decoding behind them.
// Whatever the reader gives back must keep its promises: documents ascending and in
// range, positions ascending and below the document's token count, unless it says
// damage was met.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_env.h"
#include "index/load.h"
#include "index/positions.h"
#include "index/positions_format.h"
#include "platform/path.h"

namespace {

// A broken promise ends the run, naming the line that saw it.
void Broken(int line) {
  std::fprintf(stderr, "fuzz_positions: promise broken at line %d\n", line);
  std::abort();
}
#define Expect(holds) ((holds) ? (void)0 : Broken(__LINE__))

// Writes the header fields that tie the file to the loaded index, then its check.
void Seal(std::string* bytes, const std::string& index_dir, const norvel::InMemoryIndex& index) {
  if (bytes->size() < norvel::kPositionsHeaderSize) return;
  auto* h = reinterpret_cast<unsigned char*>(&(*bytes)[0]);
  uint64_t fingerprint = 0;
  norvel::LoadedIndexFingerprint(index_dir, index, &fingerprint);
  norvel::PutLE64(h + 16, fingerprint);
  norvel::PutLE64(h + 96, bytes->size());
  norvel::PutLE64(h + 120, norvel::CheckOf(h, 120));
}

void Walk(norvel::PositionsReader* reader) {
  for (uint32_t n = 0; n <= reader->documents() + 1 && n < 64; ++n) reader->DocumentTokens(n);
  std::vector<std::string> tokens;
  reader->ForEachTokenWithPrefix("", [&](std::string_view t) {
    tokens.emplace_back(t);
    return tokens.size() < 200;
  });
  std::vector<uint32_t> positions;
  for (size_t i = 0; i < tokens.size(); ++i) {
    norvel::PositionsReader::Postings p;
    if (!reader->Find(tokens[i], &p)) continue;
    uint32_t last = 0, seen = 0;
    bool more = i % 3 == 2 ? p.SkipTo(2) : p.Next();
    while (more) {
      Expect(p.doc() > last && p.doc() <= reader->documents() && p.count() > 0);
      last = p.doc();
      ++seen;
      if ((i + seen) % 2 == 0 && p.Positions(&positions)) {
        Expect(positions.size() == p.count());
        for (size_t k = 0; k < positions.size(); ++k) {
          Expect(positions[k] < reader->DocumentTokens(p.doc()) || reader->damage_met());
          Expect(k == 0 || positions[k - 1] < positions[k]);
        }
      }
      more = p.Next();
    }
    // Skipping to document 2 passes over document 1 at most.
    Expect(p.damaged() || (i % 3 == 2 ? seen + 1 >= p.documents() && seen <= p.documents()
                                      : seen == p.documents()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const norvel_fuzz::FuzzEnv& env = norvel_fuzz::Env();
  norvel_fuzz::ResetIndexWith("_positions.dat", data + 1, size - 1);
  norvel::InMemoryIndex index;
  if (norvel::readIndexIntoMem(env.index_dir, env.app_dir, &index) != 0) return 0;
  if (data[0] & 1) {
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    Seal(&bytes, env.index_dir, index);
    norvel_fuzz::WriteFile(platform::JoinPath(env.index_dir, "_positions.dat"),
                           reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  norvel::PositionsReader reader;
  reader.set_verify_checks((data[0] & 2) == 0);
  if (reader.Open(env.index_dir, index)) Walk(&reader);
  return 0;
}
