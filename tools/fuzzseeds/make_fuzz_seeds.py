#!/usr/bin/env python3
"""Writes the generated fuzz seeds: jars for fuzz_zip, Ogg Vorbis prompts for
fuzz_oggvorbis.

Usage: make_fuzz_seeds.py <build folder> <seeds folder>
The build folder is a normal (non-fuzz) build that has made the class jar
("stage/kojvm-rt.jar") and the ecj-built test classes
("tests/toolkit/jvm/programs"). The Ogg seeds are encoded with oggenc from
generated tones.
"""
import io
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

build, seeds = sys.argv[1], sys.argv[2]


class Unseekable(io.RawIOBase):
    """A write-only stream: zipfile then writes data descriptors."""

    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def jar(members, compression, comment=b""):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression) as z:
        for name, data in members:
            z.writestr(name, data)
        z.comment = comment
    return out.getvalue()


def with_zip64_end(archive):
    """Puts a zip64 end record and its locator before the end record."""
    end = archive.rfind(b"PK\x05\x06")
    count, dsize, doff = struct.unpack("<HII", archive[end + 10:end + 20])
    rec = struct.pack("<IQHHIIQQQQ", 0x06064b50, 44, 45, 45, 0, 0, count, count, dsize, doff)
    loc = struct.pack("<IIQI", 0x07064b50, 0, end, 1)
    return archive[:end] + rec + loc + archive[end:]


def zip_seeds():
    folder = os.path.join(seeds, "fuzz_zip")
    shutil.copy(os.path.join(build, "stage", "kojvm-rt.jar"), os.path.join(folder, "kojvm-rt.jar"))
    programs = os.path.join(build, "tests", "toolkit", "jvm", "programs")
    classes = []
    for f in sorted(os.listdir(programs)):
        if f.endswith(".class") and "$" not in f:
            with open(os.path.join(programs, f), "rb") as c:
                classes.append((f, c.read()))
    small = sorted(classes, key=lambda c: len(c[1]))[:4]
    manifest = ("META-INF/MANIFEST.MF", b"Manifest-Version: 1.0\r\nMain-Class: Loaded\r\n\r\n")
    write(folder, "programs_deflated.jar", jar(small, zipfile.ZIP_DEFLATED))
    write(folder, "programs_stored.jar", jar(small, zipfile.ZIP_STORED))
    write(folder, "manifest_comment.jar", jar([manifest] + small[:2], zipfile.ZIP_DEFLATED, b"built for tests"))
    # Members written without seeking: sizes and CRC in data descriptors.
    s = Unseekable()
    with zipfile.ZipFile(s, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in small[:3]:
            with z.open(name, "w") as m:
                m.write(data)
    write(folder, "data_descriptor.jar", bytes(s.data))
    write(folder, "zip64_end.jar", with_zip64_end(jar(small[:2], zipfile.ZIP_STORED)))
    # One member with a zip64 extra field in its headers.
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        with z.open(small[0][0], "w", force_zip64=True) as m:
            m.write(small[0][1])
    write(folder, "zip64_member.jar", out.getvalue())
    write(folder, "empty.zip", jar([], zipfile.ZIP_STORED))


def tone(path, rate, channels, seconds, freq):
    frames = int(rate * seconds)
    pcm = bytearray()
    for i in range(frames):
        v = int(12000 * math.sin(2 * math.pi * freq * i / rate))
        for c in range(channels):
            pcm += struct.pack("<h", v if c == 0 else -v)
    with open(path, "wb") as f:
        f.write(pcm)


def ogg_seeds():
    folder = os.path.join(seeds, "fuzz_oggvorbis")
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        cases = [("mono_8k.ogg", 8000, 1, 0.3, 440, "-1", 1),
                 ("stereo_22k.ogg", 22050, 2, 0.2, 660, "2", 2),
                 ("short_16k.ogg", 16000, 1, 0.01, 1000, "0", 3),
                 ("mono_44k_q8.ogg", 44100, 1, 0.1, 880, "8", 4)]
        made = {}
        for name, rate, channels, seconds, freq, q, serial in cases:
            raw = os.path.join(tmp, name + ".raw")
            tone(raw, rate, channels, seconds, freq)
            out = os.path.join(folder, name)
            subprocess.run(["oggenc", "-Q", "-r", "-B", "16", "-C", str(channels), "-R", str(rate), "-q", q,
                            "--serial", str(serial), "-o", out, raw], check=True)
            with open(out, "rb") as f:
                made[name] = f.read()
        # Two logical streams one after the other, of different formats.
        write(folder, "chained.ogg", made["short_16k.ogg"] + made["stereo_22k.ogg"])


zip_seeds()
ogg_seeds()
