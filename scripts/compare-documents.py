#!/usr/bin/env python3
"""Compares two folders of generated documents part by part.

    compare-documents.py BEFORE_DIR AFTER_DIR

DOCX and ODT packages are compared entry by entry: XML parts as parsed trees
(attribute order aside), every other entry byte for byte; RTF and text files
byte for byte. Prints each difference and exits 1 when there is one. Used to
show that a restructuring leaves every generated document as it was.
"""
import os, sys, zipfile
import xml.etree.ElementTree as ET


def canonical(data):
    try:
        root = ET.fromstring(data)
    except ET.ParseError:
        return data
    def walk(e):
        return (e.tag, tuple(sorted(e.attrib.items())), e.text or "", e.tail or "", tuple(walk(c) for c in e))
    return walk(root)


def compare_packages(a, b, name, problems):
    with zipfile.ZipFile(a) as za, zipfile.ZipFile(b) as zb:
        names_a, names_b = za.namelist(), zb.namelist()
        if sorted(names_a) != sorted(names_b):
            problems.append("%s: entries differ: %s" % (name, sorted(set(names_a) ^ set(names_b))))
        for entry in sorted(set(names_a) & set(names_b)):
            da, db = za.read(entry), zb.read(entry)
            if da == db:
                continue
            if entry.endswith((".xml", ".rels")) and canonical(da) == canonical(db):
                continue
            problems.append("%s: %s differs" % (name, entry))


def main():
    before, after = sys.argv[1], sys.argv[2]
    problems = []
    files = set()
    for top, base in ((before, "a"), (after, "b")):
        for folder, _, names in os.walk(top):
            for n in names:
                files.add(os.path.relpath(os.path.join(folder, n), top))
    compared = 0
    for rel in sorted(files):
        a, b = os.path.join(before, rel), os.path.join(after, rel)
        if not (os.path.exists(a) and os.path.exists(b)):
            problems.append("%s: only in %s" % (rel, "after" if os.path.exists(b) else "before"))
            continue
        if rel.endswith((".docx", ".odt")):
            compare_packages(a, b, rel, problems)
            compared += 1
        elif rel.endswith((".rtf", ".txt")):
            with open(a, "rb") as fa, open(b, "rb") as fb:
                if fa.read() != fb.read():
                    problems.append("%s differs" % rel)
            compared += 1
    for p in problems:
        print(p)
    print("%d documents compared, %d differences" % (compared, len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
