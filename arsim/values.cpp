// Value structures handed to the caller.
#include "arsim/values.h"

#include <cstdlib>

#include "arsim/diary.h"
#include "arsim/session.h"

namespace arsim {

namespace {

bool HoldsText(unsigned type) {
  return type == AR_DATA_TYPE_CHAR || type == AR_DATA_TYPE_DIARY || type == AR_DATA_TYPE_DECIMAL ||
         type == AR_DATA_TYPE_VIEW || type == AR_DATA_TYPE_DISPLAY;
}

}  // namespace

void MakeValueStruct(const StoredValue& stored, ARValueStruct* out) {
  *out = ARValueStruct();
  out->dataType = stored.data_type;
  switch (stored.data_type) {
    case AR_DATA_TYPE_NULL:
      break;
    case AR_DATA_TYPE_KEYWORD:
      out->u.keyNum = static_cast<unsigned>(stored.integer);
      break;
    case AR_DATA_TYPE_INTEGER:
      out->u.intVal = static_cast<long>(stored.integer);
      break;
    case AR_DATA_TYPE_REAL:
      out->u.realVal = stored.real;
      break;
    case AR_DATA_TYPE_ENUM:
      out->u.enumVal = static_cast<unsigned long>(stored.integer);
      break;
    case AR_DATA_TYPE_TIME:
      out->u.timeVal = static_cast<ARTimestamp>(stored.integer);
      break;
    case AR_DATA_TYPE_BITMASK:
      out->u.maskVal = static_cast<unsigned long>(stored.integer);
      break;
    case AR_DATA_TYPE_DATE:
      out->u.dateVal = static_cast<int>(stored.integer);
      break;
    case AR_DATA_TYPE_TIME_OF_DAY:
      out->u.timeOfDayVal = static_cast<long>(stored.integer);
      break;
    case AR_DATA_TYPE_ULONG:
      out->u.ulongVal = static_cast<unsigned long>(stored.integer);
      break;
    case AR_DATA_TYPE_DIARY:
      out->u.diaryVal = CopyText(stored.raw_diary ? stored.text : EncodeDiary(stored.diary));
      break;
    default:
      if (HoldsText(stored.data_type)) {
        out->u.charVal = CopyText(stored.text);
      } else {
        out->dataType = AR_DATA_TYPE_NULL;  // fixtures cannot hold other types
      }
  }
}

void ReleaseValueContents(ARValueStruct* value) {
  if (HoldsText(value->dataType)) std::free(value->u.charVal);
  *value = ARValueStruct();
}

void ReleaseFieldValueList(ARFieldValueList* list) {
  if (!list->fieldValueList) list->numItems = 0;
  for (unsigned i = 0; i < list->numItems; ++i) {
    ReleaseValueContents(&list->fieldValueList[i].value);
  }
  std::free(list->fieldValueList);
  list->fieldValueList = nullptr;
  list->numItems = 0;
}

}  // namespace arsim
