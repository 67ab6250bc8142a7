// Sessions of the simulated server and the checks every server call makes.
#include "arsim/session.h"

#include <map>
#include <mutex>

namespace arsim {

namespace {

std::mutex g_sessions_mutex;
std::map<unsigned long, std::shared_ptr<Session>> g_sessions;
unsigned long g_next_session = 1;

std::string Terminated(const char* text, size_t size) {
  return std::string(text, strnlen(text, size));
}

}  // namespace

std::shared_ptr<Session> OpenSession(ARControlStruct* control, std::string* error) {
  auto session = std::make_shared<Session>();
  std::string server = Terminated(control->server, sizeof control->server);
  if (!LoadServer(FixtureRoot(), server, &session->server, error)) return nullptr;
  std::lock_guard<std::mutex> lock(g_sessions_mutex);
  control->sessionId = g_next_session++;
  control->cacheId = static_cast<long>(control->sessionId);
  g_sessions[control->sessionId] = session;
  return session;
}

void CloseSession(const ARControlStruct* control) {
  std::lock_guard<std::mutex> lock(g_sessions_mutex);
  g_sessions.erase(control->sessionId);
}

std::shared_ptr<Session> FindSession(const ARControlStruct* control) {
  if (!control) return nullptr;
  std::lock_guard<std::mutex> lock(g_sessions_mutex);
  auto it = g_sessions.find(control->sessionId);
  return it == g_sessions.end() ? nullptr : it->second;
}

int AddStatus(ARStatusList* status, unsigned type, long number, const std::string& text) {
  if (!status) return static_cast<int>(type);
  unsigned n = status->statusList ? status->numItems : 0;
  auto* grown = static_cast<ARStatusStruct*>(
      std::realloc(status->statusList, (n + 1) * sizeof(ARStatusStruct)));
  if (!grown) return static_cast<int>(type);
  grown[n].messageType = type;
  grown[n].messageNum = number;
  grown[n].messageText = CopyText(text);
  grown[n].appendedText = nullptr;
  status->statusList = grown;
  status->numItems = n + 1;
  return static_cast<int>(type);
}

CallCheck BeginServerCall(const char* call, ARControlStruct* control, const char* schema,
                          ARStatusList* status, const std::string& entry) {
  CallCheck check;
  std::shared_ptr<Session> session = FindSession(control);
  if (session) session->server.WaitIfHeld(call, schema, entry);
  if (!session) {
    check.result = AddStatus(status, AR_RETURN_ERROR, 90,
                             "Cannot establish a network connection to the AR System server : "
                             "the session is not initialized");
    return check;
  }
  std::string user = Terminated(control->user, sizeof control->user);
  std::string password = Terminated(control->password, sizeof control->password);
  if (!session->server.Accepts(user.c_str(), password.c_str())) {
    check.result = AddStatus(status, AR_RETURN_ERROR, 623, "Authentication failed : " + user);
    return check;
  }
  const Failure* failure = session->server.FailureFor(call, schema);
  if (failure && failure->type >= AR_RETURN_ERROR) {
    check.result = AddStatus(status, failure->type, failure->number, failure->text);
    return check;
  }
  check.session = session;
  check.warning = failure;
  return check;
}

int FinishServerCall(const CallCheck& check, ARStatusList* status, int result) {
  if (check.warning) {
    AddStatus(status, check.warning->type, check.warning->number, check.warning->text);
    if (result < static_cast<int>(check.warning->type)) result = check.warning->type;
  }
  return result;
}

const Schema* SchemaOrError(const Server& server, const char* name, ARStatusList* status) {
  const Schema* schema = server.FindSchema(name);
  if (!schema) {
    AddStatus(status, AR_RETURN_ERROR, 303,
              std::string("Form does not exist on server : ") + (name ? name : ""));
  }
  return schema;
}

char* CopyText(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

void CopyName(char* slot, size_t size, const std::string& text) {
  size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(slot, text.data(), n);
  slot[n] = '\0';
}

}  // namespace arsim
