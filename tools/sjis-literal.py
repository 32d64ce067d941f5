#!/usr/bin/env python3
"""Prints a text as a C string literal of its Shift-JIS (code page 932) bytes.

Usage: sjis-literal.py TEXT...   The stub's Japanese texts are written this way,
so that the sources stay plain ASCII whatever editor opens them.
"""
import sys

HEX = set(b"0123456789abcdefABCDEF")


def literal(text: str) -> str:
    out, prev_hex = [], False
    for byte in text.encode("cp932"):
        if byte >= 0x80 or byte < 0x20 or byte in b'"\\?':
            out.append("\\x%02X" % byte)
            prev_hex = True
            continue
        if prev_hex and byte in HEX:
            out.append('" "')  # end the escape before a hex digit
        out.append(chr(byte))
        prev_hex = False
    return '"' + "".join(out) + '"'


for arg in sys.argv[1:]:
    print(literal(arg.encode().decode("unicode_escape").encode("latin-1").decode()), "/*", arg, "*/")
