"""Black-box tests of the index swap as separate processes meet it: a swap killed after
any of its renames, then a search, a failing build or a successful build; searches while
another process swaps; two builds of one index directory from two application
directories. Every answer must be exactly the old documents' or the new ones', or a
clear refusal.

usage: test_cli_swap.py --cli PATH [--runner WRAPPER]   (WRAPPER runs a Windows build)
"""

import argparse
import os
import shutil
import sys
import threading
import unittest

import test_cli as cli
from test_cli import DEMO, FIXTURE, Dirs

QUERY = "the"
# The order in which a swap renames: words, postings, the file lists, statistics last.
SWAP_ORDER = ["_ndxwrds.dat", "_ndxfile.dat", "_file0.dat", "_stats.dat"]


def names(out):
    return out.split(b"\n")[:-1] if out else []


class Corpora:
    """The two corpora and the answers a clean index of each gives."""

    @classmethod
    def setUpClass(cls):
        cls.answers = {}
        for label, data in (("old", FIXTURE), ("new", DEMO)):
            d = Dirs()
            try:
                d.index_cmd(data)
                code, out, _ = d.search(QUERY)
                cls.answers[label] = (code, names(out))
            finally:
                d.cleanup()
        assert cls.answers["old"] != cls.answers["new"]

    def answer(self, d):
        code, out, err = d.search(QUERY)
        return code, names(out), err


class KilledSwap(Corpora, unittest.TestCase):
    def killed_after(self, renames):
        """An index directory holding the old index, with the new one swapped in up to
        `renames` renames, as a swap whose process was killed there leaves it."""
        d = Dirs()
        d.index_cmd(FIXTURE)
        other = Dirs()
        try:
            other.index_cmd(DEMO)
            for name in SWAP_ORDER:
                shutil.copy(os.path.join(other.index, name),
                            os.path.join(d.index, "_new" + name[1:]))
        finally:
            other.cleanup()
        for name in SWAP_ORDER[:renames]:
            os.replace(os.path.join(d.index, "_new" + name[1:]), os.path.join(d.index, name))
        return d

    def test_a_search_completes_the_swap_and_answers_with_the_new_index(self):
        for renames in range(len(SWAP_ORDER)):
            d = self.killed_after(renames)
            try:
                code, found, _ = self.answer(d)
                self.assertEqual((code, found), self.answers["new"], renames)
            finally:
                d.cleanup()

    def test_a_failing_build_completes_the_swap_before_it_fails(self):
        for renames in range(len(SWAP_ORDER)):
            d = self.killed_after(renames)
            try:
                empty = os.path.join(d.root, "empty")
                os.mkdir(empty)
                # It fails ("doIndex():Nothing to index."); what counts is what it left.
                d.index_cmd(empty, expect=1)
                code, found, _ = self.answer(d)
                self.assertEqual((code, found), self.answers["new"], renames)
            finally:
                d.cleanup()

    def test_a_successful_build_replaces_whatever_the_swap_left(self):
        for renames in range(len(SWAP_ORDER)):
            d = self.killed_after(renames)
            try:
                d.index_cmd(FIXTURE)
                code, found, _ = self.answer(d)
                self.assertEqual((code, found), self.answers["old"], renames)
                self.assertFalse([n for n in os.listdir(d.index) if n.startswith("_new")])
            finally:
                d.cleanup()


class ConcurrentProcesses(Corpora, unittest.TestCase):
    def test_searches_while_another_process_swaps_answer_old_or_new(self):
        d = Dirs()
        try:
            d.index_cmd(FIXTURE)
            rounds = 4 if cli.RUNNER else 12
            failures = []

            def rebuild():
                try:
                    for i in range(rounds):
                        d.index_cmd(DEMO if i % 2 == 0 else FIXTURE)
                except AssertionError as e:
                    failures.append(str(e))

            builder = threading.Thread(target=rebuild)
            builder.start()
            answers = 0
            while builder.is_alive() or answers == 0:
                code, found, err = self.answer(d)
                answers += 1
                if code == 2:
                    # A refusal must say so; it never happens with an index in place.
                    self.assertIn("Index", err)
                    continue
                self.assertIn((code, found), [self.answers["old"], self.answers["new"]])
            builder.join()
            self.assertEqual(failures, [])
        finally:
            d.cleanup()

    @unittest.skipIf(os.name != "posix", "locks another process's way")
    def test_one_build_per_index_directory_whatever_its_application_directory(self):
        if cli.RUNNER:
            self.skipTest("the lock is taken by a native process")
        import fcntl
        d = Dirs()
        try:
            d.index_cmd(FIXTURE)
            with open(os.path.join(d.index, "ndxlock.dat"), "a+") as lock:
                fcntl.lockf(lock, fcntl.LOCK_EX | fcntl.LOCK_NB, 1, 0)
                other_app = os.path.join(d.root, "other-app")
                os.mkdir(other_app)
                _, _, err = cli.run(["index", "--app-dir", other_app, DEMO, d.index], 1)
                self.assertIn("Info: Indexing in progress.Please try later.", err)
                # Readers are not kept out by a build.
                self.assertEqual(self.answer(d)[:2], self.answers["old"])
            d.index_cmd(DEMO)  # the lock went with its holder
            self.assertEqual(self.answer(d)[:2], self.answers["new"])
        finally:
            d.cleanup()

    def test_a_missing_application_directory_is_not_reported_as_a_build_at_work(self):
        d = Dirs()
        try:
            missing = os.path.join(d.root, "no-such-dir")
            _, _, err = cli.run(["index", "--app-dir", missing, DEMO, d.index], 1)
            self.assertIn("cannot create the indexing marker", err)
            os.mkdir(os.path.join(d.app, "isndxng.dat"))
            _, _, err = d.index_cmd(DEMO, expect=1)
            self.assertIn("cannot create the indexing marker", err)
            self.assertNotIn("Indexing in progress", err)
        finally:
            d.cleanup()


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--runner")
    args, rest = parser.parse_known_args()
    cli.CLI = os.path.abspath(args.cli)
    cli.RUNNER = args.runner
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
