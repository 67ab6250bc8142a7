// A simulated server as its fixture describes it: logins, injected failures, and the
// schemas with their field definitions and entries. See README.md for the file format.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "export/ar_api.h"

namespace arsim {

struct FieldDef {
  ARInternalId id = 0;
  unsigned data_type = AR_DATA_TYPE_NULL;
  std::string name;
  unsigned max_length = 0;              // character fields; 0 means unlimited
  std::vector<std::string> selections;  // selection fields: the names of values 0, 1, 2, ...
  bool hidden = false;                  // on the form, but not reported by ARGetMultipleFields
};

struct DiaryItem {
  long time = 0;
  std::string user;
  std::string text;
};

// A stored value. Its own data type may differ from its field's (fixtures say so with "raw").
struct StoredValue {
  unsigned data_type = AR_DATA_TYPE_NULL;
  std::string text;              // character-like types; an encoded diary given raw
  long long integer = 0;         // keyword, integer, selection, time, bitmask, date, ulong
  double real = 0;               // real
  std::vector<DiaryItem> diary;  // diary items, encoded when served
  bool raw_diary = false;        // text holds the diary exactly as served
};

struct Entry {
  std::map<ARInternalId, StoredValue> values;
  // The entry ID: field 1's text cut to the 15 characters of an entry-ID slot.
  std::string EntryId() const;
};

struct Schema {
  std::string name;
  std::vector<FieldDef> fields;  // in fixture order, which is the order the server reports
  std::vector<Entry> entries;
  const FieldDef* Field(ARInternalId id) const;
  // By name, ignoring letter case, or by the decimal field ID.
  const FieldDef* FieldByReference(const std::string& reference) const;
};

struct Failure {
  std::string call;
  std::string schema;  // empty: every schema
  unsigned type = AR_RETURN_ERROR;
  long number = 0;
  std::string text;
};

// A call that waits, when it is made for the given schema and entry, until the test that
// asked for it lets it go: the call creates the file "<CALL>.held" in the server's folder
// and returns once that file is gone.
struct Hold {
  std::string call;
  std::string schema;  // empty: every schema
  std::string entry;   // empty: every entry (ARGetEntry only)
};

struct Login {
  std::string user;
  std::string password;
};

struct Server {
  std::string name;
  std::vector<Login> logins;  // none: every user and password is accepted
  std::vector<Failure> failures;
  std::vector<Hold> holds;
  std::vector<Schema> schemas;  // in the byte order of their file names
  std::string folder;           // where the fixture files are

  const Schema* FindSchema(const char* name) const;
  // The injected failure for a call on a schema (null schema: the call has none), or null.
  const Failure* FailureFor(const char* call, const char* schema) const;
  bool Accepts(const char* user, const char* password) const;
  // Waits while a hold for this call, schema and entry is in force.
  void WaitIfHeld(const char* call, const char* schema, const std::string& entry) const;
};

// Where the server folders are: $ARSIM_SERVERS, else "arsim-servers" beside the library.
std::string FixtureRoot();

// Loads the folder of the server named server_name (letter case ignored) under root.
// False with a message for the status list when the server is unknown or a file is wrong.
bool LoadServer(const std::string& root, const std::string& server_name, Server* out,
                std::string* error);

// Parses the text of one schema file or of server.txt; file names the messages.
bool ParseSchemaText(const std::string& text, const std::string& file, Schema* out,
                     std::string* error);
bool ParseServerText(const std::string& text, const std::string& file, Server* out,
                     std::string* error);

bool EqualsIgnoringCase(const std::string& a, const std::string& b);

}  // namespace arsim
