// Safe entry file names from Request IDs.
#include "export/entry_file_name.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
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

// True when name ends the way EntryFileStem's suffix does: "~" and 8 hex digits, in
// either letter case, since Windows compares names without regard to case.
bool EndsLikeSuffix(const std::string& name) {
  if (name.size() < kNameSuffixLength) return false;
  size_t at = name.size() - kNameSuffixLength;
  if (name[at] != '~') return false;
  for (size_t i = at + 1; i < name.size(); ++i) {
    if (name[i] == '\0' || !std::strchr("0123456789abcdefABCDEF", name[i])) return false;
  }
  return true;
}

// "~" and the 32-bit FNV-1a hash of the bytes, as 8 lowercase hex digits.
std::string NameSuffix(const std::string& request_id) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : request_id) {
    hash ^= c;
    hash *= 16777619u;
  }
  char text[kNameSuffixLength + 1];
  std::snprintf(text, sizeof text, "~%08x", static_cast<unsigned>(hash));
  return text;
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

std::string EntryFileStem(const std::string& request_id, size_t max_length) {
  if (max_length == 0) return std::string();
  std::string stem = SafeFileStem(request_id, max_length);
  if (stem == request_id && !EndsLikeSuffix(stem)) return stem;
  // The stem is safe and has no trailing dot or blank, and the suffix's characters are
  // safe too; the name before the first dot is unchanged or longer than any device name.
  if (max_length <= kNameSuffixLength) return std::string();
  return SafeFileStem(request_id, max_length - kNameSuffixLength) + NameSuffix(request_id);
}

bool EntryFilePath(const std::string& data_dir, const std::string& request_id, std::string* path,
                   bool suffixed) {
  const size_t kExtension = 4;  // ".txt"
  size_t used = data_dir.size() + 1 + kExtension;
  if (used >= kMaxPathLength) return false;
  size_t room = kMaxPathLength - used;
  if (room > kMaxFileNameLength - kExtension) room = kMaxFileNameLength - kExtension;
  std::string stem = EntryFileStem(request_id, room);
  if (suffixed && !EndsLikeSuffix(stem)) {
    stem = room > kNameSuffixLength
               ? SafeFileStem(request_id, room - kNameSuffixLength) + NameSuffix(request_id)
               : std::string();
  }
  if (stem.empty()) return false;
  *path = platform::JoinPath(data_dir, stem + ".txt");
  return true;
}

}  // namespace norvel
