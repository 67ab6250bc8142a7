// Evaluation with phrases and prefixes: sets of file numbers from the index, then the
// phrases confirmed by reading the candidates that are left.
#include "query/eval_terms.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <thread>

#include "index/index_files.h"
#include "index/parallel.h"
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

// Reads the candidates to confirm their phrases, on a few threads when there are many: the
// time goes into opening and reading files, which the system does in parallel.
class Confirmer {
 public:
  Confirmer(const std::string& data_dir, const std::string& index_dir, const InMemoryIndex& index,
            const std::vector<Listed>& any, const std::vector<Listed>& include,
            const std::vector<Listed>& exclude, const FileList& any_exact)
      : data_dir_(data_dir),
        index_dir_(index_dir),
        index_(index),
        any_(any),
        include_(include),
        exclude_(exclude),
        any_exact_(any_exact) {}

  // Appends the candidates that keep to every term to *result. Throws std::bad_alloc.
  void Run(const FileList& candidates, FileList* result) {
    std::vector<uint8_t> kept(candidates.size(), 0);
    size_t threads = candidates.size() < kPerThread ? 1 : Threads();
    std::atomic<size_t> next{0};
    std::atomic<bool> out_of_memory{false};
    OnThreads(threads, [&](size_t) {
      try {
        PhraseReader reader(data_dir_, index_dir_, index_);
        // Small slices handed out in turn: documents differ much in length.
        for (size_t i; (i = next.fetch_add(kSlice)) < candidates.size();) {
          for (size_t j = i; j < i + kSlice && j < candidates.size(); ++j) {
            kept[j] = Keeps(candidates[j], &reader);
          }
        }
      } catch (const std::bad_alloc&) {
        out_of_memory = true;
      }
    });
    if (out_of_memory) throw std::bad_alloc();
    for (size_t j = 0; j < candidates.size(); ++j) {
      if (kept[j]) result->push_back(candidates[j]);
    }
  }

 private:
  static constexpr size_t kPerThread = 64;  // fewer candidates are read on one thread
  static constexpr size_t kSlice = 8;
  static size_t Threads() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 2 : n > 4 ? 4 : n;
  }

  bool Holds(const Listed& l, uint32_t n, PhraseReader* reader) const {
    return Has(l.files, n) && !data_dir_.empty() && reader->Holds(n, l.phrase->tokens);
  }

  bool Keeps(uint32_t n, PhraseReader* reader) const {
    if (!any_.empty() && !Has(any_exact_, n)) {
      bool found = false;
      for (const Listed& l : any_) {
        if (l.phrase && Holds(l, n, reader)) {
          found = true;
          break;
        }
      }
      if (!found) return false;
    }
    for (const Listed& l : include_) {
      if (l.phrase && !Holds(l, n, reader)) return false;
    }
    for (const Listed& l : exclude_) {
      if (l.phrase && Holds(l, n, reader)) return false;
    }
    return true;
  }

  const std::string& data_dir_;
  const std::string& index_dir_;
  const InMemoryIndex& index_;
  const std::vector<Listed>& any_;
  const std::vector<Listed>& include_;
  const std::vector<Listed>& exclude_;
  const FileList& any_exact_;
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

  bool phrases = false;
  for (const auto* group : {&any, &include, &exclude}) {
    for (const Listed& l : *group) phrases = phrases || l.phrase != nullptr;
  }
  if (!phrases) {
    result->swap(candidates);  // words and prefixes alone: the index's answer is exact
  } else {
    Confirmer confirm(data_dir, index_dir, index, any, include, exclude, any_exact);
    confirm.Run(candidates, result);
  }
  return static_cast<uint32_t>(result->size());
}

}  // namespace norvel
