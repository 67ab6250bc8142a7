// The name of an entry file. A Request ID comes from the server, so it is outside data:
// before it becomes a file name it is made safe, so that no entry file can land outside
// the data directory or open a device. Ordinary Request IDs keep their names exactly;
// the others get a suffix, so that two Request IDs never share a file.
#pragma once

#include <string>

namespace norvel {

// Longest path the program forms (its path buffers hold 260 bytes with the NUL), and the
// longest name the file systems take.
constexpr size_t kMaxPathLength = 259;
constexpr size_t kMaxFileNameLength = 255;

// "~" and 8 hex digits: what EntryFileStem appends to a Request ID it had to change.
constexpr size_t kNameSuffixLength = 9;

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

// The entry file's name without its ".txt", at most max_length characters.
// - An ordinary Request ID, one that SafeFileStem leaves as it is, is its own name.
// - Any other Request ID (made safe, cut, or one that already ends in "~" and 8 hex
//   digits, so that it looks like a suffixed name) becomes its SafeFileStem, cut to leave
//   room, followed by "~" and the 8 lowercase hex digits of the 32-bit FNV-1a hash of the
//   Request ID's bytes. The suffix is the same on every run and platform.
// So an ordinary name never ends in "~" and 8 hex digits and a suffixed name always does:
// the two kinds never meet, not even where letter case is ignored. Two suffixed names are
// equal only when both the stems and the 32-bit hashes of two Request IDs are.
// Empty when max_length leaves no room for a suffixed name.
std::string EntryFileStem(const std::string& request_id, size_t max_length);

// data_dir, the separator, the entry file stem and ".txt", cut so the path holds at most
// kMaxPathLength characters. False when the data directory leaves no room for the name.
// With `suffixed`, the name is the suffixed one even for an ordinary Request ID: for a
// later Request ID whose ordinary name the file system takes for an earlier one's.
bool EntryFilePath(const std::string& data_dir, const std::string& request_id, std::string* path,
                   bool suffixed = false);

}  // namespace norvel
