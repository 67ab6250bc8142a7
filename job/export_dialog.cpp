// The export dialog's decisions: initial field texts, Tab chain, field check, and the
// start of the background job.
#include "job/export_dialog.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>

#include "core/messages.h"

namespace norvel {

namespace {

constexpr size_t kMaxServerField = 511;
constexpr size_t kMaxQueryField = 1023;

const int kTabChain[] = {
    kServerEditId,   kUserEditId,    kPasswordEditId,   kGetSchemasButtonId,
    kSchemaListId,   kQueryEditId,   kMaxRecordsEditId, kDataDirEditId,
    kIndexDirEditId, kIndexButtonId, kDoneButtonId,
};

std::string Cut(const std::string& text, size_t limit) {
  return text.size() > limit ? text.substr(0, limit) : text;
}

void DropJobInput(JobSettings* settings) {
  std::vector<std::string>().swap(settings->schemas);
  settings->password.Clear();
}

}  // namespace

int NextInTabChain(int id) {
  const int count = static_cast<int>(sizeof kTabChain / sizeof kTabChain[0]);
  for (int i = 0; i < count; ++i) {
    if (kTabChain[i] == id) return kTabChain[(i + 1) % count];
  }
  return 0;
}

ExportDialogTexts DialogTextsFromSettings(const Settings& settings, bool read_ok) {
  ExportDialogTexts texts;
  if (!read_ok) {
    texts.max_records = "0";
    return texts;
  }
  texts.server = settings.server;
  texts.user = settings.user;
  texts.query = settings.query;
  texts.max_records = std::to_string(settings.max_records);
  texts.data_dir = settings.data_dir;
  texts.index_dir = settings.index_dir;
  texts.schemas = settings.schema_names;
  texts.selected.assign(texts.schemas.size(), true);
  return texts;
}

int32_t ReadMaxRecords(const std::string& text) {
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

void CopyFieldsToJob(const ExportDialogTexts& texts, const std::string& password,
                     JobSettings* job) {
  job->server = Cut(texts.server, kMaxServerField);
  job->user = texts.user;
  job->password.Assign(password);
  job->max_records = ReadMaxRecords(texts.max_records);
  job->query = Cut(texts.query, kMaxQueryField);
  job->data_dir = Cut(texts.data_dir, kMaxDirLength);
  job->index_dir = Cut(texts.index_dir, kMaxDirLength);
}

FieldProblem ValidateExportFields(const JobSettings& settings) {
  if (settings.server.empty()) return {"Invalid Server Name.", kServerEditId};
  if (settings.user.empty()) return {"Invalid User Id.", kUserEditId};
  if (settings.query.empty()) return {"Invalid Query.", kQueryEditId};
  if (settings.max_records == 0) return {"Invalid Max records.", kMaxRecordsEditId};
  if (settings.data_dir.empty()) return {"Invalid Data Dir.", kDataDirEditId};
  if (settings.index_dir.empty()) return {"Invalid Index Dir.", kIndexDirEditId};
  return {};
}

bool StartExportJob(const std::vector<std::string>& items, const std::vector<int>& selected,
                    JobState* state, const JobThreadStarter& start_thread) {
  JobSettings& settings = state->settings;
  const char* failure = "doExportData():List Box Items";
  try {
    std::vector<int> order(selected);
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    std::vector<std::string> schemas;
    schemas.reserve(order.size());
    failure = "doExportData():List Box Item string.";
    for (int i : order) {
      if (i >= 0 && static_cast<size_t>(i) < items.size()) schemas.push_back(items[i]);
    }
    settings.schemas.swap(schemas);
  } catch (const std::bad_alloc&) {
    DropJobInput(&settings);
    ShowMessage(kInfo, 10, failure);
    return false;
  }
  state->progress.entries_listed = static_cast<uint32_t>(settings.max_records);
  if (!start_thread()) {
    DropJobInput(&settings);
    ShowMessage(kInfo, 13, "doExportData():Create failure.");
    return false;
  }
  return true;
}

SettingsFields SettingsFieldsFrom(const ExportDialogTexts& texts) {
  SettingsFields fields;
  fields.server = texts.server;
  fields.user = texts.user;
  fields.query = texts.query;
  fields.max_records = texts.max_records;
  fields.data_dir = texts.data_dir;
  fields.index_dir = texts.index_dir;
  fields.schema_items = texts.schemas;
  for (size_t i = 0; i < texts.selected.size() && i < texts.schemas.size(); ++i) {
    if (texts.selected[i]) fields.selected.push_back(i);
  }
  return fields;
}

}  // namespace norvel
