#!/usr/bin/env python3
"""Layers point down: no source, header or build file of a folder includes,
compiles or links anything of a folder above it (or beside it)."""
import os
import re
import sys
import unittest

SOURCE = None

# Rank of each top folder; a folder may use itself and lower ranks only.
RANK = {
    "bindings": 0,
    "common": 0,
    "registry": 1,
    "certs": 1,
    "standins": 2,
    "bridge": 2,
    "daemon": 3,
    "browserpolicy": 3,
    "manager": 4,
}
# The bindings of the maker's libraries and the platform layer under them are
# one layer in two folders.
ONE_LAYER = {"bindings", "common"}

SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".c")
CMAKE_FILE = re.compile(r"(CMakeLists\.txt|\.cmake)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
TARGET_DEF = re.compile(r"\badd_(?:library|executable)\(\s*([\w.-]+)")
LINK = re.compile(r"\btarget_link_libraries\(\s*[\w${}.-]+((?:[^()]|\([^()]*\))*)\)", re.S)
SOURCE_PATH = re.compile(r"\$\{(?:CMAKE_SOURCE_DIR|S)\}/(\w+)")


def top(path):
    return path.split("/", 1)[0]


def files():
    for folder in RANK:
        for root, dirs, names in os.walk(os.path.join(SOURCE, folder)):
            for name in names:
                yield os.path.relpath(os.path.join(root, name), SOURCE)


def may_use(user, used_path):
    a, b = top(user), top(used_path)
    return a == b or {a, b} <= ONE_LAYER or (b in RANK and RANK[b] < RANK[a])


class Layers(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.all = sorted(files())
        cls.by_tail = {}
        for path in cls.all:
            parts = path.split("/")
            for i in range(len(parts)):
                cls.by_tail.setdefault("/".join(parts[i:]), []).append(path)

    def read(self, path):
        with open(os.path.join(SOURCE, path), encoding="utf-8", errors="replace") as f:
            return f.read()

    def includes(self):
        """(file, included name, files it may be, whether it sits beside the file)"""
        for path in self.all:
            if not path.endswith(SOURCE_ENDINGS):
                continue
            for name in INCLUDE.findall(self.read(path)):
                beside = os.path.normpath(os.path.join(os.path.dirname(path), name))
                if os.path.exists(os.path.join(SOURCE, beside)):
                    yield path, name, [beside], True
                else:
                    yield path, name, self.by_tail.get(name, []), False

    def test_includes_point_down(self):
        # Generated headers (forms, build settings) are nobody's layer.
        wrong = [f"{path} includes {name} ({', '.join(found)})"
                 for path, name, found, _ in self.includes()
                 if found and not any(may_use(path, f) for f in found)]
        self.assertEqual(wrong, [])

    def test_includes_of_another_folder_name_it(self):
        # A reader should see where a header comes from without the build's
        # include paths.
        unnamed = [f"{path} includes {name} ({', '.join(found)})"
                   for path, name, found, beside in self.includes()
                   if not beside and found and all(top(f) != top(path) for f in found) and name not in found]
        self.assertEqual(unnamed, [])

    def test_no_two_units_include_each_other(self):
        # A header and its source are one unit; two units that reach into
        # each other can only be understood, built and tested together.
        unit = lambda p: os.path.splitext(p)[0]
        uses = set()
        for path, _, found, _ in self.includes():
            uses.update((unit(path), unit(f)) for f in found if unit(f) != unit(path))
        pairs = sorted(f"{a} <-> {b}" for a, b in uses if a < b and (b, a) in uses)
        self.assertEqual(pairs, [])

    def test_build_files_point_down(self):
        owner = {}
        cmake = [p for p in self.all if CMAKE_FILE.search(p)]
        for path in cmake:
            for target in TARGET_DEF.findall(self.read(path)):
                owner.setdefault(target, path)
        wrong = []
        for path in cmake:
            text = self.read(path)
            for folder in SOURCE_PATH.findall(text):
                if folder in RANK and not may_use(path, folder + "/"):
                    wrong.append(f"{path} takes sources from {folder}/")
            for args in LINK.findall(text):
                for word in args.split():
                    if word in owner and not may_use(path, owner[word]):
                        wrong.append(f"{path} links {word} of {owner[word]}")
        self.assertEqual(wrong, [])

    def test_checks_see_the_tree(self):
        # A moved folder would leave the checks above with nothing to read.
        for folder in RANK:
            self.assertTrue(any(top(p) == folder for p in self.all), folder)
        self.assertIn("certs/x509/Sm3.h", self.all)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    SOURCE = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(here, "..", ".."))
    unittest.main()
