#!/usr/bin/env python3
"""Checks include_cycles.py on small made-up trees: what counts as a unit, how a quoted include
is resolved, which files are looked at, and what it prints and returns.

Usage: python3 tools/lint/include_cycles_test.py
"""
import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "include_cycles.py")


class IncludeCycles(unittest.TestCase):
    def make_tree(self, files, untracked=()):
        """A git repository holding `files` (path: text), plus untracked ones."""
        root = tempfile.mkdtemp()
        self.addCleanup(subprocess.run, ["rm", "-rf", root])
        for path, text in list(files.items()) + list(untracked):
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as out:
                out.write(text)
        subprocess.run(["git", "-C", root, "init", "-q"], check=True)
        subprocess.run(["git", "-C", root, "add", "--", *files], check=True)
        return root

    def check(self, root):
        run = subprocess.run([sys.executable, CHECKER, root], capture_output=True, text=True)
        return run.returncode, run.stdout

    def test_header_and_source_are_one_unit(self):
        # a.cpp including a.h is no dependency; a.cpp including b.h while b.h includes a.h
        # closes a circle between the units a and b, though no header includes itself.
        root = self.make_tree({"p/a.h": "", "p/a.cpp": '#include "a.h"\n#include "b.h"\n',
                               "p/b.h": '#include "a.h"\n'})
        code, out = self.check(root)
        self.assertEqual(code, 1)
        self.assertIn("p/a -> p/b -> p/a", out)
        self.assertIn('p/a.cpp includes "b.h"', out)
        self.assertIn('p/b.h includes "a.h"', out)

    def test_tree_without_circle_passes_silently(self):
        root = self.make_tree({"p/a.h": '#include "b.h"\n', "p/a.cpp": '#include "a.h"\n',
                               "p/b.h": "#include <vector>\n", "p/b.cpp": '#include "b.h"\n'})
        self.assertEqual(self.check(root), (0, ""))

    def test_includes_resolve_beside_first_then_by_path_ending(self):
        # "c.h" from x/ means x/c.h, not y/c.h; "y/c.h" reaches the other folder.
        root = self.make_tree({"x/c.h": "", "x/a.cpp": '#include "c.h"\n', "x/a.h": "",
                               "y/c.h": '#include "x/a.h"\n',
                               "y/c.cpp": "", "x/d.cpp": '#include "y/c.h"\n', "x/d.h": ""})
        code, out = self.check(root)
        self.assertEqual(code, 0, out)  # x/a -> x/c only; y/c -> x/a, x/d -> y/c: no circle
        root = self.make_tree({"x/a.h": "", "x/a.cpp": '#include "../y/c.h"\n',
                               "y/c.h": '#include "x/a.h"\n'})
        code, out = self.check(root)
        self.assertEqual(code, 1)
        self.assertIn("x/a -> y/c -> x/a", out)

    def test_untracked_files_and_other_suffixes_are_ignored(self):
        root = self.make_tree({"p/a.h": "", "p/a.cpp": '#include "b.h"\n',
                               "p/b.inc": '#include "a.h"\n'},
                              untracked=[("p/b.h", '#include "a.h"\n')])
        self.assertEqual(self.check(root), (0, ""))

    def test_every_separate_circle_is_reported(self):
        root = self.make_tree({"p/a.h": '#include "b.h"\n', "p/b.h": '#include "a.h"\n',
                               "q/c.h": '#include "d.h"\n', "q/d.h": '#include "e.h"\n',
                               "q/e.h": '#include "c.h"\n'})
        code, out = self.check(root)
        self.assertEqual(code, 1)
        self.assertIn("p/a -> p/b -> p/a", out)
        self.assertIn("q/c -> q/d -> q/e -> q/c", out)
        self.assertEqual(out.count("include circle:"), 2)

    def test_a_folder_outside_git_is_an_error(self):
        outside = tempfile.mkdtemp()
        self.addCleanup(os.rmdir, outside)
        code, _ = self.check(outside)
        self.assertEqual(code, 2)


if __name__ == "__main__":
    unittest.main()
