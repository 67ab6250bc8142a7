"""Black-box tests of norvel-cli's international words: a generated corpus of German,
French, Polish, Russian and ASCII documents in UTF-8 and Windows-1252, searched with and
without accents and in any case, compared with an independent reading of the rules
(reference_intl.py); the choice kept by later builds; the same index bytes everywhere.

usage: test_cli_words.py --cli PATH [--runner WRAPPER]
"""

import argparse
import hashlib
import os
import shutil
import sys
import tempfile
import unicodedata
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import test_cli  # noqa: E402
from reference_intl import IntlReference  # noqa: E402

WORDS = {
    "de": "Drucker Büro Müller Straße Größe Äpfel Übersicht Öffnung Schlüssel Gerät "
          "Fußball Bücher häufig prüfen Zugriff Kennwort Störung",
    "fr": "café élève être garçon français hôpital naïf Noël œuvre cœur déjà réseau "
          "imprimante courriel mot-de-passe sécurité accès",
    "pl": "Zażółć gęślą jaźń łódź źródło żółw ćma Łukasz drukarka hasło sieć dostęp "
          "błąd użytkownik",
    "ru": "привет принтер пароль сеть ошибка Ёлка ёж доступ пользователь почта Москва "
          "ключ сервер",
    "en": "printer password network error access mail server user key office",
}
CP1252_LANGS = ("de", "fr", "en")
PUNCT = [" ", " ", " ", ", ", ". ", "\n", "\r\n", "; ", " (", ") ", "\t", " — ", "!"]


class Rng:
    """A small generator of its own, so that the corpus is the same on every Python."""

    def __init__(self, seed):
        self.x = seed

    def below(self, n):
        self.x = (self.x * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return (self.x >> 33) % n

    def pick(self, seq):
        return seq[self.below(len(seq))]


def vary(word, rng):
    k = rng.below(6)
    if k == 0:
        return word.upper()
    if k == 1:
        return word.lower()
    if k == 2:
        return word[:1].upper() + word[1:]
    if k == 3:  # decomposed: letters followed by combining accents
        return unicodedata.normalize("NFD", word)
    return word


def make_corpus(root, count=60):
    rng = Rng(19)
    langs = sorted(WORDS)
    for n in range(count):
        lang = langs[n % len(langs)]
        words = WORDS[lang].split()
        text = ""
        for _ in range(8 + rng.below(30)):
            text += vary(rng.pick(words), rng) + rng.pick(PUNCT)
        form = rng.below(4)
        if lang in CP1252_LANGS and form == 0:
            data = unicodedata.normalize("NFC", text).encode("cp1252", errors="replace")
        else:
            data = text.encode("utf-8")
            if form == 1:
                data = b"\xef\xbb\xbf" + data  # a byte-order mark
            elif form == 2:
                data += b" caf\xe9 na\xefve"  # stray Windows-1252 bytes in UTF-8
        with open(os.path.join(root, "%s%03d.txt" % (lang, n)), "wb") as f:
            f.write(data)


def fold_variants(word):
    bare = "".join(c for c in unicodedata.normalize("NFD", word) if not unicodedata.combining(c))
    return [word, word.upper(), word.lower(), bare, bare.upper()]


def queries():
    out = []
    for lang in sorted(WORDS):
        for word in WORDS[lang].split()[:6]:
            for v in fold_variants(word):
                out.append(v.encode("utf-8"))
                if lang in CP1252_LANGS:
                    out.append(v.encode("cp1252", errors="replace"))
    out += [b"mueller", b"strasse", b"STRASSE", b"lodz", b"zrodlo", b"+lodz -haslo",
            b"+drucker +muller -kennwort", "+ПРИНТЕР -ёж".encode(), "елка".encode(),
            b"coeur oeuvre", b"-cafe", b"cafe +naive", b"imprimante +reseau", b"mot-de-passe"]
    return out


def ansi_only(query):
    """Whether a query survives a Windows program's ANSI (Windows-1252) arguments."""
    try:
        query.decode("utf-8").encode("cp1252")
        return True
    except UnicodeError:
        return False


def sha256_of(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


# The international index of the generated corpus, as every build must write it.
CORPUS_INDEX_SHA256 = {
    "_stats.dat": "bd940caa8c95d52722d05208e327d5f41a775b52099dd13c5192885a76216141",
    "_ndxwrds.dat": "b31c6e4da2bdc6685aac28146024fe623979c98e16fbc62a894020bfa76682e7",
    "_ndxfile.dat": "28bb9de90f101f8c840036d278ba29f5bd092a8170aa1dbb983148bce06e3926",
    "_file0.dat": "ae81167f0b4e040af383576d7c4d73f9f9bd79d6ce30bbc2b5123376a9225386",
}


class InternationalWords(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="norvel-words-")
        cls.data = os.path.join(cls.root, "data")
        os.mkdir(cls.data)
        make_corpus(cls.data)
        cls.d = test_cli.Dirs()
        with open(os.path.join(cls.d.app, "xcludelist.ini"), "wb") as f:
            f.write("DER und Über\n".encode("utf-8"))
        test_cli.run(["index", "--app-dir", cls.d.app, "--words=international", cls.data,
                      cls.d.index], 0)
        cls.ref = IntlReference(cls.data, cls.d.app)

    @classmethod
    def tearDownClass(cls):
        cls.d.cleanup()
        shutil.rmtree(cls.root, ignore_errors=True)

    def check_queries(self):
        checked = 0
        for q in queries():
            if test_cli.RUNNER and not ansi_only(q):
                continue
            code, out, err = self.d.search(q)
            got = out.split(b"\n")[:-1] if out else []
            self.assertEqual(got, self.ref.search(q), "query %r: exit %d, %r" % (q, code, err))
            checked += 1
        self.assertGreater(checked, 50)

    def test_results_agree_with_the_independent_reading(self):
        self.assertTrue(self.ref.search("müller".encode()))
        self.assertEqual(self.ref.search(b"muller"), self.ref.search(b"M\xdcLLER"))
        self.check_queries()

    def test_the_choice_is_recorded_and_kept_by_a_later_build(self):
        with open(os.path.join(self.d.index, "_words.ini"), "rb") as f:
            self.assertEqual(f.read(), b"words=international\r\n")
        before = {n: sha256_of(os.path.join(self.d.index, n)) for n in test_cli.INDEX_FILES}
        self.d.index_cmd(self.data)  # no --words: the recorded choice holds
        after = {n: sha256_of(os.path.join(self.d.index, n)) for n in test_cli.INDEX_FILES}
        self.assertEqual(before, after)
        self.check_queries()

    def test_identical_index_bytes_on_every_platform(self):
        got = {n: sha256_of(os.path.join(self.d.index, n)) for n in test_cli.INDEX_FILES}
        self.assertEqual(got, CORPUS_INDEX_SHA256)

    def test_switching_back_to_ascii(self):
        d = test_cli.Dirs()
        try:
            test_cli.run(["index", "--app-dir", d.app, "--words=international", self.data,
                          d.index], 0)
            self.assertTrue(d.search(b"muller")[1])
            test_cli.run(["index", "--app-dir", d.app, "--words=ascii", self.data, d.index], 0)
            with open(os.path.join(d.index, "_words.ini"), "rb") as f:
                self.assertEqual(f.read(), b"words=ascii\r\n")
            self.assertEqual(d.search(b"muller")[0], 1)  # 'M\xfcller' is 'm' and 'ller' now
            self.assertEqual(d.search(b"ller")[0], 0)
        finally:
            d.cleanup()

    def test_phrases_and_prefixes_follow_the_international_rules(self):
        d = test_cli.Dirs()
        data = os.path.join(d.root, "data")
        os.mkdir(data)
        docs = {"a.txt": "Der Drucker im Büro von Herrn Müller klemmt.".encode("utf-8"),
                "b.txt": "Herrn MÜLLER;\r\nBüro-Drucker".encode("cp1252"),
                "c.txt": "Müller, Herrn".encode("utf-8")}
        for name, text in docs.items():
            with open(os.path.join(data, name), "wb") as f:
                f.write(text)
        try:
            test_cli.run(["index", "--app-dir", d.app, "--words=international", data, d.index], 0)
            # Phrases are confirmed by reading the documents of the settings' data_dir.
            with open(os.path.join(d.app, "norvel.ini"), "w") as f:
                f.write("data_dir=%s\nindex_dir=%s\n" % (data, d.index))
            cases = [('"herrn muller"', b"a.txt\nb.txt\n"),
                     ('"HERRN MÜLLER"', b"a.txt\nb.txt\n"),
                     ("müll*", b"a.txt\nb.txt\nc.txt\n"),
                     ('+"herrn müller" -drucker', b"b.txt\n"),  # b's word is buro-drucker
                     ('"muller herrn" +bur*', b""),  # c alone holds the phrase
                     ('"büro von"', b"a.txt\n")]
            for query, want in cases:
                if test_cli.RUNNER and not ansi_only(query.encode("utf-8")):
                    continue
                code, out, err = d.search(query.encode("utf-8"))
                self.assertEqual(out, want, "query %s: %r" % (query, err))
        finally:
            d.cleanup()

    def test_a_quoted_international_word_needs_no_data_directory(self):
        """'"Müller"' is one token by the international rules: a word, which the index
        answers alone, not a phrase whose documents must be read."""
        query = '"Müller"'.encode("utf-8")
        if test_cli.RUNNER and not ansi_only(query):
            self.skipTest("the query is not in the code page")
        code, out, err = self.d.search(query)  # no --data, no norvel.ini
        self.assertEqual((code, out), (0, self.d.search(b"muller")[1]), err)
        self.assertTrue(out)

    def test_an_index_without_a_choice_has_no_choice_file(self):
        d = test_cli.Dirs()
        try:
            d.index_cmd(self.data)
            self.assertFalse(os.path.exists(os.path.join(d.index, "_words.ini")))
            _, _, err = test_cli.run(["index", "--words=greek", self.data, d.index], 2)
            self.assertIn("--words takes ascii or international", err)
        finally:
            d.cleanup()

    def test_unknown_recorded_rules_are_refused_by_readers(self):
        d = test_cli.Dirs()
        try:
            test_cli.run(["index", "--app-dir", d.app, "--words=international", self.data,
                          d.index], 0)
            with open(os.path.join(d.index, "_words.ini"), "wb") as f:
                f.write(b"words=klingon\r\n")
            _, _, err = d.search(b"muller", expect=2)
            self.assertIn("readIndexIntoMem():Unknown word rules in _words.ini.", err)
        finally:
            d.cleanup()


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--runner")
    args, rest = parser.parse_known_args()
    test_cli.CLI, test_cli.RUNNER = os.path.abspath(args.cli), args.runner
    unittest.main(argv=[sys.argv[0]] + rest)
