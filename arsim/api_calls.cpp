// The calls of the simulated AR System client library: connection, schema list, field
// definitions, qualifications, entry listing, single entries and diary decoding.
#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

#include "arsim/diary.h"
#include "arsim/qualification.h"
#include "arsim/session.h"
#include "arsim/values.h"

using arsim::AddStatus;
using arsim::AllocArray;
using arsim::CopyName;
using arsim::CopyText;

extern "C" {

int __cdecl ARInitialization(ARControlStruct* control, ARStatusList* status) {
  if (!control) return AddStatus(status, AR_RETURN_ERROR, 100, "No control record");
  std::string error;
  std::shared_ptr<arsim::Session> session = arsim::OpenSession(control, &error);
  if (!session) return AddStatus(status, AR_RETURN_ERROR, 90, error);
  if (const arsim::Failure* f = session->server.FailureFor("ARInitialization", nullptr)) {
    if (f->type >= AR_RETURN_ERROR) arsim::CloseSession(control);
    return AddStatus(status, f->type, f->number, f->text);
  }
  return AR_RETURN_OK;
}

int __cdecl ARTermination(ARControlStruct* control, ARStatusList* status) {
  std::shared_ptr<arsim::Session> session = arsim::FindSession(control);
  if (!session) {
    return AddStatus(status, AR_RETURN_ERROR, 90, "The session is not initialized");
  }
  arsim::CloseSession(control);
  if (const arsim::Failure* f = session->server.FailureFor("ARTermination", nullptr)) {
    return AddStatus(status, f->type, f->number, f->text);
  }
  return AR_RETURN_OK;
}

int __cdecl ARGetListSchema(ARControlStruct* control, ARTimestamp, unsigned int, ARNameType,
                            ARInternalIdList*, ARNameList* nameList, ARStatusList* status) {
  arsim::CallCheck check = arsim::BeginServerCall("ARGetListSchema", control, nullptr, status);
  if (!check.session) return check.result;
  const std::vector<arsim::Schema>& schemas = check.session->server.schemas;
  if (nameList) {
    nameList->numItems = static_cast<unsigned>(schemas.size());
    nameList->nameList = schemas.empty() ? nullptr : AllocArray<ARNameType>(schemas.size());
    for (size_t i = 0; i < schemas.size(); ++i) {
      CopyName(nameList->nameList[i], sizeof(ARNameType), schemas[i].name);
    }
  }
  return arsim::FinishServerCall(check, status, AR_RETURN_OK);
}

}  // extern "C"

namespace {

// Allocates the array of a list of n items (numItems and pointer) when the caller asked.
template <class List, class Item>
Item* Fill(List* list, Item* List::*member, size_t n) {
  if (!list) return nullptr;
  list->numItems = static_cast<unsigned>(n);
  list->*member = n ? AllocArray<Item>(n) : nullptr;
  return list->*member;
}

void FillLimit(const arsim::FieldDef& f, ARFieldLimitStruct* limit) {
  limit->dataType = f.data_type;
  if (f.data_type == AR_DATA_TYPE_CHAR) {
    limit->u.charLimits.maxLength = f.max_length;
    limit->u.charLimits.menuStyle = 1;
    limit->u.charLimits.qbeMatchOperation = 1;
  }
}

std::vector<const arsim::FieldDef*> ChosenFields(const arsim::Schema& schema,
                                                 const ARInternalIdList* ids) {
  std::vector<const arsim::FieldDef*> out;
  if (ids && ids->numItems && ids->internalIdList) {
    for (unsigned i = 0; i < ids->numItems; ++i) {
      if (const arsim::FieldDef* f = schema.Field(ids->internalIdList[i])) out.push_back(f);
    }
  } else {
    for (const arsim::FieldDef& f : schema.fields) {
      if (!f.hidden) out.push_back(&f);
    }
  }
  return out;
}

}  // namespace

extern "C" {

int __cdecl ARGetMultipleFields(
    ARControlStruct* control, ARNameType schemaName, ARInternalIdList* fieldIdList,
    ARBooleanList* existList, ARInternalIdList* fieldIds, ARNameList* fieldNames,
    ARFieldMappingList* fieldMap, ARUnsignedIntList* dataTypes, ARUnsignedIntList* options,
    ARUnsignedIntList* createModes, ARValueList* defaultValues, ARPermissionListList* permissions,
    ARFieldLimitList* limits, ARDisplayInstanceListList* displayInstances,
    ARTextStringList* helpTexts, ARTimestampList* timestamps, ARAccessNameList* owners,
    ARAccessNameList* lastChanged, ARTextStringList* changeDiaries, ARStatusList* status) {
  arsim::CallCheck check =
      arsim::BeginServerCall("ARGetMultipleFields", control, schemaName, status);
  if (!check.session) return check.result;
  const arsim::Schema* schema = arsim::SchemaOrError(check.session->server, schemaName, status);
  if (!schema) return AR_RETURN_ERROR;
  std::vector<const arsim::FieldDef*> fields = ChosenFields(*schema, fieldIdList);
  size_t n = fields.size();
  ARBoolean* exist = Fill(existList, &ARBooleanList::booleanList, n);
  ARInternalId* ids = Fill(fieldIds, &ARInternalIdList::internalIdList, n);
  ARNameType* names = Fill(fieldNames, &ARNameList::nameList, n);
  Fill(fieldMap, &ARFieldMappingList::mappingList, n);
  unsigned* types = Fill(dataTypes, &ARUnsignedIntList::intList, n);
  unsigned* opts = Fill(options, &ARUnsignedIntList::intList, n);
  unsigned* modes = Fill(createModes, &ARUnsignedIntList::intList, n);
  Fill(defaultValues, &ARValueList::valueList, n);
  Fill(permissions, &ARPermissionListList::permissionList, n);
  ARFieldLimitStruct* lims = Fill(limits, &ARFieldLimitList::fieldLimitList, n);
  Fill(displayInstances, &ARDisplayInstanceListList::dInstanceList, n);
  char** help = Fill(helpTexts, &ARTextStringList::stringList, n);
  ARTimestamp* stamps = Fill(timestamps, &ARTimestampList::timestampList, n);
  ARAccessNameType* owner = Fill(owners, &ARAccessNameList::nameList, n);
  ARAccessNameType* changer = Fill(lastChanged, &ARAccessNameList::nameList, n);
  char** diaries = Fill(changeDiaries, &ARTextStringList::stringList, n);
  for (size_t i = 0; i < n; ++i) {
    const arsim::FieldDef& f = *fields[i];
    if (exist) exist[i] = 1;
    if (ids) ids[i] = f.id;
    if (names) CopyName(names[i], sizeof(ARNameType), f.name);
    if (types) types[i] = f.data_type;
    if (opts) opts[i] = f.id == 1 ? 3 : 2;  // system field, or optional
    if (modes) modes[i] = 1;
    if (lims) FillLimit(f, &lims[i]);
    if (help) help[i] = CopyText("The " + f.name + " field.");
    if (stamps) stamps[i] = 1136073600;  // 2006-01-01, when the forms were last changed
    if (owner) CopyName(owner[i], sizeof(ARAccessNameType), "Demo");
    if (changer) CopyName(changer[i], sizeof(ARAccessNameType), "Demo");
    if (diaries) diaries[i] = CopyText("");
  }
  return arsim::FinishServerCall(check, status, AR_RETURN_OK);
}

int __cdecl ARLoadARQualifierStruct(ARControlStruct* control, ARNameType schemaName, ARNameType,
                                    char* qualString, ARQualifierStruct* qualifier,
                                    ARStatusList* status) {
  arsim::CallCheck check =
      arsim::BeginServerCall("ARLoadARQualifierStruct", control, schemaName, status);
  if (!check.session) return check.result;
  const arsim::Schema* schema = arsim::SchemaOrError(check.session->server, schemaName, status);
  if (!schema) return AR_RETURN_ERROR;
  if (!qualifier) return AddStatus(status, AR_RETURN_ERROR, 1587, "No qualifier to fill");
  std::string error;
  if (!arsim::LoadQualifier(*schema, qualString ? qualString : "", qualifier, &error)) {
    *qualifier = ARQualifierStruct();
    return AddStatus(status, AR_RETURN_ERROR, 1587, error);
  }
  return arsim::FinishServerCall(check, status, AR_RETURN_OK);
}

}  // extern "C"

namespace {

// The listed values of one entry: one per requested field, a NULL value where it has none.
// Without a field list the server lists the Request ID alone.
ARFieldValueList* ListedValues(const arsim::Entry& entry, const std::vector<ARInternalId>& ids) {
  auto* values = AllocArray<ARFieldValueList>(1);
  values->numItems = static_cast<unsigned>(ids.size());
  values->fieldValueList = AllocArray<ARFieldValueStruct>(ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    values->fieldValueList[i].fieldId = ids[i];
    auto it = entry.values.find(ids[i]);
    if (it != entry.values.end()) {
      arsim::MakeValueStruct(it->second, &values->fieldValueList[i].value);
    }
  }
  return values;
}

bool ListedFieldIds(const arsim::Schema& schema, const AREntryListFieldList* fields,
                    std::vector<ARInternalId>* ids, ARStatusList* status) {
  if (!fields || fields->numItems == 0 || !fields->fieldsList) {
    ids->push_back(1);
    return true;
  }
  for (unsigned i = 0; i < fields->numItems; ++i) {
    ARInternalId id = fields->fieldsList[i].fieldId;
    if (!schema.Field(id)) {
      AddStatus(status, AR_RETURN_ERROR, 314,
                "Field does not exist on current form : " + std::to_string(id));
      return false;
    }
    ids->push_back(id);
  }
  return true;
}

}  // namespace

extern "C" {

int __cdecl ARGetListEntryWithFields(ARControlStruct* control, ARNameType schemaName,
                                     ARQualifierStruct* qualifier, AREntryListFieldList* fields,
                                     ARSortList*, unsigned int firstRetrieve,
                                     unsigned int maxRetrieve, AREntryListFieldValueList* entries,
                                     unsigned int* numMatches, ARStatusList* status) {
  arsim::CallCheck check =
      arsim::BeginServerCall("ARGetListEntryWithFields", control, schemaName, status);
  if (!check.session) return check.result;
  const arsim::Schema* schema = arsim::SchemaOrError(check.session->server, schemaName, status);
  if (!schema) return AR_RETURN_ERROR;
  std::vector<ARInternalId> ids;
  if (!ListedFieldIds(*schema, fields, &ids, status)) return AR_RETURN_ERROR;
  std::vector<const arsim::Entry*> matches;
  for (const arsim::Entry& entry : schema->entries) {
    bool match = false;
    std::string error;
    if (!arsim::MatchQualifier(*schema, entry, qualifier, &match, &error)) {
      return AddStatus(status, AR_RETURN_ERROR, 1587, error);
    }
    if (match) matches.push_back(&entry);
  }
  if (numMatches) *numMatches = static_cast<unsigned>(matches.size());
  size_t first = std::min<size_t>(firstRetrieve, matches.size());
  size_t count = matches.size() - first;
  if (maxRetrieve != 0 && count > maxRetrieve) count = maxRetrieve;
  if (entries) {
    entries->numItems = static_cast<unsigned>(count);
    entries->entryList = count ? AllocArray<AREntryListFieldValueStruct>(count) : nullptr;
    for (size_t i = 0; i < count; ++i) {
      const arsim::Entry& entry = *matches[first + i];
      AREntryListFieldValueStruct& item = entries->entryList[i];
      item.entryId.numItems = 1;
      item.entryId.entryIdList = AllocArray<AREntryIdType>(1);
      CopyName(item.entryId.entryIdList[0], sizeof(AREntryIdType), entry.EntryId());
      item.entryValues = ListedValues(entry, ids);
    }
  }
  int result = AR_RETURN_OK;
  if (matches.empty()) {
    result = AddStatus(status, AR_RETURN_WARNING, 9296,
                       "No matching requests (or qualification problem)");
  } else if (first + count < matches.size()) {
    result = AddStatus(status, AR_RETURN_WARNING, 72,
                       "The query matched more than the maximum number of entries specified "
                       "for retrieval");
  }
  return arsim::FinishServerCall(check, status, result);
}

int __cdecl ARGetEntry(ARControlStruct* control, ARNameType schemaName, AREntryIdList* entryId,
                       ARInternalIdList* fieldIds, ARFieldValueList* values, ARStatusList* status) {
  std::string wanted;
  if (entryId && entryId->numItems == 1 && entryId->entryIdList) {
    wanted.assign(entryId->entryIdList[0], strnlen(entryId->entryIdList[0], sizeof(AREntryIdType)));
  }
  arsim::CallCheck check =
      arsim::BeginServerCall("ARGetEntry", control, schemaName, status, wanted);
  if (!check.session) return check.result;
  const arsim::Schema* schema = arsim::SchemaOrError(check.session->server, schemaName, status);
  if (!schema) return AR_RETURN_ERROR;
  const arsim::Entry* found = nullptr;
  for (const arsim::Entry& entry : schema->entries) {
    if (!wanted.empty() && entry.EntryId() == wanted) {
      found = &entry;
      break;
    }
  }
  if (!found) return AddStatus(status, AR_RETURN_ERROR, 302, "Entry does not exist in database");
  std::vector<ARInternalId> ids;
  for (const arsim::FieldDef* f : ChosenFields(*schema, fieldIds)) ids.push_back(f->id);
  if (values) {
    ARFieldValueList* listed = ListedValues(*found, ids);
    *values = *listed;
    std::free(listed);
  }
  return arsim::FinishServerCall(check, status, AR_RETURN_OK);
}

int __cdecl ARDecodeDiary(ARControlStruct* control, char* diaryString, ARDiaryList* diaryList,
                          ARStatusList* status) {
  // Decoding happens in the client: it needs no session, but a fixture may still fail it.
  const arsim::Failure* f = nullptr;
  std::shared_ptr<arsim::Session> session = arsim::FindSession(control);
  if (session) f = session->server.FailureFor("ARDecodeDiary", nullptr);
  if (f && f->type >= AR_RETURN_ERROR) return AddStatus(status, f->type, f->number, f->text);
  if (!diaryList) return AddStatus(status, AR_RETURN_ERROR, 100, "No diary list to fill");
  std::vector<arsim::DiaryItem> items;
  std::string error;
  if (!arsim::DecodeDiary(diaryString ? diaryString : "", &items, &error)) {
    return AddStatus(status, AR_RETURN_ERROR, 1599, error);
  }
  diaryList->numItems = static_cast<unsigned>(items.size());
  diaryList->diaryList = items.empty() ? nullptr : AllocArray<ARDiaryStruct>(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    CopyName(diaryList->diaryList[i].user, sizeof(ARAccessNameType), items[i].user);
    diaryList->diaryList[i].timeVal = items[i].time;
    diaryList->diaryList[i].value = CopyText(items[i].text);
  }
  return f ? AddStatus(status, f->type, f->number, f->text) : AR_RETURN_OK;
}

}  // extern "C"

// Every exported call has exactly the type the program looks it up with.
static_assert(std::is_same<decltype(&ARInitialization), ARInitializationProc>::value, "");
static_assert(std::is_same<decltype(&ARTermination), ARTerminationProc>::value, "");
static_assert(std::is_same<decltype(&ARGetListSchema), ARGetListSchemaProc>::value, "");
static_assert(std::is_same<decltype(&ARGetMultipleFields), ARGetMultipleFieldsProc>::value, "");
static_assert(std::is_same<decltype(&ARLoadARQualifierStruct), ARLoadARQualifierStructProc>::value,
              "");
static_assert(
    std::is_same<decltype(&ARGetListEntryWithFields), ARGetListEntryWithFieldsProc>::value, "");
static_assert(std::is_same<decltype(&ARGetEntry), ARGetEntryProc>::value, "");
static_assert(std::is_same<decltype(&ARDecodeDiary), ARDecodeDiaryProc>::value, "");
