// The settings file norvel.ini of the application directory: lines of key=value that
// carry the export dialog's fields from one run to the next and tell start-up where the
// data and index directories are.
//
// Keys, in the order SaveProperties writes them (compared exactly, case-sensitive; the
// value is everything after the first '=', untrimmed; other lines are skipped):
//   index_dir=, server_name=, user_id=, schema_list_num= (only when the dialog holds schema
//   names) followed by one schema= line per selected name, query=, max_records=, data_dir=
// The password is never written or read. Lines end in CR LF on disk; a line may hold at
// most 1024 bytes.
// Beyond these, result_order=relevance (written last, and only while the results are
// ordered by relevance) remembers the window's View > Order by relevance; the readers of
// the keys above skip it, as they skip every other line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvel {

constexpr size_t kMaxDirLength = 259;
constexpr size_t kMaxServerLength = 511;
constexpr size_t kMaxUserLength = 255;
constexpr size_t kMaxSavedQueryLength = 511;
constexpr size_t kMaxRecordsFieldLength = 6;  // "-99999" to "999999"
constexpr size_t kMaxSettingsLine = 1024;

struct Settings {
  std::string app_dir;    // where norvel.ini, xcludelist.ini, the log and the marker live
  std::string data_dir;   // the documents
  std::string index_dir;  // the index files
  std::string server;     // AR server name
  std::string user;       // AR user name
  std::string query;      // AR qualification
  int32_t max_records = 0;
  std::vector<std::string> schema_names;  // saved schema names, in file order
  bool order_by_relevance = false;        // result_order=relevance
};

// The export dialog's fields as they are when "Done" is pressed.
struct SettingsFields {
  std::string server;
  std::string user;
  std::string query;
  std::string max_records;  // the field's text; its first 6 characters are read as a number
  std::string data_dir;
  std::string index_dir;
  std::vector<std::string> schema_items;  // every name the schema list holds, in list order
  std::vector<size_t> selected;           // indexes of the selected names
};

// The settings file of an application directory.
std::string SettingsPath(const std::string& app_dir);

// Sets settings->app_dir, empties the two directories and fills them from index_dir= and
// data_dir= (and the result order from result_order=). 0, also for a missing file; -1 (after a
// message) for a line over 1024 bytes or a directory over 259 characters.
int ReadStartupProperties(const std::string& app_dir, Settings* settings);

// Reads every key of settings->app_dir's file (directories emptied first; settings whose
// key is absent keep their value). 0, or -1: missing file (no message), a line too long,
// a directory too long, a number of schema names that differs from schema_list_num.
int ReadProperties(Settings* settings);

// Copies the fields into *settings (each cut to its field's length and at a line break)
// and rewrites the file, with settings->order_by_relevance's line. 0, or -1 after a
// message when the file cannot be written.
int SaveProperties(const SettingsFields& fields, Settings* settings);

// Rewrites settings->app_dir's file with settings->order_by_relevance: every other line as
// it was, the result_order= line dropped and, for relevance, written last. No file and
// index order: nothing is written. 0, or -1 after a message when it cannot be written.
int SaveResultOrder(const Settings& settings);

}  // namespace norvel
