#!/usr/bin/env python3
"""Runs examples/diameter_loop.py on the built library and checks what it prints: the head at
node 2 rises with the diameter of the pipe that feeds it, and at the file's own diameter it is
the head `pipenet solve` gives for the unchanged file.

    check_python_example.py LIBRARY PIPENET
"""
import json
import pathlib
import re
import struct
import subprocess
import sys

SOURCE = pathlib.Path(__file__).resolve().parents[2]


def to_float32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def main():
    library, pipenet = sys.argv[1], sys.argv[2]
    out = subprocess.run([sys.executable, str(SOURCE / "examples/diameter_loop.py"), library],
                         capture_output=True, text=True, check=True).stdout
    print(out, end="")
    lines = re.findall(r"pipe 1 diameter ([0-9.]+) m: head at node 2 = ([0-9.eE+-]+)", out)
    if len(lines) != 6:
        sys.exit(f"{len(lines)} result lines, not 6")
    heads = {diameter: float(head) for diameter, head in lines}
    ordered = [float(head) for _, head in lines]
    if ordered != sorted(ordered) or len(set(ordered)) != len(ordered):
        sys.exit("the head at node 2 does not rise with the diameter of pipe 1")
    # The C library analyses in the programs' arithmetic.
    solved = subprocess.run([pipenet, "solve", "--json", "-", "--arithmetic", "programs",
                             str(SOURCE / "examples/input-nonlin.dat")],
                            capture_output=True, text=True, check=True).stdout
    node2 = json.loads(solved)["nodes"][1]
    if to_float32(node2["head"]) != heads["0.150"]:
        sys.exit(f"head {heads['0.150']} at the file's diameter, pipenet solve gives "
                 f"{node2['head']}")


if __name__ == "__main__":
    main()
