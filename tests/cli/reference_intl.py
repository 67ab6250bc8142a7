"""An independent reading of the international word rules, for comparing norvel-cli's
answers with: which documents a query finds, in result order.

Written from the rules alone, with Python's own Unicode data (unicodedata), sharing no
code or tables with the engine:
- a document's text ends at its first byte 0x1A; its bytes are read as UTF-8 where they
  form valid UTF-8 and as Windows-1252 where they do not (bytes that code page leaves
  undefined stand for the control character of their number);
- a token is a maximal run of letters (any L category), decimal digits, combining marks,
  '-' and '_'; it is a word when it begins with a letter and its folded UTF-8 form has at
  most 254 bytes;
- folding: case folded (str.casefold), decomposed (NFD), combining diacritics dropped, and
  the Latin letters Unicode does not decompose spelt with their base letters;
- queries as by the ASCII rules (reference.py), each word folded the same way.
"""

import codecs
import os
import unicodedata

from reference import combine

# Latin letters without a decomposition, as a reader of these languages folds them.
EXTRA = {"æ": "ae", "œ": "oe", "ø": "o", "ł": "l", "đ": "d", "ð": "d", "þ": "th", "ħ": "h",
         "ı": "i", "ŧ": "t", "ŀ": "l"}
DIACRITICS = [(0x0300, 0x036F), (0x1AB0, 0x1AFF), (0x1DC0, 0x1DFF), (0x20D0, 0x20FF),
              (0xFE20, 0xFE2F)]


def _cp1252(byte):
    try:
        return bytes([byte]).decode("cp1252")
    except UnicodeDecodeError:
        return chr(byte)


def _bad_bytes(err):
    return "".join(_cp1252(b) for b in err.object[err.start:err.end]), err.end


codecs.register_error("norvel-cp1252", _bad_bytes)


def decode(data):
    return data.decode("utf-8", errors="norvel-cp1252")


def char_class(c):
    cat = unicodedata.category(c)
    if cat.startswith("L"):
        return 1
    if cat == "Nd" or cat.startswith("M") or c in "-_":
        return 2
    return 0


def fold_char(c):
    for _ in range(4):
        s = unicodedata.normalize("NFD", c.casefold())
        s = "".join(x for x in s if not any(lo <= ord(x) <= hi for lo, hi in DIACRITICS))
        s = "".join(EXTRA.get(x, x) for x in s)
        if s == c:
            break
        c = s
    return c


def fold(text):
    return "".join(fold_char(c) if char_class(c) else c for c in text).encode("utf-8")


def words_of(data):
    text = decode(data.split(b"\x1a", 1)[0])
    words, token = set(), []
    for c in text + " ":
        if char_class(c):
            token.append(c)
            continue
        if token and char_class(token[0]) == 1:
            w = fold("".join(token))
            if len(w) <= 254:
                words.add(w)
        token = []
    return words


class IntlReference:
    def __init__(self, data_dir, app_dir=None):
        root = os.fsencode(data_dir)
        names = sorted(n for n in os.listdir(root)
                       if n.lower().endswith(b".txt") and os.path.isfile(os.path.join(root, n)))
        self.names, self.postings = [], {}
        for name in names:
            with open(os.path.join(root, name), "rb") as f:
                data = f.read()
            if not data:
                continue
            self.names.append(name)
            for w in words_of(data):
                self.postings.setdefault(w, set()).add(len(self.names))
        self.excluded = set()
        if app_dir and os.path.exists(os.path.join(app_dir, "xcludelist.ini")):
            with open(os.path.join(app_dir, "xcludelist.ini"), "rb") as f:
                self.excluded = words_of(f.read())
        for w in self.excluded:
            self.postings.pop(w, None)

    def search(self, query):
        """File names (bytes) found by the query (bytes), in result order."""
        query = query[:255].split(b"\0", 1)[0]
        any_words, include, exclude = [], [], []
        for token in query.split(b" "):
            if not token:
                continue
            group, word = any_words, token
            if token[:1] == b"+":
                group, word = include, token[1:]
            elif token[:1] == b"-":
                group, word = exclude, token[1:]
            word = fold(decode(word))
            if word not in self.excluded:
                group.append(word)
        return combine(self.postings, self.names, any_words, include, exclude)
