// Safe entry file names from Request IDs.
#include "export/entry_file_name.h"

#include <cctype>
#include <cstring>

#include "platform/path.h"

namespace norvel {

namespace {

bool IsUnsafeCharacter(unsigned char c) {
  return c < 0x20 || c == 0x7f || std::strchr("\\/:*?\"<>|", c) != nullptr;
}

// Windows opens a device for these names, with or without an extension, and ignores
// trailing blanks and dots before deciding.
bool IsDeviceName(const std::string& stem) {
  std::string base = stem.substr(0, stem.find('.'));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         std::isdigit(static_cast<unsigned char>(base[3]));
}

}  // namespace

std::string SafeFileStem(const std::string& request_id, size_t max_length) {
  if (max_length < 1) max_length = 1;
  std::string stem = request_id;
  for (char& c : stem) {
    if (IsUnsafeCharacter(static_cast<unsigned char>(c))) c = '_';
  }
  if (stem.empty()) stem = "_";
  if (stem.size() > max_length) stem.resize(max_length);
  for (size_t i = stem.size(); i > 0 && (stem[i - 1] == '.' || stem[i - 1] == ' '); --i) {
    stem[i - 1] = '_';
  }
  if (IsDeviceName(stem)) {
    if (stem.size() < max_length) {
      stem.insert(0, 1, '_');
    } else {
      stem[0] = '_';
    }
  }
  return stem;
}

bool EntryFilePath(const std::string& data_dir, const std::string& request_id, std::string* path) {
  const size_t kExtension = 4;  // ".txt"
  size_t used = data_dir.size() + 1 + kExtension;
  if (used >= kMaxPathLength) return false;
  size_t room = kMaxPathLength - used;
  if (room > kMaxFileNameLength - kExtension) room = kMaxFileNameLength - kExtension;
  *path = platform::JoinPath(data_dir, SafeFileStem(request_id, room) + ".txt");
  return true;
}

}  // namespace norvel
