#!/usr/bin/env python3
"""Writes a C++ source holding every .class file below a folder as a byte
array, for the VM's built-in class set.

Usage: embed_classes.py <classes folder> <output.cpp>
"""
import os
import sys

root, out = sys.argv[1], sys.argv[2]
items = []
for d, _, files in sorted(os.walk(root)):
    for f in sorted(files):
        if f.endswith(".class"):
            p = os.path.join(d, f)
            items.append((os.path.relpath(p, root)[:-6].replace(os.sep, "/"), open(p, "rb").read()))
lines = ['#include "toolkit/javart/javart_natives.h"', ""]
for i, (name, data) in enumerate(items):
    lines.append("static const unsigned char k%d[] = {" % i)
    for k in range(0, len(data), 24):
        lines.append("    " + ", ".join(str(b) for b in data[k:k + 24]) + ",")
    lines.append("};")
lines.append("const KoJvmEmbeddedClass ko_jvm_embedded_classes[] = {")
for i, (name, data) in enumerate(items):
    lines.append('    {"%s", k%d, %d},' % (name, i, len(data)))
lines.append("};")
lines.append("const int ko_jvm_embedded_class_count = %d;" % len(items))
tmp = out + ".tmp"
open(tmp, "w").write("\n".join(lines) + "\n")
os.replace(tmp, out)
