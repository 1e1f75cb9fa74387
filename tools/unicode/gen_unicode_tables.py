#!/usr/bin/env python3
"""Generates the built-in character tables of XrUnicodeUtil.

Reads UnicodeData.txt (Debian package unicode-data) and writes
common/misc/xr_unicodetables.cpp: the search folding table, the upper-case
table and the lower-case table, each sorted by character.

Usage: gen_unicode_tables.py [UnicodeData.txt] [output.cpp]
"""

import re
import sys

DEFAULT_INPUT = "/usr/share/unicode/UnicodeData.txt"
DEFAULT_OUTPUT = "common/misc/xr_unicodetables.cpp"

# The scripts the search covers: Latin, Greek, Cyrillic and Arabic.
RANGES = [
    (0x0030, 0x0039),  # ASCII digits
    (0x0041, 0x024F),  # Basic Latin letters, Latin-1, Latin Extended-A and -B
    (0x0370, 0x03FF),  # Greek
    (0x0400, 0x04FF),  # Cyrillic
    (0x0600, 0x06FF),  # Arabic
    (0x0750, 0x077F),  # Arabic Supplement
    (0x1E00, 0x1EFF),  # Latin Extended Additional
    (0x1F00, 0x1FFF),  # Greek Extended
    (0xFB50, 0xFDFF),  # Arabic Presentation Forms-A
    (0xFE70, 0xFEFF),  # Arabic Presentation Forms-B
]

# Ten entries that map to themselves and sit in the folding table only, so
# that it holds ten entries more than the two case tables.
EXTRA_FOLD = range(0x1390, 0x139A)

# Digits of every script fold to the extended Arabic-Indic digits.
DIGIT_BASE = 0x06F0

# Letters without a decomposition whose base letter the name does not give.
SPECIAL_BASE = {
    0x00DF: 0x0053,  # sharp s -> S
    0x1E9E: 0x0053,  # capital sharp s -> S
    0x00D0: 0x0044,  # eth -> D
    0x00F0: 0x0044,
    0x0131: 0x0049,  # dotless i -> I
    0x0138: 0x004B,  # kra -> K
}

LATIN_NAME = re.compile(r"^LATIN (?:CAPITAL|SMALL) LETTER ([A-Z]) WITH ")


class Char:
    __slots__ = ("code", "name", "cat", "decomp", "compat", "digit", "upper", "lower")


def read_data(path):
    chars = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split(";")
            code = int(fields[0], 16)
            if code > 0xFFFF:
                break
            c = Char()
            c.code = code
            c.name = fields[1]
            c.cat = fields[2]
            d = fields[5].split()
            c.compat = bool(d) and d[0].startswith("<")
            if c.compat:
                d = d[1:]
            c.decomp = [int(x, 16) for x in d]
            c.digit = int(fields[6]) if fields[6] else None
            c.upper = int(fields[12], 16) if fields[12] else None
            c.lower = int(fields[13], 16) if fields[13] else None
            chars[code] = c
    return chars


def in_ranges(code):
    return any(lo <= code <= hi for lo, hi in RANGES)


def covered(chars):
    """The characters of the ranges, with the case partners of their letters
    that lie outside (so both cases of a letter fold alike)."""
    codes = {c for c in chars if in_ranges(c)}
    for c in list(codes):
        for partner in (upper(chars, c), lower(chars, c)):
            if partner in chars:
                codes.add(partner)
    return sorted(codes)


def is_letter(chars, code):
    c = chars.get(code)
    return c is not None and c.cat in ("Lu", "Ll", "Lt", "Lo")


def upper(chars, code):
    c = chars.get(code)
    return c.upper if c is not None and c.upper is not None else code


def lower(chars, code):
    c = chars.get(code)
    return c.lower if c is not None and c.lower is not None else code


def fold(chars, code):
    """The folded form of a character, or None when it is ignored."""
    c = chars[code]
    if c.cat == "Nd":
        return DIGIT_BASE + c.digit
    if not is_letter(chars, code):
        return None
    seen = set()
    x = code
    while x not in seen:
        seen.add(x)
        x = upper(chars, x)
        if x in SPECIAL_BASE:
            x = SPECIAL_BASE[x]
            continue
        cx = chars[x]
        # Accents, presentation forms and ligatures: the first letter of
        # the decomposition.
        if cx.decomp and is_letter(chars, cx.decomp[0]):
            x = cx.decomp[0]
            continue
        m = LATIN_NAME.match(cx.name)
        if m and cx.decomp == []:
            x = ord(m.group(1))
            continue
    return x


def build(chars):
    fold_table = {}
    for code in covered(chars):
        f = fold(chars, code)
        if f is not None:
            fold_table[code] = f
    domain = sorted(fold_table)
    upper_table = [(c, upper(chars, c)) for c in domain]
    lower_table = [(c, lower(chars, c)) for c in domain]
    for c in EXTRA_FOLD:
        fold_table[c] = c
    fold_list = sorted(fold_table.items())
    return fold_list, upper_table, lower_table


def emit(out, name, table):
    out.write("const XrUnicodeUtil::Entry %s[] = {\n" % name)
    for i in range(0, len(table), 6):
        row = table[i:i + 6]
        out.write("    " + " ".join("{0x%04X, 0x%04X}," % e for e in row) + "\n")
    out.write("};\n\n")


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_INPUT
    dst = sys.argv[2] if len(sys.argv) > 2 else DEFAULT_OUTPUT
    chars = read_data(src)
    fold_list, upper_table, lower_table = build(chars)
    n = len(upper_table)
    assert len(lower_table) == n and len(fold_list) == n + len(EXTRA_FOLD)
    with open(dst, "w", encoding="ascii") as out:
        out.write("// Generated by tools/unicode/gen_unicode_tables.py from UnicodeData.txt;\n")
        out.write("// do not edit. The built-in copy of the character tables: search folding,\n")
        out.write("// upper case and lower case, each sorted by character.\n\n")
        out.write('#include "common/misc/xr_unicodeutil.h"\n\n')
        out.write("namespace xr_unicode_builtin {\n\n")
        out.write("extern const unsigned int table_size;\n")
        for name in ("fold_table", "upper_table", "lower_table"):
            out.write("extern const XrUnicodeUtil::Entry %s[];\n" % name)
        out.write("\n")
        out.write("const unsigned int table_size = %d;\n\n" % n)
        emit(out, "fold_table", fold_list)
        emit(out, "upper_table", upper_table)
        emit(out, "lower_table", lower_table)
        out.write("static_assert(sizeof(fold_table) / sizeof(fold_table[0]) == %d + %d);\n"
                  % (n, len(EXTRA_FOLD)))
        out.write("static_assert(sizeof(upper_table) / sizeof(upper_table[0]) == %d);\n" % n)
        out.write("static_assert(sizeof(lower_table) / sizeof(lower_table[0]) == %d);\n\n" % n)
        out.write("} // namespace xr_unicode_builtin\n")
    print("%s: N = %d (%d bytes as unicode.binmap)" % (dst, n, 4 + 3 * n * 4 + 40))


if __name__ == "__main__":
    main()
