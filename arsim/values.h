// Turning stored fixture values into the API's value structures and releasing them again.
#pragma once

#include "arsim/fixture.h"
#include "export/ar_api.h"

namespace arsim {

// Fills *out from a stored value; text and diaries are copied with malloc.
void MakeValueStruct(const StoredValue& stored, ARValueStruct* out);
// Frees what MakeValueStruct allocated inside *value.
void ReleaseValueContents(ARValueStruct* value);
void ReleaseFieldValueList(ARFieldValueList* list);

}  // namespace arsim
