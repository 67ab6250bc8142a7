// Query evaluation: one linear pass per list, over ascending file numbers.
#include <new>

#include "core/messages.h"
#include "index/index_files.h"
#include "query/eval_terms.h"
#include "query/positions_terms.h"
#include "query/query.h"

namespace norvel {

uint32_t mergeLists(FileList* accumulator, FileList* list) {
  if (accumulator->empty()) {
    accumulator->swap(*list);
    list->clear();
    return 0;
  }
  FileList merged;
  merged.reserve(accumulator->size() + list->size());
  uint32_t duplicates = 0;
  size_t a = 0, b = 0;
  while (a < accumulator->size() && b < list->size()) {
    uint32_t x = (*accumulator)[a], y = (*list)[b];
    if (y < x) {
      merged.push_back(y);
      ++b;
    } else if (y == x) {
      ++duplicates;
      ++b;
    } else {
      merged.push_back(x);
      ++a;
    }
  }
  merged.insert(merged.end(), accumulator->begin() + static_cast<long>(a), accumulator->end());
  merged.insert(merged.end(), list->begin() + static_cast<long>(b), list->end());
  accumulator->swap(merged);
  list->clear();
  return duplicates;
}

uint32_t intersectLists(FileList* accumulator, FileList* list, uint32_t count) {
  if (accumulator->empty()) {
    accumulator->swap(*list);
    list->clear();
    return count;
  }
  FileList both;
  size_t a = 0, b = 0;
  while (a < accumulator->size() && b < list->size()) {
    uint32_t x = (*accumulator)[a], y = (*list)[b];
    if (x < y) {
      ++a;
    } else if (y < x) {
      ++b;
    } else {
      both.push_back(x);
      ++a;
      ++b;
    }
  }
  accumulator->swap(both);
  list->clear();
  return static_cast<uint32_t>(accumulator->size());
}

uint32_t subtractList(FileList* accumulator, const FileList& list) {
  size_t keep = 0, b = 0;
  uint32_t removed = 0;
  for (size_t a = 0; a < accumulator->size(); ++a) {
    uint32_t x = (*accumulator)[a];
    while (b < list.size() && list[b] < x) ++b;
    if (b < list.size() && list[b] == x) {
      ++removed;
    } else {
      (*accumulator)[keep++] = x;
    }
  }
  accumulator->resize(keep);
  return removed;
}

namespace {

uint32_t Evaluate(const std::string& index_dir, const InMemoryIndex& index, const QueryWords& words,
                  FileList* result) {
  FileList accumulator, list;
  uint32_t count = 0;
  auto fetch = [&](const std::string& word) {
    return getFileList(index_dir, index.words, index.total_files, word, &list);
  };
  for (const std::string& word : words.all_n_any) {
    if (!fetch(word)) continue;  // a word without documents changes nothing
    uint32_t c = static_cast<uint32_t>(list.size());
    uint32_t d = mergeLists(&accumulator, &list);
    count = count + c - d;
  }
  // AllnAny words that occur nowhere leave nothing to narrow down.
  if (!words.all_n_any.empty() && count == 0) return 0;
  bool first_include = words.all_n_any.empty();
  for (const std::string& word : words.include) {
    if (!fetch(word)) return 0;
    if (first_include) {
      // A query of Include words only starts from the first word's documents.
      count = static_cast<uint32_t>(list.size());
      accumulator.swap(list);
      first_include = false;
      continue;
    }
    count = intersectLists(&accumulator, &list, count);
    if (count == 0) return 0;
  }
  for (const std::string& word : words.exclude) {
    if (fetch(word)) count -= subtractList(&accumulator, list);
  }
  if (count > 0) {
    // The count is kept arithmetically; never copy more than the accumulator holds.
    if (count > accumulator.size()) count = static_cast<uint32_t>(accumulator.size());
    result->assign(accumulator.begin(), accumulator.begin() + count);
  }
  return count;
}

}  // namespace

uint32_t evalQuery(const std::string& index_dir, const InMemoryIndex& index,
                   const QueryWords& words, FileList* result, const std::string& data_dir,
                   HeldLock* held) {
  result->clear();
  if (!index.loaded()) return 0;
  try {
    // A query of words alone keeps its own evaluation, step for step.
    if (words.HasTerms()) return EvaluateWithTerms(index_dir, index, words, data_dir, held, result);
    return Evaluate(index_dir, index, words, result);
  } catch (const std::bad_alloc&) {
    // "No results." follows as for any 0; the log tells a search that ran out of memory
    // from one that found nothing.
    result->clear();
    WriteLog("evalQuery():Malloc failure for file lists.");
    return 0;
  }
}

bool NeedsDocuments(const std::string& index_dir, const InMemoryIndex& index,
                    const QueryWords& words) {
  if (!words.HasConfirmed()) return false;
  PositionsReader reader;
  return !OpenPositions(index_dir, index, &reader);
}

uint32_t runQuery(const char* query, const std::string& index_dir, const InMemoryIndex& index,
                  QueryWords* words, FileList* result, const std::string& data_dir,
                  HeldLock* held) {
  result->clear();
  if (parseQuery(query, words, index.exclusions, index.rules) != 0) return 0;
  if (!words->Searchable()) return 0;
  return evalQuery(index_dir, index, *words, result, data_dir, held);
}

}  // namespace norvel
