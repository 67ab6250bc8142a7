// Phrases and proximity groups from the positions file.
#include "query/positions_terms.h"

#include <algorithm>
#include <cstdint>

#include "query/phrase.h"

namespace norvel {

bool OpenPositions(const std::string& index_dir, const InMemoryIndex& index,
                   PositionsReader* reader) {
  if (index.positions_usable == 0) return false;
  index.positions_usable = reader->Open(index_dir, index) ? 1 : 0;
  return index.positions_usable == 1;
}

PositionsTerm::PositionsTerm(PositionsReader* reader, const InMemoryIndex& index,
                             const QueryTerm* term)
    : reader_(reader), index_(index), term_(term) {
  for (const std::string& t : term->tokens) {
    auto at = std::find(distinct_.begin(), distinct_.end(), t);
    slot_of_token_.push_back(static_cast<size_t>(at - distinct_.begin()));
    if (at == distinct_.end()) distinct_.push_back(t);
  }
  positions_.resize(distinct_.size());
}

bool PositionsTerm::Open(Cursors* cursors) {
  cursors->clear();
  for (const std::string& t : distinct_) {
    cursors->push_back(std::make_unique<PositionsReader::Postings>());
    if (reader_->Find(t, cursors->back().get())) continue;
    if (index_.words.Contains(t)) throw PositionsDamaged();
    return false;
  }
  return true;
}

namespace {

void CheckDamage(const PositionsReader::Postings& p) {
  if (p.damaged()) throw PositionsDamaged();
}

}  // namespace

std::vector<uint32_t> PositionsTerm::Candidates() {
  std::vector<uint32_t> out;
  Cursors c;
  if (!Open(&c)) return out;
  // The rarest token leads; the others skip to its documents.
  std::sort(c.begin(), c.end(),
            [](const auto& a, const auto& b) { return a->documents() < b->documents(); });
  bool more = c[0]->Next();
  CheckDamage(*c[0]);
  while (more) {
    uint32_t n = c[0]->doc();
    bool all = true;
    for (size_t i = 1; i < c.size(); ++i) {
      bool in = c[i]->SkipTo(n);
      CheckDamage(*c[i]);
      if (!in) return out;  // a token has no document left
      if (c[i]->doc() != n) {
        more = c[0]->SkipTo(c[i]->doc());
        CheckDamage(*c[0]);
        all = false;
        break;
      }
    }
    if (!all) continue;
    out.push_back(n);
    more = c[0]->Next();
    CheckDamage(*c[0]);
  }
  return out;
}

bool PositionsTerm::Holds(uint32_t n) {
  if (!opened_) {
    opened_ = true;
    ended_ = !Open(&cursors_);
  }
  if (ended_) return false;
  for (auto& c : cursors_) {
    bool in = c->SkipTo(n);
    CheckDamage(*c);
    if (!in) {
      ended_ = true;  // n ascends: no later document holds this token either
      return false;
    }
    if (c->doc() != n) return false;
  }
  return term_->kind == QueryTerm::Kind::kNear ? GroupAt() : PhraseAt();
}

void PositionsTerm::Positions(size_t d, std::vector<uint32_t>* out) {
  if (!cursors_[d]->Positions(out) || cursors_[d]->damaged()) throw PositionsDamaged();
}

bool PositionsTerm::PhraseAt() {
  // The phrase's rarest token in this document says where the phrase could start.
  size_t lead = 0;
  for (size_t i = 1; i < slot_of_token_.size(); ++i) {
    if (cursors_[slot_of_token_[i]]->count() < cursors_[slot_of_token_[lead]]->count()) lead = i;
  }
  for (size_t d = 0; d < distinct_.size(); ++d) Positions(d, &positions_[d]);
  for (uint32_t p : positions_[slot_of_token_[lead]]) {
    if (p < lead) continue;
    uint64_t start = p - lead;
    bool all = true;
    for (size_t i = 0; i < slot_of_token_.size() && all; ++i) {
      const std::vector<uint32_t>& at = positions_[slot_of_token_[i]];
      all = start + i <= UINT32_MAX &&
            std::binary_search(at.begin(), at.end(), static_cast<uint32_t>(start + i));
    }
    if (all) return true;
  }
  return false;
}

bool PositionsTerm::GroupAt() {
  std::vector<std::pair<uint32_t, size_t>> events;
  for (size_t d = 0; d < distinct_.size(); ++d) {
    Positions(d, &positions_[d]);
    for (uint32_t p : positions_[d]) events.emplace_back(p, d);
  }
  std::sort(events.begin(), events.end());
  NearWindow window(term_->tokens, term_->slack);
  // NearWindow numbers the distinct tokens in the same first-met order as distinct_.
  for (const auto& e : events) {
    if (window.Add(e.first, e.second)) return true;
  }
  return false;
}

}  // namespace norvel
