"""An independent reading of Norvel's word rules and query semantics, for comparing
norvel-cli's answers with: which documents a query finds, in result order.

Written from the rules alone, sharing no code with the engine:
- documents are the non-empty regular files of the data directory whose names end in
  .txt (any letter case), numbered in byte order of their names;
- a document's text ends at its first byte 0x1A;
- a token is a maximal run of 0-9, A-Z, a-z, '-' and '_'; it is a word when it has at
  most 254 characters and begins with a letter; words are compared with A-Z folded;
- the exclusion list is the words of xcludelist.ini, by the same rules;
- a query is cut at blanks only; '+word' must occur, '-word' must not, other words are
  alternatives; excluded words are dropped; AllnAny words that occur nowhere find nothing,
  Include words alone find the documents holding all of them.
"""

import os
import re

TOKEN = re.compile(rb"[0-9A-Za-z_-]+")


def fold(word):
    return word.lower()  # bytes.lower() folds A-Z only


def words_of(data):
    data = data.split(b"\x1a", 1)[0]
    return {fold(t) for t in TOKEN.findall(data) if len(t) <= 254 and t[:1].isalpha()}


class Reference:
    def __init__(self, data_dir, app_dir=None):
        root = os.fsencode(data_dir)
        names = sorted(
            n for n in os.listdir(root)
            if n.lower().endswith(b".txt") and os.path.isfile(os.path.join(root, n))
        )
        self.names = []  # bytes, in file-number order
        self.postings = {}
        for name in names:
            with open(os.path.join(root, name), "rb") as f:
                data = f.read()
            if not data:
                continue
            self.names.append(name)
            number = len(self.names)
            for w in words_of(data):
                self.postings.setdefault(w, set()).add(number)
        self.excluded = set()
        if app_dir:
            path = os.path.join(app_dir, "xcludelist.ini")
            if os.path.exists(path):
                with open(path, "rb") as f:
                    self.excluded = words_of(f.read())
        for w in self.excluded:
            self.postings.pop(w, None)

    def search(self, query):
        """File names (bytes) found by the query (bytes or text), in result order."""
        if isinstance(query, str):
            query = os.fsencode(query)
        query = query[:255].split(b"\0", 1)[0]
        any_words, include, exclude = [], [], []
        for token in query.split(b" "):
            if not token:
                continue
            token = fold(token)
            group, word = any_words, token
            if token[:1] == b"+":
                group, word = include, token[1:]
            elif token[:1] == b"-":
                group, word = exclude, token[1:]
            if word in self.excluded:
                continue
            group.append(word)
        return combine(self.postings, self.names, any_words, include, exclude)


def combine(postings, names, any_words, include, exclude):
    """The names of the documents with any of any_words (or, without them, every include
    word), all include words and no exclude word, in file-number order; none when only
    exclude words are left."""
    if not any_words and not include:
        return []
    docs = lambda w: postings.get(w, set())
    if any_words:
        found = set().union(*(docs(w) for w in any_words))
        if not found:
            return []
    else:
        found = set(docs(include[0]))
    for w in include:
        found &= docs(w)
    for w in exclude:
        found -= docs(w)
    return [names[n - 1] for n in sorted(found)]
