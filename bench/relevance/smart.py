#!/usr/bin/env python3
"""Converts a classic test collection in the SMART format into the collection format of
bench/relevance.py:

    smart.py cranfield RAW_DIR OUT_DIR   # cran.all.1400, cran.qry, cranqrel
    smart.py cisi RAW_DIR OUT_DIR        # CISI.ALL, CISI.QRY, CISI.REL

Public GitHub repositories that hold the files: noramtboraas/information-retrieval
(Cranfield), Shakiba-Alipour/Information-Retrieval-on-CISI (CISI). OUT_DIR gets
docs/NNNN.txt (the title and text of document NNNN), queries.tsv and qrels.txt.

Cranfield (1,400 aeronautics abstracts, 225 queries): its judgements number the queries 1
to 225 in file order, whatever their .I number says; the codes 1 (a complete answer) to 4
(minimum interest) become the grades 4 to 1 and code -1 is left out. CISI (1,460 library
science abstracts, 112 queries, 76 of them judged): every judged document has grade 1.
"""

import os
import sys

FILES = {
    "cranfield": ("cran.all.1400", "cran.qry", "cranqrel"),
    "cisi": ("CISI.ALL", "CISI.QRY", "CISI.REL"),
}


def records(path):
    """(id, {field: text}) per .I record."""
    out, current, field = [], None, None
    with open(path, encoding="latin-1") as f:
        for line in f:
            if line.startswith(".I"):
                current = (line.split()[1], {})
                out.append(current)
                field = None
            elif len(line) >= 2 and line[0] == "." and line[1] in "TAWBXKCN" and not line[2:].strip():
                field = line[1]
                current[1][field] = ""
            elif current is not None and field is not None:
                current[1][field] += line
    return out


def qrels(kind, path):
    """(query, document, grade) per judgement."""
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) < 3:
                continue
            if kind == "cranfield":
                if 1 <= int(parts[2]) <= 4:
                    yield parts[0], int(parts[1]), 5 - int(parts[2])
            else:
                yield parts[0], int(parts[1]), 1


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in FILES:
        sys.exit(__doc__)
    kind, raw, out = sys.argv[1:]
    docs, queries, judgements = (os.path.join(raw, name) for name in FILES[kind])
    os.makedirs(os.path.join(out, "docs"), exist_ok=True)
    for doc_id, fields in records(docs):
        with open(os.path.join(out, "docs", "%04d.txt" % int(doc_id)), "w") as f:
            f.write(fields.get("T", "") + "\n" + fields.get("W", ""))
    with open(os.path.join(out, "queries.tsv"), "w") as f:
        for n, (qid, fields) in enumerate(records(queries), 1):
            text = fields.get("T", "") + " " + fields.get("W", "")
            f.write("%s\t%s\n" % (n if kind == "cranfield" else qid, " ".join(text.split())))
    with open(os.path.join(out, "qrels.txt"), "w") as f:
        for query, doc, grade in qrels(kind, judgements):
            f.write("%s 0 %04d %d\n" % (query, doc, grade))


if __name__ == "__main__":
    main()
