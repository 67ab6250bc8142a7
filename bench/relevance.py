#!/usr/bin/env python3
"""Quality of the relevance order: MAP and nDCG@10 of Norvel's relevance order (BM25 with
the proximity weight), of its plain BM25 (the same without proximity), of SQLite FTS5's
bm25() over the same documents, tokens and stop words, and of file order (the design's
order: the matching documents in ascending file number), in one run.

    bench/relevance.py [--build DIR] [--stopwords FILE] [--keep DIR] COLLECTION_DIR...

A collection directory holds
    docs/        one text file per document; its name without ".txt" is the document's id
    queries.tsv  one query per line: "id<TAB>text"
    qrels.txt    TREC judgements: "query_id 0 document_id grade" (grade > 0: relevant)
bench/relevance/cranfield.py makes one of the Cranfield collection.

Every system gets the same query: the text cut into tokens by the index's word rules
(runs of A-Z, a-z, 0-9, '-', '_', folded to lower case), those that can be index words (a
letter first) and are not stop words, each once; any of them may match (Norvel's plain
terms; FTS5's OR). The stop words are Norvel's xcludelist.ini and are left out of the FTS5
queries; both count every token of a document in its length. Each run ranks at most 1,000
documents; MAP counts every relevant document of the judgements; nDCG@10 uses the grades as
gains (trec_eval's ndcg_cut).
"""

import argparse
import math
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
TOKEN = re.compile(r"[0-9A-Za-z_-]+")
DEPTH = 1000


def query_tokens(text, stop):
    out = []
    for t in TOKEN.findall(text):
        t = t.lower()
        if t[0].isalpha() and len(t) <= 254 and t not in stop and t not in out:
            out.append(t)
    return out


def read_queries(path, stop):
    queries = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if "\t" in line:
                qid, text = line.rstrip("\n").split("\t", 1)
                queries.append((qid, query_tokens(text, stop)))
    return queries


def read_qrels(path):
    qrels = {}
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 4:
                qrels.setdefault(parts[0], {})[parts[2]] = int(parts[3])
    return qrels


def average_precision(ranked, judged):
    relevant = sum(1 for g in judged.values() if g > 0)
    if relevant == 0:
        return None
    hits, total = 0, 0.0
    for k, doc in enumerate(ranked, 1):
        if judged.get(doc, 0) > 0:
            hits += 1
            total += hits / k
    return total / relevant


def ndcg(ranked, judged, cut=10):
    gains = [judged.get(doc, 0) for doc in ranked[:cut]]
    dcg = sum(max(g, 0) / math.log2(i + 2) for i, g in enumerate(gains))
    ideal = sorted((g for g in judged.values() if g > 0), reverse=True)[:cut]
    idcg = sum(g / math.log2(i + 2) for i, g in enumerate(ideal))
    return dcg / idcg if idcg > 0 else None


def norvel_runs(build, collection, queries, stop_file, work):
    """{order: {qid: [doc, ...]}} for index, bm25 and relevance."""
    app, index = os.path.join(work, "app"), os.path.join(work, "index")
    os.makedirs(app)
    shutil.copy(stop_file, os.path.join(app, "xcludelist.ini"))
    cli = os.path.join(build, "bin", "norvel-cli")
    subprocess.run([cli, "index", "--app-dir", app, os.path.join(collection, "docs"), index],
                   check=True, stdout=subprocess.DEVNULL)
    qfile = os.path.join(work, "queries.tsv")
    with open(qfile, "w") as f:
        for qid, tokens in queries:
            f.write("%s\t%s\n" % (qid, " ".join(tokens)))
    runs = {}
    for order in ("index", "bm25", "relevance"):
        out = subprocess.run([os.path.join(build, "bin", "rank_bench"), "run", index, app, qfile,
                              order, str(DEPTH)], check=True, capture_output=True, text=True)
        with open(os.path.join(work, "run." + order), "w") as f:
            f.write(out.stdout)
        run = {}
        for line in out.stdout.splitlines():
            parts = line.split()
            run.setdefault(parts[0], []).append(parts[2])
        runs[order] = run
    return runs


def fts5_run(collection, queries):
    db = sqlite3.connect(":memory:")
    db.execute("CREATE VIRTUAL TABLE docs USING fts5(name UNINDEXED, body, "
               "tokenize = \"unicode61 tokenchars '-_'\")")
    docs_dir = os.path.join(collection, "docs")
    for name in sorted(os.listdir(docs_dir)):
        if not name.endswith(".txt"):
            continue
        with open(os.path.join(docs_dir, name), "rb") as f:
            body = f.read().split(b"\x1a", 1)[0].decode("latin-1")
        db.execute("INSERT INTO docs(name, body) VALUES (?, ?)", (name[:-4], body))
    run = {}
    for qid, tokens in queries:
        if not tokens:
            continue
        match = " OR ".join('"%s"' % t for t in tokens)
        rows = db.execute("SELECT name FROM docs WHERE docs MATCH ? ORDER BY bm25(docs), rowid "
                          "LIMIT ?", (match, DEPTH)).fetchall()
        run[qid] = [r[0] for r in rows]
    return run


def evaluate(run, queries, qrels):
    aps, ndcgs = [], []
    for qid, _ in queries:
        judged = qrels.get(qid, {})
        ranked = run.get(qid, [])
        ap, n = average_precision(ranked, judged), ndcg(ranked, judged)
        if ap is not None:
            aps.append(ap)
            ndcgs.append(n)
    return sum(aps) / len(aps), sum(ndcgs) / len(ndcgs), len(aps)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("collections", nargs="+")
    parser.add_argument("--build", default=os.path.join(SOURCE, "build", "linux"))
    parser.add_argument("--stopwords", default=os.path.join(HERE, "relevance", "stopwords.txt"))
    parser.add_argument("--keep", help="leave the index and the runs in this directory")
    args = parser.parse_args()
    with open(args.stopwords) as f:
        stop = set(f.read().lower().split())
    print("%-14s %7s  %-34s %7s %8s" % ("collection", "queries", "order", "MAP", "nDCG@10"))
    for collection in args.collections:
        name = os.path.basename(os.path.normpath(collection))
        work = args.keep and os.path.join(args.keep, name) or tempfile.mkdtemp(prefix="rank-")
        if args.keep:
            shutil.rmtree(work, ignore_errors=True)
            os.makedirs(work)
        try:
            queries = read_queries(os.path.join(collection, "queries.tsv"), stop)
            qrels = read_qrels(os.path.join(collection, "qrels.txt"))
            runs = norvel_runs(args.build, collection, queries, args.stopwords, work)
            rows = [("file order (the default)", runs["index"]),
                    ("SQLite FTS5 bm25()", fts5_run(collection, queries)),
                    ("Norvel BM25 without proximity", runs["bm25"]),
                    ("Norvel relevance (--order=relevance)", runs["relevance"])]
            for label, run in rows:
                m, n, count = evaluate(run, queries, qrels)
                print("%-14s %7d  %-34s %7.4f %8.4f" % (name, count, label, m, n))
        finally:
            if not args.keep:
                shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
