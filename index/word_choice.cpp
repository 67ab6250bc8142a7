// Reading and writing the recorded word rules of an index directory.
#include "index/word_choice.h"

#include "core/messages.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

const char kWordsChoiceFile[] = "_words.ini";
const char kNewWordsChoiceFile[] = "_newwords.ini";

namespace {
constexpr char kKey[] = "words=";
}  // namespace

const char* WordRulesName(WordRules rules) {
  return rules == WordRules::kInternational ? "international" : "ascii";
}

bool ParseWordRules(const std::string& name, WordRules* rules) {
  for (WordRules r : {WordRules::kAscii, WordRules::kInternational}) {
    if (name == WordRulesName(r)) {
      *rules = r;
      return true;
    }
  }
  return false;
}

bool ReadWordRules(const std::string& index_dir, bool new_index, const char* routine,
                   WordRules* rules) {
  *rules = WordRules::kAscii;
  std::string path =
      platform::JoinPath(index_dir, new_index ? kNewWordsChoiceFile : kWordsChoiceFile);
  if (!platform::FileExists(path)) return true;
  platform::TextReader reader;
  char text[64];
  size_t n = 0;
  if (reader.Open(path)) n = reader.Read(text, sizeof text);
  if (!reader.Error() && n > 0) {
    std::string line(text, n);
    line = line.substr(0, line.find('\n'));
    if (line.compare(0, sizeof kKey - 1, kKey) == 0 &&
        ParseWordRules(line.substr(sizeof kKey - 1), rules)) {
      return true;
    }
  }
  WriteLog(std::string(routine) + "Unknown word rules in " +
           (new_index ? kNewWordsChoiceFile : kWordsChoiceFile) + ".");
  return false;
}

bool WriteNewWordRules(const std::string& index_dir, WordRules rules) {
  platform::TextWriter writer;
  bool ok = writer.Open(platform::JoinPath(index_dir, kNewWordsChoiceFile)) &&
            writer.Write(std::string(kKey) + WordRulesName(rules) + "\n") && writer.Sync();
  if (writer.is_open() && !writer.Close()) ok = false;
  if (!ok) WriteLog("doIndex():Cannot write _newwords.ini.");
  return ok;
}

}  // namespace norvel
