#!/usr/bin/env python3
"""lamnet and turbnet refuse any argument: one usage line on standard error, status 2, nothing
written on standard output, and the run folder left exactly as it was (no input file created
where there was none, an existing one neither read into a report nor changed).

  check_arguments.py lamnet|turbnet PROGRAM INPUT
"""
import os
import pathlib
import subprocess
import sys
import tempfile

USAGE = {
    "lamnet": "usage: lamnet (no arguments): reads input-lin.dat in the current folder and writes"
              " the report to standard output; see man lamnet\n",
    "turbnet": "usage: turbnet (no arguments): reads input-nonlin.dat in the current folder and"
               " the print flag from standard input, and writes the report to standard output;"
               " see man turbnet\n",
}

ARGUMENT_LISTS = [
    ["--help"],
    ["-h"],
    ["--version"],
    [""],
    ["input-lin.dat"],
    ["input-nonlin.dat"],
    ["one", "two", "three"],
]


def snapshot(folder):
    """Every entry under `folder` with its bytes and modification time."""
    entries = {}
    for path in sorted(pathlib.Path(folder).rglob("*")):
        stat = path.lstat()
        entries[str(path.relative_to(folder))] = (
            path.read_bytes() if path.is_file() else None, stat.st_mtime_ns)
    return entries


def main():
    name, program, input_file = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
    data = pathlib.Path(input_file).read_bytes()
    failed_runs = 0
    runs = 0
    for with_input in (False, True):
        for arguments in ARGUMENT_LISTS:
            with tempfile.TemporaryDirectory() as work:
                if with_input:
                    target = pathlib.Path(work) / pathlib.Path(input_file).name
                    target.write_bytes(data)
                    os.utime(target, ns=(1_000_000_000, 1_000_000_000))
                before = snapshot(work)
                # The print flag is offered on standard input: a refused run must not take it.
                result = subprocess.run([program] + arguments, cwd=work, input=b"1\n",
                                        capture_output=True, timeout=60)
                after = snapshot(work)
            runs += 1
            failures = 0
            where = f"{name} {arguments!r} ({'with' if with_input else 'without'} its input)"
            if result.returncode != 2:
                print(f"{where}: status {result.returncode}, expected 2")
                failures += 1
            if result.stdout:
                print(f"{where}: wrote on standard output: {result.stdout[:200]!r}")
                failures += 1
            if result.stderr.decode("latin-1") != USAGE[name]:
                print(f"{where}: standard error is {result.stderr!r}")
                failures += 1
            if before != after:
                print(f"{where}: the run folder changed: {sorted(before)} -> {sorted(after)}")
                failures += 1
            failed_runs += 1 if failures else 0
    print(f"{runs - failed_runs} passed, {failed_runs} failed")
    sys.exit(1 if failed_runs else 0)


if __name__ == "__main__":
    main()
