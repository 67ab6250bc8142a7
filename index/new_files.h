// The files of a new index beside the current one: which "_new" names a build writes and
// the swap renames, and the one discard of them that every path uses.
#pragma once

#include <string>
#include <vector>

namespace norvel {

// A file of a new index and the current name the swap gives it (null for a file that is
// never swapped in: the statistics' temporary name).
struct NewIndexFile {
  const char* new_name;
  const char* current_name;
};

// Every "_new" file but the statistics and the numbered file lists, in the order the swap
// renames them and the discard deletes them: the words first (a swap whose new words are
// gone is one that began), the recorded word rules with them, the postings. A file that
// a new index gains is one line of this table.
const std::vector<NewIndexFile>& NewIndexFiles();

// Deletes _newstats.dat, the mark of a complete new index, and syncs the directory when it
// was there, so that its deletion reaches the disk before anything else of the new index
// is touched. False, after a log line "<routine>Cannot delete _newstats.dat.", when it is
// there and stays.
bool RemoveNewIndexMark(const std::string& index_dir, const char* routine);

// Deletes the file name of index_dir unless it is missing. False, after a log line
// "<routine>Cannot delete NAME.", when it is there and stays.
bool RemoveNewIndexFile(const std::string& index_dir, const std::string& name, const char* routine);

// The discard of a new index, for every path that throws one away (DelNdx, a build's
// start, PrepareForBuild, the background job after a failed build, norvel-cli): the mark
// first, and when it stays nothing else, so the new index stays whole and waiting rather
// than become the half of a swap that a later command would complete with these
// statistics over the old words; then the temporary statistics, NewIndexFiles() and every
// "_newfile*.dat". A file that stays is logged as "<routine>Cannot delete NAME.". True
// when nothing of the new index is left.
bool DiscardNewIndex(const std::string& index_dir, const char* routine);

}  // namespace norvel
