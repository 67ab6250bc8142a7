"""The tree-shape check (scripts/check-structure.py) on small planted trees: it passes a
tree that keeps to the layers and fails, naming the file (and line), on each kind of breach.

usage: test_check_structure.py
"""

import os
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                     "check-structure.py")

# A tree that keeps to the rules: each folder includes itself and lower layers only.
GOOD = {
    "platform/file.h": "#pragma once\nnamespace platform {\nbool Open();\n}  // namespace platform\n",
    # A platform file implements its portable header; helpers of its own stay unnamed.
    "platform/file_win.cpp": ("#include <windows.h>\n#ifdef _WIN64\n#endif\n"
                              "namespace platform {\nnamespace {\nint Helper() {\n  return 1;\n}\n"
                              "}  // namespace\nbool Open() {\n  return Helper() == 1;\n}\n"
                              "}  // namespace platform\n"),
    # A class's members may be defined over files named after its header.
    "viewer/result_view.h": "#pragma once\nclass ResultView {\n  void Paint();\n};\n",
    "viewer/result_view_paint.cpp": ('#include "viewer/result_view.h"\n'
                                     "static int Width() {\n  return 1;\n}\n"
                                     "void ResultView::Paint() {\n  Width();\n}\n"),
    "cli/main.cpp": "int main() {\n  return 0;\n}\n",
    "core/messages.h": '#include "platform/file.h"\n',
    "index/build.cpp": '#include "core/messages.h"\n#include "index/build.h"\n',
    "index/build.h": "#pragma once\n",
    "app/main_win.cpp": '#include <windows.h>\n#include "index/build.h"\n',
    "arsim/api.cpp": '#include "export/ar_api.h"\n',
    "export/ar_api.h": '#include "platform/calling_convention.h"\n',
    "index/CMakeLists.txt": "norvel_library(norvel_index SOURCES build.cpp)\n",
}


def run_check(files):
    with tempfile.TemporaryDirectory(prefix="norvel-structure-") as root:
        for rel, text in files.items():
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(text)
        result = subprocess.run([sys.executable, CHECK, "--root", root, "--no-format"],
                                capture_output=True, text=True)
        return result.returncode, result.stdout


class CheckStructure(unittest.TestCase):
    def test_a_tree_that_keeps_to_the_layers_passes(self):
        code, out = run_check(GOOD)
        self.assertEqual(code, 0, out)

    def test_each_planted_breach_fails_with_its_place(self):
        breaches = {
            "an include from a layer above": (
                "index/build.cpp", '#include "app/shell_win.h"\n',
                'index/build.cpp:1: "app/shell_win.h" is in a layer above index/'),
            "an include from beside": (
                "viewer/pages.cpp", '#include "export/settings.h"\n',
                'viewer/pages.cpp:1: "export/settings.h" is in the same layer as viewer/'),
            "a platform conditional in a portable file": (
                "index/load.cpp", "int a;\n#if defined(_WIN32)\n#endif\n",
                "index/load.cpp:2: platform conditional (_WIN32)"),
            "a system header in a portable file": (
                "core/log.cpp", "#include <unistd.h>\n",
                "core/log.cpp:1: system header (unistd.h)"),
            "arsim reaching past the AR interface": (
                "arsim/session.cpp", '#include "export/settings.h"\n',
                "arsim/session.cpp:1: arsim/ may include only"),
            "a source whose declarations live in a header of another name": (
                "index/load.cpp",
                '#include "index/in_memory_index.h"\nnamespace norvel {\n'
                "int readIndexIntoMem() {\n  return 0;\n}\n}  // namespace norvel\n",
                "index/load.cpp: defines readIndexIntoMem but has no header of its name"),
            "a definition its own header does not declare": (
                "index/build.cpp",
                '#include "index/build.h"\nnamespace norvel {\n'
                "int Build(\n    int documents) {\n  return documents;\n}\n}  // namespace norvel\n",
                "index/build.cpp: defines Build, which index/build.h does not declare"),
            "a build of another folder's sources": (
                "app/CMakeLists.txt", "add_executable(norvel ${CMAKE_SOURCE_DIR}/export/x_win.cpp)\n",
                "app/CMakeLists.txt:1: builds ${CMAKE_SOURCE_DIR}/export/x_win.cpp"),
        }
        for what, (rel, text, expected) in breaches.items():
            with self.subTest(what):
                code, out = run_check({**GOOD, rel: text})
                self.assertEqual(code, 1, out)
                self.assertIn(expected, out)


if __name__ == "__main__":
    unittest.main()
