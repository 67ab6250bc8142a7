// A schema's field definitions for one listing: the four parallel lists the server filled
// (IDs, names, data types, limits), ordered together by ascending field ID, with the names
// cleaned into labels. They belong to the library and go back to it, in the order IDs,
// names, data types, limits, when the definitions go away.
#pragma once

#include <string>

#include "export/ar_api.h"
#include "export/ar_connection.h"

namespace norvel {

class FieldDefinitions {
 public:
  explicit FieldDefinitions(const ArModule& ar) : ar_(ar) {}
  FieldDefinitions(const FieldDefinitions&) = delete;
  FieldDefinitions& operator=(const FieldDefinitions&) = delete;
  ~FieldDefinitions() { Release(); }

  // The lists ARGetMultipleFields fills.
  ARInternalIdList ids = {0, nullptr};
  ARNameList names = {0, nullptr};
  ARUnsignedIntList types = {0, nullptr};
  ARFieldLimitList limits = {0, nullptr};

  // Fields described by all four lists (a server that returns lists of different lengths
  // is believed only as far as all of them go).
  size_t size() const;

  // Orders the four lists together by ascending field ID.
  void SortById();
  // Rewrites every name into its label (CleanFieldName).
  void CleanFieldNames();

  // The position of the field, or -1 when it is not there (also with no definitions).
  int FindFieldIndex(ARInternalId id) const;
  std::string Label(int index) const;
  ARInternalId Id(int index) const { return ids.internalIdList[index]; }
  unsigned DataType(int index) const { return types.intList[index]; }
  // A character field's maximum length (0 means unlimited); 0 for other fields.
  unsigned MaxLength(int index) const;

  // Gives the four lists back to the library, each when it has its release function.
  void Release();

 private:
  const ArModule& ar_;
};

}  // namespace norvel
