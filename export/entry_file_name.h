// The name of an entry file. A Request ID comes from the server, so it is outside data:
// before it becomes a file name it is made safe, so that no entry file can land outside
// the data directory or open a device. Ordinary Request IDs keep their names exactly.
#pragma once

#include <string>

namespace norvel {

// Longest path the program forms (its path buffers hold 260 bytes with the NUL), and the
// longest name the file systems take.
constexpr size_t kMaxPathLength = 259;
constexpr size_t kMaxFileNameLength = 255;

// The Request ID made safe as a file name without its ".txt", at most max_length
// characters (at least 1):
// - path separators, drive colons, the other characters Windows refuses in names
//   (* ? " < > |) and control characters become '_';
// - trailing dots and blanks become '_' (Windows would drop them);
// - a name that Windows reserves for a device (CON, PRN, AUX, NUL, COM0-9, LPT0-9,
//   CONIN$, CONOUT$, CLOCK$, whatever follows a dot) gets a leading '_';
// - an empty Request ID becomes "_";
// - a longer name is cut to max_length.
std::string SafeFileStem(const std::string& request_id, size_t max_length);

// data_dir, the separator, the safe stem and ".txt", cut so the path holds at most
// kMaxPathLength characters. False when the data directory leaves no room for a name.
bool EntryFilePath(const std::string& data_dir, const std::string& request_id, std::string* path);

}  // namespace norvel
