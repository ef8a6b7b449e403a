#!/usr/bin/env python3
"""Writes tests/support/cp1251_table.inc: the character of every CP1251 byte from 0x80 to
0xFF, as Python's cp1251 codec decodes it, in UTF-8. The unit tests hold the tool's own
conversion against this table, so it comes from outside the tool; the codec leaves 0x98
undefined, and the table has U+FFFD there, as the WHATWG Encoding Standard's windows-1251
decoder gives it.

    python3 tools/cp1251_table.py

Running it again rewrites the same bytes."""

import os
import unicodedata

OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support",
                      "cp1251_table.inc")


def rows():
    for byte in range(0x80, 0x100):
        character = bytes([byte]).decode("cp1251", errors="replace")
        utf8 = "".join("\\x%02X" % b for b in character.encode("utf-8"))
        name = unicodedata.name(character, "")
        yield '{0x%02X, "%s"},  // U+%04X %s' % (byte, utf8, ord(character), name)


def main():
    with open(OUTPUT, "w", encoding="ascii", newline="\n") as f:
        f.write("// Written by tools/cp1251_table.py from Python's cp1251 codec; do not edit.\n")
        f.write("// Each row: a CP1251 byte and its character in UTF-8.\n")
        for row in rows():
            f.write(row.rstrip() + "\n")


if __name__ == "__main__":
    main()
