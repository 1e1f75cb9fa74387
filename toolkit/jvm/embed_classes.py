#!/usr/bin/env python3
"""Writes a C++ source holding every .class file below a folder as a byte
array, for the VM's built-in class set.

Usage: embed_classes.py <classes folder> <output.cpp> [<table name> <sources folder>]
With a sources folder only the classes that have a source file of their own
name there are taken; the table is named ko_jvm_<table name> (ending in "classes"), its
length ko_jvm_<table name less "es">_count.
"""
import os
import sys

root, out = sys.argv[1], sys.argv[2]
table = sys.argv[3] if len(sys.argv) > 3 else "embedded_classes"
sources = sys.argv[4] if len(sys.argv) > 4 else None
items = []
for d, _, files in sorted(os.walk(root)):
    for f in sorted(files):
        if f.endswith(".class"):
            p = os.path.join(d, f)
            name = os.path.relpath(p, root)[:-6].replace(os.sep, "/")
            if sources and not os.path.exists(os.path.join(sources, name + ".java")):
                continue
            items.append((name, open(p, "rb").read()))
lines = ['#include "toolkit/javart/javart_natives.h"', ""]
for i, (name, data) in enumerate(items):
    lines.append("static const unsigned char k%d[] = {" % i)
    for k in range(0, len(data), 24):
        lines.append("    " + ", ".join(str(b) for b in data[k:k + 24]) + ",")
    lines.append("};")
lines.append("const KoJvmEmbeddedClass ko_jvm_%s[] = {" % table)
for i, (name, data) in enumerate(items):
    lines.append('    {"%s", k%d, %d},' % (name, i, len(data)))
lines.append("};")
lines.append("const int ko_jvm_%s_count = %d;" % (table[:-2], len(items)))
tmp = out + ".tmp"
open(tmp, "w").write("\n".join(lines) + "\n")
os.replace(tmp, out)
