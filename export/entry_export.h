// The export of one schema's entries into text files of the data directory: the field
// definitions, the qualification, the listing, and one file per listed entry, named after
// its Request ID (field 1), with the field 10 block fetched per entry right after field 1.
#pragma once

#include <string>

#include "export/ar_api.h"
#include "export/ar_connection.h"
#include "export/field_definitions.h"
#include "platform/file.h"

namespace norvel {

struct JobProgress;

// Lists the entries of schema that match query (at most max_records, as the listing's
// unsigned limit) and writes their files into data_dir, adding to *tally when given. 0
// when the listing was made, also when the server refused it; -1 when the definitions or
// the qualification fail, a needed function is missing, the stop flag is set before the
// listing, the field list cannot be allocated, a release function of the qualifier, the
// sort list or the entries is missing, or a listed entry was not written.
int APIARGetListEntryWithFields(const ArModule& ar, ControlRecord control,
                                const std::string& schema, int max_records,
                                const std::string& query, const std::string& data_dir,
                                JobProgress* progress, ExportTally* tally = nullptr);

// Fills *defs with the schema's field definitions, labels cleaned and ordered by field ID.
// 0, or -1 after a log line.
int APIARGetMultipleFields(const ArModule& ar, ControlRecord control, ARNameType schema,
                           FieldDefinitions* defs);

// Writes the entry files of one listing. The pending text collects field blocks and
// reaches the file in batches of up to 1024 bytes; diary blocks go to the file at once.
class EntryWriter {
 public:
  EntryWriter(const ArModule& ar, const ControlRecord& control, ARNameType schema,
              const FieldDefinitions& defs, const std::string& data_dir, JobProgress* progress);

  // Writes one file per entry, in list order, until the stop flag is set. An entry that
  // cannot be written is logged, counted and skipped: the others still get their files.
  // An entry without a Request ID has no file to be written: it is logged, counted apart
  // and skipped, and is no failure of the export.
  void ExportEntries(const AREntryListFieldValueList& entries);
  const ExportTally& tally() const { return tally_; }

  // The entry file's path from the entry's field 1. 0; -1 after a log line when the entry
  // has no Request ID; kNoRoomForName after a log line when the data directory leaves no
  // room for its name.
  static constexpr int kNoRoomForName = -2;
  int GetEntryId(std::string* path, const AREntryListFieldValueStruct& entry) const;
  void PrintEntryValues(platform::TextWriter* file, const AREntryListFieldValueStruct& entry);
  void PrintFieldValue(platform::TextWriter* file, const ARFieldValueStruct& value, bool last);
  void APIARGetEntry(platform::TextWriter* file, const std::string& request_id);
  void APIPrintDiary(platform::TextWriter* file, const ARFieldValueStruct& value);
  void PrintDiaryItems(platform::TextWriter* file, ARInternalId field_id, const ARDiaryList& diary);

 private:
  enum class EntryOutcome { kWritten, kNotWritten, kWithoutId };
  // Writes the entry's file; after a log line when it is not written in full.
  EntryOutcome ExportEntry(const AREntryListFieldValueStruct& entry);
  void WritePending(platform::TextWriter* file);

  const ArModule& ar_;
  const ControlRecord& control_;
  char* schema_;
  const FieldDefinitions& defs_;
  std::string data_dir_;
  JobProgress* progress_;
  std::string pending_;
  ExportTally tally_;
};

}  // namespace norvel
