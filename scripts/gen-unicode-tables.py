#!/usr/bin/env python3
"""Writes index/unicode_tables.cpp: the letters and the folding of the international words.

The data comes from the Unicode Character Database files that Debian's `unicode-data`
package installs (UnicodeData.txt, CaseFolding.txt), so that both builds of the program
compile the same tables and write the same index bytes; the operating systems' own
tables are never consulted. The output is committed: building needs no Unicode files.

Classes of a code point:
  letter  - general category L*: may begin a word and belongs to it
  joiner  - decimal digits (Nd), combining marks (M*), '-' and '_': belong to a word that a
            letter began
  (every other code point separates words)

Folding of a letter or joiner: full case folding (CaseFolding.txt, status C and F), then
canonical decomposition, then the combining diacritics are dropped, then the Latin letters
that Unicode does not decompose are spelt with their base letters (EXTRA below); repeated
until nothing changes. Only code points whose folding differs from themselves are listed.

usage: scripts/gen-unicode-tables.py [--ucd DIR] [--out FILE]
"""
import argparse
import os
import shutil
import subprocess
import sys

# Latin letters without a canonical decomposition, folded to the letters they are read as.
EXTRA = {
    0x00E6: "ae",  # æ
    0x0153: "oe",  # œ
    0x00F8: "o",  # ø
    0x0142: "l",  # ł
    0x0111: "d",  # đ
    0x00F0: "d",  # ð
    0x00FE: "th",  # þ
    0x0127: "h",  # ħ
    0x0131: "i",  # ı
    0x0167: "t",  # ŧ
    0x0140: "l",  # ŀ
    0x0180: "b",  # ƀ
    0x0188: "c",  # ƈ
    0x0192: "f",  # ƒ
    0x01B6: "z",  # ƶ
    0x0248: "j",  # ɉ (lower of Ɉ)
    0x0247: "e",  # ɇ
    0x024D: "r",  # ɍ
    0x024F: "y",  # ɏ
}

# Combining diacritical marks: dropped by the folding (other marks, such as the vowel
# signs of Indic scripts, stay part of the word as they are).
DIACRITICS = [(0x0300, 0x036F), (0x1AB0, 0x1AFF), (0x1DC0, 0x1DFF), (0x20D0, 0x20FF),
              (0xFE20, 0xFE2F)]


def read_unicode_data(path):
    cats, decomp = {}, {}
    first = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split(";")
            cp = int(fields[0], 16)
            name, cat, dec = fields[1], fields[2], fields[5]
            if name.endswith(", First>"):
                first = cp
                continue
            if name.endswith(", Last>"):
                for c in range(first, cp + 1):
                    cats[c] = cat
                continue
            cats[cp] = cat
            if dec and not dec.startswith("<"):
                decomp[cp] = [int(x, 16) for x in dec.split()]
    return cats, decomp


def read_case_folding(path):
    fold = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#")[0].strip()
            if not line:
                continue
            code, status, mapping = [x.strip() for x in line.split(";")[:3]]
            if status in ("C", "F"):
                fold[int(code, 16)] = [int(x, 16) for x in mapping.split()]
    return fold


def char_class(cp, cats):
    cat = cats.get(cp, "Cn")
    if cat.startswith("L"):
        return 1
    if cat == "Nd" or cat.startswith("M") or cp in (0x2D, 0x5F):
        return 2
    return 0


def fold_once(cps, fold, decomp):
    out = []
    for c in cps:
        out.extend(fold.get(c, [c]))
    changed = True
    while changed:  # canonical decomposition, to the end
        changed = False
        expanded = []
        for c in out:
            if c in decomp:
                expanded.extend(decomp[c])
                changed = True
            else:
                expanded.append(c)
        out = expanded
    out = [c for c in out if not any(lo <= c <= hi for lo, hi in DIACRITICS)]
    spelt = []
    for c in out:
        spelt.extend(ord(x) for x in EXTRA[c]) if c in EXTRA else spelt.append(c)
    return spelt


def fold_full(cp, fold, decomp):
    cps = [cp]
    for _ in range(8):
        nxt = fold_once(cps, fold, decomp)
        if nxt == cps:
            break
        cps = nxt
    return cps


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--ucd", default="/usr/share/unicode")
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("--out", default=os.path.join(here, "..", "index", "unicode_tables.cpp"))
    args = ap.parse_args()
    ucd_version = open(os.path.join(args.ucd, "CaseFolding.txt"), encoding="utf-8").readline()
    ucd_version = ucd_version.strip("# \n").replace("CaseFolding-", "").replace(".txt", "")
    cats, decomp = read_unicode_data(os.path.join(args.ucd, "UnicodeData.txt"))
    fold = read_case_folding(os.path.join(args.ucd, "CaseFolding.txt"))

    ranges = []  # [first, last, class]
    for cp in range(0x110000):
        cls = char_class(cp, cats)
        if cls == 0:
            continue
        if ranges and ranges[-1][1] == cp - 1 and ranges[-1][2] == cls:
            ranges[-1][1] = cp
        else:
            ranges.append([cp, cp, cls])

    folds, text = [], bytearray()
    pool = {}
    for cp in range(0x110000):
        if char_class(cp, cats) == 0:
            continue
        folded = fold_full(cp, fold, decomp)
        if folded == [cp]:
            continue
        utf8 = "".join(chr(c) for c in folded).encode("utf-8")
        if utf8 not in pool:
            pool[utf8] = len(text)
            text += utf8
        folds.append((cp, pool[utf8], len(utf8)))
    if len(text) >= 65536:
        sys.exit("fold text too large for 16-bit offsets")

    out = []
    out.append("// The letters and the folding of international words, generated by")
    out.append("// scripts/gen-unicode-tables.py from the Unicode Character Database %s." % ucd_version)
    out.append("// Do not edit: run the script again.")
    out.append('#include "index/unicode_tables.h"')
    out.append("")
    out.append("namespace norvel {")
    out.append("")
    out.append("const CharClassRange kCharClassRanges[] = {")
    for first, last, cls in ranges:
        out.append("    {0x%X, 0x%X, %d}," % (first, last, cls))
    out.append("};")
    out.append("const size_t kCharClassRangeCount = sizeof(kCharClassRanges) / sizeof(kCharClassRanges[0]);")
    out.append("")
    out.append("const FoldEntry kFoldEntries[] = {")
    for cp, at, n in folds:
        out.append("    {0x%X, %d, %d}," % (cp, at, n))
    out.append("};")
    out.append("const size_t kFoldEntryCount = sizeof(kFoldEntries) / sizeof(kFoldEntries[0]);")
    out.append("")
    out.append("const char kFoldText[] =")
    for i in range(0, len(text), 24):
        chunk = text[i:i + 24]
        out.append('    "' + "".join("\\x%02X" % b for b in chunk) + '"')
    out.append("    ;")
    out.append("")
    out.append("}  // namespace norvel")
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out) + "\n")
    # The tree is kept as clang-format writes it (scripts/check-structure.py checks).
    fmt = shutil.which("clang-format-14") or shutil.which("clang-format")
    if fmt:
        subprocess.run([fmt, "-i", args.out], check=True)
    else:
        print("clang-format not found: run clang-format -i on the output", file=sys.stderr)
    print("%s: %d ranges, %d foldings, %d bytes of folded text" %
          (args.out, len(ranges), len(folds), len(text)))


if __name__ == "__main__":
    main()
