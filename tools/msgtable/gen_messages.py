#!/usr/bin/env python3
"""Generates the message table sources and the English catalogue.

Reads po/messages.tsv (identifier, message key, English text) and writes
  common/misc/xr_msgtable_data.cpp  the identifier/key pairs compiled in,
  common/misc/xr_msgids.h           named identifiers for the code,
  po/en.po                          the English texts of the keys.

With --check nothing is written: the exit status is 1 when a generated file
differs from what the data file gives.
"""

import argparse
import os
import re
import sys

MESSAGE_COUNT = 879
KEY_RE = re.compile(r"^r_[a-z0-9_]+$")
UNUSED_PREFIX = "r_str_unused_"

PO_HEADER = """\
# English texts of Kestrova Navigator.
# Generated from po/messages.tsv by tools/msgtable/gen_messages.py: edit that file.
msgid ""
msgstr ""
"Project-Id-Version: kestrova\\n"
"PO-Revision-Date: 2026-12-10 12:00+0000\\n"
"Last-Translator: Kestrova team\\n"
"Language-Team: English\\n"
"Language: en\\n"
"MIME-Version: 1.0\\n"
"Content-Type: text/plain; charset=UTF-8\\n"
"Content-Transfer-Encoding: 8bit\\n"
"""

GENERATED_NOTE = "// Generated from po/messages.tsv by tools/msgtable/gen_messages.py: do not edit.\n"


class DataError(Exception):
    pass


def check_po_escapes(text, where):
    """The text goes between quotes in the PO file: only \\" \\\\ \\n \\t escapes."""
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\":
            if i + 1 >= len(text) or text[i + 1] not in '"\\nt':
                raise DataError(f"{where}: bad escape in text")
            i += 2
            continue
        if c == '"':
            raise DataError(f"{where}: unescaped quote in text")
        i += 1


def read_messages(path):
    rows = {}
    keys = set()
    with open(path, encoding="utf-8") as f:
        for lineno, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            where = f"{path}:{lineno}"
            parts = line.split("\t")
            if len(parts) != 3:
                raise DataError(f"{where}: expected 3 tab-separated columns")
            ident, key, text = parts
            if not ident.isdigit() or not 0 <= int(ident) < MESSAGE_COUNT:
                raise DataError(f"{where}: bad identifier {ident!r}")
            n = int(ident)
            if n in rows:
                raise DataError(f"{where}: identifier {n} given twice")
            if not KEY_RE.match(key):
                raise DataError(f"{where}: bad key {key!r}")
            if key in keys:
                raise DataError(f"{where}: key {key} given twice")
            if key.startswith(UNUSED_PREFIX) and key != f"{UNUSED_PREFIX}{n}":
                raise DataError(f"{where}: placeholder key does not match its identifier")
            check_po_escapes(text, where)
            rows[n] = (key, text)
            keys.add(key)
    missing = [n for n in range(MESSAGE_COUNT) if n not in rows]
    if missing:
        raise DataError(f"{path}: identifiers missing: {missing[:10]}")
    return [(n, rows[n][0], rows[n][1]) for n in range(MESSAGE_COUNT)]


def gen_table(rows):
    out = [GENERATED_NOTE, '#include "common/misc/xr_msgtable.h"\n\n',
           "const XrMessageEntry xr_message_table[XR_MESSAGE_COUNT] = {\n"]
    for n, key, _ in rows:
        out.append(f'    {{{n}, "{key}"}},\n')
    out.append("};\n")
    return "".join(out)


def gen_ids(rows):
    out = [GENERATED_NOTE,
           "// Message identifiers by their key, for XrString(int), load_text and\n"
           "// get_translated_text.\n",
           "#pragma once\n\n",
           "enum XrTextId : int {\n"]
    for n, key, _ in rows:
        if not key.startswith(UNUSED_PREFIX):
            out.append(f"    {key.upper()} = {n},\n")
    out.append("};\n")
    return "".join(out)


def gen_po(rows):
    out = [PO_HEADER]
    for n, key, text in rows:
        if not text:
            continue
        out.append(f'\n#. {n}\nmsgid "{key}"\nmsgstr "{text}"\n')
    return "".join(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.normpath(os.path.join(here, "..", ".."))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--root", default=root, help="source tree (default: %(default)s)")
    ap.add_argument("--check", action="store_true", help="only compare the generated files")
    args = ap.parse_args()

    try:
        rows = read_messages(os.path.join(args.root, "po", "messages.tsv"))
    except (DataError, OSError) as e:
        print(f"gen_messages: {e}", file=sys.stderr)
        return 2

    outputs = {
        os.path.join("common", "misc", "xr_msgtable_data.cpp"): gen_table(rows),
        os.path.join("common", "misc", "xr_msgids.h"): gen_ids(rows),
        os.path.join("po", "en.po"): gen_po(rows),
    }
    stale = []
    for rel, content in outputs.items():
        path = os.path.join(args.root, rel)
        try:
            with open(path, encoding="utf-8") as f:
                current = f.read()
        except FileNotFoundError:
            current = None
        if current == content:
            continue
        if args.check:
            stale.append(rel)
            continue
        tmp = path + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            f.write(content)
        os.replace(tmp, path)
        print(f"gen_messages: wrote {rel}")
    if stale:
        print("gen_messages: out of date: " + ", ".join(stale)
              + " (run tools/msgtable/gen_messages.py)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
