#!/usr/bin/env python3
"""Time per re-solve of a network from Python (set one diameter, solve, read the heads as an
array) against the same loop in C through the library (bench/resolve_loop of the build whose
Python module is imported, else of $PIPENET_BUILD, else of the first preset's build folder found).

    PYTHONPATH=build/release/python /usr/bin/python3 bench/python_vs_c.py [FILE KIND [REPEATS]]

Default: the 100-node turbnet network of bench/networks. Each loop runs three times and the
best is kept; the ratio Python / C is printed (the aim: at most 1.5).
"""
import json
import os
import pathlib
import re
import subprocess
import sys
import time

import pipenet

ROOT = pathlib.Path(__file__).resolve().parents[1]


def python_loop(path, kind, repeats):
    net = pipenet.read(path, kind=kind)
    first = net.link_ids[0]
    checksum = 0.0
    start = time.perf_counter()
    for i in range(repeats):
        net.set_diameter(first, 0.30 if i % 2 == 0 else 0.25)
        checksum += net.solve().heads[-1]
    return (time.perf_counter() - start) / repeats * 1e6, checksum


def resolve_loop():
    """The C loop of the same build as the imported module, where that can be told."""
    module = pathlib.Path(pipenet.__file__).resolve()
    candidates = [parent / "bench/resolve_loop" for parent in module.parents]
    if "PIPENET_BUILD" in os.environ:
        candidates.insert(0, pathlib.Path(os.environ["PIPENET_BUILD"]) / "bench/resolve_loop")
    presets = json.loads((ROOT / "CMakePresets.json").read_text())["configurePresets"]
    for preset in presets:
        folder = preset.get("binaryDir", "").replace("${sourceDir}", str(ROOT))
        if folder:
            candidates.append(pathlib.Path(folder) / "bench/resolve_loop")
    for candidate in candidates:
        if candidate.is_file() and os.access(candidate, os.X_OK):
            return candidate
    sys.exit("python_vs_c.py: no bench/resolve_loop in any build folder: build it first "
             "(cmake --build --preset release --target resolve_loop)")


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else str(ROOT / "bench/networks/input-nonlin.dat")
    kind = sys.argv[2] if len(sys.argv) > 2 else "turbnet"
    repeats = int(sys.argv[3]) if len(sys.argv) > 3 else 2000
    loop = resolve_loop()
    c_times, py_times = [], []
    for _ in range(3):
        out = subprocess.run([str(loop), path, kind, str(repeats)], check=True,
                             capture_output=True, text=True).stdout
        c_times.append(float(re.search(r"C: ([0-9.]+) us", out).group(1)))
        micro, checksum = python_loop(path, kind, repeats)
        py_times.append(micro)
    c_best, py_best = min(c_times), min(py_times)
    print(f"network {path} ({kind}), {repeats} re-solves a run, best of 3")
    print(f"C:      {c_best:8.2f} us per re-solve   (runs: {', '.join(f'{t:.1f}' for t in c_times)})")
    print(f"Python: {py_best:8.2f} us per re-solve   (runs: {', '.join(f'{t:.1f}' for t in py_times)})")
    print(f"ratio Python / C: {py_best / c_best:.2f}")


if __name__ == "__main__":
    main()
