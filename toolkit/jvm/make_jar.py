#!/usr/bin/env python3
"""Packs every .class file below a folder into a jar (a ZIP archive).

Usage: make_jar.py <classes folder> <output.jar>
"""
import os
import sys
import zipfile

root, out = sys.argv[1], sys.argv[2]
tmp = out + ".tmp"
with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
    for d, _, files in sorted(os.walk(root)):
        for f in sorted(files):
            if f.endswith(".class"):
                p = os.path.join(d, f)
                z.write(p, os.path.relpath(p, root).replace(os.sep, "/"))
os.replace(tmp, out)
