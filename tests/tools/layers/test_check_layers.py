#!/usr/bin/env python3
"""The layer check on small trees: what it lets pass and what it refuses.

Usage: test_check_layers.py <path of check_layers.py>
"""

import importlib.util
import os
import sys
import tempfile
import unittest

CHECKER = None


def load_checker(path):
    spec = importlib.util.spec_from_file_location("check_layers", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


# A small tree that keeps the order; each case adds files to it.
BASE = {
    "common/container/CMakeLists.txt": "xr_component(DEPS z)\n",
    "common/container/xr_string.h": "#pragma once\n",
    "common/misc/CMakeLists.txt": "xr_component(DEPS xr_container)\n",
    "common/misc/xr_utf8.cpp": '#include "common/container/xr_string.h"\n#include <cstdio>\n#include "xr_utf8.h"\n',
    "common/types/CMakeLists.txt": "xr_component(DEPS xr_misc xr_container)\n",
    "common/types/xr_angle.h": '#include "common/misc/xr_utf8.h"\n',
    "common/gdi/CMakeLists.txt": "xr_component(DEPS xr_types)\n",
    "common/bmloader/CMakeLists.txt": "xr_component(DEPS xr_gdi)\n",
    "common/bmloader/xr_bitmap.h": '#include "common/gdi/xr_gdi.h"\n',
    "apps/services/CMakeLists.txt": "xr_component(DEPS xr_bmloader)\n",
    "apps/apps_common/CMakeLists.txt": "xr_component(DEPS xr_services)\n",
    "tools/mapgen/CMakeLists.txt": "set(DEPS_OF_MAPGEN xr_misc xr_services)\n"
                                   "xr_library(xr_mapgen SOURCES a.cpp DEPS ${DEPS_OF_MAPGEN})\n",
    "tools/mapgen/a.cpp": '#include "apps/services/xr_servcom.h"\n',
}

CASES = [
    # (name, extra files, text expected in the report; None: the check passes)
    ("the order kept", {}, None),
    ("a comment naming a library links nothing",
     {"common/container/CMakeLists.txt": "# not xr_misc\nxr_component(DEPS z) # xr_misc\n"}, None),
    ("siblings of one entry in one direction",
     {"apps/apps_common/x.cpp": '#include "apps/services/xr_servcom.h"\n'}, None),
    ("a header of the ground including one above it",
     {"common/container/xr_string.cpp": '#include "common/misc/xr_msgtable.h"\n'},
     'common/container/xr_string.cpp:1 includes "common/misc/xr_msgtable.h": common/misc (text and units) is above '
     "common/container (ground)"),
    ("a library linking one above it",
     {"common/container/CMakeLists.txt": "xr_component(DEPS xr_misc z)\n"},
     "common/container/CMakeLists.txt links xr_misc: common/misc"),
    ("a link through target_link_libraries",
     {"common/misc/CMakeLists.txt": "xr_component()\ntarget_link_libraries(xr_misc PUBLIC xr_types)\n"},
     "common/misc/CMakeLists.txt links xr_types"),
    ("the order within a layer",
     {"common/misc/xr_locale.cpp": '#include "common/types/xr_typeutil.h"\n'},
     'common/misc/xr_locale.cpp:1 includes "common/types/xr_typeutil.h": common/types (text and units) is above '
     "common/misc (text and units)"),
    ("common/ including tools/",
     {"common/misc/xr_dump.cpp": '// dumps\n#include "tools/mapgen/writer.h"\n'},
     'common/misc/xr_dump.cpp:2 includes "tools/mapgen/writer.h": common/ and apps/ never use tools/'),
    ("apps/ including tools/",
     {"apps/services/xr_x.cpp": '#include "tools/mapgen/writer.h"\n'},
     "common/ and apps/ never use tools/"),
    ("a folder no entry covers",
     {"common/newthing/CMakeLists.txt": "xr_component()\n"},
     "common/newthing: no layer entry covers this folder"),
    ("a loop inside one entry",
     {"apps/services/y.cpp": '#include "apps/apps_common/xr_naviapp.h"\n',
      "apps/apps_common/x.cpp": '#include "apps/services/xr_servcom.h"\n'},
     "dependency loop: apps/apps_common -> apps/services -> apps/apps_common"),
]


def write_tree(root, files):
    for rel, text in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)


class LayerCheckTest(unittest.TestCase):
    def test_cases(self):
        for name, extra, expected in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                write_tree(root, {**BASE, **extra})
                errors = CHECKER.check(root)
                if expected is None:
                    self.assertEqual(errors, [])
                else:
                    self.assertTrue(any(expected in e for e in errors), "\n".join(errors) or "no violation")

    def test_readme_table_matches_the_check(self):
        table = "\n".join(f"| {layer} | " + ", ".join(f"`{e}`" for e in entries) + " |"
                          for layer, entries in CHECKER.LAYERS)
        good = "# X\n\n## Layers\n\n| layer | components |\n|---|---|\n" + table + "\n\n## Next\n"
        cases = [
            ("the same table", good, None),
            ("a note naming another folder", good.replace("`common/misc`", "`common/misc` (not `common/os`)"), None),
            ("an entry left out", good.replace("`common/types`", ""), "row 2"),
            ("a layer renamed", good.replace("| geometry |", "| shapes |"), "row 4"),
            ("a row too many", good.replace("\n\n## Next", "\n| extra | `x` |\n\n## Next"),
             f"row {len(CHECKER.LAYERS) + 1}"),
            ("no table", "# X\n", "no \"## Layers\" section"),
        ]
        for name, readme, expected in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                write_tree(root, {"README.md": readme})
                errors = CHECKER.check_readme(root)
                if expected is None:
                    self.assertEqual(errors, [])
                else:
                    self.assertTrue(any(expected in e for e in errors), "\n".join(errors) or "no difference")

    def test_every_entry_is_listed_once(self):
        entries = [e for _, layer in CHECKER.LAYERS for e in layer]
        self.assertEqual(len(entries), len(set(entries)))


if __name__ == "__main__":
    CHECKER = load_checker(sys.argv.pop(1))
    unittest.main()
