// The export dialog without its window: what its fields show when it opens, the Tab
// chain, the check of the fields, and what its Index button hands to the background job.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "export/settings.h"
#include "job/job.h"

namespace norvel {

enum ExportDialogControl : int {
  kServerEditId = 310,
  kUserEditId = 320,
  kPasswordEditId = 330,
  kQueryEditId = 340,
  kMaxRecordsEditId = 350,
  kDataDirEditId = 360,
  kIndexDirEditId = 370,
  kGetSchemasButtonId = 410,
  kIndexButtonId = 420,
  kDoneButtonId = 430,
  kSchemaListId = 500,
};

// The control Tab moves to from control id: Server, User, Password, Get Schemas, the
// schema list, Query, Max records, Data dir, Index dir, Index, Done and back to Server.
// 0 for a control outside the chain.
int NextInTabChain(int id);

// The texts of the dialog's fields, the password aside, and its schema list.
struct ExportDialogTexts {
  std::string server;
  std::string user;
  std::string query;
  std::string max_records;
  std::string data_dir;
  std::string index_dir;
  std::vector<std::string> schemas;  // the list's items, in list order
  std::vector<bool> selected;        // per item
};

// What the fields show once the dialog has read the settings: the saved values with every
// saved schema selected, or, when the settings could not be read, empty fields, "0"
// records and an empty list.
ExportDialogTexts DialogTextsFromSettings(const Settings& settings, bool read_ok);

// The Max records text as a decimal integer: leading blanks, a sign and digits; 0 when it
// holds no number, clamped to the 32-bit range.
int32_t ReadMaxRecords(const std::string& text);

// Copies the fields into the job's export settings, each cut to what its setting holds:
// server 511 characters, query 1023, the directories 259 each.
void CopyFieldsToJob(const ExportDialogTexts& texts, const std::string& password, JobSettings* job);

// A field the export cannot start with: the message the dialog shows and the control that
// gets the focus afterwards. Empty (control 0) when every field passes.
struct FieldProblem {
  const char* message = nullptr;
  int control = 0;
  explicit operator bool() const { return control != 0; }
};

// ValidateExportFields: the first failing check of server, user, query, max records (0
// fails, any other value passes), data directory and index directory. The password is not
// examined.
FieldProblem ValidateExportFields(const JobSettings& settings);

// Creates the job's thread; false when it could not be created.
using JobThreadStarter = std::function<bool()>;

// The rest of Index once the fields passed: the selected items (indexes into items, any
// order) become the job's schemas in list order, entries listed starts at max records,
// and the thread starts. True when the job runs. When memory runs out or the thread
// cannot be created, a box says so, and the password and the schemas are dropped at once:
// no job will clear them.
bool StartExportJob(const std::vector<std::string>& items, const std::vector<int>& selected,
                    JobState* state, const JobThreadStarter& start_thread);

// The fields as SaveProperties takes them when the dialog closes through "Done".
SettingsFields SettingsFieldsFrom(const ExportDialogTexts& texts);

}  // namespace norvel
