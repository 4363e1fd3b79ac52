#!/usr/bin/env python3
"""Networks per second of pipenet.batch.run on a local Dask cluster of 1 and of 2 worker
processes (the cluster is started before the clock), on random demands.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/dask_scaling.py [CASES [FILE]]

The aim: 2 workers at least 1.6 times the networks per second of 1 (on 2 free cores).
"""
import pathlib
import sys
import time

import numpy

import pipenet
from pipenet import batch

ROOT = pathlib.Path(__file__).resolve().parents[1]


def main():
    cases = int(sys.argv[1]) if len(sys.argv) > 1 else 4000
    path = sys.argv[2] if len(sys.argv) > 2 else str(ROOT / "docs/examples/grid-us/grid.inp")
    net = pipenet.read(path)
    rng = numpy.random.default_rng(1)
    base = net.demands
    changes = [{"demands": base * rng.normal(1.0, 0.2, base.size)} for _ in range(cases)]
    rates = {}
    for workers in (1, 2):
        client = batch.local_client(workers)
        try:
            batch.run(net, changes=changes[:50], client=client)  # warm the workers
            start = time.perf_counter()
            frames = batch.run(net, changes=changes, client=client, quantities=("pressures",))
            seconds = time.perf_counter() - start
        finally:
            batch.close_client(client)
        solved = int((frames["outcomes"]["outcome"] == "solved").sum())
        rates[workers] = cases / seconds
        print(f"{workers} worker(s): {cases} networks in {seconds:.2f} s, "
              f"{rates[workers]:.0f} networks/s ({solved} solved)")
    print(f"speed-up 2 workers / 1: {rates[2] / rates[1]:.2f}")


if __name__ == "__main__":
    main()
