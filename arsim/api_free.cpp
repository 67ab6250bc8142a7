// The release functions of the simulated library. Each frees what the library handed out
// inside the structure, and the structure itself when freeStruct is set.
#include <cstdlib>
#include <type_traits>

#include "arsim/qualification.h"
#include "arsim/session.h"
#include "arsim/values.h"

namespace {

// Frees a list's item array and empties the list.
template <class List, class Item>
void FreeItems(List* list, Item* List::*member) {
  std::free(list->*member);
  list->*member = nullptr;
  list->numItems = 0;
}

void FreeStruct(void* value, ARBoolean freeStruct) {
  if (freeStruct) std::free(value);
}

void FreePropList(ARPropList* props) {
  for (unsigned i = 0; props->props && i < props->numItems; ++i) {
    arsim::ReleaseValueContents(&props->props[i].value);
  }
  FreeItems(props, &ARPropList::props);
}

}  // namespace

extern "C" {

void __cdecl FreeARStatusList(ARStatusList* value, ARBoolean freeStruct) {
  if (!value) return;
  for (unsigned i = 0; value->statusList && i < value->numItems; ++i) {
    std::free(value->statusList[i].messageText);
    std::free(value->statusList[i].appendedText);
  }
  FreeItems(value, &ARStatusList::statusList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARNameList(ARNameList* value, ARBoolean freeStruct) {
  if (!value) return;
  FreeItems(value, &ARNameList::nameList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARBooleanList(ARBooleanList* value, ARBoolean freeStruct) {
  if (!value) return;
  FreeItems(value, &ARBooleanList::booleanList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARFieldMappingList(ARFieldMappingList* value, ARBoolean freeStruct) {
  if (!value) return;
  FreeItems(value, &ARFieldMappingList::mappingList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARUnsignedIntList(ARUnsignedIntList* value, ARBoolean freeStruct) {
  if (!value) return;
  FreeItems(value, &ARUnsignedIntList::intList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARValueList(ARValueList* value, ARBoolean freeStruct) {
  if (!value) return;
  for (unsigned i = 0; value->valueList && i < value->numItems; ++i) {
    arsim::ReleaseValueContents(&value->valueList[i]);
  }
  FreeItems(value, &ARValueList::valueList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARPermissionListList(ARPermissionListList* value, ARBoolean freeStruct) {
  if (!value) return;
  for (unsigned i = 0; value->permissionList && i < value->numItems; ++i) {
    FreeItems(&value->permissionList[i], &ARPermissionList::permissionList);
  }
  FreeItems(value, &ARPermissionListList::permissionList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARDisplayInstanceListList(ARDisplayInstanceListList* value, ARBoolean freeStruct) {
  if (!value) return;
  for (unsigned i = 0; value->dInstanceList && i < value->numItems; ++i) {
    ARDisplayInstanceList& list = value->dInstanceList[i];
    FreePropList(&list.commonProps);
    for (unsigned j = 0; list.dInstanceList && j < list.numItems; ++j) {
      FreePropList(&list.dInstanceList[j].props);
    }
    FreeItems(&list, &ARDisplayInstanceList::dInstanceList);
  }
  FreeItems(value, &ARDisplayInstanceListList::dInstanceList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARTextStringList(ARTextStringList* value, ARBoolean freeStruct) {
  if (!value) return;
  for (unsigned i = 0; value->stringList && i < value->numItems; ++i) {
    std::free(value->stringList[i]);
  }
  FreeItems(value, &ARTextStringList::stringList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARTimestampList(ARTimestampList* value, ARBoolean freeStruct) {
  if (!value) return;
  FreeItems(value, &ARTimestampList::timestampList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARAccessNameList(ARAccessNameList* value, ARBoolean freeStruct) {
  if (!value) return;
  FreeItems(value, &ARAccessNameList::nameList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARQualifierStruct(ARQualifierStruct* value, ARBoolean freeStruct) {
  if (!value) return;
  arsim::ReleaseQualifier(value);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARSortList(ARSortList* value, ARBoolean freeStruct) {
  if (!value) return;
  FreeItems(value, &ARSortList::sortList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeAREntryListFieldValueList(AREntryListFieldValueList* value, ARBoolean freeStruct) {
  if (!value) return;
  for (unsigned i = 0; value->entryList && i < value->numItems; ++i) {
    AREntryListFieldValueStruct& entry = value->entryList[i];
    FreeItems(&entry.entryId, &AREntryIdList::entryIdList);
    if (entry.entryValues) {
      arsim::ReleaseFieldValueList(entry.entryValues);
      std::free(entry.entryValues);
      entry.entryValues = nullptr;
    }
  }
  FreeItems(value, &AREntryListFieldValueList::entryList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARInternalIdList(ARInternalIdList* value, ARBoolean freeStruct) {
  if (!value) return;
  FreeItems(value, &ARInternalIdList::internalIdList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARFieldLimitList(ARFieldLimitList* value, ARBoolean freeStruct) {
  if (!value) return;
  for (unsigned i = 0; value->fieldLimitList && i < value->numItems; ++i) {
    ARFieldLimitStruct& limit = value->fieldLimitList[i];
    if (limit.dataType == AR_DATA_TYPE_CHAR) std::free(limit.u.charLimits.pattern);
  }
  FreeItems(value, &ARFieldLimitList::fieldLimitList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARFieldValueList(ARFieldValueList* value, ARBoolean freeStruct) {
  if (!value) return;
  arsim::ReleaseFieldValueList(value);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeAREntryIdList(AREntryIdList* value, ARBoolean freeStruct) {
  if (!value) return;
  FreeItems(value, &AREntryIdList::entryIdList);
  FreeStruct(value, freeStruct);
}

void __cdecl FreeARDiaryList(ARDiaryList* value, ARBoolean freeStruct) {
  if (!value) return;
  for (unsigned i = 0; value->diaryList && i < value->numItems; ++i) {
    std::free(value->diaryList[i].value);
  }
  FreeItems(value, &ARDiaryList::diaryList);
  FreeStruct(value, freeStruct);
}

}  // extern "C"

static_assert(std::is_same<decltype(&FreeARStatusList), FreeARStatusListProc>::value, "");
static_assert(std::is_same<decltype(&FreeARQualifierStruct), FreeARQualifierStructProc>::value, "");
static_assert(std::is_same<decltype(&FreeAREntryListFieldValueList),
                           FreeAREntryListFieldValueListProc>::value,
              "");
static_assert(std::is_same<decltype(&FreeARDisplayInstanceListList),
                           FreeARDisplayInstanceListListProc>::value,
              "");
