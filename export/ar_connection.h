// The connection to an AR System server through the client library, loaded by name at the
// start of every connection and unloaded at its end; every function is looked up by name
// just before its call. GetSchema and ExportData share the frame: load, fill the control
// record, initialise, work, terminate, unload.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/ar_api.h"
#include "platform/dynlib.h"

namespace norvel {

struct JobProgress;

// The AR client library's file name: arapi51.dll on Windows, libarapi51.so on Linux.
std::string ArLibraryFileName();

// The file a connection loads: the one set here when not empty (tests, norvel-cli
// --library), else ArLibraryFileName() next to the program when it is there, else
// that name through the system's library search.
void SetArLibraryPath(const std::string& path);
std::string ArLibraryPath();

// The loaded client library of one connection.
class ArModule {
 public:
  bool Load();
  // The function named name, looked up now; null when the library lacks it.
  template <class Proc>
  Proc Find(const char* name) const {
    return reinterpret_cast<Proc>(library_.Symbol(name));
  }

 private:
  platform::DynamicLibrary library_;
};

// A control record. Every copy is wiped when it goes away: it holds the password.
class ControlRecord {
 public:
  // All bytes zero: the state before it is filled.
  ControlRecord();
  // Cleared, then user and password cut to their fields, language empty, server cut to
  // 64 characters.
  ControlRecord(const std::string& server, const std::string& user, const std::string& password);
  ControlRecord(const ControlRecord& other);
  ControlRecord& operator=(const ControlRecord& other);
  ~ControlRecord();
  ARControlStruct* get() { return &record_; }
  const ARControlStruct& record() const { return record_; }

 private:
  ARControlStruct record_;
};

// The status list of one call. It is released with FreeARStatusList, when the library has
// it, on Release() or when it goes away.
class StatusList {
 public:
  explicit StatusList(const ArModule& ar) : ar_(ar) {}
  StatusList(const StatusList&) = delete;
  StatusList& operator=(const StatusList&) = delete;
  ~StatusList() { Release(); }
  ARStatusList* get() { return &list_; }
  // Writes the message text of the first entry to the log, unchanged. Without one, a line
  // naming the routine and the call stands in for it.
  void LogFirstText(const char* routine, const char* call) const;
  void Release();

 private:
  const ArModule& ar_;
  ARStatusList list_ = {0, nullptr};
};

// Fetches the server's schema names into *names (replaced only on success). The number of
// names (0 or more), or -1 after a log line.
int GetSchema(const std::string& server, const std::string& user, const std::string& password,
              std::vector<std::string>* names);

// What became of the listed entries that one export took up (the stop flag leaves the
// rest untouched).
struct ExportTally {
  uint32_t written = 0;      // entry files written in full
  uint32_t not_written = 0;  // entries without a name, or a file written in full
  uint32_t without_id = 0;   // entries without a Request ID: no file, and no failure
};

// Exports the entries of one schema that match query, at most max_records (as the
// listing's unsigned limit), into data_dir. Counts into progress (may be null) and honours
// its stop flag; adds to *tally too when given. 0 when the listing was made (also
// when the server refused it) and every entry taken up was written; -1 after a log line
// otherwise, also when the listing was made but an entry was not written.
int ExportData(const std::string& server, const std::string& user, const std::string& password,
               const std::string& schema, int max_records, const std::string& query,
               const std::string& data_dir, JobProgress* progress, ExportTally* tally = nullptr);

}  // namespace norvel
