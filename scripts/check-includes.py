#!/usr/bin/env python3
"""Compiles each source of tests/ and each header of src/ on its own.

The presets build each folder's files together, where one file's includes
serve the next; a plain `cmake` build compiles them one by one. This check
parses every file alone (no code generated) with the flags of the target that
builds it, from BUILD/compile_commands.json, so a missing include fails here
and not on a packager's machine.

A test source that includes the test framework (itself or through a header of
tests/) gets the framework's headers precompiled: they are most of its parse,
and every header of tests/ is also parsed alone, without them, so a header
that forgets them still fails.

Usage: check-includes.py BUILD [JOBS]
"""

import json
import os
import re
import shlex
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def compile_args(command):
    """The compiler and its flags, without the input and output files."""
    args, out, skip = shlex.split(command), [], False
    for a in args:
        if skip:
            skip = False
        elif a in ("-o", "-c"):
            skip = True
        elif a != "-g" and not a.startswith("-g"):
            out.append(a)
    return out


def sources_of(entry):
    """The project sources a compile command builds: the file itself, or the
    files a unity file includes."""
    f = Path(entry["file"])
    if f.suffix == ".cxx" and "Unity" in f.parts:
        return [Path(p) for p in re.findall(r'#include "([^"]+)"', f.read_text())]
    return [f]


FRAMEWORK = {"gtest": "gtest/gtest.h", "gmock": "gmock/gmock.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]', re.M)


def framework_of(source, headers):
    """Which framework header the source reaches through its own includes or
    those of the tests/ headers it includes: "gmock", "gtest" or None."""
    seen, todo, found = set(), [source], set()
    while todo:
        f = todo.pop()
        if f in seen:
            continue
        seen.add(f)
        for name in INCLUDE.findall(f.read_text()):
            for key, header in FRAMEWORK.items():
                if name == header:
                    found.add(key)
            todo += [h for h in headers if h.name == Path(name).name and h not in seen]
    return "gmock" if "gmock" in found else "gtest" if found else None


def precompile(build, flag_sets):
    """Precompiles each framework header with the flags every test source
    shares (a macro defined otherwise than in the precompiled header makes the
    compiler refuse it); returns the -include flags of those that built (a
    failure only costs time)."""
    (args, cwd), *rest = flag_sets
    common = set(a for a in args if a.startswith("-D"))
    for other, _ in rest:
        common &= set(other)
    args = [a for a in args if not a.startswith("-D") or a in common]
    out = build / "check-includes"
    out.mkdir(exist_ok=True)
    flags = {}
    for key, header in FRAMEWORK.items():
        stub = out / f"{key}.h"
        stub.write_text(f"#include <{header}>\n")
        r = subprocess.run(args + ["-x", "c++-header", str(stub), "-o", f"{stub}.gch"],
                           cwd=cwd, capture_output=True, text=True)
        if r.returncode == 0:
            flags[key] = ["-include", str(stub)]
    return flags


def jobs_for(build):
    db = json.loads((build / "compile_commands.json").read_text())
    by_source, by_folder = {}, {}
    for e in db:
        args = compile_args(e["command"])
        for s in sources_of(e):
            by_source[s.resolve()] = (args, e["directory"])
            # A folder may hold several targets: the one with the most
            # include paths can parse any of its headers.
            best = by_folder.get(s.resolve().parent)
            if best is None or len(args) > len(best[0]):
                by_folder[s.resolve().parent] = (args, e["directory"])
    jobs = []
    tests = [s for s in sorted((ROOT / "tests").rglob("*.cpp")) if s.resolve() in by_source]
    test_headers = sorted((ROOT / "tests").rglob("*.h"))
    framework = {s: framework_of(s, test_headers) for s in tests}
    users = [by_source[s.resolve()] for s in tests if framework[s]]
    pch = precompile(build, users) if users else {}
    for s in tests:
        args, cwd = by_source[s.resolve()]
        pre = pch.get(framework[s], [])
        jobs.append((s, args + pre + ["-fsyntax-only", str(s)], cwd, None))
    missing_flags = []
    for h in sorted((ROOT / "src").rglob("*.h")) + test_headers:
        twin = h.resolve().with_suffix(".cpp")
        flags = by_source.get(twin) or by_folder.get(h.resolve().parent)
        if flags is None:
            missing_flags.append(h)
            continue
        args, cwd = flags
        text = f'#include "{h}"\n'
        jobs.append((h, args + ["-fsyntax-only", "-x", "c++", "-"], cwd, text))
    return jobs, missing_flags


def run(job):
    path, args, cwd, stdin = job
    r = subprocess.run(args, cwd=cwd, input=stdin, capture_output=True, text=True)
    return path, r.returncode, r.stderr


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    build = Path(sys.argv[1]).resolve()
    workers = int(sys.argv[2]) if len(sys.argv) > 2 else os.cpu_count() or 1
    jobs, missing_flags = jobs_for(build)
    if not jobs:
        print(f"check-includes: no files found through {build}", file=sys.stderr)
        return 1
    failed = []
    with ThreadPoolExecutor(workers) as pool:
        for path, rc, err in pool.map(run, jobs):
            if rc != 0:
                failed.append(path)
                print(f"== {path.relative_to(ROOT)} does not compile on its own:")
                print("\n".join(err.splitlines()[:20]))
    for h in missing_flags:
        print(f"== {h.relative_to(ROOT)}: no target builds a file of its folder")
    print(f"check-includes: {len(jobs)} files, {len(failed)} fail")
    return 1 if failed or missing_flags else 0


if __name__ == "__main__":
    sys.exit(main())
