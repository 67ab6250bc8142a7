#!/usr/bin/env python3
"""Index build and query latency of norvel against SQLite FTS5 and ripgrep, in one run.

Usage: bench/run.py [--corpus DIR] [--repeat N] [--builds N] [--builds-only] [--bin DIR]
                    [--wine-cli EXE]
With --wine-cli, the Windows build's norvel-cli.exe indexes the same corpus under Wine in
the same run (wall seconds of the whole command, Wine's start included, and its peak memory).
The default corpus is Debian's linux-doc flattened by bench/make-corpus.sh. Prints one
table with ratios; nothing here asserts a time.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

ONE_WORD = ["kernel", "memory", "interrupt", "scheduler", "firmware", "bluetooth", "hugepage"]
THREE_WORDS = ["memory device driver", "cpu cache flush", "usb power suspend", "network socket buffer"]
PLUS_MINUS = ["+memory +device -usb", "+kernel +module -firmware", "+interrupt +timer -arm"]
# Phrases of two common words and proximity groups: both answer from token positions
# (Norvel's positions file, FTS5's index built with detail=full), each query with the FTS5
# query of the same meaning ("a b"~N is NEAR(a b, N): at most N tokens between them).
PHRASES = ['"device driver"', '"memory management"', '"the kernel"', '"of the"']
PROXIMITY = [('"device driver"~5', 'NEAR("device" "driver", 5)'),
             ('"memory management"~3', 'NEAR("memory" "management", 3)'),
             ('"kernel module"~10', 'NEAR("kernel" "module", 10)'),
             ('"the of"~2', 'NEAR("the" "of", 2)')]


def processor_speeds():
    """Each processor's speed at a fixed loop, against the fastest's. On a shared virtual
    machine one processor may run at a fraction of the other's speed for minutes: a build on
    two threads then loses what a build on one (FTS5's) does not, and its ratios say so."""
    loop = "import time\nt = time.perf_counter()\nx = 0\nfor i in range(3000000): x += i\n" \
           "print(time.perf_counter() - t)"
    seconds = {}
    for cpu in sorted(os.sched_getaffinity(0)):
        seconds[cpu] = float(subprocess.run(
            [sys.executable, "-c", loop], check=True, capture_output=True, text=True,
            preexec_fn=lambda cpu=cpu: os.sched_setaffinity(0, {cpu})).stdout)
    fastest = min(seconds.values())
    return ", ".join("cpu%d %.2f" % (cpu, fastest / t) for cpu, t in seconds.items())


def fts5_query(q):
    """The same query in FTS5's syntax: plain words OR-ed, + as AND, - as NOT."""
    words = q.split()
    plain = [w for w in words if w[0] not in "+-"]
    must = [w[1:] for w in words if w[0] == "+"]
    must_not = [w[1:] for w in words if w[0] == "-"]
    expr = " AND ".join(['"%s"' % w for w in must]) if must else " OR ".join('"%s"' % w for w in plain)
    for w in must_not:
        expr += ' NOT "%s"' % w
    return expr


def rg_query(q, corpus):
    """A ripgrep pipeline with the same meaning, run as a shell command."""
    words = q.split()
    plain = [w for w in words if w[0] not in "+-"]
    must = [w[1:] for w in words if w[0] == "+"]
    must_not = [w[1:] for w in words if w[0] == "-"]
    if plain:
        cmd = "rg -l -i -w -F %s %s" % (" ".join("-e %s" % w for w in plain), corpus)
    else:
        cmd = "rg -l -i -w -F -e %s %s" % (must[0], corpus)
        must = must[1:]
    for w in must:
        cmd += " | xargs -r -d '\\n' rg -l -i -w -F -e %s" % w
    for w in must_not:
        cmd += " | xargs -r -d '\\n' rg --files-without-match -i -w -F -e %s" % w
    return cmd + " | wc -l"


def run(cmd):
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


def samples(output):
    """Per query line 'results ms ms ...' -> (all samples, result counts)."""
    all_ms, counts = [], []
    for line in output.split("\n"):
        if line.strip():
            parts = line.split()
            counts.append(int(parts[0]))
            all_ms += [float(x) for x in parts[1:]]
    return all_ms, counts


def pct(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100 * (len(values) - 1))))]


def dir_size(path):
    return sum(os.path.getsize(os.path.join(path, f)) for f in os.listdir(path))


def wine_build(exe, corpus, work):
    """(seconds, peak KB) of one `norvel-cli.exe index` of the corpus under Wine."""
    wine = os.path.join(ROOT, "scripts", "wine-run.sh")
    win = lambda p: run([wine, "--path", p]).strip()
    index, app = os.path.join(work, "wine-index"), os.path.join(work, "wine-app")
    os.makedirs(index, exist_ok=True)
    os.makedirs(app, exist_ok=True)
    stats = os.path.join(work, "wine-time")
    subprocess.run(["/usr/bin/time", "-f", "%e %M", "-o", stats, wine, exe, "index", "--app-dir", win(app),
                    win(corpus), win(index)], check=True, capture_output=True)
    sec, kb = open(stats).read().split()[-2:]
    return float(sec), int(kb)


def phrase_table(args, nb, fb, corpus, index, app, db):
    """Phrase and proximity latency: norvel against FTS5 phrase and NEAR queries over an
    index with positions (db, detail=full)."""
    repeat = max(3, args.repeat // 4)
    print("\n| phrase, group (ms) | results | norvel p50 | norvel p95 | FTS5 p50 | FTS5 p95 | norvel/FTS5 p50 |")
    print("|---|---|---|---|---|---|---|")
    for q, f in [(p, p) for p in PHRASES] + PROXIMITY:
        n_ms, n_counts = samples(run([nb, "phrase", index, app, corpus, str(repeat), q]))
        f_ms, f_counts = samples(run([fb, "query", db, str(repeat), f]))
        n50, f50 = pct(n_ms, 50), pct(f_ms, 50)
        print("| %s | %d / %d | %.2f | %.2f | %.2f | %.2f | %.2fx |" % (
            q.replace('"', "'"), n_counts[0], f_counts[0], n50, pct(n_ms, 95), f50, pct(f_ms, 95),
            n50 / max(f50, 1e-6)))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--corpus", default=None)
    ap.add_argument("--repeat", type=int, default=200)
    ap.add_argument("--rg-repeat", type=int, default=3)
    ap.add_argument("--builds", type=int, default=3, help="builds of each index; the best counts")
    ap.add_argument("--bin", default=os.path.join(ROOT, "build", "linux", "bin"))
    ap.add_argument("--builds-only", action="store_true", help="the build table alone")
    ap.add_argument("--wine-cli", default=None, help="a Windows norvel-cli.exe to time under Wine")
    args = ap.parse_args()
    corpus = args.corpus or run([os.path.join(ROOT, "bench", "make-corpus.sh")]).strip()
    corpus = os.path.abspath(corpus)
    work = tempfile.mkdtemp(prefix="norvel-bench-")
    try:
        app, index, db = (os.path.join(work, n) for n in ("app", "index", "fts.db"))
        intl_index = os.path.join(work, "index-intl")
        os.makedirs(app)
        os.makedirs(index)
        os.makedirs(intl_index)
        nb, fb = os.path.join(args.bin, "norvel_bench"), os.path.join(args.bin, "fts5_bench")

        # Every build reads a corpus already in the page cache; each takes its best of N runs.
        # The floor is listing, opening, reading and closing every document on the build's
        # threads with no other work: each build is read as a ratio to it.
        subprocess.run("cat %s/*.txt > /dev/null" % corpus, shell=True, check=True)
        best = lambda runs: min(runs, key=lambda r: float(r[2]))
        full_db = os.path.join(work, "fts-positions.db")
        plain_index, plain_intl = (os.path.join(work, n) for n in ("index-plain", "index-intl-plain"))
        os.makedirs(plain_index)
        os.makedirs(plain_intl)
        commands = {
            "floor": [nb, "floor", corpus],
            "norvel": [nb, "build", corpus, index, app],
            "plain": [nb, "build", corpus, plain_index, app, "no-positions"],
            "intl": [nb, "build", corpus, intl_index, app, "international"],
            "intl-plain": [nb, "build", corpus, plain_intl, app, "international", "no-positions"],
            "fts": [fb, "build", corpus, db],
            "fts-full": [fb, "build-positions", corpus, full_db],
        }
        # Taken in turn, so that a machine busy with other work slows each of them alike.
        runs = {k: [] for k in commands}
        speeds_before = processor_speeds()
        for _ in range(args.builds):
            for k, cmd in commands.items():
                runs[k].append(run(cmd).split())
        files, size = runs["norvel"][0][0], int(runs["norvel"][0][1])
        # (wall seconds, peak KB, CPU seconds) of the best run of each.
        m = {k: (float(r[2]), int(r[3]), float(r[4]) if len(r) > 4 else None)
             for k, r in ((k, best(v)) for k, v in runs.items())}
        n_size, f_size, ff_size = dir_size(index), os.path.getsize(db), os.path.getsize(full_db)
        pos_size = os.path.getsize(os.path.join(index, "_positions.dat"))
        mb = size / 1e6
        print("Corpus: %s files, %.1f MB (%s)" % (files, mb, corpus))
        print("Processors, each one's speed against the fastest's: before the builds %s; "
              "after them %s\n" % (speeds_before, processor_speeds()))
        print("| build | seconds | MB/s | CPU seconds | peak memory | index size | x floor |")
        print("|---|---|---|---|---|---|---|")

        def row(name, v, isize):
            print("| %s | %.3f | %.0f | %s | %.0f MB | %s | %.2fx |" % (
                name, v[0], mb / v[0], "%.3f" % v[2] if v[2] is not None else "", v[1] / 1024,
                isize, v[0] / m["floor"][0]))
        row("floor: list, open, read, close", m["floor"], "")
        row("norvel (with positions)", m["norvel"],
            "%.1f MB (positions %.1f MB)" % (n_size / 1e6, pos_size / 1e6))
        row("norvel without positions", m["plain"], "%.1f MB" % (dir_size(plain_index) / 1e6))
        row("norvel, international words", m["intl"], "%.1f MB" % (dir_size(intl_index) / 1e6))
        row("norvel, international words, without positions", m["intl-plain"],
            "%.1f MB" % (dir_size(plain_intl) / 1e6))
        row("SQLite FTS5 detail=none", m["fts"], "%.1f MB" % (f_size / 1e6))
        row("SQLite FTS5 detail=full", m["fts-full"], "%.1f MB" % (ff_size / 1e6))
        if args.wine_cli:
            w_runs = [wine_build(args.wine_cli, corpus, work) for _ in range(args.builds)]
            w_sec, w_kb = min(w_runs)
            row("norvel-cli.exe under Wine", (w_sec, w_kb, None), "")
        ratio = lambda a, b: m[a][0] / m[b][0]
        print("\n| ratio | seconds | |")
        print("|---|---|---|")
        print("| international/ASCII words | %.2fx | without positions %.2fx |" % (
            ratio("intl", "norvel"), ratio("intl-plain", "plain")))
        print("| with/without positions | %.2fx | peak memory %.2fx |" % (
            ratio("norvel", "plain"), m["norvel"][1] / m["plain"][1]))
        print("| FTS5 detail=none/norvel | %.2fx | index size %.2fx |" % (ratio("fts", "norvel"), f_size / n_size))
        print("| FTS5 detail=full/norvel | %.2fx | positions/FTS5 whole: %.2fx |\n" % (
            ratio("fts-full", "norvel"), pos_size / ff_size))

        if args.builds_only:
            return
        print("| query (ms) | norvel p50 | norvel p95 | FTS5 p50 | FTS5 p95 | ripgrep p50 | FTS5/norvel p50 | rg/norvel p50 |")
        print("|---|---|---|---|---|---|---|---|")
        for name, queries in (("1 word", ONE_WORD), ("3 words", THREE_WORDS), ("+/-", PLUS_MINUS)):
            n_ms, n_counts = samples(run([nb, "query", index, app, str(args.repeat)] + queries))
            f_ms, f_counts = samples(run([fb, "query", db, str(args.repeat)] + [fts5_query(q) for q in queries]))
            rg_ms = []
            for q in queries:
                for _ in range(args.rg_repeat):
                    t0 = time.perf_counter()
                    subprocess.run(rg_query(q, corpus), shell=True, check=True, capture_output=True)
                    rg_ms.append((time.perf_counter() - t0) * 1000)
            n50, f50, r50 = pct(n_ms, 50), pct(f_ms, 50), pct(rg_ms, 50)
            print("| %s | %.3f | %.3f | %.3f | %.3f | %.1f | %.1fx | %.0fx |" % (
                name, n50, pct(n_ms, 95), f50, pct(f_ms, 95), r50, f50 / n50, r50 / n50))
            print("|  results norvel / FTS5 | %s | | %s | | | | |" % (
                "/".join(map(str, n_counts)), "/".join(map(str, f_counts))), file=sys.stderr)
        phrase_table(args, nb, fb, corpus, index, app, full_db)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
