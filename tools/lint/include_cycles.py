#!/usr/bin/env python3
"""Finds include circles between the repository's source units.

A unit is a header and its source file together (a.h and a.cpp in one folder are unit a).
Unit a depends on unit b when any of a's files includes b.h with a quoted include. A quoted
include is resolved by file name among the git-tracked headers: the one in the including
file's folder first, else every tracked header whose path ends in the included path.

Usage: include_cycles.py [REPOSITORY_ROOT]   (default: the current folder)
Prints every circle, one per strongly connected group of units, and exits 1 if there is one;
exits 0 when there is none and 2 when the files cannot be listed.
"""
import os
import re
import subprocess
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = (".h", ".cpp")


def tracked_sources(root):
    listing = subprocess.run(["git", "-C", root, "ls-files", "-z", "--", "*.h", "*.cpp"],
                             capture_output=True, check=True)
    return sorted(p for p in listing.stdout.decode().split("\0") if p.endswith(SOURCE_SUFFIXES))


def unit_of(path):
    return os.path.splitext(path)[0]


def resolve(include, including_file, headers, headers_by_name):
    """The tracked headers a quoted include may name."""
    beside = os.path.normpath(os.path.join(os.path.dirname(including_file), include))
    if beside in headers:
        return [beside]
    candidates = headers_by_name.get(os.path.basename(include), [])
    return [h for h in candidates if h == include or h.endswith("/" + include)]


def dependency_graph(root, files):
    headers = {f for f in files if f.endswith(".h")}
    headers_by_name = {}
    for header in sorted(headers):
        headers_by_name.setdefault(os.path.basename(header), []).append(header)
    graph = {unit_of(f): set() for f in files}
    # Where each dependency comes from, to show the include that closes a circle.
    evidence = {}
    for path in files:
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
            text = source.read()
        unit = unit_of(path)
        for include in INCLUDE.findall(text):
            for header in resolve(include, path, headers, headers_by_name):
                target = unit_of(header)
                if target == unit:
                    continue
                graph[unit].add(target)
                evidence.setdefault((unit, target), f'{path} includes "{include}"')
    return graph, evidence


def strongly_connected(graph):
    """Tarjan's algorithm, iterative so that deep trees do not exhaust the stack."""
    index = {}
    low = {}
    on_stack = set()
    stack = []
    groups = []
    counter = 0
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph[start])))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, successors = work[-1]
            advanced = False
            for successor in successors:
                if successor not in index:
                    index[successor] = low[successor] = counter
                    counter += 1
                    stack.append(successor)
                    on_stack.add(successor)
                    work.append((successor, iter(sorted(graph[successor]))))
                    advanced = True
                    break
                if successor in on_stack:
                    low[node] = min(low[node], index[successor])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                group = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    group.append(member)
                    if member == node:
                        break
                if len(group) > 1:
                    groups.append(sorted(group))
    return groups


def one_circle(graph, group):
    """A shortest path from the group's first unit back to itself, inside the group."""
    members = set(group)
    start = group[0]
    previous = {start: None}
    frontier = [start]
    while frontier:
        following = []
        for node in frontier:
            for successor in sorted(graph[node]):
                if successor not in members:
                    continue
                if successor == start:
                    path = [node]
                    while previous[path[-1]] is not None:
                        path.append(previous[path[-1]])
                    return list(reversed(path)) + [start]
                if successor not in previous:
                    previous[successor] = node
                    following.append(successor)
        frontier = following
    return [start]


def main(argv):
    root = argv[1] if len(argv) > 1 else "."
    try:
        files = tracked_sources(root)
    except (OSError, subprocess.CalledProcessError) as error:
        print(f"include_cycles: cannot list the files of {root}: {error}", file=sys.stderr)
        return 2
    graph, evidence = dependency_graph(root, files)
    groups = strongly_connected(graph)
    for group in groups:
        circle = one_circle(graph, group)
        print("include circle: " + " -> ".join(circle))
        for a, b in zip(circle, circle[1:]):
            print(f"  {evidence[(a, b)]}")
        if len(group) > len(circle) - 1:
            print("  units in the same knot: " + ", ".join(group))
    if groups:
        print(f"include_cycles: {len(groups)} circle(s) found", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
