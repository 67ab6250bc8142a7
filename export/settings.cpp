// The settings file: reading it at start-up and for the export dialog, rewriting it.
#include "export/settings.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>

#include "core/messages.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

std::string SettingsPath(const std::string& app_dir) {
  return platform::JoinPath(app_dir, "norvel.ini");
}

namespace {

enum class LinesEnd { kDone, kMissing, kTooLong, kStopped };

// Reads the file in pieces of at most 1024 bytes (text mode) and hands each line, without
// its line feed, to on_line(key, value, has_equals); a false return stops the reading.
template <typename OnLine>
LinesEnd ReadLines(const std::string& path, OnLine&& on_line) {
  platform::FileStatus st;
  if (!platform::GetFileStatus(path, &st) || st.is_directory) return LinesEnd::kMissing;
  platform::TextReader reader;
  if (!reader.Open(path)) return LinesEnd::kMissing;
  size_t piece = static_cast<size_t>(std::min<uint64_t>(st.size, 1024));
  std::string held;
  auto handle = [&](const std::string& line) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) return on_line(line, std::string(), false);
    return on_line(line.substr(0, eq), line.substr(eq + 1), true);
  };
  char buf[1024];
  size_t got;
  while (piece > 0 && (got = reader.Read(buf, piece)) > 0) {
    held.append(buf, got);
    size_t start = 0, lf;
    while ((lf = held.find('\n', start)) != std::string::npos) {
      if (lf - start > kMaxSettingsLine) return LinesEnd::kTooLong;
      if (!handle(held.substr(start, lf - start))) return LinesEnd::kStopped;
      start = lf + 1;
    }
    held.erase(0, start);
    if (held.size() > kMaxSettingsLine) return LinesEnd::kTooLong;
  }
  if (!held.empty() && !handle(held)) return LinesEnd::kStopped;
  return LinesEnd::kDone;
}

// The leading decimal number of a text, as atoi/atol read it; 0 when there is none.
int32_t LeadingNumber(const std::string& text) {
  errno = 0;
  long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// A value as a field of that length holds it: at most max characters, one line.
std::string FieldText(const std::string& text, size_t max) {
  std::string cut = text.substr(0, text.find_first_of("\r\n"));
  if (cut.size() > max) cut.resize(max);
  return cut;
}

constexpr char kResultOrderKey[] = "result_order";
constexpr char kRelevance[] = "relevance";

// A directory cut short would name another directory: such a value is refused.
bool DirectoryFits(const std::string& value) {
  if (value.size() <= kMaxDirLength) return true;
  ShowMessage(kInfo, 3, "Property too long.");
  return false;
}

}  // namespace

int ReadStartupProperties(const std::string& app_dir, Settings* settings) {
  settings->app_dir = app_dir;
  settings->data_dir.clear();
  settings->index_dir.clear();
  bool failed = false;
  LinesEnd end =
      ReadLines(SettingsPath(app_dir), [&](const std::string& key, const std::string& value, bool) {
        if (key == kResultOrderKey) settings->order_by_relevance = value == kRelevance;
        if (key != "index_dir" && key != "data_dir") return true;
        if (!DirectoryFits(value)) {
          failed = true;
          return false;
        }
        (key == "index_dir" ? settings->index_dir : settings->data_dir) = value;
        return true;
      });
  if (end == LinesEnd::kTooLong) {
    ShowMessage(kInfo, 11, "");
    return -1;
  }
  return failed ? -1 : 0;
}

namespace {

// Handles one line for ReadProperties; false (after its message) stops the reading.
bool TakeProperty(const std::string& key, const std::string& value, Settings* s,
                  int32_t* schema_count) {
  if (value.size() > kMaxSettingsLine) {
    ShowMessage(kInfo, 3, "Property too long.");
    return false;
  }
  if (key == "index_dir" || key == "data_dir") {
    if (!DirectoryFits(value)) return false;
    (key == "index_dir" ? s->index_dir : s->data_dir) = value;
  } else if (key == "server_name") {
    s->server = FieldText(value, kMaxServerLength);
  } else if (key == "user_id") {
    s->user = FieldText(value, kMaxUserLength);
  } else if (key == "query") {
    s->query = FieldText(value, kMaxSavedQueryLength);
  } else if (key == "max_records") {
    s->max_records = LeadingNumber(value);
  } else if (key == "schema_list_num") {
    *schema_count = LeadingNumber(value);
    s->schema_names.clear();
    s->schema_names.reserve(static_cast<size_t>(std::clamp(*schema_count, 0, 1024)));
  } else if (key == kResultOrderKey) {
    s->order_by_relevance = value == kRelevance;
  } else if (key == "schema") {
    if (static_cast<int64_t>(s->schema_names.size()) < *schema_count) {
      s->schema_names.push_back(value);
    }
  }
  return true;
}

}  // namespace

int ReadProperties(Settings* settings) {
  settings->data_dir.clear();
  settings->index_dir.clear();
  int32_t schema_count = 0;
  bool stopped = false;
  LinesEnd end;
  try {
    end = ReadLines(SettingsPath(settings->app_dir),
                    [&](const std::string& key, const std::string& value, bool has_equals) {
                      if (!has_equals) return true;  // not a setting: skipped
                      return TakeProperty(key, value, settings, &schema_count);
                    });
  } catch (const std::bad_alloc&) {
    ShowMessage(kInfo, 10, "ReadProperties():For Schema names.");
    settings->schema_names.clear();
    return -1;
  }
  if (end == LinesEnd::kMissing) return -1;
  if (end == LinesEnd::kTooLong) {
    ShowMessage(kInfo, 11, "Line too long.");
    stopped = true;
  }
  if (end == LinesEnd::kStopped) stopped = true;
  if (static_cast<int64_t>(settings->schema_names.size()) != schema_count) {
    ShowMessage(kInfo, 11, "ReadProperties():Invalid number of Schemas.");
    settings->schema_names.clear();
    return -1;
  }
  return stopped ? -1 : 0;
}

namespace {

// Opens the temporary file that SaveProperties writes in place of norvel.ini, once the
// name norvel.ini is known to take a regular file of its own (opened as for writing, so a
// link, a device or a directory there is refused as a direct write would refuse it). A
// norvel.ini that this check creates goes again at once: only the rename of a complete
// file gives the name one where there was none.
bool OpenSettingsTemp(const std::string& path, platform::TextWriter* out) {
  bool existed = platform::FileExists(path);
  platform::File target;
  if (!target.Open(path, "ab")) return false;
  target.Close();
  if (!existed) platform::RemoveFile(path);
  return out->Open(path + ".tmp");
}

// Brings the written temporary file to the disk and renames it over norvel.ini, so that a
// power cut leaves the old settings or the new ones, never a file cut short. The file
// keeps the permissions, owner and (on Windows) attributes and ACL of the one it replaces.
bool CommitSettings(const std::string& app_dir, const std::string& path,
                    platform::TextWriter* out) {
  bool synced = out->Sync();
  bool written = out->Close() && synced;
  std::string temp = path + ".tmp";
  if (!written || !platform::ReplaceKeepingAttributes(temp, path)) {
    platform::RemoveFile(temp);
    return false;
  }
  platform::SyncDirectory(app_dir.empty() ? "." : app_dir);
  return true;
}

}  // namespace

int SaveProperties(const SettingsFields& fields, Settings* settings) {
  platform::TextWriter out;
  std::string path = SettingsPath(settings->app_dir);
  if (!OpenSettingsTemp(path, &out)) {
    ShowMessage(kInfo, 11, "SaveProperties().");
    return -1;
  }
  settings->server = FieldText(fields.server, kMaxServerLength);
  settings->user = FieldText(fields.user, kMaxUserLength);
  settings->query = FieldText(fields.query, kMaxSavedQueryLength);
  // The whole field is read, as the job reads it: a six-digit value must come back as it was
  // typed, not cut to five digits.
  settings->max_records = LeadingNumber(FieldText(fields.max_records, kMaxRecordsFieldLength));
  settings->data_dir = FieldText(fields.data_dir, kMaxDirLength);
  settings->index_dir = FieldText(fields.index_dir, kMaxDirLength);

  out.Write("index_dir=" + settings->index_dir + "\n");
  out.Write("server_name=" + settings->server + "\n");
  out.Write("user_id=" + settings->user + "\n");
  if (!fields.schema_items.empty()) {
    std::vector<size_t> selected;
    for (size_t i : fields.selected) {
      if (i < fields.schema_items.size()) selected.push_back(i);
    }
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    out.Write("schema_list_num=" + std::to_string(selected.size()) + "\n");
    for (size_t i : selected) {
      out.Write("schema=" + FieldText(fields.schema_items[i], kMaxSettingsLine - 7) + "\n");
    }
  }
  out.Write("query=" + settings->query + "\n");
  out.Write("max_records=" + std::to_string(settings->max_records) + "\n");
  out.Write("data_dir=" + settings->data_dir + "\n");
  if (settings->order_by_relevance) out.Write(std::string(kResultOrderKey) + "=relevance\n");
  // A settings file that did not reach the disk is lost: say so instead of succeeding.
  if (!CommitSettings(settings->app_dir, path, &out)) {
    ShowMessage(kInfo, 11, "SaveProperties().");
    return -1;
  }
  return 0;
}

namespace {

// The whole file as its lines (text mode, without their line feeds). False when it
// cannot be read; an absent file has no lines.
bool ReadAllLines(const std::string& path, std::vector<std::string>* lines) {
  platform::FileStatus st;
  if (!platform::GetFileStatus(path, &st)) return true;
  platform::TextReader reader;
  if (st.is_directory || !reader.Open(path)) return false;
  std::string text;
  char buf[1024];
  size_t got;
  while ((got = reader.Read(buf, sizeof buf)) > 0) text.append(buf, got);
  if (reader.Error()) return false;
  size_t start = 0, lf;
  while ((lf = text.find('\n', start)) != std::string::npos) {
    lines->push_back(text.substr(start, lf - start));
    start = lf + 1;
  }
  if (start < text.size()) lines->push_back(text.substr(start));
  return true;
}

}  // namespace

int SaveResultOrder(const Settings& settings) {
  std::string path = SettingsPath(settings.app_dir);
  std::vector<std::string> lines;
  platform::FileStatus st;
  const bool exists = platform::GetFileStatus(path, &st);
  platform::TextWriter out;
  try {
    if (!ReadAllLines(path, &lines)) {
      ShowMessage(kInfo, 11, "SaveResultOrder().");
      return -1;
    }
    if (!exists && !settings.order_by_relevance) return 0;
    const std::string key = std::string(kResultOrderKey) + "=";
    if (!OpenSettingsTemp(path, &out)) {
      ShowMessage(kInfo, 11, "SaveResultOrder().");
      return -1;
    }
    for (const std::string& line : lines) {
      if (line.compare(0, key.size(), key) != 0) out.Write(line + "\n");
    }
    if (settings.order_by_relevance) out.Write(key + kRelevance + "\n");
  } catch (const std::bad_alloc&) {
    ShowMessage(kInfo, 10, "SaveResultOrder().");
    return -1;
  }
  if (!CommitSettings(settings.app_dir, path, &out)) {
    ShowMessage(kInfo, 11, "SaveResultOrder().");
    return -1;
  }
  return 0;
}

}  // namespace norvel
