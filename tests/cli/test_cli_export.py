"""Black-box tests of norvel-cli's AR commands (schemas, export) against the stand-in
client library and its demo server: listings, entry files, failures with their log lines,
the password kept off the command line and out of the log, and export, index, search.

usage: test_cli_export.py --cli PATH [--runner WRAPPER]
  (WRAPPER runs a Windows build, and "WRAPPER --path P" names P as Windows programs see it)
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_cli import wine_dropped  # noqa: E402

CLI = None
RUNNER = None
RUNNER_GIVEN = "--runner" in sys.argv  # known before the test classes are made

# A schema for a server of the test's own; its entries follow.
CASES_SCHEMA = """schema "Test:Cases"
field 1 char "Request ID" max=15
field 8 char "Short Description" max=30000
"""


def native_path(path):
    """The path as the program sees it (a Windows path under Wine)."""
    if not RUNNER:
        return path
    return subprocess.run([RUNNER, "--path", path], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, check=True).stdout.decode().strip()


def run(args, stdin=b"", env=None, expect=None, preexec_fn=None):
    """Runs norvel-cli; stdin is the bytes of its standard input or an open file."""
    cmd = ([RUNNER] if RUNNER else []) + [CLI] + args
    full_env = dict(os.environ)
    full_env.update(env or {})
    feed = {"input": stdin} if isinstance(stdin, bytes) else {"stdin": stdin}
    # A standard input of bytes can be given again (see wine_dropped); an open file cannot.
    for attempt in (1, 2) if isinstance(stdin, bytes) else (2,):
        p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=full_env,
                           timeout=600, preexec_fn=preexec_fn, **feed)
        if attempt == 2 or not wine_dropped(RUNNER, args, p.returncode, p.stdout, p.stderr):
            break
    out = p.stdout.replace(b"\r\n", b"\n").decode("latin-1")
    err = p.stderr.replace(b"\r\n", b"\n").decode("latin-1")
    if expect is not None and p.returncode != expect:
        raise AssertionError("%s exited %d, not %d\nstdout: %s\nstderr: %s"
                             % (args, p.returncode, expect, out[:2000], err[:2000]))
    return p.returncode, out, err


class ArCommands(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="norvel-cli-ar-")
        self.app = os.path.join(self.tmp, "app")
        os.mkdir(self.app)
        self.data = os.path.join(self.tmp, "data")
        self.password_file = os.path.join(self.tmp, "password")
        with open(self.password_file, "w") as f:
            f.write("demo\n")

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def connection(self, password_file=None):
        return ["--server", "demo", "--user", "demo", "--app-dir", native_path(self.app),
                "--password-file", native_path(password_file or self.password_file)]

    def log(self):
        path = os.path.join(self.app, "norvel_log.txt")
        if not os.path.exists(path):
            return ""
        with open(path, "rb") as f:
            return f.read().decode("latin-1")

    def export(self, *args, expect=0, env=None, data=None, preexec_fn=None, **kw):
        return run(["export"] + self.connection(**kw) +
                   ["--data-dir", native_path(data or self.data)] + list(args), expect=expect,
                   env=env, preexec_fn=preexec_fn)

    def serve(self, schema):
        """A server "demo" (login demo/demo) of this one schema, in place of the bundled
        demo server: the environment that makes the client library serve it."""
        folder = os.path.join(self.tmp, "servers", "demo")
        os.makedirs(folder)
        with open(os.path.join(folder, "server.txt"), "w") as f:
            f.write("user demo demo\n")
        with open(os.path.join(folder, "test.schema"), "w") as f:
            f.write(schema)
        return {"ARSIM_SERVERS": native_path(os.path.join(self.tmp, "servers"))}

    def test_schemas_lists_the_names_in_server_order(self):
        expected = "HPD:Case\nCHG:Change Request\nKB:Known Issue\n"
        _, out, _ = run(["schemas"] + self.connection(), expect=0)
        self.assertEqual(out, expected)
        # From standard input, the first line only.
        _, out, _ = run(["schemas", "--server", "demo", "--user", "DEMO",
                         "--app-dir", native_path(self.app)], stdin=b"demo\r\nrest\n", expect=0)
        self.assertEqual(out, expected)
        _, out, _ = run(["schemas", "--server", "demo", "--user", "demo", "--password-file", "-",
                         "--app-dir", native_path(self.app)], stdin=b"demo", expect=0)
        self.assertEqual(out, expected)

    def test_a_refused_login_shows_the_box_and_the_servers_reason(self):
        wrong = os.path.join(self.tmp, "wrong")
        with open(wrong, "w") as f:
            f.write("not-the-password\n")
        _, out, err = run(["schemas"] + self.connection(wrong), expect=1)
        self.assertEqual(out, "")
        self.assertIn("Error: Export error.Please check the logs.\n", err)
        self.assertIn("norvel-cli: Authentication failed : demo\n", err)
        self.assertNotIn("not-the-password", self.log())

    def test_the_password_is_never_an_argument(self):
        _, _, err = run(["schemas", "--server", "demo", "--user", "demo", "--password", "demo"],
                        expect=2)
        self.assertIn("unknown option --password", err)
        _, _, err = run(["export", "--user", "demo", "--query", "x", "--max-records", "5",
                         "--data-dir", "d", "HPD:Case"], expect=2)
        self.assertIn("missing --server", err)
        _, _, err = run(["export", "--server", "demo", "--user", "demo", "--query", "x",
                         "--max-records", "0", "--data-dir", "d", "HPD:Case"], expect=2)
        self.assertIn("--max-records needs a number other than 0", err)
        _, out, _ = run(["export", "--help"], expect=0)
        self.assertIn("usage: norvel-cli export", out)

    def test_export_writes_entry_files_and_counts_them(self):
        _, out, _ = self.export("--query", "'Status' = \"Closed\"", "--max-records", "5",
                                "HPD:Case", "KB:Known Issue")
        self.assertEqual(out, "HPD:Case: 5 of 5 listed entries exported\n"
                              "KB:Known Issue: 5 of 5 listed entries exported\n")
        names = sorted(os.listdir(self.data))
        self.assertEqual(len(names), 10)
        self.assertTrue(all(n.endswith(".txt") for n in names))
        with open(os.path.join(self.data, names[0]), "rb") as f:
            first = f.read()
        self.assertTrue(first.startswith(b"<<Change_ID>>\r\n   CRQ") or
                        first.startswith(b"<<Request_ID>>\r\n   HD") or
                        first.startswith(b"<<Workaround_History>>\r\n   "), first[:80])
        self.assertIn(b"<<Status>>\r\n   ", first)
        self.assertNotIn("demo\n", self.log())

    def test_a_failing_schema_is_reported_and_the_others_exported(self):
        _, out, err = self.export("--query", "'Create Date' > 0", "--max-records", "3",
                                  "No:Such Form", "KB:Known Issue", expect=1)
        self.assertEqual(out, "KB:Known Issue: 3 of 3 listed entries exported\n")
        self.assertIn("Error: Export error.Please check the logs.\n"
                      "norvel-cli: Form does not exist on server : No:Such Form\n", err)
        self.assertEqual(len(os.listdir(self.data)), 3)

    def test_a_library_without_a_function_logs_its_no_proc_line(self):
        bin_dir = os.path.dirname(os.path.abspath(CLI))
        name = "arapi51.dll" if RUNNER else "libarapi51.so"
        variant = os.path.join(bin_dir, "arsim-lacking", "ARGetEntry", name)
        servers = native_path(os.path.join(bin_dir, "arsim-servers"))
        _, out, err = run(["export"] + self.connection() +
                          ["--data-dir", native_path(self.data), "--query", "'Status' = Open",
                           "--max-records", "2", "--library", native_path(variant),
                           "KB:Known Issue"], env={"ARSIM_SERVERS": servers}, expect=0)
        self.assertEqual(out, "KB:Known Issue: 2 of 2 listed entries exported\n")
        self.assertEqual(err.count("norvel-cli: APIARGetEntry():No Proc:ARGetListSchema\n"), 2)

    # It once ended the export of the schema's later entries; later it failed the export.
    # It has no file to be written: logged, counted apart and skipped, and no failure.
    def test_an_entry_without_request_id_is_skipped_without_failing_the_export(self):
        env = self.serve(CASES_SCHEMA + "entry\nset 1 N1\nentry\nset 8 \"no id\"\n"
                                        "entry\nset 1 N3\n")
        _, out, err = self.export("--query", "'Request ID' != \"x\"", "--max-records", "10",
                                  "Test:Cases", env=env, expect=0)
        self.assertEqual(out, "Test:Cases: 2 of 3 listed entries exported, "
                              "1 without a Request ID\n")
        self.assertNotIn("Error:", err)
        self.assertIn("norvel-cli: GetEntryId():Error generating file name\n", err)
        self.assertEqual(sorted(os.listdir(self.data)), ["N1.txt", "N3.txt"])

    # It once wrote nothing and reported "1 of 1 listed entries exported", exit 0.
    def test_a_data_directory_too_long_for_any_name_fails_the_export(self):
        env = self.serve(CASES_SCHEMA + "entry\nset 1 C1\n")
        # 256 characters as the program sees it: a directory Windows still finds, but with
        # no room left for a file name within the program's 259.
        data = self.data
        while len(native_path(data)) + 1 + 60 < 256:
            data = os.path.join(data, "d" * 60)
        data = os.path.join(data, "e" * (256 - len(native_path(data)) - 1))
        self.assertEqual(len(native_path(data)), 256)
        os.makedirs(data)
        _, out, err = self.export("--query", "'Request ID' = \"C1\"", "--max-records", "10",
                                  "Test:Cases", env=env, data=data, expect=1)
        self.assertEqual(out, "Test:Cases: 0 of 1 listed entries exported, 1 not written\n")
        self.assertIn("norvel-cli: GetEntryId():No room for an entry file name in ", err)
        self.assertEqual(os.listdir(data), [])

    # A write that failed midway once left a cut-off entry file, counted as exported.
    @unittest.skipIf(RUNNER_GIVEN or not hasattr(os, "fork"), "needs POSIX file size limits")
    def test_an_entry_file_that_cannot_be_written_in_full_is_removed(self):
        import resource
        import signal
        env = self.serve(CASES_SCHEMA + "entry\nset 1 BIG\nset 8 \"%s\"\nentry\nset 1 SMALL\n"
                         % ("x" * 20000))

        def small_files():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write fails instead
            resource.setrlimit(resource.RLIMIT_FSIZE, (8192, 8192))

        _, out, err = self.export("--query", "'Request ID' != \"x\"", "--max-records", "10",
                                  "Test:Cases", env=env, preexec_fn=small_files, expect=1)
        self.assertEqual(out, "Test:Cases: 1 of 2 listed entries exported, 1 not written\n")
        self.assertIn("norvel-cli: ExportEntries():Cannot write %s\n"
                      % os.path.join(self.data, "BIG.txt"), err)
        self.assertEqual(os.listdir(self.data), ["SMALL.txt"])

    # An entry file is created, never opened through a symbolic link at its name.
    @unittest.skipIf(RUNNER_GIVEN or not hasattr(os, "symlink"), "needs POSIX symbolic links")
    def test_an_entry_file_is_not_written_through_a_planted_symlink(self):
        env = self.serve(CASES_SCHEMA + "entry\nset 1 C1\nset 8 \"from the server\"\n")
        outside = os.path.join(self.tmp, "outside.txt")
        with open(outside, "wb") as f:
            f.write(b"not the program's\n")
        os.mkdir(self.data)
        os.symlink(outside, os.path.join(self.data, "C1.txt"))
        rc, out, _ = self.export("--query", "'Request ID' = \"C1\"", "--max-records", "10",
                                 "Test:Cases", env=env, expect=None)
        with open(outside, "rb") as f:
            self.assertEqual(f.read(), b"not the program's\n")
        self.assertEqual((rc, out),
                         (1, "Test:Cases: 0 of 1 listed entries exported, 1 not written\n"))

    # /dev/zero, or a standard input that never ends, was once read forever.
    @unittest.skipIf(os.name != "posix", "needs a pseudo-terminal")
    def test_a_password_typed_at_a_terminal_is_not_shown(self):
        if RUNNER:
            self.skipTest("Wine's console is no Unix terminal")
        from terminal import run_in_terminal
        shown, status = run_in_terminal(
            [CLI, "schemas", "--server", "demo", "--user", "demo", "--app-dir", self.app],
            answer_after=b"Password for demo on demo: ", answer=b"demo\n")
        self.assertEqual(status, 0)
        after_prompt = shown.split(b"Password for demo on demo: ", 1)[1]
        self.assertNotIn(b"demo", after_prompt.split(b"HPD:Case")[0])
        self.assertIn(b"HPD:Case", after_prompt)

    def test_the_password_is_one_bounded_line(self):
        def schemas(password_file=None, stdin=b""):
            options = ["--password-file", native_path(password_file)] if password_file else []
            return run(["schemas", "--server", "demo", "--user", "demo",
                        "--app-dir", native_path(self.app)] + options, stdin=stdin)

        too_long = "norvel-cli: the password must be one line of at most 1024 bytes\n"
        if os.path.exists("/dev/zero"):
            rc, out, err = schemas("/dev/zero")
            self.assertEqual((rc, out), (2, ""))
            self.assertIn(too_long, err)
        # A standard input that never ends its line (a pipe: Windows takes a character
        # device such as /dev/zero for a console).
        endless = subprocess.Popen([sys.executable, "-c",
                                    "import os\nwhile True: os.write(1, b'z' * 65536)"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            rc, _, err = schemas(stdin=endless.stdout)
        finally:
            endless.kill()
            endless.wait()
            endless.stdout.close()
        self.assertEqual(rc, 2)
        self.assertIn(too_long, err)
        # 1025 bytes without a line end: too long, from a file or standard input.
        long_file = os.path.join(self.tmp, "long")
        with open(long_file, "wb") as f:
            f.write(b"x" * 1025)
        rc, _, err = schemas(long_file)
        self.assertEqual(rc, 2)
        self.assertIn(too_long, err)
        rc, _, err = schemas(stdin=b"y" * 1025)
        self.assertEqual(rc, 2)
        self.assertIn(too_long, err)
        # The first line is all that is read: what follows it may go on and on.
        with open(long_file, "wb") as f:
            f.write(b"demo\n" + b"z" * 100000)
        rc, out, err = schemas(long_file)
        self.assertEqual((rc, out), (0, "HPD:Case\nCHG:Change Request\nKB:Known Issue\n"), err)
        # 1024 bytes are a password (a wrong one here), not an argument error.
        rc, _, err = schemas(stdin=b"w" * 1024)
        self.assertEqual(rc, 1)
        self.assertIn("norvel-cli: Authentication failed : demo\n", err)
        self.assertNotIn("w" * 30, self.log())

    def test_export_index_and_search_find_the_entries(self):
        self.export("--query", "'Short Description' LIKE \"%printer%\"", "--max-records", "1000",
                    "HPD:Case")
        exported = sorted(os.listdir(self.data))
        self.assertGreater(len(exported), 3)
        index = os.path.join(self.tmp, "index")
        run(["index", "--app-dir", native_path(self.app), native_path(self.data),
             native_path(index)], expect=0)
        _, out, _ = run(["search", "--app-dir", native_path(self.app), native_path(index),
                         "+printer"], expect=0)
        self.assertEqual(sorted(out.split()), exported)


def main():
    global CLI, RUNNER
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--runner")
    args, rest = parser.parse_known_args()
    CLI = os.path.abspath(args.cli)
    RUNNER = args.runner
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
