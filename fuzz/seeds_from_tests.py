#!/usr/bin/env python3
"""Writes the raw string literals R"(...)" of test sources into a seed folder, one file per
literal that contains the given marker, named by a hash of its text.

    fuzz/seeds_from_tests.py <out-dir> <marker> <test.cpp>...
"""
import hashlib
import pathlib
import re
import sys


def main():
    out, marker, sources = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3:]
    out.mkdir(parents=True, exist_ok=True)
    written = 0
    for source in sources:
        text = pathlib.Path(source).read_text()
        for literal in re.findall(r'R"\((.*?)\)"', text, re.S):
            if marker not in literal:
                continue
            name = hashlib.sha1(literal.encode()).hexdigest()[:16]
            (out / name).write_text(literal)
            written += 1
    print(f"{written} seeds in {out}")


if __name__ == "__main__":
    main()
