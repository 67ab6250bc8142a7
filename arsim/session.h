// Connections of the simulated server, status lists, and memory handed to the caller.
#pragma once

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "arsim/fixture.h"
#include "export/ar_api.h"

namespace arsim {

struct Session {
  Server server;
};

// Loads the fixture of control->server and opens a session; fills control->sessionId.
std::shared_ptr<Session> OpenSession(ARControlStruct* control, std::string* error);
void CloseSession(const ARControlStruct* control);
std::shared_ptr<Session> FindSession(const ARControlStruct* control);

// Appends one entry to a status list; returns type, so that a call can return its result.
int AddStatus(ARStatusList* status, unsigned type, long number, const std::string& text);

// What a call that talks to the server checks first: an open session, a login the server
// accepts, and an injected failure. On success *warning is the injected warning, if any.
struct CallCheck {
  std::shared_ptr<Session> session;
  const Failure* warning = nullptr;
  int result = AR_RETURN_OK;  // an error result when session is null
};
// A hold of the fixture for this call (and entry) is waited out first.
CallCheck BeginServerCall(const char* call, ARControlStruct* control, const char* schema,
                          ARStatusList* status, const std::string& entry = std::string());
// Adds the injected warning of a successful call and returns the call's result.
int FinishServerCall(const CallCheck& check, ARStatusList* status, int result);

// The schema named by a call, or null with an error status.
const Schema* SchemaOrError(const Server& server, const char* name, ARStatusList* status);

// Memory handed to the caller comes from malloc: the release functions free it.
template <class T>
T* AllocArray(size_t n) {
  return static_cast<T*>(std::calloc(n ? n : 1, sizeof(T)));
}
char* CopyText(const std::string& text);
void CopyName(char* slot, size_t size, const std::string& text);

}  // namespace arsim
