// Evaluation with phrases, proximity groups and prefixes: every term's set of documents
// from the index, combined by the three groups, then the phrases and groups confirmed for
// the candidates that are left, from the positions file or (without it) the documents.
#include "query/eval_terms.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "core/messages.h"
#include "index/index_files.h"
#include "query/confirm.h"
#include "query/positions_terms.h"

namespace norvel {

namespace {

bool Has(const FileList& files, uint32_t n) {
  return std::binary_search(files.begin(), files.end(), n);
}

FileList Union(const FileList& a, const FileList& b) {
  FileList out;
  out.reserve(a.size() + b.size());
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

FileList Intersection(const FileList& a, const FileList& b) {
  FileList out;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

FileList Difference(const FileList& a, const FileList& b) {
  FileList out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

// Phrases and groups confirmed from the positions file. An Exclude term needs no list of
// candidates: Holds looks its tokens up itself.
class PositionsConfirmation : public Confirmation {
 public:
  PositionsConfirmation(PositionsReader* reader, const InMemoryIndex& index)
      : reader_(reader), index_(index) {}
  bool Exact() const override { return true; }
  FileList Documents(const QueryTerm& term, const FileList* within) override {
    return PositionsTerm(reader_, index_, &term).Documents(within);
  }
  FileList Candidates(const QueryTerm&, size_t, bool) override { return FileList(); }
  bool ListsExcluded() const override { return false; }
  bool Holds(size_t, uint32_t, size_t) override { return false; }

 private:
  PositionsReader* reader_;
  const InMemoryIndex& index_;
};

// One term of a group with its documents.
struct Listed {
  const QueryTerm* confirmed = nullptr;  // a phrase or group: its candidates (or none yet)
  bool listed = true;                    // false: an Exclude term without a candidate list
  size_t slot = 0;                       // a phrase's or group's number in the query
  FileList files;
};

class Evaluation {
 public:
  Evaluation(const std::string& index_dir, const InMemoryIndex& index, Confirmation* confirm)
      : index_dir_(index_dir), index_(index), confirm_(confirm) {}

  uint32_t Run(const QueryWords& words, FileList* result) {
    any_ = List(words.all_n_any, words.any_terms, 0, true);
    include_ = List(words.include, words.include_terms, 1, true);
    exclude_ = List(words.exclude, words.exclude_terms, 2, confirm_->ListsExcluded());
    if (confirm_->Exact()) ResolveExact();

    // The index's answer: a superset of the result wherever a phrase takes part.
    FileList candidates;
    for (const Listed& l : any_) {
      candidates = Union(candidates, l.files);
      if (!l.confirmed) any_exact_ = Union(any_exact_, l.files);
    }
    if (!any_.empty() && candidates.empty()) return 0;
    for (size_t i = 0; i < include_.size(); ++i) {
      candidates = (any_.empty() && i == 0) ? include_[i].files
                                            : Intersection(candidates, include_[i].files);
      if (candidates.empty()) return 0;
    }
    for (const Listed& l : exclude_) {
      if (!l.confirmed) {
        candidates = Difference(candidates, l.files);
      } else if (confirm_->Exact()) {  // only the candidates left have positions read
        candidates = Difference(candidates, confirm_->Documents(*l.confirmed, &candidates));
      }
    }
    if (slots_ == 0 || confirm_->Exact()) {
      result->swap(candidates);  // words and prefixes alone: the index's answer is exact
      return static_cast<uint32_t>(result->size());
    }
    auto wanted = [&](uint32_t n, size_t slot) { return Wanted(n, slot); };
    if (!confirm_->Prepare(candidates, slots_, wanted)) return 0;
    for (size_t j = 0; j < candidates.size(); ++j) {
      if (Keeps(j, candidates[j])) result->push_back(candidates[j]);
    }
    return static_cast<uint32_t>(result->size());
  }

 private:
  // The phrases and groups of the AllnAny and Include groups take their documents from an
  // exact confirmation, reading positions only where the Include group's other terms
  // leave documents; they are then lists like any word's.
  void ResolveExact() {
    FileList scope;
    bool scoped = false;
    auto narrow = [&](const FileList& files) {
      scope = scoped ? Intersection(scope, files) : files;
      scoped = true;
    };
    for (const Listed& l : include_) {
      if (!l.confirmed) narrow(l.files);
    }
    for (auto* group : {&include_, &any_}) {
      for (Listed& l : *group) {
        if (!l.confirmed) continue;
        l.files = confirm_->Documents(*l.confirmed, scoped ? &scope : nullptr);
        l.confirmed = nullptr;
        if (group == &include_) narrow(l.files);
      }
    }
  }

  std::vector<Listed> List(const std::vector<std::string>& words,
                           const std::vector<QueryTerm>& terms, int group, bool list_confirmed) {
    std::vector<Listed> out;
    for (const std::string& word : words) {
      out.emplace_back();
      getFileList(index_dir_, index_.words, index_.total_files, word, &out.back().files);
    }
    for (const QueryTerm& term : terms) {
      out.emplace_back();
      Listed& l = out.back();
      if (!term.Confirmed()) {
        l.files = PrefixFiles(index_dir_, index_, term.tokens[0]);
        continue;
      }
      l.confirmed = &term;
      l.slot = slots_++;
      l.listed = list_confirmed;
      slot_at_.emplace_back(group, out.size() - 1);
      if (!confirm_->Exact()) l.files = confirm_->Candidates(term, l.slot, list_confirmed);
    }
    return out;
  }

  const Listed& OfSlot(size_t slot) const {
    int group = slot_at_[slot].first;
    return (group == 0 ? any_ : group == 1 ? include_ : exclude_)[slot_at_[slot].second];
  }

  // Whether candidate n is to be checked for the term of `slot` at all.
  bool Wanted(uint32_t n, size_t slot) const {
    const Listed& l = OfSlot(slot);
    switch (slot_at_[slot].first) {
      case 0:
        return !Has(any_exact_, n) && Has(l.files, n);
      case 1:
        return true;
      default:
        return !l.listed || Has(l.files, n);
    }
  }

  bool Keeps(size_t j, uint32_t n) {
    if (!any_.empty() && !Has(any_exact_, n)) {
      bool found = false;
      for (const Listed& l : any_) {
        if (l.confirmed && Has(l.files, n) && confirm_->Holds(j, n, l.slot)) {
          found = true;
          break;
        }
      }
      if (!found) return false;
    }
    for (const Listed& l : include_) {
      if (l.confirmed && !confirm_->Holds(j, n, l.slot)) return false;
    }
    for (const Listed& l : exclude_) {
      if (l.confirmed && (!l.listed || Has(l.files, n)) && confirm_->Holds(j, n, l.slot)) {
        return false;
      }
    }
    return true;
  }

  const std::string& index_dir_;
  const InMemoryIndex& index_;
  Confirmation* confirm_;
  std::vector<Listed> any_, include_, exclude_;
  FileList any_exact_;
  size_t slots_ = 0;
  // Per slot: its group (0 AllnAny, 1 Include, 2 Exclude) and its place in the group.
  std::vector<std::pair<int, size_t>> slot_at_;
};

}  // namespace

uint32_t EvaluateWithTerms(const std::string& index_dir, const InMemoryIndex& index,
                           const QueryWords& words, const std::string& data_dir, HeldLock* held,
                           FileList* result) {
  PositionsReader reader;
  if (words.HasConfirmed() && OpenPositions(index_dir, index, &reader)) {
    try {
      reader.KeepDocumentTokens(index);  // each position is checked against its document's
      PositionsConfirmation confirm(&reader, index);
      return Evaluation(index_dir, index, &confirm).Run(words, result);
    } catch (const PositionsDamaged&) {
      WriteLog("Positions file damaged: phrases are confirmed by reading the documents.");
      index.positions_usable = 0;
      result->clear();
    }
  }
  DocumentConfirmation confirm(index_dir, index, data_dir, held);
  return Evaluation(index_dir, index, &confirm).Run(words, result);
}

}  // namespace norvel
