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
    : reader_(reader),
      index_(index),
      term_(term),
      window_(term->kind == QueryTerm::Kind::kNear ? term->tokens : std::vector<std::string>(),
              term->slack) {
  for (const std::string& t : term->tokens) {
    auto at = std::find(distinct_.begin(), distinct_.end(), t);
    slot_of_token_.push_back(static_cast<size_t>(at - distinct_.begin()));
    if (at == distinct_.end()) distinct_.push_back(t);
  }
  positions_.resize(distinct_.size());
}

bool PositionsTerm::Open() {
  cursors_.clear();
  for (const std::string& t : distinct_) {
    cursors_.push_back(std::make_unique<PositionsReader::Postings>());
    if (reader_->Find(t, cursors_.back().get())) continue;
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

int PositionsTerm::AllOn(uint32_t n) {
  int all = 1;
  for (auto& c : cursors_) {
    bool in = c->SkipTo(n);
    CheckDamage(*c);
    if (!in) return -1;
    if (c->doc() != n) all = 0;
  }
  return all;
}

std::vector<uint32_t> PositionsTerm::Documents(const std::vector<uint32_t>* within) {
  std::vector<uint32_t> out;
  if (!Open()) return out;
  // The rarest token leads; the others skip to its documents.
  size_t lead = 0;
  for (size_t d = 1; d < cursors_.size(); ++d) {
    if (cursors_[d]->documents() < cursors_[lead]->documents()) lead = d;
  }
  if (within && within->size() < cursors_[lead]->documents()) {
    for (uint32_t n : *within) {  // fewer documents to look at than the token has
      int on = AllOn(n);
      if (on < 0) break;
      if (on > 0 && Holds()) out.push_back(n);
    }
    return out;
  }
  PositionsReader::Postings& first = *cursors_[lead];
  bool more = first.Next();
  CheckDamage(first);
  while (more) {
    uint32_t n = first.doc();
    int on = AllOn(n);
    if (on < 0) break;
    if (on == 0) {  // the lead skips to the furthest cursor
      uint32_t next = n;
      for (auto& c : cursors_) next = std::max(next, c->doc());
      more = next == n ? first.Next() : first.SkipTo(next);
      CheckDamage(first);
      continue;
    }
    if ((!within || std::binary_search(within->begin(), within->end(), n)) && Holds()) {
      out.push_back(n);
    }
    more = first.Next();
    CheckDamage(first);
  }
  return out;
}

bool PositionsTerm::Holds() {
  return term_->kind == QueryTerm::Kind::kNear ? GroupAt() : PhraseAt();
}

void PositionsTerm::Positions(size_t d, std::vector<uint32_t>* out) {
  if (!cursors_[d]->Positions(out) || cursors_[d]->damaged()) throw PositionsDamaged();
}

bool PositionsTerm::PhraseAt() {
  // The phrase's rarest token in this document says where the phrase could start; the
  // others' positions are walked along with it, each by a cursor of its own (the starts
  // ascend, so every token's wanted position does).
  const size_t tokens = slot_of_token_.size();
  size_t lead = 0;
  for (size_t i = 1; i < tokens; ++i) {
    if (cursors_[slot_of_token_[i]]->count() < cursors_[slot_of_token_[lead]]->count()) lead = i;
  }
  for (size_t d = 0; d < distinct_.size(); ++d) Positions(d, &positions_[d]);
  at_.assign(tokens, 0);
  for (uint32_t p : positions_[slot_of_token_[lead]]) {
    if (p < lead) continue;
    const uint64_t start = p - lead;
    bool all = true;
    for (size_t i = 0; i < tokens && all; ++i) {
      if (i == lead) continue;
      const std::vector<uint32_t>& at = positions_[slot_of_token_[i]];
      const uint64_t want = start + i;
      size_t& c = at_[i];
      while (c < at.size() && at[c] < want) ++c;
      if (c == at.size()) return false;  // no later start can be complete either
      all = at[c] == want;
    }
    if (all) return true;
  }
  return false;
}

bool PositionsTerm::GroupAt() {
  // The tokens' positions are merged in ascending order (a group has few tokens: the
  // least of their next positions is found by looking at each).
  const size_t n = distinct_.size();
  for (size_t d = 0; d < n; ++d) Positions(d, &positions_[d]);
  if (n == 2 && window_.each_once()) {
    // Two tokens, once each: a window holds them where two of their positions are less
    // than its width apart, and the closest two are met walking both lists in step.
    const std::vector<uint32_t>& a = positions_[0];
    const std::vector<uint32_t>& b = positions_[1];
    const uint64_t width = window_.width();
    for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
      if (a[i] < b[j]) {
        if (b[j] - a[i] < width) return true;
        ++i;
      } else {
        if (a[i] - b[j] < width) return true;
        ++j;
      }
    }
    return false;
  }
  at_.assign(n, 0);
  window_.Reset();
  for (;;) {
    size_t least = n;
    for (size_t d = 0; d < n; ++d) {
      if (at_[d] < positions_[d].size() &&
          (least == n || positions_[d][at_[d]] < positions_[least][at_[least]])) {
        least = d;
      }
    }
    if (least == n) return false;
    // NearWindow numbers the distinct tokens in the same first-met order as distinct_.
    if (window_.Add(positions_[least][at_[least]++], least)) return true;
  }
}

}  // namespace norvel
