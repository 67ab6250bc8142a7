// The 32-bit Windows layouts that the vendor's library was built with, checked where the
// program meets that library: in the 32-bit Windows build (the only one compiling this file).
#include <cstddef>

#include "export/ar_api.h"

#define AR_API_LAYOUT(type, size) static_assert(sizeof(type) == (size), #type " size")
#define AR_API_OFFSET(type, member, offset) \
  static_assert(offsetof(type, member) == (offset), #type "." #member " offset")
AR_API_LAYOUT(ARTimestamp, 4);
AR_API_LAYOUT(ARInternalId, 4);
AR_API_LAYOUT(ARControlStruct, 412);
AR_API_OFFSET(ARControlStruct, cacheId, 0);
AR_API_OFFSET(ARControlStruct, operationTime, 4);
AR_API_OFFSET(ARControlStruct, user, 8);
AR_API_OFFSET(ARControlStruct, password, 39);
AR_API_OFFSET(ARControlStruct, language, 70);
AR_API_OFFSET(ARControlStruct, sessionId, 88);
AR_API_OFFSET(ARControlStruct, authString, 92);
AR_API_OFFSET(ARControlStruct, server, 347);
AR_API_LAYOUT(ARStatusList, 8);
AR_API_LAYOUT(ARNameList, 8);
AR_API_LAYOUT(ARAccessNameList, 8);
AR_API_LAYOUT(ARInternalIdList, 8);
AR_API_LAYOUT(ARUnsignedIntList, 8);
AR_API_LAYOUT(ARBooleanList, 8);
AR_API_LAYOUT(ARTimestampList, 8);
AR_API_LAYOUT(ARTextStringList, 8);
AR_API_LAYOUT(ARValueList, 8);
AR_API_LAYOUT(ARFieldValueList, 8);
AR_API_LAYOUT(AREntryIdList, 8);
AR_API_LAYOUT(AREntryListFieldList, 8);
AR_API_LAYOUT(AREntryListFieldValueList, 8);
AR_API_LAYOUT(ARDiaryList, 8);
AR_API_LAYOUT(ARSortList, 8);
AR_API_LAYOUT(ARFieldLimitList, 8);
AR_API_LAYOUT(ARFieldMappingList, 8);
AR_API_LAYOUT(ARPermissionListList, 8);
AR_API_LAYOUT(ARDisplayInstanceListList, 8);
AR_API_LAYOUT(ARPropList, 8);
AR_API_LAYOUT(ARStatusStruct, 16);
AR_API_OFFSET(ARStatusStruct, messageText, 8);
AR_API_OFFSET(ARStatusStruct, appendedText, 12);
AR_API_LAYOUT(ARValueStruct, 16);
AR_API_OFFSET(ARValueStruct, u, 8);
AR_API_LAYOUT(ARFieldValueStruct, 24);
AR_API_OFFSET(ARFieldValueStruct, value, 8);
AR_API_LAYOUT(AREntryListFieldStruct, 20);
AR_API_OFFSET(AREntryListFieldStruct, separator, 8);
AR_API_LAYOUT(AREntryListFieldValueStruct, 12);
AR_API_OFFSET(AREntryListFieldValueStruct, entryValues, 8);
AR_API_LAYOUT(ARDiaryStruct, 40);
AR_API_OFFSET(ARDiaryStruct, timeVal, 32);
AR_API_OFFSET(ARDiaryStruct, value, 36);
AR_API_LAYOUT(ARSortStruct, 8);
AR_API_LAYOUT(ARQualifierStruct, 12);
AR_API_LAYOUT(ARCharLimitsStruct, 276);
AR_API_OFFSET(ARCharLimitsStruct, charMenu, 12);
AR_API_OFFSET(ARCharLimitsStruct, pattern, 268);
AR_API_OFFSET(ARCharLimitsStruct, fullTextOptions, 272);
AR_API_LAYOUT(ARFieldLimitStruct, 352);
AR_API_OFFSET(ARFieldLimitStruct, u, 8);
AR_API_OFFSET(ARFieldLimitStruct, u.charLimits.maxLength, 8);
AR_API_LAYOUT(ARFieldMappingStruct, 260);
AR_API_LAYOUT(ARPermissionStruct, 8);
AR_API_LAYOUT(ARPropStruct, 24);
AR_API_OFFSET(ARPropStruct, value, 8);
AR_API_LAYOUT(ARDisplayInstanceStruct, 12);
AR_API_LAYOUT(ARDisplayInstanceList, 16);
