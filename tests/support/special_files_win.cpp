// Symbolic links on Windows; there are no FIFOs, so the watchdog has nothing to watch.
#include <windows.h>

#include "special_files.h"

namespace norvel_test {

// CreateSymbolicLinkA is looked up at run time: it is newer than the Windows version the
// program targets. Making a link needs a privilege or developer mode, and Wine's
// CreateSymbolicLinkA succeeds without making anything, so the link must be seen to be one.
bool MakeSymbolicLink(const std::string& target, const std::string& link) {
  using CreateLink = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto create = kernel ? reinterpret_cast<CreateLink>(
                             reinterpret_cast<void*>(GetProcAddress(kernel, "CreateSymbolicLinkA")))
                       : nullptr;
  const DWORD kAllowUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  if (!create || (!create(link.c_str(), target.c_str(), kAllowUnprivileged) &&
                  !create(link.c_str(), target.c_str(), 0))) {
    return false;
  }
  DWORD attributes = GetFileAttributesA(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeFifo(const std::string&) {
  return false;
}

struct FifoWatchdog::State {};

FifoWatchdog::FifoWatchdog(const std::string&) : state_(new State) {}
FifoWatchdog::~FifoWatchdog() {
  delete state_;
}
bool FifoWatchdog::fired() const {
  return false;
}

}  // namespace norvel_test
