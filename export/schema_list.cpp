// Fetching and copying the schema names, and the list's re-selection rule.
#include "export/schema_list.h"

#include <cctype>
#include <cstring>
#include <new>

#include "core/messages.h"

namespace norvel {

int APIARGetListSchema(const ArModule& ar, ControlRecord control, std::vector<std::string>* names) {
  auto get_list = ar.Find<ARGetListSchemaProc>("ARGetListSchema");
  if (!get_list) {
    WriteLog("APIARGetListSchema():No Proc:ARGetListSchema");
    return -1;
  }
  ARNameType empty_name = "";
  ARNameList name_list = {0, nullptr};
  StatusList status(ar);
  int rc = get_list(control.get(), 0, 0, empty_name, nullptr, &name_list, status.get());
  if (rc >= AR_RETURN_ERROR) {
    status.LogFirstText("APIARGetListSchema", "ARGetListSchema");
    return -1;
  }
  int result = PrintARNameList(name_list, names);
  if (auto free_names = ar.Find<FreeARNameListProc>("FreeARNameList")) free_names(&name_list, 0);
  return result;
}

int PrintARNameList(const ARNameList& list, std::vector<std::string>* names) {
  if (list.numItems == 0 || !list.nameList) return 0;
  std::vector<std::string> copies;
  try {
    copies.reserve(list.numItems);
  } catch (const std::bad_alloc&) {
    WriteLog("PrintARNameList():Malloc failure for Schema names.");
    return -1;
  }
  try {
    for (unsigned i = 0; i < list.numItems; ++i) {
      const char* name = list.nameList[i];
      copies.emplace_back(name, strnlen(name, sizeof(ARNameType)));
    }
  } catch (const std::bad_alloc&) {
    WriteLog("PrintARNameList():Malloc failure allocating for Schema name.");
    return -1;
  }
  names->swap(copies);
  return static_cast<int>(names->size());
}

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<bool> ReselectSchemas(const std::vector<std::string>& items,
                                  const std::vector<std::string>& held) {
  std::vector<bool> selected(items.size(), false);
  for (const std::string& name : held) {
    for (size_t i = 0; i < items.size(); ++i) {
      if (SameIgnoringCase(items[i], name)) {
        selected[i] = true;
        break;
      }
    }
  }
  return selected;
}

bool FetchSchemaList(const std::string& server, const std::string& user,
                     const std::string& password, const std::vector<std::string>& held,
                     SchemaListUpdate* out) {
  std::vector<std::string> names;
  if (GetSchema(server, user, password, &names) <= 0) {
    ShowMessage(kError, 20, "Please check the logs.");
    return false;
  }
  out->selected = ReselectSchemas(names, held);
  out->items.swap(names);
  return true;
}

}  // namespace norvel
