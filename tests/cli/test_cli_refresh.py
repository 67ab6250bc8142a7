"""Black-box tests of norvel-cli refresh, the scheduled export and rebuild, against the
stand-in client library: settings from norvel.ini, the password from a file, entries
exported, the index swapped in; a second refresh while one runs is refused, also from
another application directory sharing the index directory.

usage: test_cli_refresh.py --cli PATH [--runner WRAPPER]   (as test_cli_export.py)
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import test_cli_export as ar
from test_cli_export import native_path, run

CASES = """schema Test:Cases
field 1 char "Request ID" max=15
field 8 char "Short Description" max=128
"""


class Refresh(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="norvel-cli-refresh-")
        self.data = os.path.join(self.tmp, "data")
        self.index = os.path.join(self.tmp, "index")
        self.password_file = os.path.join(self.tmp, "password")
        with open(self.password_file, "w") as f:
            f.write("demo\n")
        os.chmod(self.password_file, 0o600)

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def app_dir(self, name="app", schemas=("HPD:Case",), query="'1' LIKE \"%\""):
        """An application directory whose norvel.ini is what the dialog's Done saves."""
        app = os.path.join(self.tmp, name)
        os.mkdir(app)
        lines = ["index_dir=" + native_path(self.index)]
        if schemas:
            lines += ["server_name=demo", "user_id=demo",
                      "schema_list_num=%d" % len(schemas)]
            lines += ["schema=" + s for s in schemas]
            lines += ["query=" + query, "max_records=1000"]
        lines += ["data_dir=" + native_path(self.data)]
        with open(os.path.join(app, "norvel.ini"), "w", newline="") as f:
            f.write("".join(line + "\r\n" for line in lines))
        return app

    def refresh(self, app, expect=0, env=None):
        return run(["refresh", "--app-dir", native_path(app),
                    "--password-file", native_path(self.password_file)], env=env, expect=expect)

    def search(self, app, query):
        return run(["search", "--app-dir", native_path(app), native_path(self.index), query])

    def test_refresh_exports_the_saved_schemas_and_swaps_the_new_index_in(self):
        app = self.app_dir(schemas=("HPD:Case", "KB:Known Issue"))
        _, out, _ = self.refresh(app)
        self.assertRegex(out, r"^Refreshed: \d+ entries exported from 2 of 2 schemas, "
                              r"\d+ documents indexed in \d+\.\d\d seconds\.\n$")
        exported = int(re.match(r"Refreshed: (\d+)", out).group(1))
        self.assertEqual(len(os.listdir(self.data)), exported)
        code, found, _ = self.search(app, "+printer")
        self.assertEqual(code, 0)
        self.assertTrue(found.split())
        self.assertFalse([n for n in os.listdir(self.index) if n.startswith("_new")])
        # A second desk with its own application directory reads the same index.
        other = self.app_dir("desk2", schemas=())
        self.assertEqual(self.search(other, "+printer")[1], found)

    def test_without_ar_settings_it_only_rebuilds_the_index(self):
        os.mkdir(self.data)
        with open(os.path.join(self.data, "note.txt"), "w") as f:
            f.write("a printer note\n")
        app = self.app_dir(schemas=())
        _, out, _ = run(["refresh", "--app-dir", native_path(app)], expect=0)
        self.assertIn("Refreshed: 0 entries exported from 0 of 0 schemas, 1 documents", out)
        self.assertEqual(self.search(app, "printer")[1], "note.txt\n")

    def test_a_refused_login_exports_nothing_and_exits_1(self):
        app = self.app_dir()
        with open(self.password_file, "w") as f:
            f.write("wrong\n")
        _, out, err = self.refresh(app, expect=1)
        self.assertIn("Authentication failed", err)
        # Nothing to index in an empty data directory: the build fails as well.
        self.assertIn("refresh failed; the current index is unchanged", err)
        self.assertEqual(out, "")

    def test_a_second_refresh_while_one_runs_is_refused(self):
        folder = os.path.join(self.tmp, "servers", "demo")
        os.makedirs(folder)
        with open(os.path.join(folder, "server.txt"), "w") as f:
            f.write("user demo demo\nhold ARGetEntry entry=C2\n")
        with open(os.path.join(folder, "test.schema"), "w") as f:
            f.write(CASES + "entry\nset 1 C1\nentry\nset 1 C2\nentry\nset 1 C3\n")
        env = dict(os.environ, ARSIM_SERVERS=native_path(os.path.join(self.tmp, "servers")))
        app = self.app_dir(schemas=("Test:Cases",))
        held = os.path.join(folder, "ARGetEntry.held")
        cmd = ([ar.RUNNER] if ar.RUNNER else []) + [ar.CLI, "refresh", "--app-dir",
                                                    native_path(app), "--password-file",
                                                    native_path(self.password_file)]
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            first = subprocess.Popen(cmd, stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                     env=env)
            try:
                deadline = time.monotonic() + 300
                while not os.path.exists(held) and first.poll() is None:
                    self.assertLess(time.monotonic(), deadline, "the first refresh never got going")
                    time.sleep(0.05)
                self.assertTrue(os.path.exists(held))
                _, _, refused = self.refresh(app, expect=1, env=env)
                self.assertIn("Info: Indexing in progress.Please try later.", refused)
                desk2 = self.app_dir("desk2", schemas=("Test:Cases",))
                _, _, refused = self.refresh(desk2, expect=1, env=env)
                self.assertIn("Info: Indexing in progress.Please try later.", refused)
            finally:
                if os.path.exists(held):
                    os.remove(held)
                first.wait(timeout=600)
            self.assertEqual(first.returncode, 0)
        self.assertEqual(self.search(app, "c2")[1], "C2.txt\n")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--runner")
    args, rest = parser.parse_known_args()
    ar.CLI = os.path.abspath(args.cli)
    ar.RUNNER = args.runner
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
