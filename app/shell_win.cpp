// The search window's one instance of everything.
#include "app/shell_win.h"

namespace norvel {

Shell& TheShell() {
  static Shell shell;
  return shell;
}

}  // namespace norvel
