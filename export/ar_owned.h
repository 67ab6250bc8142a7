// Structures that the AR library fills in and only the library can free: each is held by a
// scope type that gives it back through the library's Free function exactly once, on
// Free() or when it goes out of scope, whichever comes first.
#pragma once

#include <cstring>

#include "export/ar_api.h"
#include "export/ar_connection.h"

namespace norvel {

// A Struct the library fills in through Fill(), freed with the library function free_name
// (of type FreeProc), looked up when it is freed. Until Fill() hands it to the library it
// is only zeroed memory of ours, and nothing is freed for it.
template <typename Struct, typename FreeProc>
class ArOwned {
 public:
  ArOwned(const ArModule& ar, const char* free_name) : ar_(ar), free_name_(free_name) {
    std::memset(&value_, 0, sizeof value_);
  }
  ~ArOwned() { Free(); }
  ArOwned(const ArOwned&) = delete;
  ArOwned& operator=(const ArOwned&) = delete;

  // The structure for a library call to fill in; from now on it is the library's to free.
  Struct* Fill() {
    filled_ = true;
    return &value_;
  }
  // The structure as an input of a later call.
  Struct* get() { return &value_; }
  const Struct& value() const { return value_; }

  // Gives a filled structure back to the library now; later calls do nothing. False when
  // the library lacks the Free function: what it filled in then stays with it.
  bool Free() {
    if (!filled_) return true;
    filled_ = false;
    auto free_struct = ar_.Find<FreeProc>(free_name_);
    if (free_struct) free_struct(&value_, 0);
    return free_struct != nullptr;
  }

 private:
  const ArModule& ar_;
  const char* free_name_;
  Struct value_;
  bool filled_ = false;
};

// A qualification that ARLoadARQualifierStruct made from a query's text.
class ArQualifier : public ArOwned<ARQualifierStruct, FreeARQualifierStructProc> {
 public:
  explicit ArQualifier(const ArModule& ar) : ArOwned(ar, "FreeARQualifierStruct") {}
};

// The entries, with their listed field values, of one ARGetListEntryWithFields.
class ArEntryList : public ArOwned<AREntryListFieldValueList, FreeAREntryListFieldValueListProc> {
 public:
  explicit ArEntryList(const ArModule& ar) : ArOwned(ar, "FreeAREntryListFieldValueList") {}
};

}  // namespace norvel
