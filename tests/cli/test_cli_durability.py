"""Black-box tests of what a power cut or a kill at an exact step leaves, seen through the
system calls of the real processes (strace): every index file and the settings file are
on the disk before they are renamed into place, and the directory after the last rename;
a discard killed before any of its deletes, or a swap before any of its renames, is never
completed into a mixture by the next search (words and phrases), failing build or good
build.

usage: test_cli_durability.py --cli PATH [--settings-test PATH] [--runner WRAPPER]
The native build only: strace follows Linux processes (scripts/setup-deps.sh installs it).
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import unittest

import test_cli as cli
from test_cli import DEMO, FIXTURE, Dirs

SETTINGS_TEST = None
QUERY = "one"  # in one old document and in four new ones
PHRASE = '"one day"'  # in no old document and in two new ones
STRACE = shutil.which("strace")
TRACED = "openat,open,creat,fsync,fdatasync,rename,renameat,renameat2,unlink,unlinkat"
# One traced call: "PID name(args) = result"; -y shows each descriptor's path as fd</path>.
CALL = re.compile(r"^(\d+) +(\w+)\((.*)\) += (-?\d+)")
FD_PATH = re.compile(r"^\d+<(.*)>$")
# A call that another thread's calls cut in two: "PID name(args <unfinished ...>", then
# "PID <... name resumed>rest".
UNFINISHED = re.compile(r"^(\d+) +(.*) <unfinished \.\.\.>$")
RESUMED = re.compile(r"^(\d+) +<\.\.\. (\w+) resumed>(.*)$")


def traced(args, trace, extra=(), check=True):
    """Runs args under strace; returns (exit code, stderr, the calls: name, arguments and
    whether it succeeded)."""
    cmd = [STRACE, "-f", "-y", "-qq", "-o", trace, "-e", "trace=" + TRACED] + list(extra)
    # LeakSanitizer cannot work under ptrace: the sanitizer build's leaks are found elsewhere.
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    p = subprocess.run(cmd + ["--"] + args, capture_output=True, timeout=600, env=env)
    calls = []
    unfinished = {}  # pid -> the start of its call that another thread's calls cut
    with open(trace) as f:
        for line in f:
            line = line.rstrip("\n")
            start = UNFINISHED.match(line)
            if start:
                unfinished[start.group(1)] = start.group(2)
                continue
            resumed = RESUMED.match(line)
            if resumed and resumed.group(1) in unfinished:
                line = resumed.group(1) + " " + unfinished.pop(resumed.group(1)) + resumed.group(3)
            m = CALL.match(line)
            if m:
                calls.append((m.group(2), m.group(3), int(m.group(4)) >= 0))
    return p.returncode, p.stderr.decode(errors="replace"), calls


def strings(args):
    return re.findall(r'"((?:[^"\\]|\\.)*)"', args)


def events(calls):
    """(kind, path or (from, to)) in order: "sync" of a descriptor's file, "rename",
    "unlink", and "write" for an opening that can write."""
    out = []
    for name, args, ok in calls:
        if not ok:
            continue
        if name in ("fsync", "fdatasync"):
            m = FD_PATH.match(args.split(",")[0].strip())
            if m:
                out.append(("sync", m.group(1)))
        elif name.startswith("rename"):
            s = strings(args)
            out.append(("rename", (s[0], s[-1])))
        elif name.startswith("unlink"):
            out.append(("unlink", strings(args)[-1]))
        elif name in ("openat", "open", "creat") and ("O_WRONLY" in args or "O_RDWR" in args):
            out.append(("write", strings(args)[0]))
    return out


def base(path):
    return os.path.basename(path)


class Durability(unittest.TestCase):
    def setUp(self):
        if cli.RUNNER:
            self.skipTest("strace follows native processes only; this is the Windows build")
        if not STRACE:
            self.skipTest("strace is not installed (scripts/setup-deps.sh installs it)")
        self.d = Dirs()
        self.trace = os.path.join(self.d.root, "trace.txt")

    def tearDown(self):
        self.d.cleanup()

    def assertSyncedBeforeRename(self, ev, i, source):
        """The file renamed at event i was synced after it was last opened for writing,
        under the name it had then."""
        earlier = [j for j in range(i) if ev[j][0] == "rename" and base(ev[j][1][1]) == source]
        if earlier:
            return self.assertSyncedBeforeRename(ev, earlier[-1], base(ev[earlier[-1]][1][0]))
        opened = max([j for j in range(i) if ev[j][0] == "write" and base(ev[j][1]) == source],
                     default=-1)
        self.assertGreaterEqual(opened, 0, "%s was never written" % source)
        synced = [j for j in range(opened, i) if ev[j][0] == "sync" and base(ev[j][1]) == source]
        self.assertTrue(synced, "%s renamed without a sync since it was written" % source)

    def test_every_index_file_is_on_the_disk_before_its_rename_and_the_directory_after(self):
        code, err, calls = traced([cli.CLI, "index", "--app-dir", self.d.app, FIXTURE,
                                   self.d.index], self.trace)
        self.assertEqual(code, 0, err)
        ev = events(calls)
        index = os.path.realpath(self.d.index)
        renames = [i for i, e in enumerate(ev) if e[0] == "rename"]
        swapped = [base(ev[i][1][1]) for i in renames]
        # The statistics reach their name whole, then the swap: the positions after the
        # lists, statistics last.
        self.assertEqual(swapped, ["_newstats.dat", "_ndxwrds.dat", "_ndxfile.dat",
                                   "_file0.dat", "_positions.dat", "_stats.dat"])
        for i in renames:
            self.assertSyncedBeforeRename(ev, i, base(ev[i][1][0]))
        dir_syncs = [i for i, e in enumerate(ev) if e == ("sync", index)]
        # The pending mark and the other renames are on the disk before the statistics
        # replace the current ones, and the last rename is on the disk at the end.
        self.assertTrue([i for i in dir_syncs if renames[0] < i < renames[1]], ev)
        self.assertTrue([i for i in dir_syncs if renames[-2] < i < renames[-1]], ev)
        self.assertTrue([i for i in dir_syncs if i > renames[-1]], ev)

    def test_the_settings_file_is_synced_under_a_temporary_name_then_renamed(self):
        if not SETTINGS_TEST:
            self.skipTest("no --settings-test program given")
        code, err, calls = traced([SETTINGS_TEST,
                                   "--gtest_filter=SettingsFile.SaveThenReadRestoresEveryField"],
                                  self.trace)
        self.assertEqual(code, 0, err)
        ev = events(calls)
        renames = [i for i, e in enumerate(ev)
                   if e[0] == "rename" and base(e[1][1]) == "norvel.ini"]
        self.assertEqual(len(renames), 1, ev)
        i = renames[0]
        source = base(ev[i][1][0])
        self.assertNotEqual(source, "norvel.ini")
        self.assertSyncedBeforeRename(ev, i, source)
        # Then the directory, so that the rename itself is on the disk.
        app = os.path.realpath(os.path.dirname(ev[i][1][1]))
        self.assertIn(("sync", app), ev[i + 1:], ev)


# The command of a killed discard runs as this user when the tests run as root, so that a
# document without read permission cannot be read (root reads every file).
UNPRIVILEGED = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"]


def open_to_all(root):
    """Lets any user read and write everything under root (the scratch directories of a
    command that runs unprivileged), except files that no one may read."""
    for folder, dirs, files in os.walk(root):
        os.chmod(folder, 0o777)
        for name in files:
            path = os.path.join(folder, name)
            if os.stat(path).st_mode & 0o777:
                os.chmod(path, 0o666)


class KilledAtEachStep:
    """An index command over the old index, killed (strace's signal injection) as it
    enters each call of one kind among its last steps, and once not at all; after each,
    the next search, failing build or good build answers with the old index or the new
    one, never a mixture of the two."""

    SYSCALL = None  # the kind of call at which the command is killed
    EXIT = None  # the exit status of the command when it is not killed
    PREFIX = []  # what the killed command runs under

    @classmethod
    def command(cls, d):
        return cls.PREFIX + [cli.CLI, "index", "--app-dir", d.app, cls.documents, d.index]

    @classmethod
    def data(cls):
        """The documents of the killed command."""
        raise NotImplementedError

    @classmethod
    def steps(cls, calls):
        """The numbers, among all SYSCALL calls (failed ones too, as strace counts them for
        its injection), of the calls that are steps."""
        raise NotImplementedError

    @classmethod
    def new_step(cls):
        """The step whose kill leaves the new index (waiting or in place)."""
        raise NotImplementedError

    @classmethod
    def setUpClass(cls):
        if cli.RUNNER:
            raise unittest.SkipTest("strace follows native processes only; this is the Windows build")
        if not STRACE:
            raise unittest.SkipTest("strace is not installed (scripts/setup-deps.sh installs it)")
        cls.root = Dirs()
        cls.empty = os.path.join(cls.root.root, "empty")
        os.mkdir(cls.empty)
        cls.documents = cls.data()
        d = cls.fresh_old()
        try:
            cls.old = cls.answer(d)
            code, _, calls = traced(cls.command(d), os.path.join(d.root, "trace.txt"))
            assert code == cls.EXIT, code
            cls.kill_steps = cls.steps(calls)
            assert cls.kill_steps, calls
        finally:
            d.cleanup()
        d = cls.fresh_old()
        try:
            cls.killed(d, cls.new_step())
            cls.new = cls.answer(d)
        finally:
            d.cleanup()
        assert cls.old != cls.new

    @classmethod
    def tearDownClass(cls):
        cls.root.cleanup()

    @classmethod
    def fresh_old(cls):
        d = Dirs()
        d.index_cmd(FIXTURE)
        if cls.PREFIX:
            open_to_all(d.root)
        return d

    @classmethod
    def killed(cls, d, number):
        """The command, killed as it enters its number-th SYSCALL call; one past the last
        step, it ends as it would."""
        code, err, _ = traced(cls.command(d), os.path.join(d.root, "trace.txt"),
                              ["-e", "inject=%s:signal=KILL:when=%d" % (cls.SYSCALL, number)])
        last = number > cls.kill_steps[-1]
        assert code == cls.EXIT if last else code not in (0, 1), (number, code, err)

    @staticmethod
    def answer(d):
        """The word query's answer and the phrase query's (a phrase is answered from the
        positions file when it belongs to the index in place)."""
        answers = []
        for q in (QUERY, PHRASE):
            code, out, _ = d.search(q)
            answers.append((code, out.split(b"\n")[:-1] if out else []))
        return answers

    def each_kill(self, then):
        for step in self.kill_steps + [self.kill_steps[-1] + 1]:
            d = self.fresh_old()
            try:
                self.killed(d, step)
                then(d, step)
            finally:
                d.cleanup()

    def test_a_search_answers_old_or_new(self):
        self.each_kill(lambda d, step: self.assertIn(self.answer(d), (self.old, self.new), step))

    def test_a_failing_build_then_a_search_answers_old_or_new(self):
        def then(d, step):
            d.index_cmd(self.empty, expect=1)
            self.assertIn(self.answer(d), (self.old, self.new), step)
        self.each_kill(then)

    def test_a_good_build_replaces_whatever_was_left(self):
        def then(d, step):
            d.index_cmd(FIXTURE)
            self.assertEqual(self.answer(d), self.old, step)
            self.assertFalse([n for n in os.listdir(d.index) if n.startswith("_new")], step)
        self.each_kill(then)


class KilledDiscard(KilledAtEachStep, unittest.TestCase):
    """A build that saves its new index and then fails discards it: killed before each
    delete of that discard (before the first, the saved new index waits)."""

    SYSCALL = "unlink"
    EXIT = 1

    @classmethod
    def data(cls):
        # A document that cannot be opened: the build saves the documents before it, then
        # fails and discards what it saved.
        failing = os.path.join(cls.root.root, "failing")
        shutil.copytree(DEMO, failing)
        unreadable = os.path.join(failing, "zz-unreadable.txt")
        with open(unreadable, "w") as f:
            f.write("one two three\n")
        os.chmod(unreadable, 0)
        if os.geteuid() == 0:
            open_to_all(cls.root.root)
            probe = subprocess.run(UNPRIVILEGED + [cli.CLI, "--version"], capture_output=True)
            if probe.returncode != 0:
                raise unittest.SkipTest("norvel-cli cannot run as an unprivileged user here: "
                                        + probe.stderr.decode(errors="replace").strip())
            cls.PREFIX = UNPRIVILEGED
        return failing

    @classmethod
    def steps(cls, calls):
        # Saved once its statistics stand under their name; the deletes after are the
        # discard's.
        saved = max(i for i, (name, args, ok) in enumerate(calls)
                    if ok and (name.startswith("rename") or "O_WRONLY" in args)
                    and base(strings(args)[-1 if name.startswith("rename") else 0])
                    == "_newstats.dat")
        unlinks = [i for i, (name, _, _) in enumerate(calls) if name == "unlink"]
        return [n + 1 for n, i in enumerate(unlinks) if i > saved]

    @classmethod
    def new_step(cls):
        return cls.kill_steps[0]


class KilledSwap(KilledAtEachStep, unittest.TestCase):
    """A good build, killed before each of its renames: the statistics given their name,
    then every rename of the swap."""

    SYSCALL = "rename"
    EXIT = 0

    @classmethod
    def data(cls):
        return DEMO

    @classmethod
    def steps(cls, calls):
        renames = [name for name, _, _ in calls if name == "rename"]
        return list(range(1, len(renames) + 1))

    @classmethod
    def new_step(cls):
        return cls.kill_steps[-1] + 1


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--settings-test")
    parser.add_argument("--runner")
    args, rest = parser.parse_known_args()
    cli.CLI = os.path.abspath(args.cli)
    cli.RUNNER = args.runner
    SETTINGS_TEST = args.settings_test and os.path.abspath(args.settings_test)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
