#!/usr/bin/env python3
"""Turns the string table of a resource script into a C++ table, so that the
native build reads the very texts the Windows build loads from its
resources. Texts are given in Windows-1252, as LoadStringA gives them.

usage: rc_strings.py skeind.rc resource.h out.cpp
"""
import re
import sys


def defines(header):
    names = {}
    for m in re.finditer(r'^\s*#define\s+(\w+)\s+(\d+)\s*$', open(header, encoding="utf-8").read(), re.M):
        names[m.group(1)] = int(m.group(2))
    return names


def rc_unescape(body):
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c == '"' and body[i + 1:i + 2] == '"':
            out.append('"')
            i += 2
        elif c == '\\' and i + 1 < len(body):
            nxt = body[i + 1]
            out.append({'n': '\n', 't': '\t', 'r': '\r', '\\': '\\', 'a': '\a'}.get(nxt, nxt))
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def strings(rc, names):
    text = open(rc, encoding="utf-8").read()
    table = re.search(r'^STRINGTABLE\s*\nBEGIN\n(.*?)^END', text, re.M | re.S)
    if not table:
        sys.exit("no STRINGTABLE in " + rc)
    entries = {}
    for m in re.finditer(r'^\s*(\w+)\s+"((?:[^"]|"")*)"\s*$', table.group(1), re.M):
        key, body = m.group(1), m.group(2)
        number = int(key) if key.isdigit() else names.get(key)
        if number is None:
            sys.exit("unknown string name " + key)
        if number in entries:
            sys.exit("string %d defined twice" % number)
        entries[number] = rc_unescape(body)
    return entries


def c_literal(s):
    out = []
    for b in s.encode("cp1252"):
        ch = chr(b)
        if ch == '\\' or ch == '"':
            out.append('\\' + ch)
        elif 32 <= b < 127:
            out.append(ch)
        else:
            out.append('\\%03o' % b)
    return '"' + ''.join(out) + '"'


def main(rc, header, out):
    entries = strings(rc, defines(header))
    lines = ["// Generated from the resource script; do not edit.",
             '#include "res/strings_table.h"', "",
             "const AppStringEntry kAppStrings[] = {"]
    for number in sorted(entries):
        lines.append("    {%d, %s}," % (number, c_literal(entries[number])))
    lines += ["};", "const unsigned kAppStringCount = %d;" % len(entries), ""]
    with open(out, "w", encoding="ascii") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main(*sys.argv[1:4])
