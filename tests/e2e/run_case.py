#!/usr/bin/env python3
"""Runs one end-to-end case: a built program in a fresh temporary folder holding the case's
input file, with the case's standard input, compared byte for byte with the expected standard
output, standard error and exit status.

A case folder holds:
  input-lin.dat / input-nonlin.dat   the input file (absent: the program must create it empty)
  stdin                              standard input (absent: empty)
  expected.stdout                    the report
  expected.stderr                    failure reports (absent: empty); @DIR@ stands for the
                                     temporary folder's full path
  expected.status                    exit status (absent: 0)
  mode                               optional special setting, one word:
                                       fifo-signal  the input file is a FIFO nobody writes;
                                                    SIGINT is sent once the program is blocked
                                       unprivileged run as user nobody in a folder it may not
                                                    write, so the input file cannot be created
                                       directory    the input path is a directory
                                       merged       standard error goes into the same pipe as
                                                    standard output, so expected.stdout holds
                                                    both streams in the order they were
                                                    written (expected.stderr stays empty)
                                       full-report  standard output is /dev/full, so every
                                                    write of the report fails (expected.stdout
                                                    stays empty)
                                       reader-gone  standard output is a pipe whose reading end
                                                    is closed before the run, so every write of
                                                    the report fails (expected.stdout stays
                                                    empty)
                                       read-only-input
                                                    the input file is read-only (0444) and the
                                                    program runs as an unprivileged user (as
                                                    user nobody when the test runs as root), so
                                                    it may read the file but not write it
                                       stdin-quit   standard input is a pipe left open with
                                       stdin-hangup nothing written; SIGQUIT (SIGHUP) is sent
                                                    once the program is blocked reading it
"""
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time

INPUT_NAMES = ("input-lin.dat", "input-nonlin.dat")


def fail(message):
    print(message)
    sys.exit(1)


def compare(what, expected: bytes, actual: bytes):
    if expected == actual:
        return True
    exp_lines = expected.decode("latin-1").splitlines(keepends=True)
    act_lines = actual.decode("latin-1").splitlines(keepends=True)
    import difflib
    diff = difflib.unified_diff(exp_lines, act_lines, "expected " + what, "actual " + what)
    sys.stdout.writelines(repr(line)[1:-1] + "\n" for line in diff)
    return False


def wait_until_blocked_on(pid, path, limit=10.0):
    """Waits until the process holds `path` open and sleeps in the kernel (its read of the FIFO),
    so that a signal sent now arrives while the read waits, even on a loaded machine."""
    target = str(path)
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        try:
            opened = any(os.readlink(f"/proc/{pid}/fd/{fd}") == target
                         for fd in os.listdir(f"/proc/{pid}/fd"))
            with open(f"/proc/{pid}/stat") as stat:
                state = stat.read().rsplit(")", 1)[1].split()[0]
        except OSError:
            opened, state = False, ""
        if opened and state == "S":
            time.sleep(0.1)
            return
        time.sleep(0.02)
    fail(f"the program did not block on {target} within {limit} s")


def wait_until_reading_stdin(pid, limit=10.0):
    """Waits until the program's main thread sleeps in a read of its standard input, so that a
    signal sent now arrives during that wait and not while the input file is being read."""
    read_call = {"x86_64": "0", "aarch64": "63", "riscv64": "63"}.get(os.uname().machine)
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        try:
            with open(f"/proc/{pid}/stat") as stat:
                state = stat.read().rsplit(")", 1)[1].split()[0]
            with open(f"/proc/{pid}/syscall") as syscall:
                call = syscall.read().split()
        except OSError:
            state, call = "", []
        if state == "S" and len(call) > 1 and call[1] == "0x0" and read_call in (None, call[0]):
            time.sleep(0.1)
            return
        time.sleep(0.02)
    fail(f"the program did not block reading its standard input within {limit} s")


def unprivileged_user():
    """Keyword arguments of subprocess that run the program as user nobody when the test runs as
    root: root may open any file for writing, so a permission test run as root tests nothing."""
    if os.geteuid() != 0:
        return {}
    return {"user": "nobody", "group": "nogroup", "extra_groups": []}


def started_as(user, program, folder):
    """The command that starts `program` as `user`: a copy in `folder` when that is another
    user, who may have no way into the build folder (a clone in root's home, mode 700)."""
    if not user:
        return [program]
    copy = pathlib.Path(folder) / os.path.basename(program)
    shutil.copy2(program, copy)
    os.chmod(copy, 0o755)
    return [str(copy)]


SIGNAL_MODES = {"fifo-signal": signal.SIGINT, "stdin-quit": signal.SIGQUIT,
                "stdin-hangup": signal.SIGHUP}


def main():
    program = os.path.abspath(sys.argv[1])
    case = pathlib.Path(sys.argv[2])
    mode = (case / "mode").read_text().strip() if (case / "mode").exists() else ""
    stdin = (case / "stdin").read_bytes() if (case / "stdin").exists() else b""
    expected_out = (case / "expected.stdout").read_bytes()
    expected_err = (case / "expected.stderr").read_bytes() if (case / "expected.stderr").exists() else b""
    expected_status = int((case / "expected.status").read_text()) if (case / "expected.status").exists() else 0
    input_name = "input-lin.dat" if os.path.basename(program).startswith("lamnet") else "input-nonlin.dat"

    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp) / "run"
        work.mkdir()
        for name in INPUT_NAMES:
            if (case / name).exists():
                shutil.copyfile(case / name, work / name)
        command = [program]
        user = {}
        if mode == "directory":
            (work / input_name).mkdir()
        elif mode == "fifo-signal":
            os.mkfifo(work / input_name)
        elif mode in ("merged", "full-report", "reader-gone", "stdin-quit", "stdin-hangup"):
            pass
        elif mode == "unprivileged":
            os.chmod(tmp, 0o755)
            os.chmod(work, 0o555)
            user = unprivileged_user()
            command = started_as(user, program, tmp)
        elif mode == "read-only-input":
            os.chmod(tmp, 0o755)
            os.chmod(work, 0o755)
            os.chmod(work / input_name, 0o444)
            user = unprivileged_user()
            command = started_as(user, program, tmp)
        elif mode:
            fail(f"unknown mode {mode!r}")

        if mode in SIGNAL_MODES:
            process = subprocess.Popen(command, cwd=work, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE)
            if mode == "fifo-signal":
                wait_until_blocked_on(process.pid, work / input_name)
            else:
                wait_until_reading_stdin(process.pid)
            process.send_signal(SIGNAL_MODES[mode])
            if mode != "fifo-signal":
                # Standard input stays open until the program has ended: closed earlier, the
                # read could see its end before the signal is handled.
                try:
                    process.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    process.kill()
                    print("the program did not end on the signal")
            out, err = process.communicate(stdin, timeout=20)
            status = process.returncode
        elif mode == "reader-gone":
            reading_end, writing_end = os.pipe()
            os.close(reading_end)
            try:
                # The child gets the default action of SIGPIPE back (restore_signals), as a
                # program started from a shell has it.
                result = subprocess.run(command, cwd=work, input=stdin, timeout=60,
                                        stdout=writing_end, stderr=subprocess.PIPE)
            finally:
                os.close(writing_end)
            out, err, status = b"", result.stderr, result.returncode
        else:
            streams = {"stdout": subprocess.PIPE, "stderr": subprocess.PIPE}
            if mode == "merged":
                streams["stderr"] = subprocess.STDOUT
            with open(os.devnull if mode != "full-report" else "/dev/full", "wb") as full:
                if mode == "full-report":
                    streams["stdout"] = full
                result = subprocess.run(command, cwd=work, input=stdin, timeout=60, **streams, **user)
            out, err, status = result.stdout or b"", result.stderr or b"", result.returncode
        if mode == "merged":
            out = out.replace(str(work).encode(), b"@DIR@")
        if status < 0:
            status = 128 - status  # killed by a signal: report it as a shell would

        expected_err = expected_err.replace(b"@DIR@", str(work).encode())
        ok = compare("stdout", expected_out, out)
        ok = compare("stderr", expected_err, err) and ok
        if status != expected_status:
            print(f"exit status {status}, expected {expected_status}")
            ok = False
        if mode in ("", "merged", "full-report") and not any((case / n).exists() for n in INPUT_NAMES):
            made = work / input_name
            if not made.is_file() or made.stat().st_size != 0:
                print(f"{input_name} was not created empty")
                ok = False
        if mode == "unprivileged":
            os.chmod(work, 0o755)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
