#!/usr/bin/env python3
"""Keeps the manual in step with the programs.

  check_docs.py examples --root SRC --lamnet PROG --turbnet PROG --pipenet PROG
      Every fenced block in README.md and docs/*.md that follows a marker comment is checked:

        <!-- input: PATH -->             the block is the file PATH (relative to SRC) byte for byte
        <!-- report: PATH [status=N] --> the block is the whole standard output of a run on PATH
        <!-- report-excerpt: PATH -->    the block's lines stand, in a row, in that output
        <!-- ruler: PATH -->             the block is a column ruler (two lines) and then lines
                                         that stand, in a row, in the file PATH
        <!-- check: PATH [status=N] [args=A,B] -->
                                         the block is the whole standard output of
                                         "pipenet check [A B] NAME" run in a folder holding PATH
                                         under its own name NAME
        <!-- stderr: PATH dir=D status=N -->
                                         the block is the run's standard error, with the run
                                         folder written as D
        <!-- pipenet: PATH args=A,B,... [show=WHAT] [head=N] [status=N] -->
                                         "pipenet A B ..." run in a folder holding PATH under
                                         its own name (an argument ";" starts another run in
                                         the same folder); the block is what WHAT names for the
                                         last run: stdout (the default), stderr, or a file
                                         written (CR LF shown as LF); with head=N, its first N
                                         lines

      A run copies PATH into an empty temporary folder and starts lamnet (for input-lin.dat) or
      turbnet (for input-nonlin.dat) there, with the file "stdin" next to PATH as its standard
      input (empty when there is none). Every input file and .inp file under docs/examples/
      must be shown or run in some document, so that no example is left unchecked.

  check_docs.py install --root SRC --build BUILD
      Installs BUILD into a temporary prefix with cmake --install and checks that both programs
      and both manual pages are there, that the installed programs run, and that the pages
      render without warnings.
"""
import argparse
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

MARKER = re.compile(r"<!--\s*(input|ruler|report|report-excerpt|stderr|check|pipenet):\s*(\S+)((?:\s+\w+=\S+)*)\s*-->")
INPUT_NAMES = {"input-lin.dat": "lamnet", "input-nonlin.dat": "turbnet"}


def fenced_block_after(lines, start):
    """Returns (text, line number) of the first fenced block after line `start`."""
    i = start
    while i < len(lines) and not lines[i].startswith("```"):
        if lines[i].strip():
            return None, i
        i += 1
    if i == len(lines):
        return None, i
    body = []
    j = i + 1
    while j < len(lines) and not lines[j].startswith("```"):
        body.append(lines[j])
        j += 1
    if j == len(lines):
        return None, i
    return "".join(line + "\n" for line in body), i


def ruler(width):
    tens = "".join(str(column // 10 % 10).rjust(10) for column in range(10, width + 1, 10))
    units = "".join(str(column % 10) for column in range(1, width + 1))
    return [tens, units]


def run_example(root, programs, path):
    source = root / path
    program = programs[INPUT_NAMES[source.name]]
    stdin = (source.parent / "stdin").read_bytes() if (source.parent / "stdin").exists() else b""
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp) / "run"
        work.mkdir()
        shutil.copyfile(source, work / source.name)
        result = subprocess.run([program], cwd=work, input=stdin, capture_output=True, timeout=60)
        return result.stdout.decode("latin-1"), result.stderr.decode("latin-1"), result.returncode, str(work)


def run_check(root, pipenet, path, extra):
    source = root / path
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        shutil.copyfile(source, work / source.name)
        environment = dict(os.environ, NO_COLOR="1")
        result = subprocess.run([pipenet, "check"] + extra + [source.name], cwd=work,
                                capture_output=True, timeout=60, env=environment)
        return result.stdout.decode("latin-1"), result.returncode


def run_pipenet(root, pipenet, path, args, show):
    source = root / path
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        shutil.copyfile(source, work / source.name)
        environment = dict(os.environ, NO_COLOR="1")
        runs = [[]]
        for arg in args:
            if arg == ";":
                runs.append([])
            else:
                runs[-1].append(arg)
        for run_args in runs:
            result = subprocess.run([pipenet] + run_args, cwd=work, capture_output=True,
                                    timeout=60, env=environment)
        if show == "stdout":
            shown = result.stdout
        elif show == "stderr":
            shown = result.stderr
        else:
            shown = (work / show).read_bytes() if (work / show).is_file() else b""
            shown = shown.replace(b"\r\n", b"\n")
        return shown.decode("latin-1"), result.returncode


def show_difference(expected, actual):
    import difflib
    for line in difflib.unified_diff(expected.splitlines(True), actual.splitlines(True), "document", "program"):
        sys.stdout.write(repr(line)[1:-1] + "\n")


def check_examples(args):
    root = pathlib.Path(args.root).resolve()
    programs = {"lamnet": os.path.abspath(args.lamnet), "turbnet": os.path.abspath(args.turbnet)}
    documents = [root / "README.md"] + sorted((root / "docs").glob("*.md"))
    failures = 0
    checked = 0
    shown = set()
    runs = {}
    for document in documents:
        lines = document.read_text(encoding="utf-8").split("\n")
        for number, line in enumerate(lines):
            match = MARKER.search(line)
            if not match:
                continue
            kind, path = match.group(1), match.group(2)
            options = dict(item.split("=", 1) for item in match.group(3).split())
            where = f"{document.relative_to(root)}:{number + 1}"
            block, _ = fenced_block_after(lines, number + 1)
            if block is None:
                print(f"{where}: no fenced block follows the {kind} marker")
                failures += 1
                continue
            if kind == "pipenet":
                if not (root / path).is_file():
                    print(f"{where}: {path} is not a file")
                    failures += 1
                    continue
                checked += 1
                shown.add((root / path).resolve())
                args_given = [a for a in options.get("args", "").split(",") if a]
                out, status = run_pipenet(root, os.path.abspath(args.pipenet), path, args_given,
                                          options.get("show", "stdout"))
                if "head" in options:
                    out = "".join(out.splitlines(True)[:int(options["head"])])
                if status != int(options.get("status", "0")):
                    print(f"{where}: pipenet {' '.join(args_given)} ended with status {status}")
                    failures += 1
                if block != out:
                    print(f"{where}: the block differs from what pipenet {' '.join(args_given)} "
                          f"shows")
                    show_difference(block, out)
                    failures += 1
                continue
            if not (root / path).is_file() or (root / path).name not in INPUT_NAMES:
                print(f"{where}: {path} is not an input file of either program")
                failures += 1
                continue
            checked += 1
            if kind == "check":
                extra = [a for a in options.get("args", "").split(",") if a]
                out, status = run_check(root, os.path.abspath(args.pipenet), path, extra)
                if status != int(options.get("status", "0")):
                    print(f"{where}: pipenet check on {path} ended with status {status}")
                    failures += 1
                if block != out:
                    print(f"{where}: the check output shown differs from that of {path}")
                    show_difference(block, out)
                    failures += 1
                continue
            if kind == "input":
                shown.add((root / path).resolve())
                actual = (root / path).read_text(encoding="latin-1")
                if block != actual:
                    print(f"{where}: the block differs from {path}")
                    show_difference(block, actual)
                    failures += 1
                continue
            if kind == "ruler":
                rows = block.split("\n")[:-1]
                have = (root / path).read_text(encoding="latin-1").split("\n")
                width = len(rows[1]) if len(rows) > 1 else 0
                if len(rows) < 3 or rows[:2] != ruler(width) or any(len(row) > width for row in rows[2:]):
                    print(f"{where}: the block is not a column ruler over lines no wider than it")
                    failures += 1
                elif not any(have[k:k + len(rows) - 2] == rows[2:] for k in range(len(have))):
                    print(f"{where}: the ruled lines do not stand, in a row, in {path}")
                    failures += 1
                continue
            if path not in runs:
                runs[path] = run_example(root, programs, path)
            out, err, status, folder = runs[path]
            expected_status = int(options.get("status", "0"))
            if kind in ("report", "stderr") and status != expected_status:
                print(f"{where}: {path} ended with status {status}, the document says {expected_status}")
                failures += 1
            if kind == "report" and block != out:
                print(f"{where}: the report shown differs from the report of {path}")
                show_difference(block, out)
                failures += 1
            elif kind == "report-excerpt":
                want = block.split("\n")[:-1]
                have = out.split("\n")
                if not want or not any(have[k:k + len(want)] == want for k in range(len(have))):
                    print(f"{where}: the excerpt does not stand, in a row, in the report of {path}")
                    show_difference(block, out)
                    failures += 1
            elif kind == "stderr":
                shown_err = block.replace(options.get("dir", "@DIR@"), folder)
                if shown_err != err:
                    print(f"{where}: the failure report shown differs from that of {path}")
                    show_difference(shown_err, err)
                    failures += 1
    for example in sorted((root / "docs" / "examples").rglob("*")):
        if (example.name in INPUT_NAMES or example.suffix == ".inp") and \
                example.resolve() not in shown:
            print(f"{example.relative_to(root)} is not shown in any document")
            failures += 1
    if checked == 0:
        print("no marked blocks found")
        failures += 1
    print(f"{checked} marked blocks checked, {failures} failures")
    return failures == 0


def check_install(args):
    root = pathlib.Path(args.root).resolve()
    ok = True
    with tempfile.TemporaryDirectory() as prefix:
        result = subprocess.run(["cmake", "--install", args.build, "--prefix", prefix], capture_output=True,
                                text=True, timeout=120)
        if result.returncode != 0:
            print("cmake --install failed:\n" + result.stdout + result.stderr)
            return False
        pipenet = pathlib.Path(prefix) / "bin" / "pipenet"
        version = subprocess.run([str(pipenet), "--version"], capture_output=True, timeout=60)
        if version.returncode != 0 or not version.stdout.startswith(b"pipenet "):
            print(f"installed pipenet did not run: status {version.returncode}")
            ok = False
        for program in ("lamnet", "turbnet", "pipenet"):
            page = pathlib.Path(prefix) / "share" / "man" / "man1" / f"{program}.1"
            if not page.is_file() or page.read_bytes() != (root / "man" / f"{program}.1").read_bytes():
                print(f"{page} is not installed as man/{program}.1")
                ok = False
        for program in ("lamnet", "turbnet"):
            binary = pathlib.Path(prefix) / "bin" / program
            if not (binary.is_file() and os.access(binary, os.X_OK)):
                print(f"{binary} is not installed as an executable")
                ok = False
                continue
            # An installed program run in an empty folder creates its input file and fails to
            # read it: this proves that it starts and finds its own runtime.
            with tempfile.TemporaryDirectory() as work:
                run = subprocess.run([str(binary)], cwd=work, input=b"", capture_output=True, timeout=60)
                if run.returncode != 24 or b"end-of-file during read, unit 2" not in run.stderr:
                    print(f"installed {program} did not run as expected: status {run.returncode}, "
                          f"{run.stderr!r}")
                    ok = False
            page = pathlib.Path(prefix) / "share" / "man" / "man1" / f"{program}.1"
            if not page.is_file():
                print(f"{page} is not installed")
                ok = False
                continue
            if page.read_bytes() != (root / "man" / f"{program}.1").read_bytes():
                print(f"{page} differs from man/{program}.1")
                ok = False
            if shutil.which("groff"):
                render = subprocess.run(["groff", "-man", "-ww", "-z", str(page)], capture_output=True, text=True)
                if render.returncode != 0 or render.stderr:
                    print(f"{page} renders with warnings:\n{render.stderr}")
                    ok = False
    print("install checked" if ok else "install check failed")
    return ok


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=("examples", "install"))
    parser.add_argument("--root", required=True)
    parser.add_argument("--lamnet")
    parser.add_argument("--turbnet")
    parser.add_argument("--pipenet")
    parser.add_argument("--build")
    args = parser.parse_args()
    ok = check_examples(args) if args.what == "examples" else check_install(args)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
