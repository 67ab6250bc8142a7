"""Black-box test of the calls the index build makes for each document, counted on the real
process: natively its system calls (strace), under Wine its calls into the Windows kernel
(Wine's relay trace). Two corpora that differ only in how many documents they hold tell the
calls of one document apart from the build's own. On Windows, where the listing tells each
size, a document costs an open, one read and a close; on Linux the size comes from the
open file, one status call more.

usage: test_cli_reads.py --cli PATH [--runner WRAPPER]
"""

import argparse
import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import test_cli as cli
from test_cli import Dirs

STRACE = shutil.which("strace")
NATIVE_CALLS = ("openat", "read", "close", "fstat", "newfstatat", "statx", "lseek", "pread64")
WINDOWS_CALLS = ("CreateFileW", "CreateFileA", "ReadFile", "CloseHandle", "GetFileType",
                 "GetFileSizeEx", "GetFileSize", "GetFileAttributesExW", "SetFilePointerEx",
                 "GetFileInformationByHandle")
SMALL, LARGE = 6, 18  # documents in the two corpora


def make_corpus(root, count):
    """count documents of a few hundred bytes to 20 KB, of one small vocabulary (so that the
    build's own work, its threads included, is the same for both corpora), named so that
    no name is a device's."""
    data = os.path.join(root, "docs-%d" % count)
    os.mkdir(data)
    vocabulary = ["printer", "toner", "jam", "network", "password", "badge", "office"]
    for k in range(count):
        words = " ".join(vocabulary[(k + j) % len(vocabulary)] for j in range(50 + 300 * k))
        with open(os.path.join(data, "document-%03d.txt" % k), "w") as f:
            f.write("Document %d\n%s\n" % (k, words))
    return data


def native_counts(d, data, trace):
    cmd = [STRACE, "-f", "-qq", "-o", trace, "-e", "trace=" + ",".join(NATIVE_CALLS), "--",
           cli.CLI, "index", "--app-dir", d.app, data, d.index]
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    subprocess.run(cmd, check=True, capture_output=True, timeout=600, env=env)
    counts = collections.Counter()
    with open(trace) as f:
        for line in f:
            m = re.match(r"^\d+ +(\w+)\(", line)
            if m:
                counts[m.group(1)] += 1
    return counts


def wine_counts(d, data, trace):
    env = dict(os.environ)
    env["WINEDEBUG"] = "+relay"
    with open(trace, "wb") as err, tempfile.TemporaryFile() as out:
        subprocess.run([cli.RUNNER, cli.CLI, "index", "--app-dir", d.app, data, d.index],
                       check=True, stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                       timeout=600, env=env)
    counts = collections.Counter()
    call = re.compile(rb":Call KERNEL32\.(\w+)\(")
    with open(trace, "rb") as f:
        for line in f:
            m = call.search(line)
            if m and m.group(1).decode() in WINDOWS_CALLS:
                counts[m.group(1).decode()] += 1
    return counts


class CallsPerDocument(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="norvel-reads-")

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def per_document(self, counts_of):
        counts = []
        for n in (SMALL, LARGE):
            d = Dirs()
            try:
                counts.append(counts_of(d, make_corpus(self.root, n),
                                        os.path.join(self.root, "trace-%d" % n)))
            finally:
                d.cleanup()
        extra = counts[1] - counts[0]
        per = {}
        for name in set(counts[0]) | set(counts[1]):
            diff = counts[1][name] - counts[0][name]
            self.assertEqual(diff % (LARGE - SMALL), 0, "%s: %s" % (name, dict(extra)))
            if diff:
                per[name] = diff // (LARGE - SMALL)
        return per

    def test_a_document_costs_an_open_one_read_and_a_close(self):
        if cli.RUNNER:
            self.assertEqual(self.per_document(wine_counts),
                             {"CreateFileW": 1, "ReadFile": 1, "CloseHandle": 1})
        else:
            if not STRACE:
                self.skipTest("strace is missing (scripts/setup-deps.sh installs it)")
            per = self.per_document(native_counts)
            fstat = per.pop("fstat", 0) + per.pop("newfstatat", 0) + per.pop("statx", 0)
            self.assertEqual(per, {"openat": 1, "read": 1, "close": 1})
            self.assertEqual(fstat, 1)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--runner")
    args, rest = parser.parse_known_args()
    cli.CLI = os.path.abspath(args.cli)
    cli.RUNNER = args.runner
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
