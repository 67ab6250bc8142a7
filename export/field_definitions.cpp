// Ordering, labelling and finding field definitions.
#include "export/field_definitions.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include "export/entry_format.h"

namespace norvel {

size_t FieldDefinitions::size() const {
  if (!ids.internalIdList || !names.nameList || !types.intList || !limits.fieldLimitList) {
    return 0;
  }
  return std::min({ids.numItems, names.numItems, types.numItems, limits.numItems});
}

namespace {

// Reorders an array of plain items (names are char arrays) so that item i is the old
// item order[i].
template <class T>
void Permute(T* items, const std::vector<size_t>& order) {
  const size_t size = sizeof(T);
  if (order.empty()) return;
  std::unique_ptr<unsigned char[]> copy(new unsigned char[order.size() * size]);
  std::memcpy(copy.get(), items, order.size() * size);
  for (size_t i = 0; i < order.size(); ++i) {
    std::memcpy(reinterpret_cast<unsigned char*>(items) + i * size, copy.get() + order[i] * size,
                size);
  }
}

}  // namespace

void FieldDefinitions::SortById() {
  size_t n = size();
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  const ARInternalId* id = ids.internalIdList;
  std::stable_sort(order.begin(), order.end(), [id](size_t a, size_t b) { return id[a] < id[b]; });
  Permute(ids.internalIdList, order);
  Permute(names.nameList, order);
  Permute(types.intList, order);
  Permute(limits.fieldLimitList, order);
}

void FieldDefinitions::CleanFieldNames() {
  for (unsigned i = 0; names.nameList && i < names.numItems; ++i) {
    char* name = names.nameList[i];
    size_t n = strnlen(name, sizeof(ARNameType));
    std::string label = CleanFieldName(std::string(name, n));
    std::memcpy(name, label.data(), n);
  }
}

int FieldDefinitions::FindFieldIndex(ARInternalId id) const {
  int low = 0;
  int high = static_cast<int>(size()) - 1;
  while (low <= high) {
    int mid = low + (high - low) / 2;
    ARInternalId here = ids.internalIdList[mid];
    if (here == id) return mid;
    if (here < id) {
      low = mid + 1;
    } else {
      high = mid - 1;
    }
  }
  return -1;
}

std::string FieldDefinitions::Label(int index) const {
  const char* name = names.nameList[index];
  return std::string(name, strnlen(name, sizeof(ARNameType)));
}

unsigned FieldDefinitions::MaxLength(int index) const {
  if (DataType(index) != AR_DATA_TYPE_CHAR) return 0;
  return limits.fieldLimitList[index].u.charLimits.maxLength;
}

void FieldDefinitions::Release() {
  if (!ids.internalIdList && !names.nameList && !types.intList && !limits.fieldLimitList) return;
  if (auto f = ar_.Find<FreeARInternalIdListProc>("FreeARInternalIdList")) f(&ids, 0);
  if (auto f = ar_.Find<FreeARNameListProc>("FreeARNameList")) f(&names, 0);
  if (auto f = ar_.Find<FreeARUnsignedIntListProc>("FreeARUnsignedIntList")) f(&types, 0);
  if (auto f = ar_.Find<FreeARFieldLimitListProc>("FreeARFieldLimitList")) f(&limits, 0);
  ids = {0, nullptr};
  names = {0, nullptr};
  types = {0, nullptr};
  limits = {0, nullptr};
}

}  // namespace norvel
