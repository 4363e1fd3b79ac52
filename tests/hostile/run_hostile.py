#!/usr/bin/env python3
"""Runs one hostile-input case of cases.py against a built program.

    run_hostile.py --lamnet PATH --turbnet PATH CASE

The program runs in a fresh temporary folder that holds the case's input file (or, in mode
"directory", a folder in its place), with the case's standard input. The case passes when the
exit status, the last non-empty line of standard output, the listed report lines (in order) and
every line of standard error are as the case says, and standard output ends with a line end.
"""
import argparse
import os
import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cases import CASES  # noqa: E402

INPUT_NAME = {"lamnet": "input-lin.dat", "turbnet": "input-nonlin.dat"}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lamnet", required=True)
    parser.add_argument("--turbnet", required=True)
    parser.add_argument("case")
    args = parser.parse_args()
    found = [c for c in CASES if c["name"] == args.case]
    if len(found) != 1:
        print(f"no case named {args.case!r}")
        return 1
    c = found[0]
    program = os.path.abspath(getattr(args, c["program"]))
    problems = []

    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp) / "run"
        work.mkdir()
        target = work / INPUT_NAME[c["program"]]
        if c["mode"] == "directory":
            target.mkdir()
        else:
            target.write_bytes(c["input"])
        try:
            done = subprocess.run([program], cwd=work, input=c["stdin"], capture_output=True,
                                  timeout=300)
        except subprocess.TimeoutExpired:
            print("the program did not end within 300 s")
            return 1
        full_dir = os.path.realpath(work)

    out = done.stdout.decode("latin-1")
    err = done.stderr.decode("latin-1")
    if done.returncode != c["status"]:
        problems.append(f"exit status {done.returncode}, expected {c['status']}")
    if out and not out.endswith("\n"):
        problems.append("standard output does not end with a line end")
    out_lines = out.split("\n")
    non_empty = [line for line in out_lines if line]
    last = non_empty[-1] if non_empty else ""
    if last != c["last"]:
        problems.append(f"last line {last!r}, expected {c['last']!r}")
    position = 0
    for wanted in c["lines"]:
        try:
            position = out_lines.index(wanted, position) + 1
        except ValueError:
            problems.append(f"line {wanted!r} missing from the report (or out of order)")
    expected_err = [line.replace("@DIR@", full_dir) for line in c["stderr"]]
    actual_err = err.split("\n")
    if actual_err and actual_err[-1] == "":
        actual_err.pop()
    elif err:
        problems.append("standard error does not end with a line end")
    if actual_err != expected_err:
        problems.append("standard error differs:\n  expected " + repr(expected_err)
                        + "\n  actual   " + repr(actual_err[:20]))
    for problem in problems:
        print(f"{c['name']}: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
