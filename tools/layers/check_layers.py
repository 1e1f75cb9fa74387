#!/usr/bin/env python3
"""Checks that components depend downward only.

Every component (a folder with a CMakeLists.txt, or any folder holding
sources) belongs to one entry of LAYERS below: the longest entry that is a
prefix of its path. Entries are ordered from the ground up; a component may
include the headers of (#include "common/x/...") and link (DEPS,
target_link_libraries) only components of entries listed before its own, or
of its own entry. Within an entry, components must not form a loop.

A folder that no entry covers is an error too: new folders are placed in the
table before they are built.

The README's "Layers" table must list the same layers and entries in the
same order (a "dir/*" cell names the entry "dir"; notes in brackets are
free), so that the table a reader sees is the one the build checks.

Usage: check_layers.py <source root>; exit status 1 on any violation.
"""

import os
import re
import sys

# (layer, entries); the order of the entries is the allowed direction.
LAYERS = [
    # The sound-daemon stand-in writes its capture files through the
    # container's byte writer.
    ("ground", ["platform", "common/container", "platform/esd", "common/base"]),
    ("text and units", ["common/misc", "common/types"]),
    ("system", ["common/os", "common/fsm", "common/storage", "common/config", "common/ber"]),
    ("geometry", ["common/geometry"]),
    ("map data", ["common/db/qt", "common/db", "common/addr"]),
    ("online plumbing", ["common/update", "common/bgxfer"]),
    # The recording GDI backend replaces the GDK one in tests and logs bitmaps.
    # The map window and its menus draw with bitmaps and the font repository.
    ("drawing", ["common/gdi", "common/bmloader", "common/gdi/recording", "common/symbol", "common/ui",
                 "common/visualization", "common/gdi/window"]),
    # The Ogg Vorbis decoder lives in apps/ but serves the audio player, through
    # the player's decoder interface.
    # The route layer of the map engine shows the routes of the route search
    # and speaks through the audio player.
    ("engine", ["common/graph", "common/audio", "apps/oggvorbis", "common/map", "common/drawables"]),
    # Extension files ask the map provider's interface for the map id and
    # serve the POI provider.
    # The dialog framework builds the busy indication of the providers'
    # interface and parents its windows on the map window.
    ("providers and UI", ["common/corvanel_core/interfaces", "common/ui/dialog", "common/extension",
                          "common/corvanel_core/impl", "common/corvanel_core"]),
    # The toolkit's runtime library carries the VM's scheduler, I/O and tables.
    ("Java VM", ["lib", "toolkit/jvm", "toolkit/javart", "toolkit", "common/java"]),
    ("applications", ["apps"]),
    ("helpers", ["launcher", "kestrova-gpsd-helper", "serial-nmea-helper"]),
    ("tools", ["tools"]),
]

# Folders whose source subfolders form one library (one component).
ONE_LIBRARY = ["lib"]

# Folders scanned for components; tests, benchmarks and fuzz targets may use
# anything.
ROOTS = ["platform", "common", "apps", "toolkit", "lib", "launcher", "kestrova-gpsd-helper", "serial-nmea-helper",
         "tools"]
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp")
INCLUDE_RE = re.compile(r'\s*#\s*include\s+"([^"]+)"')
COMMAND_RE = re.compile(r"([A-Za-z_][A-Za-z0-9_]*)\s*\(([^()]*)\)", re.DOTALL)
VARIABLE_RE = re.compile(r"\$\{([A-Za-z0-9_]+)\}")
LINK_KEYWORDS = {"PUBLIC", "PRIVATE", "INTERFACE"}


def entry_rank():
    rank = {}
    for layer, entries in LAYERS:
        for entry in entries:
            rank[entry] = (len(rank), layer)
    return rank


RANK = entry_rank()


def entry_of(path):
    """The table entry covering a folder path, or None."""
    best = None
    for entry in RANK:
        if path == entry or path.startswith(entry + "/"):
            if best is None or len(entry) > len(best):
                best = entry
    return best


def library_name(folder):
    """The library xr_component() makes for a folder (see cmake/Kestrova.cmake)."""
    rel = re.sub(r"^(common|apps|toolkit|platform)/", "", folder)
    return "xr_" + rel.replace("/", "_").replace("-", "_")


def strip_comments(text):
    return "\n".join(line.split("#", 1)[0] for line in text.splitlines())


def read_cmake(root, folder):
    """(libraries defined here, libraries linked from here) of one CMakeLists.txt."""
    path = os.path.join(root, folder, "CMakeLists.txt")
    with open(path, encoding="utf-8") as f:
        text = strip_comments(f.read())
    variables = {}
    defined, linked = set(), set()
    for command, args in COMMAND_RE.findall(text):
        args = VARIABLE_RE.sub(lambda m: " ".join(variables.get(m.group(1), [])), args)
        words = args.split()
        command = command.lower()
        if command == "set" and words:
            variables[words[0]] = words[1:]
        elif command == "xr_component":
            defined.add(library_name(folder))
            linked.update(words_after(words, "DEPS", {"PKG"}))
        elif command == "xr_library" and words:
            defined.add(words[0])
            linked.update(words_after(words, "DEPS", {"SOURCES", "PKG"}))
        elif command in ("add_library", "add_executable") and words:
            defined.add(words[0])
        elif command == "target_link_libraries" and words:
            linked.update(w for w in words[1:] if w not in LINK_KEYWORDS)
    return defined, linked


def words_after(words, keyword, stops):
    out, on = [], False
    for w in words:
        if w == keyword:
            on = True
        elif w in stops or w in ("DEPS", "SOURCES", "PKG"):
            on = False
        elif on:
            out.append(w)
    return out


def scan(root):
    """Components with their includes and links, and the folders no entry covers."""
    cmake_folders, source_folders = set(), {}
    for top in ROOTS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            dirnames[:] = sorted(d for d in dirnames if not d.startswith("."))
            folder = os.path.relpath(dirpath, root)
            if "CMakeLists.txt" in filenames:
                cmake_folders.add(folder)
            sources = [f for f in filenames if f.endswith(SOURCE_SUFFIXES)]
            if sources:
                source_folders[folder] = [os.path.join(dirpath, f) for f in sorted(sources)]

    # A component is the nearest folder with a CMakeLists.txt at or above a
    # source folder (or the source folder itself when there is none).
    def component_of(folder):
        for top in ONE_LIBRARY:
            if folder == top or folder.startswith(top + "/"):
                return top
        f = folder
        while f and f != ".":
            if f in cmake_folders:
                return f
            f = os.path.dirname(f)
        return folder

    includes = {}  # component -> [(file, included path)]
    for folder, files in source_folders.items():
        comp = component_of(folder)
        for path in files:
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE_RE.match(line)
                    if m:
                        includes.setdefault(comp, []).append((f"{os.path.relpath(path, root)}:{number}", m.group(1)))

    library_owner, links = {}, {}
    for folder in cmake_folders:
        defined, linked = read_cmake(root, folder)
        for lib in defined:
            library_owner[lib] = folder
        links[folder] = linked

    components = set(cmake_folders) | {component_of(f) for f in source_folders}
    return components, component_of, includes, library_owner, links


def check(root):
    components, component_of, includes, library_owner, links = scan(root)
    errors = []

    for comp in sorted(components):
        if entry_of(comp) is None:
            errors.append(f"{comp}: no layer entry covers this folder; add it to LAYERS in tools/layers/check_layers.py")

    edges = {}  # component -> {dependency: reason}

    def depend(comp, dep, reason):
        if dep == comp:
            return
        edges.setdefault(comp, {}).setdefault(dep, reason)
        src_entry, dep_entry = entry_of(comp), entry_of(dep)
        if src_entry is None or dep_entry is None or src_entry == dep_entry:
            return
        if RANK[dep_entry][0] > RANK[src_entry][0]:
            if dep_entry == "tools" and comp.split("/")[0] in ("common", "apps"):
                what = "common/ and apps/ never use tools/"
            else:
                what = f"{dep_entry} ({RANK[dep_entry][1]}) is above {src_entry} ({RANK[src_entry][1]})"
            errors.append(f"{reason}: {what}")

    tops = {r + "/" for r in ROOTS}
    for comp, incs in includes.items():
        for path, inc in incs:
            if not any(inc.startswith(t) for t in tops):
                continue  # a header of the same folder, or a system one
            dep = component_of(os.path.dirname(inc))
            depend(comp, dep, f'{path} includes "{inc}"')

    for comp, linked in links.items():
        for lib in sorted(linked):
            dep = library_owner.get(lib)
            if dep is not None:
                depend(comp, dep, f"{comp}/CMakeLists.txt links {lib}")

    # Loops between components of one entry (any other loop has an edge
    # upwards, reported above).
    state = {}

    def visit(node, stack):
        state[node] = 1
        stack.append(node)
        for dep in sorted(d for d in edges.get(node, {}) if entry_of(d) == entry_of(node)):
            if state.get(dep) == 1:
                loop = stack[stack.index(dep):] + [dep]
                errors.append("dependency loop: " + " -> ".join(loop) + " (" + edges[node][dep] + ")")
            elif state.get(dep) is None:
                visit(dep, stack)
        stack.pop()
        state[node] = 2

    for comp in sorted(edges):
        if comp not in state:
            visit(comp, [])

    return errors


README_ROW_RE = re.compile(r"^\|\s*([^|]+?)\s*\|(.*)\|\s*$")
README_ENTRY_RE = re.compile(r"`([^`]+)`")


def readme_layers(text):
    """The (layer, entries) rows of the "Layers" table of a README, or None."""
    lines = text.splitlines()
    try:
        start = lines.index("## Layers")
    except ValueError:
        return None
    rows = []
    for line in lines[start + 1:]:
        if line.startswith("## "):
            break
        m = README_ROW_RE.match(line)
        if not m or m.group(1) in ("layer", "---"):
            continue
        # Notes in brackets may name other folders: only the cell's own
        # entries count.
        cell = re.sub(r"\([^()]*\)", "", m.group(2))
        entries = [e[:-2] if e.endswith("/*") else e for e in README_ENTRY_RE.findall(cell)]
        rows.append((m.group(1), entries))
    return rows


def check_readme(root):
    """Where the README's layer table differs from LAYERS (none without a README)."""
    path = os.path.join(root, "README.md")
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        rows = readme_layers(f.read())
    if rows is None:
        return ["README.md: no \"## Layers\" section"]
    errors = []
    for i in range(max(len(rows), len(LAYERS))):
        want = LAYERS[i] if i < len(LAYERS) else None
        have = tuple(rows[i]) if i < len(rows) else None
        if want is None or have is None or (have[0], have[1]) != (want[0], want[1]):
            errors.append(f"README.md, \"Layers\", row {i + 1}: {have} where the check has {want}")
    return errors


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root = os.path.abspath(sys.argv[1])
    errors = check(root) + check_readme(root)
    for e in errors:
        print("layer check: " + e, file=sys.stderr)
    if errors:
        print(f"layer check: {len(errors)} violation(s); the order is in README.md, \"Layers\"", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
