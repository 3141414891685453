#!/usr/bin/env python3
"""Builds the binary UI text table GT from its text source.

Source: UTF-8, one entry per line as "<number><TAB><text>"; lines starting with '#' and blank lines
are ignored. Numbers run from 0 to 186 without gaps, in order. Escapes in the text: \\n line feed,
\\t tab, \\\\ backslash.

Output: the UTF-16LE byte-order mark FF FE, then the 187 texts in order, each ended by one NUL code
unit.
"""
import sys

COUNT = 187


def unescape(text, where):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c != '\\':
            out.append(c)
            i += 1
            continue
        if i + 1 >= len(text):
            sys.exit(f"{where}: lone backslash at the end")
        nxt = text[i + 1]
        mapping = {'n': '\n', 't': '\t', '\\': '\\'}
        if nxt not in mapping:
            sys.exit(f"{where}: unknown escape \\{nxt}")
        out.append(mapping[nxt])
        i += 2
    return ''.join(out)


def main():
    src, dst = sys.argv[1], sys.argv[2]
    texts = []
    with open(src, encoding='utf-8') as f:
        for lineno, raw in enumerate(f, 1):
            line = raw.rstrip('\r\n')
            if not line.strip() or line.startswith('#'):
                continue
            number, sep, text = line.partition('\t')
            where = f"{src}:{lineno}"
            if not sep or not number.isdigit():
                sys.exit(f"{where}: expected <number><TAB><text>")
            if int(number) != len(texts):
                sys.exit(f"{where}: entry {number} out of order, expected {len(texts)}")
            texts.append(unescape(text, where))
    if len(texts) != COUNT:
        sys.exit(f"{src}: {len(texts)} entries, expected {COUNT}")
    data = b'\xff\xfe' + b''.join(t.encode('utf-16-le') + b'\x00\x00' for t in texts)
    with open(dst, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
