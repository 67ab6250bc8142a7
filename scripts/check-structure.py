#!/usr/bin/env python3
"""Checks the source tree's shape (ARCHITECTURE.md) and fails on the first kind of breach.

- Layers: a file includes only from its own folder or from a folder of a lower layer.
- Platform code: Windows/POSIX conditionals and system headers only in platform/ and in
  files whose names end in _win or _posix.
- Builds: each folder's CMakeLists.txt compiles only sources of its own folder.
- Headers: what a foo.cpp defines for others is declared in foo.h beside it (foo_win.cpp,
  foo_posix.cpp and other foo_part.cpp may implement foo.h; main and WinMain need none).
- Formatting: every C++ file of ours as clang-format writes it (when clang-format is there).

Usage: scripts/check-structure.py [--root DIR] [--no-format]
"""

import argparse
import os
import re
import shutil
import subprocess
import sys

# The layers, lowest first. A folder may include from lower layers and from itself only.
LAYERS = [
    ["platform"],
    ["core"],
    ["index"],
    ["query"],
    ["viewer", "export"],
    ["job"],
    ["app"],
    ["cli", "installer"],
]
LEVEL = {folder: level for level, folders in enumerate(LAYERS) for folder in folders}

# The stand-in AR library stands beside the layers and shares one header with the program.
BESIDE = {"arsim": {"export/ar_api.h", "platform/calling_convention.h"}}

# The clang-format whose output the tree keeps (Debian 12's).
FORMAT_VERSION = 14

SOURCE_EXTENSIONS = (".h", ".cpp", ".c", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
PLATFORM_MACRO = re.compile(
    r"^\s*#\s*(?:if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|__linux__|__unix__|__APPLE__|"
    r"__MINGW32__|__MINGW64__|_MSC_VER)\b",
    re.M,
)
SYSTEM_HEADER = re.compile(
    r"^\s*#\s*include\s+<(windows\.h|winsock2?\.h|commctrl\.h|shellapi\.h|unistd\.h|"
    r"fcntl\.h|dlfcn\.h|pthread\.h|sys/mman\.h|sys/file\.h|termios\.h)>",
    re.M,
)
CMAKE_SOURCE = re.compile(r"[^\s()\"]+\.(?:cpp|c|rc|def)\b")


def is_platform_file(rel):
    folder = rel.split("/", 1)[0]
    stem = os.path.splitext(os.path.basename(rel))[0]
    return folder == "platform" or stem.endswith("_win") or stem.endswith("_posix")


def source_files(root):
    for folder in list(LEVEL) + list(BESIDE):
        top = os.path.join(root, folder)
        for dirpath, _, names in os.walk(top):
            for name in sorted(names):
                if name.endswith(SOURCE_EXTENSIONS):
                    path = os.path.join(dirpath, name)
                    yield os.path.relpath(path, root).replace(os.sep, "/")


def line_of(text, offset):
    return text.count("\n", 0, offset) + 1


def check_includes(root, rel, text, problems):
    folder = rel.split("/", 1)[0]
    for match in INCLUDE.finditer(text):
        target = match.group(1)
        where = f"{rel}:{line_of(text, match.start())}"
        if "/" not in target:
            problems.append(f'{where}: "{target}" names no folder (write "folder/{target}")')
            continue
        to = target.split("/", 1)[0]
        if to == folder:
            continue
        if folder in BESIDE:
            if target not in BESIDE[folder]:
                problems.append(f'{where}: {folder}/ may include only {sorted(BESIDE[folder])}, '
                                f'not "{target}"')
            continue
        if to not in LEVEL:
            problems.append(f'{where}: "{target}" is not in a layer of the program')
        elif LEVEL[to] >= LEVEL[folder]:
            relation = "the same layer as" if LEVEL[to] == LEVEL[folder] else "a layer above"
            problems.append(f'{where}: "{target}" is in {relation} {folder}/')


def check_platform_code(rel, text, problems):
    if is_platform_file(rel):
        return
    for pattern, what in ((PLATFORM_MACRO, "platform conditional"),
                          (SYSTEM_HEADER, "system header")):
        for match in pattern.finditer(text):
            problems.append(f"{rel}:{line_of(text, match.start())}: {what} "
                            f"({match.group(1)}) outside platform/ and *_win/*_posix files")


# Functions a program starts in: they are declared by no header of ours.
ENTRY_POINTS = {"main", "WinMain", "wWinMain", "DllMain"}
NAMESPACE_OPEN = re.compile(r"^namespace\s*(\w*)\s*\{")
DEFINITION_START = re.compile(r"^(?!static\b|using\b|typedef\b|namespace\b|template\b|"
                              r"class\b|struct\b|enum\b|union\b|return\b)[A-Za-z_]")
DEFINED_NAME = re.compile(r"(~?[A-Za-z_]\w*)\s*\($")


def defined_functions(text):
    """Names of the functions a .cpp defines for other files: definitions at namespace level
    outside anonymous namespaces and without static. A member defined as Class::Name counts
    as Class. Definitions inside extern "C" { } are a library's exports, declared by the
    interface it implements (arsim's by export/ar_api.h), and are left out."""
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    text = re.sub(r'"(?:\\.|[^"\\\n])*"' + r"|'(?:\\.|[^'\\\n])*'", '""', text)
    lines = text.split("\n")
    blocks = []  # per open brace: "anonymous", "namespace" or "other"
    names = []
    for i, line in enumerate(lines):
        at_namespace_level = all(kind != "other" for kind in blocks)
        if (at_namespace_level and "anonymous" not in blocks and DEFINITION_START.match(line)
                and "(" in line):
            head = line[:line.index("(")]
            rest = "\n".join(lines[i:i + 12])[len(head):]
            body = re.search(r"[{;]", rest)
            if body and body.group(0) == "{" and "=" not in head:
                qualified = re.search(r"(\w+)::~?\w+\s*$", head)
                name = DEFINED_NAME.search(head + "(")
                if qualified:
                    names.append(qualified.group(1))
                elif name:
                    names.append(name.group(1))
        opened = NAMESPACE_OPEN.match(line)
        for char in line:
            if char == "{":
                if opened:
                    blocks.append("anonymous" if opened.group(1) == "" else "namespace")
                    opened = None
                else:
                    blocks.append("other")
            elif char == "}" and blocks:
                blocks.pop()
    return [n for n in names if n not in ENTRY_POINTS and not n.startswith("operator")]


def own_header(root, rel):
    """The header a .cpp implements: foo.h for foo.cpp, else for foo_part.cpp the header of
    the longest such prefix in its folder (or, in a folder beside the layers, among the
    headers it shares)."""
    folder = os.path.dirname(rel)
    parts = os.path.splitext(os.path.basename(rel))[0].split("_")
    for n in range(len(parts), 0, -1):
        name = "_".join(parts[:n]) + ".h"
        candidates = [f"{folder}/{name}"] + [h for h in BESIDE.get(folder.split("/")[0], ())
                                              if os.path.basename(h) == name]
        for header in candidates:
            if os.path.isfile(os.path.join(root, header)):
                return header
    return None


def check_headers(root, rel, text, problems):
    if not rel.endswith(".cpp"):
        return
    defined = defined_functions(text)
    if not defined:
        return
    header = own_header(root, rel)
    if header is None:
        problems.append(f"{rel}: defines {defined[0]} but has no header of its name beside it")
        return
    with open(os.path.join(root, header), encoding="utf-8", errors="replace") as f:
        declared = f.read()
    for name in dict.fromkeys(defined):
        if not re.search(rf"\b{re.escape(name)}\b", declared):
            problems.append(f"{rel}: defines {name}, which {header} does not declare")


def check_cmake(root, problems):
    for dirpath, dirnames, names in os.walk(root):
        rel_dir = os.path.relpath(dirpath, root).replace(os.sep, "/")
        if rel_dir == "." :
            dirnames[:] = [d for d in dirnames if d not in ("build", "dist") and
                           not d.startswith(".")]
        if "CMakeLists.txt" not in names:
            continue
        path = os.path.join(dirpath, "CMakeLists.txt")
        with open(path, encoding="utf-8") as f:
            text = f.read()
        text = re.sub(r"#.*", "", text)
        for match in CMAKE_SOURCE.finditer(text):
            name = match.group(0)
            if name.startswith("${CMAKE_CURRENT_SOURCE_DIR}/") or name.startswith("${"):
                outside = name.startswith("${CMAKE_SOURCE_DIR}") or ".." in name
            else:
                outside = ".." in name.split("/")
            if outside:
                problems.append(f"{rel_dir}/CMakeLists.txt:{line_of(text, match.start())}: "
                                f"builds {name}, a source of another folder")


def check_format(root, files, problems):
    tool = shutil.which(f"clang-format-{FORMAT_VERSION}") or shutil.which("clang-format")
    if not tool:
        print("check-structure: clang-format not found; formatting not checked")
        return
    version = subprocess.run([tool, "--version"], capture_output=True, text=True).stdout
    if not re.search(rf"version {FORMAT_VERSION}\.", version):
        print(f"check-structure: formatting not checked: the tree is formatted by clang-format "
              f"{FORMAT_VERSION}, and {tool} is {version.strip()}")
        return
    files = [rel for rel in files if not rel.endswith(".rc")]
    result = subprocess.run([tool, "--style=file", "--dry-run", "-Werror"] + files,
                            capture_output=True, text=True, cwd=root)
    unformatted = sorted(set(re.findall(r"^(\S+?):\d+:\d+: error:", result.stderr, re.M)))
    for rel in unformatted:
        problems.append(f"{rel}: not as clang-format writes it (clang-format -i {rel})")
    if result.returncode != 0 and not unformatted:
        problems.append(f"clang-format failed: {result.stderr.strip()[:500]}")


def formatted_files(root):
    """Every C++ file of ours: the layered folders, arsim, tests and benchmarks."""
    for folder in list(LEVEL) + list(BESIDE) + ["tests", "bench"]:
        for dirpath, dirnames, names in os.walk(os.path.join(root, folder)):
            dirnames[:] = [d for d in dirnames if d not in ("corpus", "seeds", "fixtures")]
            for name in sorted(names):
                if name.endswith((".h", ".cpp", ".c")):
                    yield os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(
        os.path.abspath(__file__))), help="the source tree (default: this checkout)")
    parser.add_argument("--no-format", action="store_true", help="skip the formatting check")
    args = parser.parse_args()

    problems = []
    files = list(source_files(args.root))
    for rel in files:
        with open(os.path.join(args.root, rel), encoding="utf-8", errors="replace") as f:
            text = f.read()
        check_includes(args.root, rel, text, problems)
        check_platform_code(rel, text, problems)
        check_headers(args.root, rel, text, problems)
    check_cmake(args.root, problems)
    if not args.no_format:
        check_format(args.root, list(formatted_files(args.root)), problems)

    for problem in problems:
        print(problem)
    if problems:
        print(f"check-structure: {len(problems)} problem(s); see ARCHITECTURE.md")
        return 1
    print(f"check-structure: {len(files)} files keep to the layers; the builds stay in "
          f"their folders")
    return 0


if __name__ == "__main__":
    sys.exit(main())
