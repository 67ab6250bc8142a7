// The connection frame shared by GetSchema and ExportData, and the pieces every AR call
// uses: the loaded library, the control record and status lists.
#include "export/ar_connection.h"

#include <cstring>
#include <mutex>
#include <new>

#include "core/job_progress.h"
#include "core/messages.h"
#include "export/entry_export.h"
#include "export/schema_list.h"
#include "export/secret.h"
#include "platform/dynlib.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

std::string ArLibraryFileName() {
  return platform::SharedLibraryFileName("arapi51");
}

namespace {

std::mutex g_library_path_mutex;
std::string g_library_path;  // guarded by g_library_path_mutex

void CopyCut(char* field, size_t size, const std::string& text) {
  size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

}  // namespace

void SetArLibraryPath(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_library_path_mutex);
  g_library_path = path;
}

std::string ArLibraryPath() {
  {
    std::lock_guard<std::mutex> lock(g_library_path_mutex);
    if (!g_library_path.empty()) return g_library_path;
  }
  std::string beside = platform::JoinPath(platform::ProgramDirectory(), ArLibraryFileName());
  return platform::FileExists(beside) ? beside : ArLibraryFileName();
}

bool ArModule::Load() {
  return library_.Open(ArLibraryPath());
}

ControlRecord::ControlRecord() {
  std::memset(&record_, 0, sizeof record_);
}

ControlRecord::ControlRecord(const std::string& server, const std::string& user,
                             const std::string& password)
    : ControlRecord() {
  CopyCut(record_.user, sizeof record_.user, user);
  CopyCut(record_.password, sizeof record_.password, password);
  CopyCut(record_.server, sizeof record_.server, server);
}

ControlRecord::ControlRecord(const ControlRecord& other) : record_(other.record_) {}

ControlRecord& ControlRecord::operator=(const ControlRecord& other) {
  record_ = other.record_;
  return *this;
}

ControlRecord::~ControlRecord() {
  WipeMemory(&record_, sizeof record_);
}

void StatusList::LogFirstText(const char* routine, const char* call) const {
  if (list_.numItems > 0 && list_.statusList && list_.statusList[0].messageText) {
    WriteLog(list_.statusList[0].messageText);
  } else {
    WriteLog(std::string(routine) + "():" + call + " failed without a message.");
  }
}

void StatusList::Release() {
  if (list_.numItems == 0 && !list_.statusList) return;
  if (auto free_status = ar_.Find<FreeARStatusListProc>("FreeARStatusList")) {
    free_status(&list_, 0);
  }
  list_ = {0, nullptr};
}

namespace {

// The frame around one piece of work. routine names the log lines; work gets the loaded
// library and a copy of the control record as ARInitialization left it.
template <class Work>
int RunConnection(const char* routine, const std::string& server, const std::string& user,
                  const std::string& password, Work work) {
  std::string prefix = std::string(routine) + "():";
  ArModule ar;
  if (!ar.Load()) {
    WriteLog(prefix + "Dll error.");
    return -1;
  }
  ControlRecord control(server, user, password);
  auto initialize = ar.Find<ARInitializationProc>("ARInitialization");
  if (!initialize) {
    WriteLog(prefix + "No Proc:ARInitialization");
    return -1;
  }
  StatusList init_status(ar);
  if (initialize(control.get(), init_status.get()) >= AR_RETURN_ERROR) {
    // The server's own reason first, when it gave one, then the step's line.
    ARStatusList* s = init_status.get();
    if (s->numItems > 0 && s->statusList && s->statusList[0].messageText) {
      WriteLog(s->statusList[0].messageText);
    }
    WriteLog(prefix + "Error initializing AR");
    return -1;
  }
  if (!ar.Find<FreeARStatusListProc>("FreeARStatusList")) {
    WriteLog(prefix + "No Proc:FreeARStatusList");
    return -1;
  }
  init_status.Release();

  int result;
  try {
    result = work(ar, control);
  } catch (const std::bad_alloc&) {
    WriteLog(prefix + "Malloc failure.");
    result = -1;
  }

  if (auto terminate = ar.Find<ARTerminationProc>("ARTermination")) {
    StatusList term_status(ar);
    terminate(control.get(), term_status.get());
  } else {
    WriteLog(prefix + "No Proc:ARTermination");
  }
  return result;
}

}  // namespace

int GetSchema(const std::string& server, const std::string& user, const std::string& password,
              std::vector<std::string>* names) {
  return RunConnection("GetSchema", server, user, password,
                       [&](const ArModule& ar, const ControlRecord& control) {
                         return APIARGetListSchema(ar, control, names);
                       });
}

int ExportData(const std::string& server, const std::string& user, const std::string& password,
               const std::string& schema, int max_records, const std::string& query,
               const std::string& data_dir, JobProgress* progress, ExportTally* tally) {
  JobProgress unused;
  if (!progress) progress = &unused;
  return RunConnection("ExportData", server, user, password,
                       [&](const ArModule& ar, const ControlRecord& control) {
                         return APIARGetListEntryWithFields(ar, control, schema, max_records, query,
                                                            data_dir, progress, tally);
                       });
}

}  // namespace norvel
