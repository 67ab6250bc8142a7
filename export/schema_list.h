// The server's schema names for the export dialog's list: the AR call, the copy of the
// names, and the "Get Schemas" action without its window (what the list shows afterwards
// and which items are selected again).
#pragma once

#include <string>
#include <vector>

#include "export/ar_api.h"
#include "export/ar_connection.h"

namespace norvel {

// Lists every schema name of the server into *names. The number of names or -1.
int APIARGetListSchema(const ArModule& ar, ControlRecord control, std::vector<std::string>* names);

// Copies the names of list, each up to its NUL, in the server's order. The count, or -1
// after a log line when memory runs out; with no names *names is left untouched.
int PrintARNameList(const ARNameList& list, std::vector<std::string>* names);

// For each item, whether one of the held names equals it ignoring letter case. Each held
// name selects only the first such item, as the list box's exact search finds it.
std::vector<bool> ReselectSchemas(const std::vector<std::string>& items,
                                  const std::vector<std::string>& held);

struct SchemaListUpdate {
  std::vector<std::string> items;  // the fetched names, in the server's order
  std::vector<bool> selected;      // per item
};

// "Get Schemas": fetches the names and works out the selection from the names the dialog
// held so far. When the fetch yields no names (or fails), shows the Export error box and
// returns false; the dialog then keeps its list.
bool FetchSchemaList(const std::string& server, const std::string& user,
                     const std::string& password, const std::vector<std::string>& held,
                     SchemaListUpdate* out);

}  // namespace norvel
