// The names of a new index's files and their discard.
#include "index/new_files.h"

#include "core/messages.h"
#include "index/index_files.h"
#include "index/positions.h"
#include "index/word_choice.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

const std::vector<NewIndexFile>& NewIndexFiles() {
  static const std::vector<NewIndexFile> files = {
      {kNewWordsFile, kWordsFile},
      {kNewWordsChoiceFile, kWordsChoiceFile},
      {kNewPostingsFile, kPostingsFile},
  };
  return files;
}

bool RemoveNewIndexFile(const std::string& index_dir, const std::string& name,
                        const char* routine) {
  std::string path = platform::JoinPath(index_dir, name);
  if (!platform::FileExists(path) || platform::RemoveFile(path)) return true;
  WriteLog(std::string(routine) + "Cannot delete " + name + ".");
  return false;
}

bool RemoveNewIndexMark(const std::string& index_dir, const char* routine) {
  bool had_stats = platform::FileExists(platform::JoinPath(index_dir, kNewStatsFile));
  if (!RemoveNewIndexFile(index_dir, kNewStatsFile, routine)) return false;
  if (had_stats) platform::SyncDirectory(index_dir);
  return true;
}

bool DiscardNewIndex(const std::string& index_dir, const char* routine) {
  if (!RemoveNewIndexMark(index_dir, routine)) return false;
  bool deleted = RemoveNewIndexFile(index_dir, kNewStatsTempFile, routine);
  for (const NewIndexFile& file : NewIndexFiles()) {
    deleted = RemoveNewIndexFile(index_dir, file.new_name, routine) && deleted;
  }
  deleted = RemoveNewIndexFile(index_dir, kNewPositionsFile, routine) && deleted;
  // The lists, and the runs of positions that a build spilled and had not merged yet.
  for (const char* pattern : {"_newfile*.dat", "_newpositions*.tmp"}) {
    std::vector<std::string> left;
    platform::ListDirectory(index_dir, pattern, &left);
    for (const std::string& name : left) {
      deleted = RemoveNewIndexFile(index_dir, name, routine) && deleted;
    }
  }
  return deleted;
}

}  // namespace norvel
