"""norvel-cli search --order=relevance: the same documents as the index order, best first by
BM25 (checked against an independent computation from the documents' own tokens), pages
that walk the ranked list, and the order of an index without positions.

usage: test_cli_rank.py --cli PATH [--runner WRAPPER]
"""

import argparse
import math
import os
import random
import re
import shutil
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import test_cli  # noqa: E402

TOKEN = re.compile(rb"[0-9A-Za-z_-]+")
K1, B = 1.2, 0.75


def bm25_scores(docs, word):
    """BM25 of one word for each document, from every token of the documents."""
    tokens = {name: [t.lower() for t in TOKEN.findall(text)] for name, text in docs.items()}
    n = len(docs)
    avgdl = sum(len(t) for t in tokens.values()) / n
    df = sum(1 for t in tokens.values() if word in t)
    idf = math.log(1 + (n - df + 0.5) / (df + 0.5))
    scores = {}
    for name, t in tokens.items():
        tf = t.count(word)
        if tf:
            norm = K1 * (1 - B + B * len(t) / avgdl)
            scores[name] = idf * tf * (K1 + 1) / (tf + norm)
    return scores


class Relevance(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.d = test_cli.Dirs()
        cls.data = os.path.join(cls.d.root, "docs")
        os.mkdir(cls.data)
        rng = random.Random(25)
        filler = [b"lorem", b"ipsum", b"dolor", b"sit", b"amet", b"2024", b"_x", b"-y"]
        cls.docs = {}
        for i in range(37):
            words = [rng.choice(filler) for _ in range(rng.randint(5, 120))]
            for _ in range(rng.randint(0, 6)):
                words.insert(rng.randint(0, len(words)), b"toner")
            if i % 3 == 0:
                words[rng.randint(0, len(words) - 1)] = b"printer"
            text = b" ".join(words) + b"\n"
            name = "doc%02d.txt" % i
            cls.docs[name] = text
            with open(os.path.join(cls.data, name), "wb") as f:
                f.write(text)
        cls.d.index_cmd(cls.data)

    @classmethod
    def tearDownClass(cls):
        cls.d.cleanup()

    def names(self, query, *extra):
        _, out, _ = self.d.search(query, *extra, expect=0)
        return out.decode().split("\n")[:-1]

    def test_same_documents_best_first_by_bm25(self):
        by_index = self.names("toner")
        self.assertEqual(self.names("toner", "--order=index"), by_index)
        ranked = self.names("toner", "--order=relevance")
        self.assertEqual(sorted(ranked), by_index)
        scores = bm25_scores(self.docs, b"toner")
        self.assertEqual(sorted(scores), by_index)
        for a, b in zip(ranked, ranked[1:]):
            # Best first; equal scores by file number (names sort as the listing does).
            self.assertGreaterEqual(scores[a] + 1e-5, scores[b], (a, b))
            if abs(scores[a] - scores[b]) < 1e-9:
                self.assertLess(a, b)

    def test_pages_walk_the_ranked_list(self):
        ranked = self.names("toner printer", "--order=relevance")
        shown = []
        pages = (len(ranked) + 9) // 10
        for page in range(1, pages + 1):
            _, out, _ = self.d.search("toner printer", "--order=relevance", "--data", self.data,
                                      "--page", str(page), expect=0)
            lines = out.decode().split("\n")
            shown += [l.split(". ", 1)[1] for l in lines if re.match(r"^\d+\. ", l)]
            self.assertIn("Page=%d/%d|Total=%d" % (page, pages, len(ranked)), lines)
        self.assertEqual(shown, ranked)

    def test_without_positions_by_terms_held_then_file_number(self):
        index = os.path.join(self.d.root, "old-index")
        shutil.copytree(self.d.index, index)
        os.remove(os.path.join(index, "_positions.dat"))
        log = os.path.join(self.d.app, "norvel_log.txt")
        before = open(log, "rb").read() if os.path.exists(log) else b""
        _, out, _ = test_cli.run(["search", "--app-dir", self.d.app, "--order=relevance", index,
                                  "toner printer"], expect=0)
        held = {n: sum(w in t for w in (b"toner", b"printer"))
                for n, t in ((n, TOKEN.findall(t)) for n, t in self.docs.items())}
        expected = sorted((n for n in held if held[n]), key=lambda n: (-held[n], n))
        self.assertEqual(out.decode().split("\n")[:-1], expected)
        added = open(log, "rb").read()[len(before):].decode()
        self.assertEqual(added.count("ordered by the number of query terms"), 1, added)

    def test_a_bad_order_is_a_usage_error(self):
        _, _, err = self.d.search("toner", "--order=best", expect=2)
        self.assertIn("--order takes index or relevance", err)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--runner")
    args, rest = parser.parse_known_args()
    test_cli.CLI = os.path.abspath(args.cli)
    test_cli.RUNNER = args.runner
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
