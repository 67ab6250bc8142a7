// Reading a simulated server's fixture: the line format, server.txt and the schema files.
#include "arsim/fixture.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "arsim/os.h"

namespace arsim {

namespace {

struct TypeName {
  const char* name;
  unsigned code;
};

const TypeName kTypeNames[] = {
    {"null", 0},     {"keyword", 1},     {"integer", 2},     {"real", 3},    {"char", 4},
    {"diary", 5},    {"enum", 6},        {"time", 7},        {"bitmask", 8}, {"bytes", 9},
    {"decimal", 10}, {"attach", 11},     {"currency", 12},   {"date", 13},   {"timeofday", 14},
    {"join", 30},    {"trim", 31},       {"control", 32},    {"table", 33},  {"column", 34},
    {"page", 35},    {"pageholder", 36}, {"attachpool", 37}, {"ulong", 40},  {"coords", 41},
    {"view", 42},    {"display", 43},
};

// One blank-separated word of a line. Quoted parts ("...") may hold blanks and escapes;
// option_at is the position of the '=' of a bare "key=" prefix, or npos.
struct Token {
  std::string text;
  size_t option_at = std::string::npos;
};

bool ParseEscape(const std::string& line, size_t* i, std::string* out) {
  char c = line[*i];
  switch (c) {
    case 'n':
      out->push_back('\n');
      break;
    case 'r':
      out->push_back('\r');
      break;
    case 't':
      out->push_back('\t');
      break;
    case '\\':
      out->push_back('\\');
      break;
    case '"':
      out->push_back('"');
      break;
    case 'x': {
      if (*i + 2 >= line.size()) return false;
      std::string hex = line.substr(*i + 1, 2);
      if (!std::isxdigit(static_cast<unsigned char>(hex[0])) ||
          !std::isxdigit(static_cast<unsigned char>(hex[1]))) {
        return false;
      }
      out->push_back(static_cast<char>(std::strtoul(hex.c_str(), nullptr, 16)));
      *i += 2;
      break;
    }
    default:
      return false;
  }
  return true;
}

bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error) {
  tokens->clear();
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    Token token;
    bool any_quote = false;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
      if (line[i] != '"') {
        if (line[i] == '=' && !any_quote && token.option_at == std::string::npos) {
          token.option_at = token.text.size();
        }
        token.text.push_back(line[i++]);
        continue;
      }
      any_quote = true;
      ++i;
      while (i < line.size() && line[i] != '"') {
        if (line[i] == '\\') {
          ++i;
          if (i >= line.size() || !ParseEscape(line, &i, &token.text)) {
            *error = "bad escape in quoted text";
            return false;
          }
          ++i;
        } else {
          token.text.push_back(line[i++]);
        }
      }
      if (i >= line.size()) {
        *error = "quoted text without its closing quote";
        return false;
      }
      ++i;
    }
    tokens->push_back(token);
  }
  return true;
}

bool ParseNumber(const std::string& s, long long* out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *out = v;
  return true;
}

bool ParseReal(const std::string& s, double* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (*end != '\0') return false;
  *out = v;
  return true;
}

bool ParseType(const std::string& s, unsigned* out) {
  for (const TypeName& t : kTypeNames) {
    if (EqualsIgnoringCase(s, t.name)) {
      *out = t.code;
      return true;
    }
  }
  long long code;
  if (!ParseNumber(s, &code) || code < 0 || code > 1000) return false;
  *out = static_cast<unsigned>(code);
  return true;
}

std::vector<std::string> SplitSelections(const std::string& list) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t semi = list.find(';', start);
    out.push_back(list.substr(start, semi - start));
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  return out;
}

bool IsTextType(unsigned type) {
  return type == AR_DATA_TYPE_CHAR || type == AR_DATA_TYPE_DECIMAL || type == AR_DATA_TYPE_VIEW ||
         type == AR_DATA_TYPE_DISPLAY;
}

bool IsIntegralType(unsigned type) {
  switch (type) {
    case AR_DATA_TYPE_KEYWORD:
    case AR_DATA_TYPE_INTEGER:
    case AR_DATA_TYPE_ENUM:
    case AR_DATA_TYPE_TIME:
    case AR_DATA_TYPE_BITMASK:
    case AR_DATA_TYPE_DATE:
    case AR_DATA_TYPE_ULONG:
    case AR_DATA_TYPE_TIME_OF_DAY:
      return true;
    default:
      return false;
  }
}

// Fills a value of the given type from its fixture text; selections name enum values.
bool MakeValue(unsigned type, const std::string& text, const FieldDef* field, StoredValue* out,
               std::string* error) {
  out->data_type = type;
  if (type == AR_DATA_TYPE_NULL) return true;
  if (IsTextType(type)) {
    out->text = text;
    return true;
  }
  if (type == AR_DATA_TYPE_DIARY) {
    out->text = text;
    out->raw_diary = true;
    return true;
  }
  if (type == AR_DATA_TYPE_REAL) {
    if (ParseReal(text, &out->real)) return true;
    *error = "not a real number: " + text;
    return false;
  }
  if (IsIntegralType(type)) {
    if (ParseNumber(text, &out->integer)) return true;
    if (type == AR_DATA_TYPE_ENUM && field) {
      for (size_t i = 0; i < field->selections.size(); ++i) {
        if (EqualsIgnoringCase(field->selections[i], text)) {
          out->integer = static_cast<long long>(i);
          return true;
        }
      }
    }
    *error = "not a value of this field: " + text;
    return false;
  }
  *error = "values of data type " + std::to_string(type) + " cannot be stored";
  return false;
}

// Cursor over the lines of one file with the message prefix "file:line: ".
class LineReader {
 public:
  LineReader(const std::string& text, const std::string& file) : text_(text), file_(file) {}

  // The next line with content, tokenized; false at the end or on an error.
  bool Next(std::vector<Token>* tokens, std::string* error) {
    while (pos_ < text_.size()) {
      size_t end = text_.find('\n', pos_);
      if (end == std::string::npos) end = text_.size();
      std::string line = text_.substr(pos_, end - pos_);
      pos_ = end + 1;
      ++line_no_;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t first = line.find_first_not_of(" \t");
      if (first == std::string::npos || line[first] == '#') continue;
      std::string why;
      if (!Tokenize(line, tokens, &why)) {
        *error = Where() + why;
        failed_ = true;
        return false;
      }
      return true;
    }
    return false;
  }
  bool failed() const { return failed_; }
  std::string Where() const { return file_ + ":" + std::to_string(line_no_) + ": "; }

 private:
  const std::string& text_;
  std::string file_;
  size_t pos_ = 0;
  int line_no_ = 0;
  bool failed_ = false;
};

bool ReadWholeFile(const std::string& path, std::string* out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buf[8192];
  size_t n;
  out->clear();
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// Looks without opening: on Windows an open file cannot be deleted, and a test's delete
// of a hold marker that met this check's open would leave the call held for good.
bool FileIsThere(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

void PauseBriefly() {
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool EndsWith(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

}  // namespace

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string Entry::EntryId() const {
  auto it = values.find(1);
  if (it == values.end()) return {};
  return it->second.text.substr(0, sizeof(AREntryIdType) - 1);
}

const FieldDef* Schema::Field(ARInternalId id) const {
  for (const FieldDef& f : fields) {
    if (f.id == id) return &f;
  }
  return nullptr;
}

const FieldDef* Schema::FieldByReference(const std::string& reference) const {
  for (const FieldDef& f : fields) {
    if (EqualsIgnoringCase(f.name, reference)) return &f;
  }
  long long id;
  if (ParseNumber(reference, &id) && id >= 0) return Field(static_cast<ARInternalId>(id));
  return nullptr;
}

const Schema* Server::FindSchema(const char* name) const {
  if (!name) return nullptr;
  for (const Schema& s : schemas) {
    if (EqualsIgnoringCase(s.name, name)) return &s;
  }
  return nullptr;
}

const Failure* Server::FailureFor(const char* call, const char* schema) const {
  for (const Failure& f : failures) {
    if (f.call != call) continue;
    if (f.schema.empty() || (schema && EqualsIgnoringCase(f.schema, schema))) return &f;
  }
  return nullptr;
}

bool Server::Accepts(const char* user, const char* password) const {
  if (logins.empty()) return true;
  for (const Login& login : logins) {
    if (EqualsIgnoringCase(login.user, user) && login.password == password) return true;
  }
  return false;
}

bool ParseServerText(const std::string& text, const std::string& file, Server* out,
                     std::string* error) {
  LineReader lines(text, file);
  std::vector<Token> t;
  while (lines.Next(&t, error)) {
    const std::string& directive = t[0].text;
    if (directive == "user" && t.size() == 3) {
      out->logins.push_back({t[1].text, t[2].text});
    } else if (directive == "fail" && t.size() >= 2) {
      Failure f;
      f.call = t[1].text;
      f.text = "Simulated failure of " + f.call;
      f.number = 9000;
      for (size_t i = 2; i < t.size(); ++i) {
        long long n = 0;
        std::string key =
            t[i].option_at == std::string::npos ? "" : t[i].text.substr(0, t[i].option_at);
        std::string value = key.empty() ? "" : t[i].text.substr(t[i].option_at + 1);
        if (key == "schema") {
          f.schema = value;
        } else if (key == "text") {
          f.text = value;
        } else if (key == "type" && ParseNumber(value, &n) && n >= 0 && n <= 6) {
          f.type = static_cast<unsigned>(n);
        } else if (key == "number" && ParseNumber(value, &n)) {
          f.number = static_cast<long>(n);
        } else {
          *error = lines.Where() + "unknown option " + t[i].text;
          return false;
        }
      }
      out->failures.push_back(f);
    } else if (directive == "hold" && t.size() >= 2) {
      Hold h;
      h.call = t[1].text;
      for (size_t i = 2; i < t.size(); ++i) {
        std::string key =
            t[i].option_at == std::string::npos ? "" : t[i].text.substr(0, t[i].option_at);
        std::string value = key.empty() ? "" : t[i].text.substr(t[i].option_at + 1);
        if (key == "schema") {
          h.schema = value;
        } else if (key == "entry") {
          h.entry = value;
        } else {
          *error = lines.Where() + "unknown option " + t[i].text;
          return false;
        }
      }
      out->holds.push_back(h);
    } else {
      *error = lines.Where() +
               "expected \"user NAME PASSWORD\", \"fail CALL [options]\" or "
               "\"hold CALL [options]\"";
      return false;
    }
  }
  return !lines.failed();
}

namespace {

bool ParseFieldLine(const std::vector<Token>& t, const std::string& where, Schema* out,
                    std::string* error) {
  FieldDef f;
  long long id;
  if (t.size() < 4 || !ParseNumber(t[1].text, &id) || id < 0 ||
      !ParseType(t[2].text, &f.data_type)) {
    *error = where + "expected \"field ID TYPE NAME [max=N] [values=A;B] [hidden]\"";
    return false;
  }
  f.id = static_cast<ARInternalId>(id);
  f.name = t[3].text;
  for (size_t i = 4; i < t.size(); ++i) {
    std::string key =
        t[i].option_at == std::string::npos ? t[i].text : t[i].text.substr(0, t[i].option_at);
    std::string value =
        t[i].option_at == std::string::npos ? "" : t[i].text.substr(t[i].option_at + 1);
    long long n;
    if (key == "max" && ParseNumber(value, &n) && n >= 0) {
      f.max_length = static_cast<unsigned>(n);
    } else if (key == "values") {
      f.selections = SplitSelections(value);
    } else if (key == "hidden" && t[i].option_at == std::string::npos) {
      f.hidden = true;
    } else {
      *error = where + "unknown option " + t[i].text;
      return false;
    }
  }
  if (out->Field(f.id)) {
    *error = where + "field " + std::to_string(f.id) + " defined twice";
    return false;
  }
  out->fields.push_back(f);
  return true;
}

// "set ID VALUE", "diary ID TIME USER TEXT" and "raw ID TYPE VALUE" inside an entry.
bool ParseValueLine(const std::vector<Token>& t, const std::string& where, Schema* out,
                    std::string* error) {
  const std::string& directive = t[0].text;
  long long id;
  if (t.size() < 2 || !ParseNumber(t[1].text, &id) || id < 0) {
    *error = where + "expected a field ID after " + directive;
    return false;
  }
  const FieldDef* field = out->Field(static_cast<ARInternalId>(id));
  if (!field) {
    *error = where + "field " + t[1].text + " is not defined";
    return false;
  }
  StoredValue& value = out->entries.back().values[field->id];
  std::string why;
  if (directive == "set" && t.size() == 3) {
    if (field->data_type == AR_DATA_TYPE_DIARY) {
      *error = where + "diary fields take \"diary ID TIME USER TEXT\" lines";
      return false;
    }
    if (MakeValue(field->data_type, t[2].text, field, &value, &why)) return true;
  } else if (directive == "diary" && t.size() == 5) {
    DiaryItem item;
    long long time;
    if (field->data_type != AR_DATA_TYPE_DIARY || !ParseNumber(t[2].text, &time)) {
      *error = where + "expected \"diary ID TIME USER TEXT\" for a diary field";
      return false;
    }
    value.data_type = AR_DATA_TYPE_DIARY;
    value.diary.push_back({static_cast<long>(time), t[3].text, t[4].text});
    return true;
  } else if (directive == "raw" && (t.size() == 3 || t.size() == 4)) {
    unsigned type;
    if (ParseType(t[2].text, &type) &&
        MakeValue(type, t.size() == 4 ? t[3].text : "", field, &value, &why)) {
      return true;
    }
    if (why.empty()) why = "unknown data type " + t[2].text;
  } else {
    why = "wrong number of words";
  }
  *error = where + why;
  return false;
}

}  // namespace

bool ParseSchemaText(const std::string& text, const std::string& file, Schema* out,
                     std::string* error) {
  LineReader lines(text, file);
  std::vector<Token> t;
  bool ok = true;
  while (ok && lines.Next(&t, error)) {
    const std::string& directive = t[0].text;
    if (directive == "schema" && t.size() == 2 && out->name.empty()) {
      out->name = t[1].text;
    } else if (out->name.empty()) {
      *error = lines.Where() + "the file must begin with \"schema NAME\"";
      return false;
    } else if (directive == "field") {
      ok = ParseFieldLine(t, lines.Where(), out, error);
    } else if (directive == "entry" && t.size() == 1) {
      out->entries.emplace_back();
    } else if ((directive == "set" || directive == "diary" || directive == "raw") &&
               !out->entries.empty()) {
      ok = ParseValueLine(t, lines.Where(), out, error);
    } else {
      *error = lines.Where() + "unexpected \"" + directive + "\"";
      return false;
    }
  }
  if (!ok || lines.failed()) return false;
  if (out->name.empty()) {
    *error = file + ": no \"schema NAME\" line";
    return false;
  }
  return true;
}

void Server::WaitIfHeld(const char* call, const char* schema, const std::string& entry) const {
  for (const Hold& h : holds) {
    if (h.call != call) continue;
    if (!h.schema.empty() && !(schema && EqualsIgnoringCase(h.schema, schema))) continue;
    if (!h.entry.empty() && h.entry != entry) continue;
    std::string marker = folder + kPathSep + h.call + ".held";
    // The marker appears by a rename, closed: on Windows a test that removes it while it
    // is still open here would fail to, and both sides would wait for the other.
    std::string making = marker + ".new";
    FILE* f = std::fopen(making.c_str(), "wb");
    if (!f) return;
    std::fclose(f);
    if (std::rename(making.c_str(), marker.c_str()) != 0) {
      std::remove(making.c_str());
      return;
    }
    // Held for at most ten minutes, so that a test that never lets go cannot hang forever.
    for (int i = 0; i < 60000 && FileIsThere(marker); ++i) PauseBriefly();
    return;
  }
}

std::string FixtureRoot() {
  std::string root = EnvironmentValue("ARSIM_SERVERS");
  if (!root.empty()) return root;
  return LibraryDirectory() + kPathSep + "arsim-servers";
}

bool LoadServer(const std::string& root, const std::string& server_name, Server* out,
                std::string* error) {
  std::vector<std::string> names;
  std::string folder;
  if (!server_name.empty() && ListEntries(root, &names)) {
    for (const std::string& name : names) {
      if (EqualsIgnoringCase(name, server_name)) folder = root + kPathSep + name;
    }
  }
  if (folder.empty() || server_name[0] == '.' ||
      server_name.find_first_of("/\\:") != std::string::npos) {
    *error = "Cannot establish a network connection to the AR System server : " + server_name;
    return false;
  }
  out->name = server_name;
  out->folder = folder;
  std::string text;
  if (ReadWholeFile(folder + kPathSep + "server.txt", &text) &&
      !ParseServerText(text, "server.txt", out, error)) {
    return false;
  }
  if (!ListEntries(folder, &names)) {
    *error = "Cannot read the server folder " + folder;
    return false;
  }
  for (const std::string& name : names) {
    if (!EndsWith(name, ".schema")) continue;
    Schema schema;
    if (!ReadWholeFile(folder + kPathSep + name, &text)) {
      *error = "Cannot read " + name;
      return false;
    }
    if (!ParseSchemaText(text, name, &schema, error)) return false;
    out->schemas.push_back(std::move(schema));
  }
  return true;
}

}  // namespace arsim
