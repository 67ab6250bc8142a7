// Evaluation with phrases and prefixes: sets of file numbers from the index, then the
// phrases confirmed by reading the candidates that are left.
#include "query/eval_terms.h"

#include <algorithm>
#include <iterator>

#include "index/index_files.h"
#include "query/phrase.h"

namespace norvel {

namespace {

// One word or term of a group with its documents. For a phrase they are its candidates.
struct Listed {
  const QueryTerm* phrase = nullptr;  // null for a word or a prefix: the list is exact
  FileList files;
};

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

class GroupLister {
 public:
  GroupLister(const std::string& index_dir, const InMemoryIndex& index)
      : index_dir_(index_dir), index_(index) {}

  std::vector<Listed> List(const std::vector<std::string>& words,
                           const std::vector<QueryTerm>& terms) const {
    std::vector<Listed> out;
    for (const std::string& word : words) {
      out.emplace_back();
      getFileList(index_dir_, index_.words, index_.total_files, word, &out.back().files);
    }
    for (const QueryTerm& term : terms) {
      out.emplace_back();
      if (term.kind == QueryTerm::Kind::kPrefix) {
        out.back().files = PrefixFiles(index_dir_, index_, term.tokens[0]);
      } else {
        out.back().phrase = &term;
        out.back().files = PhraseCandidates(index_dir_, index_, term.tokens);
      }
    }
    return out;
  }

 private:
  const std::string& index_dir_;
  const InMemoryIndex& index_;
};

}  // namespace

uint32_t EvaluateWithTerms(const std::string& index_dir, const InMemoryIndex& index,
                           const QueryWords& words, const std::string& data_dir, FileList* result) {
  GroupLister lister(index_dir, index);
  std::vector<Listed> any = lister.List(words.all_n_any, words.any_terms);
  std::vector<Listed> include = lister.List(words.include, words.include_terms);
  std::vector<Listed> exclude = lister.List(words.exclude, words.exclude_terms);

  // The index's answer: a superset of the result wherever a phrase takes part.
  FileList candidates, any_exact;
  for (const Listed& l : any) {
    candidates = Union(candidates, l.files);
    if (!l.phrase) any_exact = Union(any_exact, l.files);
  }
  if (!any.empty() && candidates.empty()) return 0;
  for (size_t i = 0; i < include.size(); ++i) {
    candidates =
        (any.empty() && i == 0) ? include[i].files : Intersection(candidates, include[i].files);
    if (candidates.empty()) return 0;
  }
  for (const Listed& l : exclude) {
    if (!l.phrase) candidates = Difference(candidates, l.files);
  }

  // Reading confirms the phrases of the candidates that are left.
  PhraseReader reader(data_dir, index_dir, index);
  auto holds = [&](const Listed& l, uint32_t n) {
    return Has(l.files, n) && !data_dir.empty() && reader.Holds(n, l.phrase->tokens);
  };
  for (uint32_t n : candidates) {
    if (!any.empty() && !Has(any_exact, n)) {
      bool found = false;
      for (const Listed& l : any) {
        if (l.phrase && holds(l, n)) {
          found = true;
          break;
        }
      }
      if (!found) continue;
    }
    bool kept = true;
    for (const Listed& l : include) {
      if (l.phrase && !holds(l, n)) kept = false;
      if (!kept) break;
    }
    for (const Listed& l : exclude) {
      if (!kept) break;
      if (l.phrase && holds(l, n)) kept = false;
    }
    if (kept) result->push_back(n);
  }
  return static_cast<uint32_t>(result->size());
}

}  // namespace norvel
