#!/usr/bin/env python3
"""Compiles each source of tests/ and each header of src/ on its own.

The presets build each folder's files together, where one file's includes
serve the next; a plain `cmake` build compiles them one by one. This check
parses every file alone (no code generated) with the flags of the target that
builds it, from BUILD/compile_commands.json, so a missing include fails here
and not on a packager's machine.

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
    for s in sorted((ROOT / "tests").rglob("*.cpp")):
        if s.resolve() in by_source:
            args, cwd = by_source[s.resolve()]
            jobs.append((s, args + ["-fsyntax-only", str(s)], cwd, None))
    missing_flags = []
    for h in sorted((ROOT / "src").rglob("*.h")):
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
