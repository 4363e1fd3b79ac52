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
    # The C library analyses in double precision, as pipenet solve does; the library's
    # re-solve starts from the last heads, so the two meet within the passes' tolerance.
    solved = subprocess.run([pipenet, "solve", "--json", "-",
                             str(SOURCE / "examples/input-nonlin.dat")],
                            capture_output=True, text=True, check=True).stdout
    node2 = json.loads(solved)["nodes"][1]
    if abs(node2["head"] - heads["0.150"]) > 1e-6 * abs(node2["head"]):
        sys.exit(f"head {heads['0.150']} at the file's diameter, pipenet solve gives "
                 f"{node2['head']}")
    if to_float32(heads["0.150"]) == heads["0.150"]:
        sys.exit(f"head {heads['0.150']} is a float: not double precision")


if __name__ == "__main__":
    main()
