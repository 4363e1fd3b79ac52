#!/usr/bin/env python3
"""Runs one command-line case of pipenet in a fresh folder.

    run_cli.py PIPENET CASE      run one case
    run_cli.py --list            print the case names, one a line

Each case writes its files into the folder, runs pipenet with its arguments and checks the exit
status and what must (and must not) appear on standard output and standard error.
"""
import json
import os
import pathlib
import pty
import subprocess
import sys
import tempfile

SOURCE = pathlib.Path(__file__).resolve().parents[2]


def row(*fields, width=10):
    return "".join(f.rjust(width) for f in fields)


LOOP = "\n".join([
    row("4", "4", "2", "1", "97900."),
    row("1", "0.00", "0.00"),
    row("2", "80.00", "0.00"),
    row("3", "80.00", "60.00"),
    row("4", "0.00", "60.00"),
    row("1", "1", "2", "0.20000"),
    row("2", "2", "3", "0.15000"),
    row("3", "1", "4", "0.15000"),
    row("4", "4", "3", "0.20000"),
    "3".rjust(10) + "-0.6000".rjust(12),
    "4".rjust(10) + "-0.2000".rjust(12),
    row("1", "120.0000"),
]) + "\n"


def loop_with(line, text):
    lines = LOOP.split("\n")
    lines[line - 1] = text
    return "\n".join(lines)


def run(pipenet, args, folder, env=None, tty=False):
    environment = dict(os.environ)
    environment.pop("NO_COLOR", None)
    environment.update(env or {})
    if not tty:
        p = subprocess.run([pipenet] + args, cwd=folder, env=environment, capture_output=True,
                           timeout=120)
        return p.returncode, p.stdout, p.stderr
    leader, follower = pty.openpty()
    p = subprocess.Popen([pipenet] + args, cwd=folder, env=environment, stdout=follower,
                         stderr=subprocess.PIPE)
    os.close(follower)
    out = b""
    while True:
        try:
            chunk = os.read(leader, 65536)
        except OSError:
            break
        if not chunk:
            break
        out += chunk
    err = p.stderr.read()
    p.wait(timeout=120)
    os.close(leader)
    return p.returncode, out, err


def json_float_text(pipenet, folder):
    status, out, _ = run(pipenet, ["check", "--json", "--explain", "input-lin.dat"], folder)
    document = json.loads(out)
    fields = document["files"][0]["records"][6]["fields"]
    problems = []
    if status != 0:
        problems.append(f"status {status}")
    if fields[3]["name"] != "diameter" or fields[3]["value"] != 0.15:
        problems.append(f"diameter field {fields[3]}")
    if b'"value":0.15}' not in out:
        problems.append("0.15 not written in its shortest form")
    if document["files"][0]["findings"] != [] or document["errors"] != 0:
        problems.append("findings in a clean file")
    return problems


def json_findings(pipenet, folder):
    status, out, _ = run(pipenet, ["check", "--json", "input-lin.dat"], folder)
    document = json.loads(out)
    findings = document["files"][0]["findings"]
    expected = {"file", "line", "first_column", "last_column", "severity", "code", "message"}
    problems = []
    if status != 0:
        problems.append(f"status {status}")
    if "records" in document["files"][0]:
        problems.append("records without --explain")
    if len(findings) != 1 or set(findings[0]) != expected:
        problems.append(f"findings {findings}")
    elif (findings[0]["line"], findings[0]["first_column"], findings[0]["last_column"],
          findings[0]["severity"], findings[0]["code"]) != (6, 31, 40, "warning",
                                                            "implied-decimals"):
        problems.append(f"finding {findings[0]}")
    if document["files"][0]["file"] != "input-lin.dat":
        problems.append("file name")
    return problems


BARE_DIAMETER = loop_with(6, row("1", "1", "2", "20"))

CASES = [
    dict(name="help", args=["--help"], status=0, stdout=["Usage: pipenet", "check"]),
    dict(name="help_check", args=["help", "check"], status=0,
         stdout=["--explain", "--json", "--program", "--werror", "Exit status"]),
    dict(name="check_help", args=["check", "--help"], status=0, stdout=["--explain"]),
    dict(name="version", args=["--version"], status=0, stdout=["pipenet 1.0\n"]),
    dict(name="unknown_command", args=["bogus"], status=2, stderr=["unknown command 'bogus'"]),
    dict(name="unknown_option", args=["check", "--frob"], status=2, stderr=["--frob"]),
    dict(name="unknown_program", args=["check", "--program", "pipe", "x"], status=2,
         stderr=["pipe"]),
    dict(name="no_command", args=[], status=2, stderr=["subcommand"]),
    dict(name="help_for_nothing", args=["help", "nothing"], status=2, stderr=["no command"]),
    dict(name="no_default_files", args=["check"], status=2, stderr=["input-lin.dat"]),
    dict(name="missing_file", args=["check", "absent.dat"], status=2,
         stderr=["cannot read absent.dat: No such file or directory"]),
    dict(name="directory", dirs=["input-lin.dat"], args=["check", "input-lin.dat"], status=2,
         stderr=["cannot read input-lin.dat: Is a directory"]),
    dict(name="empty_file", files={"input-lin.dat": ""}, args=["check"], status=1,
         stdout=["input-lin.dat:1: error: the file ends where the header is expected (the file "
                 "is empty): the run ends with an end-of-file failure [missing-record]\n"]),
    dict(name="count_2147483647",
         files={"input-lin.dat": loop_with(1, row("2147483647", "4", "2", "1", "97900."))},
         args=["check"], status=1, stdout=["[capacity]", "[missing-record]"]),
    dict(name="binary_junk", files={"input-nonlin.dat": bytes(range(256)) * 64}, args=["check"],
         status=1, stdout=["error:"]),
    dict(name="ten_megabyte_line",
         files={"input-lin.dat": loop_with(6, row("1", "1", "2", "0.2") + " " + "7" * (10 << 20))},
         args=["check"], status=0, stdout=["[text-after-fields]"]),
    dict(name="werror", files={"input-lin.dat": BARE_DIAMETER}, args=["check", "--werror"],
         status=1, stdout=["error: diameter has no decimal point", "1 error, 0 warnings"]),
    dict(name="warning_only", files={"input-lin.dat": BARE_DIAMETER}, args=["check"], status=0,
         stdout=["warning: diameter has no decimal point"]),
    dict(name="program_unknown",
         files={"net.dat": row("4", "4", "2", "1", "9") + "\n"}, args=["check", "net.dat"],
         status=2, stderr=["--program lamnet or --program turbnet"]),
    dict(name="program_given",
         files={"net.dat": LOOP}, args=["check", "--program", "lamnet", "net.dat"], status=0,
         stdout=["net.dat: no problems found: lamnet input"]),
    dict(name="program_from_header", files={"net.dat": LOOP}, args=["check", "net.dat"],
         status=0, stdout=["net.dat: no problems found: lamnet input"]),
    dict(name="default_files", copy=["examples/input-lin.dat", "examples/input-nonlin.dat"],
         args=["check"], status=0,
         stdout=["input-lin.dat: no problems found: lamnet input, 9 nodes, 12 pipes, 4 known "
                 "discharges, 2 known heads\n"
                 "input-nonlin.dat: no problems found: turbnet input, 30 nodes, 49 pipes, 27 "
                 "known discharges, 3 known heads\n"]),
    dict(name="explain", files={"input-lin.dat": LOOP}, args=["check", "--explain"], status=0,
         stdout=["input-lin.dat:7: pipe record 2\n",
                 "diameter", '"   0.15000" -> 0.15\n']),
    dict(name="one_unreadable_of_two", files={"input-lin.dat": LOOP},
         args=["check", "input-lin.dat", "absent.dat"], status=2,
         stdout=["no problems found"], stderr=["absent.dat"]),
    # A pipe is read whole: its program is told from its first line, as a file's is.
    dict(name="pipe_without_program", fifo="net.dat", args=["check", "net.dat"], status=0,
         stdout=["net.dat: no problems found: lamnet input, 4 nodes"]),
    dict(name="json_values", files={"input-lin.dat": LOOP}, custom=json_float_text),
    dict(name="json_findings", files={"input-lin.dat": BARE_DIAMETER}, custom=json_findings),
    dict(name="json_binary_junk", files={"input-lin.dat": bytes(range(256)) * 4},
         args=["check", "--json", "--explain"], status=1, stdout=['"errors":']),
    dict(name="colour_on_terminal", files={"input-lin.dat": BARE_DIAMETER}, args=["check"],
         tty=True, status=0, stdout=["\033[1;35mwarning:"]),
    dict(name="no_colour_with_NO_COLOR", files={"input-lin.dat": BARE_DIAMETER}, args=["check"],
         tty=True, env={"NO_COLOR": "1"}, status=0, stdout=["warning:"], not_stdout=["\033["]),
    dict(name="no_colour_in_a_pipe", files={"input-lin.dat": BARE_DIAMETER}, args=["check"],
         status=0, stdout=["warning:"], not_stdout=["\033["]),
]


def check_case(pipenet, case):
    with tempfile.TemporaryDirectory() as tmp:
        folder = pathlib.Path(tmp)
        for name, content in case.get("files", {}).items():
            data = content.encode() if isinstance(content, str) else content
            (folder / name).write_bytes(data)
        held_reader = None
        if "fifo" in case:
            # The worked loop waits in a named pipe before pipenet starts: a reader held
            # here keeps the bytes in the pipe after the writer has closed, so pipenet
            # never races a writer that has not opened its end yet.
            fifo = folder / case["fifo"]
            os.mkfifo(fifo)
            held_reader = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
            writer = os.open(fifo, os.O_WRONLY)
            os.write(writer, LOOP.encode())
            os.close(writer)
        for name in case.get("dirs", []):
            (folder / name).mkdir()
        for path in case.get("copy", []):
            source = SOURCE / path
            (folder / source.name).write_bytes(source.read_bytes())
        if "custom" in case:
            return case["custom"](pipenet, folder)
        try:
            status, out, err = run(pipenet, case["args"], folder, case.get("env"),
                                   case.get("tty", False))
        finally:
            if held_reader is not None:
                os.close(held_reader)
        problems = []
        if status != case["status"]:
            problems.append(f"exit status {status}, expected {case['status']}")
        for text in case.get("stdout", []):
            if text.encode() not in out:
                problems.append(f"standard output lacks {text!r}")
        for text in case.get("not_stdout", []):
            if text.encode() in out:
                problems.append(f"standard output holds {text!r}")
        for text in case.get("stderr", []):
            if text.encode() not in err:
                problems.append(f"standard error lacks {text!r}")
        if problems:
            problems.append("stdout: " + out[:2000].decode(errors="replace"))
            problems.append("stderr: " + err[:2000].decode(errors="replace"))
        return problems


def main():
    if sys.argv[1:] == ["--list"]:
        print(";".join(c["name"] for c in CASES))
        return 0
    pipenet, name = sys.argv[1], sys.argv[2]
    found = [c for c in CASES if c["name"] == name]
    if len(found) != 1:
        print(f"no case named {name!r}")
        return 1
    problems = check_case(os.path.abspath(pipenet), found[0])
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
