#!/usr/bin/env python3
"""Writes a UTF-8 text as Japanese Windows reads its plain text files: code
page 932 (Shift_JIS) with CR LF line ends. A character that code page 932
lacks stops it with the line that holds it, so nothing is replaced silently.
The same source always gives the same bytes.

    windows-text.py SOURCE TARGET
"""

import os
import sys


def windows_bytes(text, source):
    lines = text.replace("\r\n", "\n").split("\n")
    for number, line in enumerate(lines, 1):
        try:
            line.encode("cp932")
        except UnicodeEncodeError as error:
            sys.exit("%s:%d: %r is not in code page 932" % (source, number, line[error.start : error.end]))
    return "\r\n".join(lines).encode("cp932")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip())
    source, target = sys.argv[1:]
    with open(source, encoding="utf-8", newline="") as text:
        data = windows_bytes(text.read(), source)
    partial = target + ".part"  # renamed into place once whole
    with open(partial, "wb") as out:
        out.write(data)
    os.replace(partial, target)


if __name__ == "__main__":
    main()
