#!/usr/bin/env python3
"""turbnet at a terminal: on a pseudo-terminal, the echo of the input and one line saying what
the program waits for must appear before the print flag is typed; after it, the rest of the
report. The report's bytes are those of a run with standard input from a pipe, where nothing
is added on standard error.

Usage: turbnet_at_terminal.py TURBNET INPUT_NONLIN_DAT
"""
import os
import pathlib
import pty
import select
import shutil
import subprocess
import sys
import tempfile
import termios
import time

PROMPT = (b"turbnet: waiting for the print flag: type 1 for a table of every pass or 0 for none, "
          b"then Enter")


def read_until(fd, done, limit=20.0):
    """Bytes from the terminal until done(bytes so far) or the other side closes."""
    data = b""
    deadline = time.monotonic() + limit
    while not done(data):
        left = deadline - time.monotonic()
        if left <= 0:
            raise SystemExit(f"nothing more within {limit} s; so far:\n{data.decode('latin-1')}")
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            continue
        try:
            piece = os.read(fd, 4096)
        except OSError:  # the program has gone and closed the terminal
            break
        if not piece:
            break
        data += piece
    return data


def main():
    program, input_file = os.path.abspath(sys.argv[1]), pathlib.Path(sys.argv[2])
    with tempfile.TemporaryDirectory() as work:
        shutil.copyfile(input_file, pathlib.Path(work) / "input-nonlin.dat")
        piped = subprocess.run([program], cwd=work, input=b"0\n", capture_output=True, timeout=60)

        leader, follower = pty.openpty()
        attributes = termios.tcgetattr(follower)
        attributes[3] &= ~termios.ECHO  # what is typed is not shown back
        termios.tcsetattr(follower, termios.TCSANOW, attributes)
        process = subprocess.Popen([program], cwd=work, stdin=follower, stdout=follower,
                                   stderr=follower, close_fds=True)
        os.close(follower)
        before = read_until(leader, lambda data: PROMPT in data)
        time.sleep(0.2)  # the program must be waiting, not finishing
        waiting = process.poll() is None
        os.write(leader, b"0\n")
        after = read_until(leader, lambda data: False)
        status = process.wait(timeout=20)
        os.close(leader)

    print("---- terminal, before the print flag is typed:")
    print(before.decode("latin-1").replace("\r\n", "\n"), end="")
    print("---- typed: 0")
    print("---- terminal, after:")
    print(after.decode("latin-1").replace("\r\n", "\n"), end="")
    print("----")

    problems = []
    report = piped.stdout
    echo_end = report.index(b"        node     prescribed   values\n")
    echo_end = report.index(b"\n", echo_end + 38) + 1  # the one known head's line
    shown = before.replace(b"\r\n", b"\n")
    if not waiting:
        problems.append("the program did not wait for the print flag")
    if not shown.startswith(report[:echo_end]):
        problems.append("the echo of the input did not appear before the print flag was typed")
    if b"results" in shown or b"convergence" in shown:
        problems.append("results appeared before the print flag was typed")
    if shown.count(PROMPT) != 1 or not shown.endswith(PROMPT + b"\n"):
        problems.append("the terminal did not end in one line saying what is awaited")
    terminal_report = shown.replace(PROMPT + b"\n", b"") + after.replace(b"\r\n", b"\n")
    if terminal_report != report:
        problems.append("the report at the terminal differs from the report through a pipe")
    if piped.stderr or piped.returncode != 0 or status != 0:
        problems.append(f"piped run: status {piped.returncode}, standard error {piped.stderr!r}; "
                        f"terminal run: status {status}")
    for problem in problems:
        print("FAILED:", problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
