// Listing a schema's entries and writing one text file per entry.
#include "export/entry_export.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/job_progress.h"
#include "core/messages.h"
#include "export/ar_owned.h"
#include "export/entry_file_name.h"
#include "export/entry_format.h"
#include "platform/dir.h"
#include "platform/path.h"

namespace norvel {

namespace {

constexpr size_t kPendingLimit = 1024;
constexpr ARInternalId kRequestIdField = 1;
constexpr ARInternalId kField10 = 10;
constexpr ARInternalId kField15 = 15;

// Diaries, attachments, type 15, attachment pools and unlimited character fields cannot be
// listed.
bool IsListable(const FieldDefinitions& defs, int i) {
  unsigned type = defs.DataType(i);
  if (type == AR_DATA_TYPE_DIARY || type == AR_DATA_TYPE_ATTACH || type == 15 ||
      type == AR_DATA_TYPE_ATTACH_POOL) {
    return false;
  }
  return type != AR_DATA_TYPE_CHAR || defs.MaxLength(i) != 0;
}

void BuildFieldList(const FieldDefinitions& defs, std::vector<AREntryListFieldStruct>* fields) {
  fields->reserve(defs.size());
  for (int i = 0; i < static_cast<int>(defs.size()); ++i) {
    if (!IsListable(defs, i)) continue;
    AREntryListFieldStruct item;
    std::memset(&item, 0, sizeof item);
    item.fieldId = defs.Id(i);
    item.columnWidth = 20;
    std::strcpy(item.separator, "  ");
    fields->push_back(item);
  }
}

// One listing of a schema's entries: the qualification made from the query, the listing
// asked for with it, and the release of what the library handed out. What the library
// filled in goes back to it exactly once, also when an export ends early.
class SchemaListing {
 public:
  enum class Requested { kFailed, kRefused, kListed };

  SchemaListing(const ArModule& ar, const ControlRecord& control, char* schema)
      : ar_(ar), control_(control), schema_(schema) {}

  // Makes the qualification from query's text. 0, or -1 after a log line.
  int LoadQualifier(const std::string& query);
  // Lists the entries with the listable fields of defs, at most max_records. kFailed after a
  // log line when the field list cannot be made, the library cannot list or the stop flag
  // is set; kRefused when the server refused the listing (logged).
  Requested Request(const FieldDefinitions& defs, int max_records, const JobProgress& progress);
  const AREntryListFieldValueList& entries() const { return entries_.value(); }
  // Gives qualifier, sort list, entries and status lists back to the library; false after
  // a log line for each release function the library lacks.
  bool Release();

 private:
  const ArModule& ar_;
  const ControlRecord& control_;
  char* schema_;
  // On an early exit the qualifier goes back before its status list.
  StatusList list_status_{ar_};
  StatusList qualifier_status_{ar_};
  ArEntryList entries_{ar_};
  ArQualifier qualifier_{ar_};
};

int SchemaListing::LoadQualifier(const std::string& query) {
  auto load_qualifier = ar_.Find<ARLoadARQualifierStructProc>("ARLoadARQualifierStruct");
  if (!load_qualifier) {
    WriteLog("APIARGetListEntryWithFields():No Proc:ProcARLoadARQualifierStruct");
    return -1;
  }
  std::vector<char> query_text(query.begin(), query.end());
  query_text.push_back('\0');
  ControlRecord copy = control_;
  if (load_qualifier(copy.get(), schema_, nullptr, query_text.data(), qualifier_.Fill(),
                     qualifier_status_.get()) >= AR_RETURN_ERROR) {
    // A qualifier that failed to load is undefined: it never reaches the listing.
    qualifier_status_.LogFirstText("APIARGetListEntryWithFields", "ARLoadARQualifierStruct");
    return -1;
  }
  return 0;
}

SchemaListing::Requested SchemaListing::Request(const FieldDefinitions& defs, int max_records,
                                                const JobProgress& progress) {
  std::vector<AREntryListFieldStruct> fields;
  try {
    BuildFieldList(defs, &fields);
  } catch (const std::bad_alloc&) {
    WriteLog("APIARGetListEntryWithFields():Malloc failure for field list.");
    return Requested::kFailed;
  }
  auto list_entries = ar_.Find<ARGetListEntryWithFieldsProc>("ARGetListEntryWithFields");
  if (!list_entries) WriteLog("APIARGetListEntryWithFields():No Proc:ARGetListEntryWithFields");
  if (!list_entries || progress.stop) return Requested::kFailed;
  AREntryListFieldList field_list = {static_cast<unsigned>(fields.size()),
                                     fields.empty() ? nullptr : fields.data()};
  ControlRecord copy = control_;
  int rc = list_entries(copy.get(), schema_, qualifier_.get(), &field_list, nullptr, 0,
                        static_cast<unsigned>(max_records), entries_.Fill(), nullptr,
                        list_status_.get());
  if (rc < AR_RETURN_ERROR) return Requested::kListed;
  list_status_.LogFirstText("APIARGetListEntryWithFields", "ARGetListEntryWithFields");
  return Requested::kRefused;
}

bool SchemaListing::Release() {
  bool ok = true;
  if (!qualifier_.Free()) {
    WriteLog("APIARGetListEntryWithFields():No Proc:FreeARQualifierStruct");
    ok = false;
  }
  // The listing asks for no order, yet its empty sort list goes back like the rest.
  ARSortList sort = {0, nullptr};
  if (auto free_sort = ar_.Find<FreeARSortListProc>("FreeARSortList")) {
    free_sort(&sort, 0);
  } else {
    WriteLog("APIARGetListEntryWithFields():No Proc:FreeARSortList");
    ok = false;
  }
  if (!entries_.Free()) {
    WriteLog("APIARGetListEntryWithFields():No Proc:FreeAREntryListFieldValueList");
    ok = false;
  }
  qualifier_status_.Release();
  list_status_.Release();
  return ok;
}

}  // namespace

int APIARGetMultipleFields(const ArModule& ar, ControlRecord control, ARNameType schema,
                           FieldDefinitions* defs) {
  auto get_fields = ar.Find<ARGetMultipleFieldsProc>("ARGetMultipleFields");
  if (!get_fields) {
    WriteLog("APIARGetMultipleFields():No Proc:ARGetField");
    return -1;
  }
  // What the call fills in besides the definitions, given back to the library whether the
  // call succeeds or fails.
  ArOwned<ARBooleanList, FreeARBooleanListProc> exist(ar, "FreeARBooleanList");
  ArOwned<ARFieldMappingList, FreeARFieldMappingListProc> mapping(ar, "FreeARFieldMappingList");
  ArOwned<ARUnsignedIntList, FreeARUnsignedIntListProc> options(ar, "FreeARUnsignedIntList");
  ArOwned<ARUnsignedIntList, FreeARUnsignedIntListProc> create_modes(ar, "FreeARUnsignedIntList");
  ArOwned<ARValueList, FreeARValueListProc> defaults(ar, "FreeARValueList");
  // Not asked for, yet given back like the others.
  ArOwned<ARPermissionListList, FreeARPermissionListListProc> permissions(
      ar, "FreeARPermissionListList");
  permissions.Fill();
  ArOwned<ARDisplayInstanceListList, FreeARDisplayInstanceListListProc> display(
      ar, "FreeARDisplayInstanceListList");
  ArOwned<ARTextStringList, FreeARTextStringListProc> help(ar, "FreeARTextStringList");
  ArOwned<ARTimestampList, FreeARTimestampListProc> stamps(ar, "FreeARTimestampList");
  ArOwned<ARAccessNameList, FreeARAccessNameListProc> owners(ar, "FreeARAccessNameList");
  ArOwned<ARAccessNameList, FreeARAccessNameListProc> last_changed(ar, "FreeARAccessNameList");
  ArOwned<ARTextStringList, FreeARTextStringListProc> change_diary(ar, "FreeARTextStringList");
  StatusList status(ar);
  int rc =
      get_fields(control.get(), schema, nullptr, exist.Fill(), &defs->ids, &defs->names,
                 mapping.Fill(), &defs->types, options.Fill(), create_modes.Fill(), defaults.Fill(),
                 nullptr, &defs->limits, display.Fill(), help.Fill(), stamps.Fill(), owners.Fill(),
                 last_changed.Fill(), change_diary.Fill(), status.get());
  if (rc >= AR_RETURN_ERROR) {
    status.LogFirstText("APIARGetMultipleFields", "ARGetMultipleFields");
    return -1;
  }
  defs->CleanFieldNames();
  exist.Free();
  mapping.Free();
  options.Free();
  create_modes.Free();
  defaults.Free();
  permissions.Free();
  display.Free();
  help.Free();
  stamps.Free();
  owners.Free();
  last_changed.Free();
  change_diary.Free();
  defs->SortById();
  return 0;
}

int APIARGetListEntryWithFields(const ArModule& ar, ControlRecord control,
                                const std::string& schema, int max_records,
                                const std::string& query, const std::string& data_dir,
                                JobProgress* progress, ExportTally* tally) {
  JobProgress unused;
  if (!progress) progress = &unused;
  ARNameType schema_name;
  std::memset(schema_name, 0, sizeof schema_name);
  std::strncpy(schema_name, schema.c_str(), sizeof schema_name - 1);

  FieldDefinitions defs(ar);  // declared first: the definitions go back to the library last
  if (APIARGetMultipleFields(ar, control, schema_name, &defs) != 0) return -1;
  SchemaListing listing(ar, control, schema_name);
  if (listing.LoadQualifier(query) != 0) return -1;
  const SchemaListing::Requested requested = listing.Request(defs, max_records, *progress);
  if (requested == SchemaListing::Requested::kFailed) return -1;

  ExportTally written;
  if (requested == SchemaListing::Requested::kListed) {
    EntryWriter writer(ar, control, schema_name, defs, data_dir, progress);
    writer.ExportEntries(listing.entries());
    written = writer.tally();
  }
  if (tally) {
    tally->written += written.written;
    tally->not_written += written.not_written;
    tally->without_id += written.without_id;
  }
  // An entry that was listed but not written is no success, whatever else went well.
  int result = written.not_written > 0 ? -1 : 0;
  if (!listing.Release()) result = -1;
  return result;
}

EntryWriter::EntryWriter(const ArModule& ar, const ControlRecord& control, ARNameType schema,
                         const FieldDefinitions& defs, const std::string& data_dir,
                         JobProgress* progress)
    : ar_(ar),
      control_(control),
      schema_(schema),
      defs_(defs),
      data_dir_(data_dir),
      progress_(progress) {}

void EntryWriter::ExportEntries(const AREntryListFieldValueList& entries) {
  if (entries.numItems == 0 || !entries.entryList) return;
  progress_->entries_listed = entries.numItems;
  pending_.clear();
  ExportTally before = tally_;
  for (unsigned i = 0; i < entries.numItems && !progress_->stop; ++i) {
    ++progress_->exported;
    switch (ExportEntry(entries.entryList[i])) {
      case EntryOutcome::kWritten:
        ++tally_.written;
        break;
      case EntryOutcome::kNotWritten:
        ++tally_.not_written;
        break;
      case EntryOutcome::kWithoutId:
        ++tally_.without_id;
        break;
    }
  }
  uint32_t failed = tally_.not_written - before.not_written;
  if (failed > 0) {
    WriteLog("ExportEntries():" + std::to_string(failed) + " of " +
             std::to_string(entries.numItems) + " listed entries not written.");
  }
}

EntryWriter::EntryOutcome EntryWriter::ExportEntry(const AREntryListFieldValueStruct& entry) {
  std::string path;
  int id = GetEntryId(&path, entry);
  if (id == -1) return EntryOutcome::kWithoutId;
  if (id != 0) return EntryOutcome::kNotWritten;
  platform::TextWriter file;
  if (!file.Open(path)) {
    WriteLog("ExportEntries():Cannot create " + path);
    return EntryOutcome::kNotWritten;
  }
  PrintEntryValues(&file, entry);
  // Blocks still waiting belong to this entry, even when its last value was a diary.
  WritePending(&file);
  if (!file.Close()) {
    // A cut-off entry file would be indexed as if it were the whole entry.
    WriteLog("ExportEntries():Cannot write " + path);
    platform::RemoveFile(path);
    return EntryOutcome::kNotWritten;
  }
  return EntryOutcome::kWritten;
}

int EntryWriter::GetEntryId(std::string* path, const AREntryListFieldValueStruct& entry) const {
  const ARFieldValueList* values = entry.entryValues;
  for (unsigned i = 0; values && values->fieldValueList && i < values->numItems; ++i) {
    const ARFieldValueStruct& value = values->fieldValueList[i];
    if (value.fieldId != kRequestIdField) continue;
    if (value.value.dataType != AR_DATA_TYPE_CHAR || !value.value.u.charVal) break;
    if (EntryFilePath(data_dir_, value.value.u.charVal, path)) {
      // Where the file system ignores letter case, "c1" would open and overwrite the file
      // of an earlier "C1": the later Request ID takes its suffixed name instead. The same
      // Request ID finds its own file, which it rewrites.
      std::string stored = platform::StoredName(*path);
      if (stored.empty() || platform::JoinPath(data_dir_, stored) == *path) return 0;
      if (EntryFilePath(data_dir_, value.value.u.charVal, path, true)) return 0;
    }
    WriteLog("GetEntryId():No room for an entry file name in " + data_dir_);
    return kNoRoomForName;
  }
  WriteLog("GetEntryId():Error generating file name");
  return -1;
}

void EntryWriter::PrintEntryValues(platform::TextWriter* file,
                                   const AREntryListFieldValueStruct& entry) {
  const ARFieldValueList* values = entry.entryValues;
  if (!values || !values->fieldValueList) return;
  for (unsigned i = 0; i < values->numItems; ++i) {
    const ARFieldValueStruct& value = values->fieldValueList[i];
    PrintFieldValue(file, value, i + 1 == values->numItems);
    if (value.fieldId == kRequestIdField && value.value.dataType == AR_DATA_TYPE_CHAR &&
        value.value.u.charVal) {
      APIARGetEntry(file, value.value.u.charVal);
    }
  }
}

void EntryWriter::PrintFieldValue(platform::TextWriter* file, const ARFieldValueStruct& value,
                                  bool last) {
  std::string label;
  std::string text;
  if (!(value.fieldId == kField15 && value.value.dataType == AR_DATA_TYPE_CHAR)) {
    // A value of a field without a definition has no label and so no block.
    int index = defs_.FindFieldIndex(value.fieldId);
    if (index >= 0) label = defs_.Label(index);
    if (value.value.dataType == AR_DATA_TYPE_DIARY) {
      APIPrintDiary(file, value);
      return;
    }
    if (index >= 0) text = FormatFieldBlock(label, value.value);
  }
  if (text.size() > label.size() + 6 || last) {
    if (pending_.size() + text.size() > kPendingLimit || last) {
      WritePending(file);
      file->Write(text);
    } else {
      pending_ += text;
    }
  }
}

void EntryWriter::WritePending(platform::TextWriter* file) {
  if (!pending_.empty()) file->Write(pending_);
  pending_.clear();
}

void EntryWriter::APIARGetEntry(platform::TextWriter* file, const std::string& request_id) {
  std::unique_ptr<AREntryIdType[]> entry_ids;
  try {
    entry_ids = std::make_unique<AREntryIdType[]>(1);
  } catch (const std::bad_alloc&) {
    WriteLog("APIARGetEntry():Malloc failure.");
    return;
  }
  // The slot holds 15 characters: a longer Request ID is cut, never written past it.
  std::memset(entry_ids[0], 0, sizeof(AREntryIdType));
  std::strncpy(entry_ids[0], request_id.c_str(), sizeof(AREntryIdType) - 1);
  AREntryIdList entry_id_list = {1, entry_ids.get()};
  ARInternalId field_ids[1] = {kField10};
  ARInternalIdList field_id_list = {1, field_ids};

  auto get_entry = ar_.Find<ARGetEntryProc>("ARGetEntry");
  StatusList status(ar_);
  if (!get_entry) {
    WriteLog("APIARGetEntry():No Proc:ARGetListSchema");
  } else {
    ARFieldValueList values = {0, nullptr};
    ControlRecord copy = control_;
    int rc = get_entry(copy.get(), schema_, &entry_id_list, &field_id_list, &values, status.get());
    if (rc < AR_RETURN_ERROR) {
      if (values.numItems > 0 && values.fieldValueList) {
        PrintFieldValue(file, values.fieldValueList[0], true);
      }
      if (auto f = ar_.Find<FreeARFieldValueListProc>("FreeARFieldValueList")) f(&values, 0);
    }
  }
  status.Release();
  if (!ar_.Find<FreeAREntryIdListProc>("FreeAREntryIdList")) {
    WriteLog("APIARGetEntry():No Proc:FreeAREntryIdList");
  }
}

void EntryWriter::APIPrintDiary(platform::TextWriter* file, const ARFieldValueStruct& value) {
  auto decode = ar_.Find<ARDecodeDiaryProc>("ARDecodeDiary");
  if (!decode) {
    WriteLog("APIPrintDiary():No Proc:ARDecodeDiary");
    return;
  }
  char empty[1] = "";
  ARDiaryList diary = {0, nullptr};
  StatusList status(ar_);
  ControlRecord copy = control_;
  int rc = decode(copy.get(), value.value.u.diaryVal ? value.value.u.diaryVal : empty, &diary,
                  status.get());
  if (rc < AR_RETURN_ERROR) {
    PrintDiaryItems(file, value.fieldId, diary);
    if (auto f = ar_.Find<FreeARDiaryListProc>("FreeARDiaryList")) {
      f(&diary, 0);
    } else {
      WriteLog("APIPrintDiary():No Proc:FreeARDiaryList");
    }
  }
}

void EntryWriter::PrintDiaryItems(platform::TextWriter* file, ARInternalId field_id,
                                  const ARDiaryList& diary) {
  int index = defs_.FindFieldIndex(field_id);
  if (index < 0) return;
  std::string block = FormatDiaryBlock(defs_.Label(index), diary);
  if (!block.empty()) file->Write(block);
}

}  // namespace norvel
