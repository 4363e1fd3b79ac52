#!/usr/bin/env python3
"""What pipenet's commands do to the files they write and read: outputs replaced whole and only
when complete, links followed, outputs that are inputs refused, temporary files removed when a
signal ends a run, pipes without a writer refused at once, write failures as status 2, and JSON
that is UTF-8 whatever the bytes of a name. Each case runs in a fresh folder.

    outputs_cli.py PIPENET CASE      run one case
    outputs_cli.py --list            print the case names, separated by ';'
"""
import json
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

SOURCE = pathlib.Path(__file__).resolve().parents[2]
LAMNET = (SOURCE / "examples" / "input-lin.dat").read_bytes()
TURBNET = (SOURCE / "examples" / "input-nonlin.dat").read_bytes()
GRID = (SOURCE / "docs" / "examples" / "grid-us" / "grid.inp").read_bytes()

# Every command with every file it writes: its arguments, with OUT where the output goes, and the
# inputs it needs in the folder (name, bytes). IN names the input an output may not be.
COMMANDS = [
    ("solve --json", ["solve", "IN", "--json", "OUT"], "input-lin.dat", LAMNET, "out.json"),
    ("solve --report", ["solve", "IN", "--report", "OUT"], "input-nonlin.dat", TURBNET,
     "out.txt"),
    ("renumber -o", ["renumber", "IN", "--program", "lamnet", "-o", "OUT"], "net.dat", LAMNET,
     "out.dat"),
    ("renumber --map", ["renumber", "IN", "--program", "lamnet", "-o", "other.dat", "--map",
                        "OUT"], "net.dat", LAMNET, "map.csv"),
    ("import-inp -o", ["import-inp", "IN", "-o", "OUT"], "grid.inp", GRID, "out.dat"),
    ("import-inp --map", ["import-inp", "IN", "-o", "other.dat", "--map", "OUT"], "grid.inp",
     GRID, "map.csv"),
    ("export-inp -o", ["export-inp", "IN", "--program", "lamnet", "-o", "OUT"], "net.dat", LAMNET,
     "out.inp"),
    ("plot -o", ["plot", "IN", "--program", "lamnet", "-o", "OUT"], "net.svg", LAMNET, "out.svg"),
]


def fail(message):
    print(message)
    sys.exit(1)


def run(pipenet, args, folder, timeout=120):
    done = subprocess.run([pipenet, *args], cwd=folder, capture_output=True, timeout=timeout)
    return done.returncode, done.stdout, done.stderr.decode("utf-8", "replace")


def fresh(folder, name):
    path = folder / name
    if path.exists() or path.is_symlink():
        shutil.rmtree(path) if path.is_dir() and not path.is_symlink() else path.unlink()
    path.mkdir()
    return path


def arguments(template, inp, out):
    return [inp if a == "IN" else out if a == "OUT" else a for a in template]


def leftovers(folder):
    return sorted(p.name for p in folder.rglob("*.tmp"))


def reference(pipenet, folder, template, inp, data, out):
    """The output a command writes as a new file."""
    where = fresh(folder, "reference")
    (where / inp).write_bytes(data)
    status, _, err = run(pipenet, arguments(template, inp, out), where)
    if status != 0:
        fail(f"{template}: status {status}: {err}")
    return (where / out).read_bytes()


def replaced_whole(pipenet, folder):
    """An output over a longer file: the file holds the new text alone, and a reader holding the
    old file (a second name of its inode) still sees the old text whole: it was replaced, not
    rewritten in place."""
    old = b"x" * 100000
    for name, template, inp, data, out in COMMANDS:
        want = reference(pipenet, folder, template, inp, data, out)
        where = fresh(folder, "work")
        (where / inp).write_bytes(data)
        (where / out).write_bytes(old)
        os.link(where / out, where / "held")
        status, _, err = run(pipenet, arguments(template, inp, out), where)
        if status != 0:
            fail(f"{name}: status {status}: {err}")
        if (where / out).read_bytes() != want:
            fail(f"{name}: the output is not the new text alone")
        if (where / "held").read_bytes() != old:
            fail(f"{name}: the old file was written in place")
        if leftovers(where):
            fail(f"{name}: left {leftovers(where)}")
    # The CSV tables of solve too.
    where = fresh(folder, "work")
    (where / "input-nonlin.dat").write_bytes(TURBNET)
    status, _, err = run(pipenet, ["solve", "input-nonlin.dat", "--csv", "fresh"], where)
    (where / "tables").mkdir()
    for table in ("nodes.csv", "pipes.csv", "passes.csv"):
        (where / "tables" / table).write_bytes(old)
    status, _, err = run(pipenet, ["solve", "input-nonlin.dat", "--csv", "tables"], where)
    for table in ("nodes.csv", "pipes.csv", "passes.csv"):
        if (where / "tables" / table).read_bytes() != (where / "fresh" / table).read_bytes():
            fail(f"solve --csv: {table} is not the new table alone")


def through_link(pipenet, folder):
    """An output that is a link: the file it names gets the new text alone, the link stays."""
    for name, template, inp, data, out in COMMANDS:
        want = reference(pipenet, folder, template, inp, data, out)
        where = fresh(folder, "work")
        (where / inp).write_bytes(data)
        (where / "long.txt").write_bytes(b"x" * 40000)
        os.symlink("long.txt", where / out)
        status, _, err = run(pipenet, arguments(template, inp, out), where)
        if status != 0:
            fail(f"{name}: status {status}: {err}")
        if not (where / out).is_symlink() or os.readlink(where / out) != "long.txt":
            fail(f"{name}: the link was replaced by a file")
        if (where / "long.txt").read_bytes() != want:
            fail(f"{name}: the linked file is not the new text alone "
                 f"({len((where / 'long.txt').read_bytes())} bytes, {len(want)} expected)")
        if leftovers(where):
            fail(f"{name}: left {leftovers(where)}")


def output_is_input(pipenet, folder):
    """An output that is an input, by its path, through a link or as another name of the same
    file, is refused before anything is written: status 2 and the input as it was."""
    for name, template, inp, data, out in COMMANDS:
        for how in ("same path", "link", "hard link"):
            where = fresh(folder, "work")
            (where / inp).write_bytes(data)
            target = inp
            if how != "same path":
                target = "alias" + pathlib.Path(out).suffix
                if how == "link":
                    os.symlink(inp, where / target)
                else:
                    os.link(where / inp, where / target)
            status, _, err = run(pipenet, arguments(template, inp, target), where)
            if status != 2 or "refused to write" not in err or "an input of this command" \
                    not in err:
                fail(f"{name}, {how}: status {status}: {err}")
            if (where / inp).read_bytes() != data:
                fail(f"{name}, {how}: the input was changed")
            names = sorted(p.name for p in where.iterdir())
            if names != sorted({inp, target}):
                fail(f"{name}, {how}: files {names}")
    where = fresh(folder, "work")
    (where / "input-lin.dat").write_bytes(LAMNET)
    (where / "input-nonlin.dat").write_bytes(TURBNET)
    refused = [
        # A map given to solve is an input too.
        ["solve", "input-lin.dat", "--map", "map.csv", "--json", "map.csv"],
        # A table of --csv that is an input.
        ["solve", "input-nonlin.dat", "tables/nodes.csv", "--program", "turbnet", "--csv",
         "tables"],
        # Two outputs in one file.
        ["solve", "input-lin.dat", "--json", "both.txt", "--report", "both.txt"],
        ["renumber", "input-lin.dat", "-o", "both.txt", "--map", "both.txt"],
        ["import-inp", "input-lin.dat", "-o", "both.txt", "--map", "both.txt"],
    ]
    (where / "map.csv").write_bytes(b"old,new\n1,1\n")
    (where / "tables").mkdir()
    (where / "tables" / "nodes.csv").write_bytes(TURBNET)
    for args in refused:
        status, _, err = run(pipenet, args, where)
        if status != 2 or "refused to write" not in err:
            fail(f"{args}: status {status}: {err}")
    if (where / "map.csv").read_bytes() != b"old,new\n1,1\n" or \
            (where / "tables" / "nodes.csv").read_bytes() != TURBNET or \
            (where / "both.txt").exists():
        fail("a refused command wrote a file")
    # Standard output may take any number of outputs.
    status, out, err = run(pipenet, ["solve", "input-lin.dat", "--json", "-", "--report", "-"],
                           where)
    if status != 0 or not out.startswith(b'{"file":"input-lin.dat"'):
        fail(f"--json - --report -: status {status}: {err}")


def write_failure(pipenet, folder):
    """A write that fails (a full device, reached through a link) ends every command with
    status 2 and the cause, never 0 or 1."""
    for name, template, inp, data, out in COMMANDS:
        where = fresh(folder, "work")
        (where / inp).write_bytes(data)
        os.symlink("/dev/full", where / out)
        status, _, err = run(pipenet, arguments(template, inp, out), where)
        if status != 2 or "No space left on device" not in err:
            fail(f"{name}: status {status}: {err}")
    for args in (["solve", "IN", "--json", "no/such/out.json"],
                 ["solve", "IN", "--csv", "no/such"],
                 ["renumber", "IN", "--program", "lamnet", "-o", "no/such/out.dat"]):
        where = fresh(folder, "work")
        (where / "input-lin.dat").write_bytes(LAMNET)
        status, _, err = run(pipenet, arguments(args, "input-lin.dat", ""), where)
        if status != 2 or ("cannot write" not in err and "cannot make" not in err):
            fail(f"{args}: status {status}: {err}")


def many_networks(folder, count):
    paths = []
    for i in range(count):
        path = folder / f"n{i:05d}" / "input-nonlin.dat"
        path.parent.mkdir()
        path.write_bytes(TURBNET)
        paths.append(str(path.relative_to(folder)))
    return paths


def killed_mid_write(pipenet, folder):
    """A run ended by SIGTERM or SIGINT while it writes: the old results stay whole, no
    temporary file is left, and the run ends by that signal."""
    networks = many_networks(folder, 300)
    # The batch ends on a pipe that the test holds open and never writes to, so the run is
    # still at work when the signal comes, however fast it solves the rest.
    os.mkfifo(folder / "held.dat")
    old = b'{"previous":"results"}\n'
    for number in (signal.SIGTERM, signal.SIGINT):
        (folder / "results.json").write_bytes(old)
        (folder / "tables").mkdir(exist_ok=True)
        (folder / "tables" / "nodes.csv").write_bytes(old)
        held = os.open(folder / "held.dat", os.O_RDWR)
        process = subprocess.Popen([pipenet, "solve", "--jobs", "1", "--json", "results.json",
                                    "--csv", "tables", *networks, "held.dat"], cwd=folder,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while len(leftovers(folder)) < 3 and time.monotonic() < deadline and \
                process.poll() is None:
            time.sleep(0.01)
        if process.poll() is not None:
            fail(f"the run ended before it could be interrupted: status {process.returncode}")
        time.sleep(0.2)  # well into the batch
        process.send_signal(number)
        status = process.wait(timeout=60)
        os.close(held)
        if status != -number:
            fail(f"signal {number}: status {status}")
        if (folder / "results.json").read_bytes() != old or \
                (folder / "tables" / "nodes.csv").read_bytes() != old:
            fail(f"signal {number}: the old results were changed")
        if leftovers(folder):
            fail(f"signal {number}: left {leftovers(folder)}")


def pipe_inputs(pipenet, folder):
    """A FIFO that nothing writes to is refused at once by every command and never holds up a
    batch; one with a writer is read."""
    (folder / "good").mkdir()
    (folder / "good" / "input-lin.dat").write_bytes(LAMNET)
    (folder / "fifo").mkdir()
    os.mkfifo(folder / "fifo" / "input-lin.dat")
    fifo = "fifo/input-lin.dat"
    status, out, err = run(pipenet, ["solve", "--jobs", "2", "--json", "-", "good/input-lin.dat",
                                     fifo, "good/input-lin.dat"], folder, timeout=20)
    outcomes = [json.loads(line)["outcome"] for line in out.decode().splitlines()]
    if status != 1 or outcomes != ["solved", "unreadable", "solved"] or \
            f"{fifo}: unreadable: cannot read the file: it is a pipe and nothing writes to it" \
            not in err:
        fail(f"solve: status {status}, {outcomes}: {err}")
    for args in (["check", fifo], ["renumber", fifo, "-o", "out.dat"],
                 ["export-inp", fifo, "-o", "out.inp"], ["plot", fifo, "-o", "out.svg"],
                 ["import-inp", fifo, "-o", "out.dat"], ["solve", "good/input-lin.dat",
                                                         "--map", fifo]):
        status, _, err = run(pipenet, args, folder, timeout=20)
        if status != 2 or "nothing writes to it" not in err:
            fail(f"{args}: status {status}: {err}")

    def feed():
        with open(folder / fifo, "wb") as pipe:  # waits for the reader
            time.sleep(0.2)
            pipe.write(LAMNET)

    for args in (["solve", "--json", "-", fifo], ["check", fifo]):
        writer = threading.Thread(target=feed)
        writer.start()
        time.sleep(0.1)
        status, out, err = run(pipenet, args, folder, timeout=20)
        writer.join()
        if status != 0:
            fail(f"{args} with a writer: status {status}: {err}")
        if args[0] == "solve" and json.loads(out)["outcome"] != "solved":
            fail("a network read from a pipe was not solved")


def check_status(pipenet, folder):
    """check: a file that cannot be read makes the status 2 whatever the other files hold."""
    (folder / "bad.dat").write_bytes(b"1\n")
    (folder / "good.dat").write_bytes(LAMNET)
    cases = [
        (["bad.dat"], 1),
        (["bad.dat", "missing.dat"], 2),
        (["missing.dat", "bad.dat"], 2),
        (["good.dat", "missing.dat"], 2),
        (["bad.dat", "."], 2),
        (["good.dat"], 0),
    ]
    for files, want in cases:
        for extra in ([], ["--json"]):
            status, _, err = run(pipenet, ["check", "--program", "lamnet", *extra, *files],
                                 folder)
            if status != want:
                fail(f"check {extra} {files}: status {status}, {want} expected: {err}")


def utf8_json(pipenet, folder):
    """A file name or an ID with bytes that are not UTF-8: the JSON is valid UTF-8 and parses,
    with the bytes replaced."""
    odd = folder / os.fsdecode(b"caf\xe9-\xff\xfe")
    odd.mkdir()
    (odd / "input-lin.dat").write_bytes(LAMNET)
    name = os.fsdecode(b"caf\xe9-\xff\xfe") + "/input-lin.dat"
    (folder / "map.csv").write_bytes(b"old,new\n" + b"".join(b"%d,%d\n" % (n, n)
                                                             for n in range(1, 10)))
    ids = b"kind,id,number\n" + b"".join(b"node,J\xff%d,%d\n" % (n, n) for n in range(1, 10)) + \
        b"".join(b"pipe,P\xc3%d,%d\n" % (n, n) for n in range(1, 13))
    (folder / "ids.csv").write_bytes(ids)
    outputs = []
    for args in (["solve", "--json", "-", name], ["solve", "--json", "-", "--map", "ids.csv",
                                                  name], ["check", "--json", name],
                 ["check", "--json", "--explain", name], ["check", "--json", name + "x"]):
        _, out, err = run(pipenet, args, folder)
        try:
            text = out.decode("utf-8")
        except UnicodeDecodeError as e:
            fail(f"{args}: not UTF-8: {e}")
        for line in text.splitlines() if args[0] == "solve" else [text]:
            try:
                outputs.append(json.loads(line))
            except json.JSONDecodeError as e:
                fail(f"{args}: not JSON: {e}")
    if outputs[0]["file"] != "caf\ufffd-\ufffd\ufffd/input-lin.dat":
        fail(f"file {outputs[0]['file']!r}")
    if outputs[1]["nodes"][0]["id"] != "J\ufffd1" or outputs[1]["pipes"][0]["id"] != "P\ufffd1":
        fail(f"IDs {outputs[1]['nodes'][0]['id']!r} {outputs[1]['pipes'][0]['id']!r}")


def import_empty(pipenet, folder):
    """A .inp with no junctions or no links is refused (status 1, a message, nothing written)
    rather than turned into an input no program can read."""
    no_section = "this is not a .inp file: it has no [SECTION] line"
    texts = [
        (b"", no_section),
        (b"\n\n   \n", no_section),
        (b"[TITLE]\nnot a network\n[END]\n", "the file has no junctions, reservoirs or tanks"),
        (b"[JUNCTIONS]\n J1 0 1\n[RESERVOIRS]\n R1 10\n[END]\n",
         "the file has no pipes, pumps or valves"),
    ]
    for text, message in texts:
        (folder / "net.inp").write_bytes(text)
        status, _, err = run(pipenet, ["import-inp", "net.inp", "-o", "input-nonlin.dat",
                                       "--map", "map.csv"], folder)
        if status != 1 or f"net.inp: error: {message}" not in err:
            fail(f"{text!r}: status {status}: {err}")
        if (folder / "input-nonlin.dat").exists() or (folder / "map.csv").exists():
            fail(f"{text!r}: a file was written")
    # Reservoirs joined by a pipe are a network (every head known): imported and solved.
    (folder / "net.inp").write_bytes(b"[RESERVOIRS]\n R1 10\n R2 20\n[PIPES]\n"
                                     b" P1 R1 R2 100 200 100\n[END]\n")
    status, _, err = run(pipenet, ["import-inp", "net.inp", "-o", "input-nonlin.dat"], folder)
    if status != 0:
        fail(f"two reservoirs: status {status}: {err}")
    status, _, err = run(pipenet, ["solve", "input-nonlin.dat"], folder)
    if status != 0:
        fail(f"two reservoirs solved: status {status}: {err}")


CASES = {f.__name__: f for f in (replaced_whole, through_link, output_is_input, write_failure,
                                  killed_mid_write, pipe_inputs, check_status, utf8_json,
                                  import_empty)}


def main():
    if sys.argv[1:] == ["--list"]:
        print(";".join(CASES))
        return 0
    pipenet, name = os.path.abspath(sys.argv[1]), sys.argv[2]
    with tempfile.TemporaryDirectory() as tmp:
        CASES[name](pipenet, pathlib.Path(tmp))
    return 0


if __name__ == "__main__":
    sys.exit(main())
