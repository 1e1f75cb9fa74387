#!/usr/bin/env python3
"""Packs every .class file below a folder into a jar (a ZIP archive).

Usage: make_jar.py <classes folder> <output.jar> [<sources folder to leave out>]
Classes that have a source file of their own name in the folder to leave out
(built-in classes compiled alongside) are not packed.
"""
import os
import sys
import zipfile

root, out = sys.argv[1], sys.argv[2]
skip = sys.argv[3] if len(sys.argv) > 3 else None
tmp = out + ".tmp"
with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
    for d, _, files in sorted(os.walk(root)):
        for f in sorted(files):
            if f.endswith(".class"):
                p = os.path.join(d, f)
                name = os.path.relpath(p, root).replace(os.sep, "/")
                if skip and os.path.exists(os.path.join(skip, name[:-6] + ".java")):
                    continue
                z.write(p, name)
os.replace(tmp, out)
