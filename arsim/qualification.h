// The qualification language subset the simulated server understands, and the qualifier
// trees it hands out: field references in single quotes (by name or ID), string and number
// literals (double-quoted or bare), $NULL$, = != < <= > >= LIKE with % and _ wildcards,
// AND OR NOT and parentheses. Text compares ignore letter case.
#pragma once

#include <string>

#include "arsim/fixture.h"
#include "export/ar_api.h"

namespace arsim {

struct Operand {
  enum Kind { kField, kText, kNumber, kNull } kind = kNull;
  ARInternalId field_id = 0;
  std::string text;
  double number = 0;
};

}  // namespace arsim

// The library's own relational operation; the program only passes it back.
struct ARRelOpStruct {
  unsigned magic;  // tells our nodes from anything else handed to the listing
  unsigned operation;
  arsim::Operand left;
  arsim::Operand right;
};

namespace arsim {

// Parses text against the schema's fields into *out (its previous contents are ignored).
// An empty text matches every entry. False with a message on a syntax or field error.
bool LoadQualifier(const Schema& schema, const std::string& text, ARQualifierStruct* out,
                   std::string* error);

// Evaluates a qualifier made by LoadQualifier (null matches everything). False with a
// message when the tree was not made here.
bool MatchQualifier(const Schema& schema, const Entry& entry, const ARQualifierStruct* q,
                    bool* match, std::string* error);

// Releases the contents of a qualifier made by LoadQualifier; a cleared one is a no-op.
void ReleaseQualifier(ARQualifierStruct* q);

// SQL LIKE: % any run, _ one character, letter case ignored.
bool LikeMatch(const std::string& text, const std::string& pattern);

}  // namespace arsim
