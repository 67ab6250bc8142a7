// The AR System client API, version 5.1, as far as the export binds it: the 5.1 layouts,
// result and data type codes, and the cdecl function-pointer types of every function the
// program looks up by name. The vendor's arapi51.dll and our stand-in both follow this ABI,
// so either can sit next to the program.
#pragma once

#include "platform/calling_convention.h"

#ifdef __cplusplus
extern "C" {
#endif

// Result codes; messageType of a status entry carries the same values. Below 2 is success.
#define AR_RETURN_OK 0
#define AR_RETURN_WARNING 1
#define AR_RETURN_ERROR 2
#define AR_RETURN_FATAL 3
#define AR_RETURN_BAD_STATUS 4
#define AR_RETURN_PROMPT 5
#define AR_RETURN_ACCESSIBLE 6

// Data type codes, in field definitions and in values.
#define AR_DATA_TYPE_NULL 0
#define AR_DATA_TYPE_KEYWORD 1
#define AR_DATA_TYPE_INTEGER 2
#define AR_DATA_TYPE_REAL 3
#define AR_DATA_TYPE_CHAR 4
#define AR_DATA_TYPE_DIARY 5
#define AR_DATA_TYPE_ENUM 6
#define AR_DATA_TYPE_TIME 7
#define AR_DATA_TYPE_BITMASK 8
#define AR_DATA_TYPE_BYTES 9
#define AR_DATA_TYPE_DECIMAL 10
#define AR_DATA_TYPE_ATTACH 11
#define AR_DATA_TYPE_CURRENCY 12
#define AR_DATA_TYPE_DATE 13
#define AR_DATA_TYPE_TIME_OF_DAY 14
#define AR_DATA_TYPE_JOIN 30
#define AR_DATA_TYPE_TRIM 31
#define AR_DATA_TYPE_CONTROL 32
#define AR_DATA_TYPE_TABLE 33
#define AR_DATA_TYPE_COLUMN 34
#define AR_DATA_TYPE_PAGE 35
#define AR_DATA_TYPE_PAGE_HOLDER 36
#define AR_DATA_TYPE_ATTACH_POOL 37
#define AR_DATA_TYPE_ULONG 40
#define AR_DATA_TYPE_COORDS 41
#define AR_DATA_TYPE_VIEW 42
#define AR_DATA_TYPE_DISPLAY 43

// Qualifier node operations and relational operators.
#define AR_COND_OP_NONE 0
#define AR_COND_OP_AND 1
#define AR_COND_OP_OR 2
#define AR_COND_OP_NOT 3
#define AR_COND_OP_REL_OP 4

#define AR_REL_OP_EQUAL 1
#define AR_REL_OP_GREATER 2
#define AR_REL_OP_GREATER_EQUAL 3
#define AR_REL_OP_LESS 4
#define AR_REL_OP_LESS_EQUAL 5
#define AR_REL_OP_NOT_EQUAL 6
#define AR_REL_OP_LIKE 7

// Diary encoding: items separated by 0x03, time, user and text inside an item by 0x04.
#define AR_DIARY_ITEM_SEPARATOR '\003'
#define AR_DIARY_FIELD_SEPARATOR '\004'

typedef long ARTimestamp;
typedef unsigned long ARInternalId;
typedef unsigned char ARBoolean;
typedef char ARNameType[255];
typedef char ARAccessNameType[31];
typedef char ARServerNameType[65];
typedef char AREntryIdType[16];

typedef struct ARControlStruct {
  long cacheId;
  ARTimestamp operationTime;
  ARAccessNameType user;
  ARAccessNameType password;  // 5.1 keeps the password in an access-name-sized field
  char language[16];
  unsigned long sessionId;
  char authString[255];
  ARServerNameType server;
} ARControlStruct;

typedef struct ARStatusStruct {
  unsigned int messageType;
  long messageNum;
  char* messageText;
  char* appendedText;
} ARStatusStruct;

typedef struct ARStatusList {
  unsigned int numItems;
  ARStatusStruct* statusList;
} ARStatusList;

typedef struct ARNameList {
  unsigned int numItems;
  ARNameType* nameList;
} ARNameList;

typedef struct ARAccessNameList {
  unsigned int numItems;
  ARAccessNameType* nameList;
} ARAccessNameList;

typedef struct ARInternalIdList {
  unsigned int numItems;
  ARInternalId* internalIdList;
} ARInternalIdList;

typedef struct ARUnsignedIntList {
  unsigned int numItems;
  unsigned int* intList;
} ARUnsignedIntList;

typedef struct ARBooleanList {
  unsigned int numItems;
  ARBoolean* booleanList;
} ARBooleanList;

typedef struct ARTimestampList {
  unsigned int numItems;
  ARTimestamp* timestampList;
} ARTimestampList;

typedef struct ARTextStringList {
  unsigned int numItems;
  char** stringList;
} ARTextStringList;

typedef struct AREntryIdList {
  unsigned int numItems;
  AREntryIdType* entryIdList;
} AREntryIdList;

// A value; the union is 8-aligned because of the double.
typedef struct ARValueStruct {
  unsigned int dataType;
  union {
    unsigned int keyNum;
    long intVal;
    double realVal;
    char* charVal;
    char* diaryVal;
    unsigned long enumVal;
    ARTimestamp timeVal;
    unsigned long maskVal;
    long timeOfDayVal;
    void* byteListVal;
    char* decimalVal;
    void* attachVal;
    unsigned long ulongVal;
    void* coordListVal;
    int dateVal;
    void* currencyVal;
  } u;
} ARValueStruct;

typedef struct ARValueList {
  unsigned int numItems;
  ARValueStruct* valueList;
} ARValueList;

typedef struct ARFieldValueStruct {
  ARInternalId fieldId;
  ARValueStruct value;
} ARFieldValueStruct;

typedef struct ARFieldValueList {
  unsigned int numItems;
  ARFieldValueStruct* fieldValueList;
} ARFieldValueList;

typedef struct AREntryListFieldStruct {
  ARInternalId fieldId;
  unsigned int columnWidth;
  char separator[10];
} AREntryListFieldStruct;

typedef struct AREntryListFieldList {
  unsigned int numItems;
  AREntryListFieldStruct* fieldsList;
} AREntryListFieldList;

typedef struct AREntryListFieldValueStruct {
  AREntryIdList entryId;
  ARFieldValueList* entryValues;
} AREntryListFieldValueStruct;

typedef struct AREntryListFieldValueList {
  unsigned int numItems;
  AREntryListFieldValueStruct* entryList;
} AREntryListFieldValueList;

typedef struct ARDiaryStruct {
  ARAccessNameType user;
  ARTimestamp timeVal;
  char* value;
} ARDiaryStruct;

typedef struct ARDiaryList {
  unsigned int numItems;
  ARDiaryStruct* diaryList;
} ARDiaryList;

typedef struct ARSortStruct {
  ARInternalId fieldId;
  unsigned int sortOrder;
} ARSortStruct;

typedef struct ARSortList {
  unsigned int numItems;
  ARSortStruct* sortList;
} ARSortList;

// The program never looks inside a relational operation: it only passes the qualifier that
// ARLoadARQualifierStruct filled on to the listing and releases it through the library.
struct ARRelOpStruct;

typedef struct ARQualifierStruct {
  unsigned int operation;
  union {
    struct {
      struct ARQualifierStruct* operandLeft;
      struct ARQualifierStruct* operandRight;
    } andor;
    struct ARQualifierStruct* notQual;
    struct ARRelOpStruct* relOp;
    ARInternalId fieldId;
  } u;
} ARQualifierStruct;

typedef struct ARCharLimitsStruct {
  unsigned int maxLength;  // 0 means unlimited
  unsigned int menuStyle;
  unsigned int qbeMatchOperation;
  ARNameType charMenu;
  char* pattern;
  unsigned int fullTextOptions;
} ARCharLimitsStruct;

typedef struct ARIntegerLimitsStruct {
  long rangeLow;
  long rangeHigh;
} ARIntegerLimitsStruct;

typedef struct ARRealLimitsStruct {
  double rangeLow;
  double rangeHigh;
  int precision;
} ARRealLimitsStruct;

// Only the character limits are read; the reserve gives the union the size of the largest
// limits structure of 5.1, which the program never touches.
typedef struct ARFieldLimitStruct {
  unsigned int dataType;
  union {
    ARIntegerLimitsStruct intLimits;
    ARRealLimitsStruct realLimits;
    ARCharLimitsStruct charLimits;
    double alignment;
    char reserved[344];
  } u;
} ARFieldLimitStruct;

typedef struct ARFieldLimitList {
  unsigned int numItems;
  ARFieldLimitStruct* fieldLimitList;
} ARFieldLimitList;

typedef struct ARJoinMappingStruct {
  unsigned int schemaIndex;
  ARInternalId realId;
} ARJoinMappingStruct;

typedef struct ARViewMappingStruct {
  ARNameType fieldName;
} ARViewMappingStruct;

typedef struct ARFieldMappingStruct {
  unsigned int fieldType;
  union {
    ARJoinMappingStruct join;
    ARViewMappingStruct view;
  } u;
} ARFieldMappingStruct;

typedef struct ARFieldMappingList {
  unsigned int numItems;
  ARFieldMappingStruct* mappingList;
} ARFieldMappingList;

typedef struct ARPermissionStruct {
  ARInternalId groupId;
  unsigned int permissions;
} ARPermissionStruct;

typedef struct ARPermissionList {
  unsigned int numItems;
  ARPermissionStruct* permissionList;
} ARPermissionList;

typedef struct ARPermissionListList {
  unsigned int numItems;
  ARPermissionList* permissionList;
} ARPermissionListList;

typedef struct ARPropStruct {
  unsigned long prop;
  ARValueStruct value;
} ARPropStruct;

typedef struct ARPropList {
  unsigned int numItems;
  ARPropStruct* props;
} ARPropList;

typedef struct ARDisplayInstanceStruct {
  ARInternalId vui;
  ARPropList props;
} ARDisplayInstanceStruct;

typedef struct ARDisplayInstanceList {
  ARPropList commonProps;
  unsigned int numItems;
  ARDisplayInstanceStruct* dInstanceList;
} ARDisplayInstanceList;

typedef struct ARDisplayInstanceListList {
  unsigned int numItems;
  ARDisplayInstanceList* dInstanceList;
} ARDisplayInstanceListList;

// The functions, as the program looks them up (undecorated names, cdecl, int results).
typedef int(__cdecl* ARInitializationProc)(ARControlStruct*, ARStatusList*);
typedef int(__cdecl* ARTerminationProc)(ARControlStruct*, ARStatusList*);
typedef int(__cdecl* ARGetListSchemaProc)(ARControlStruct*, ARTimestamp changedSince,
                                          unsigned int schemaType, ARNameType name,
                                          ARInternalIdList* fieldIdList, ARNameList* nameList,
                                          ARStatusList*);
typedef int(__cdecl* ARGetMultipleFieldsProc)(
    ARControlStruct*, ARNameType schema, ARInternalIdList* fieldIdList, ARBooleanList* existList,
    ARInternalIdList* fieldIds, ARNameList* fieldNames, ARFieldMappingList* fieldMap,
    ARUnsignedIntList* dataTypes, ARUnsignedIntList* options, ARUnsignedIntList* createModes,
    ARValueList* defaultValues, ARPermissionListList* permissions, ARFieldLimitList* limits,
    ARDisplayInstanceListList* displayInstances, ARTextStringList* helpTexts,
    ARTimestampList* timestamps, ARAccessNameList* owners, ARAccessNameList* lastChanged,
    ARTextStringList* changeDiaries, ARStatusList*);
typedef int(__cdecl* ARLoadARQualifierStructProc)(ARControlStruct*, ARNameType schema,
                                                  ARNameType displayTag, char* qualString,
                                                  ARQualifierStruct*, ARStatusList*);
typedef int(__cdecl* ARGetListEntryWithFieldsProc)(ARControlStruct*, ARNameType schema,
                                                   ARQualifierStruct*, AREntryListFieldList* fields,
                                                   ARSortList* sort, unsigned int firstRetrieve,
                                                   unsigned int maxRetrieve,
                                                   AREntryListFieldValueList* entries,
                                                   unsigned int* numMatches, ARStatusList*);
typedef int(__cdecl* ARGetEntryProc)(ARControlStruct*, ARNameType schema, AREntryIdList* entryId,
                                     ARInternalIdList* fieldIds, ARFieldValueList* values,
                                     ARStatusList*);
typedef int(__cdecl* ARDecodeDiaryProc)(ARControlStruct*, char* diaryString, ARDiaryList*,
                                        ARStatusList*);

// Release functions: the second argument 0 releases the contents only.
typedef void(__cdecl* FreeARStatusListProc)(ARStatusList*, ARBoolean);
typedef void(__cdecl* FreeARNameListProc)(ARNameList*, ARBoolean);
typedef void(__cdecl* FreeARBooleanListProc)(ARBooleanList*, ARBoolean);
typedef void(__cdecl* FreeARFieldMappingListProc)(ARFieldMappingList*, ARBoolean);
typedef void(__cdecl* FreeARUnsignedIntListProc)(ARUnsignedIntList*, ARBoolean);
typedef void(__cdecl* FreeARValueListProc)(ARValueList*, ARBoolean);
typedef void(__cdecl* FreeARPermissionListListProc)(ARPermissionListList*, ARBoolean);
typedef void(__cdecl* FreeARDisplayInstanceListListProc)(ARDisplayInstanceListList*, ARBoolean);
typedef void(__cdecl* FreeARTextStringListProc)(ARTextStringList*, ARBoolean);
typedef void(__cdecl* FreeARTimestampListProc)(ARTimestampList*, ARBoolean);
typedef void(__cdecl* FreeARAccessNameListProc)(ARAccessNameList*, ARBoolean);
typedef void(__cdecl* FreeARQualifierStructProc)(ARQualifierStruct*, ARBoolean);
typedef void(__cdecl* FreeARSortListProc)(ARSortList*, ARBoolean);
typedef void(__cdecl* FreeAREntryListFieldValueListProc)(AREntryListFieldValueList*, ARBoolean);
typedef void(__cdecl* FreeARInternalIdListProc)(ARInternalIdList*, ARBoolean);
typedef void(__cdecl* FreeARFieldLimitListProc)(ARFieldLimitList*, ARBoolean);
typedef void(__cdecl* FreeARFieldValueListProc)(ARFieldValueList*, ARBoolean);
typedef void(__cdecl* FreeAREntryIdListProc)(AREntryIdList*, ARBoolean);
typedef void(__cdecl* FreeARDiaryListProc)(ARDiaryList*, ARBoolean);

#ifdef __cplusplus
}  // extern "C"
#endif
