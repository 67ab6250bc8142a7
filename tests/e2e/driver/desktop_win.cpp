// Status bar text across the process boundary, and the clipboard.
#include "desktop.h"

// commctrl.h needs windows.h, which desktop.h brings, before it.
#include <commctrl.h>

#include <cstring>

#include "window.h"

namespace e2e {

namespace {

// Memory in another process, released when it goes away.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, size_t size) : process_(process) {
    if (process_) {
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  void* address() const { return address_; }
  bool Read(void* dst, size_t n) const {
    SIZE_T got = 0;
    return ReadProcessMemory(process_, address_, dst, n, &got) && got == n;
  }

 private:
  HANDLE process_;
  void* address_ = nullptr;
};

HANDLE OpenOwnerProcess(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
}

// Opening can fail for a moment while another program holds the clipboard.
bool OpenClipboardPatiently() {
  return WaitUntil([] { return OpenClipboard(nullptr) != 0; }, 5000, 20);
}

const unsigned kSendLimitMs = 5000;

}  // namespace

HWND FindStatusBar(HWND parent) {
  return FindChildByClass(parent, STATUSCLASSNAMEA);
}

std::string GetStatusText(HWND status_bar, int part) {
  DWORD_PTR length_and_type = 0;
  if (!SendMessageTimeoutA(status_bar, SB_GETTEXTLENGTHA, part, 0, SMTO_ABORTIFHUNG, kSendLimitMs,
                           &length_and_type)) {
    return std::string();
  }
  size_t length = LOWORD(length_and_type);
  RemoteBuffer remote(OpenOwnerProcess(status_bar), length + 1);
  if (!remote.address()) return std::string();
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutA(status_bar, SB_GETTEXTA, part,
                           reinterpret_cast<LPARAM>(remote.address()), SMTO_ABORTIFHUNG,
                           kSendLimitMs, &ignored)) {
    return std::string();
  }
  std::string text(length, '\0');
  if (length && !remote.Read(&text[0], length)) return std::string();
  // The text may have changed between asking its length and reading it: a shorter one
  // leaves NULs behind it.
  text.resize(std::strlen(text.c_str()));
  return text;
}

bool WaitForStatusText(HWND status_bar, const std::function<bool(const std::string&)>& pred,
                       std::string* last, int part, unsigned timeout_ms) {
  std::string text;
  bool ok = WaitUntil([&] { return pred(text = GetStatusText(status_bar, part)); }, timeout_ms);
  if (last) *last = text;
  return ok;
}

std::string ClipboardText() {
  if (!OpenClipboardPatiently()) return std::string();
  std::string text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(data))) {
      text.assign(p, strnlen(p, GlobalSize(data)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

bool SetClipboardText(const std::string& text) {
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (!data) return false;
  std::memcpy(GlobalLock(data), text.c_str(), text.size() + 1);
  GlobalUnlock(data);
  if (!OpenClipboardPatiently()) {
    GlobalFree(data);
    return false;
  }
  EmptyClipboard();
  bool ok = SetClipboardData(CF_TEXT, data) != nullptr;
  if (!ok) GlobalFree(data);
  CloseClipboard();
  return ok;
}

bool ClearClipboard() {
  if (!OpenClipboardPatiently()) return false;
  bool ok = EmptyClipboard() != 0;
  CloseClipboard();
  return ok;
}

}  // namespace e2e
