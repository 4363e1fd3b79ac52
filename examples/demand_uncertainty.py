#!/usr/bin/env python3
"""Demand uncertainty: 10,000 analyses of a network whose junction demands are drawn at random,
on a local Dask cluster, and the 5th and 95th percentile pressure at every node.

    python3 examples/demand_uncertainty.py [NETWORK.inp [CASES [WORKERS]]]

Default: the looped grid of docs/examples/grid-us (30 nodes, 49 pipes), 10,000 cases, one
worker process per core. Each junction's demand is its base demand times a factor drawn from a
normal distribution of mean 1 and standard deviation 0.25 (cut at 0). To use a cluster of many
machines, pass a distributed.Client to pipenet.batch.run (see pipenet/batch.py).
"""
import os
import pathlib
import sys
import time

import numpy

import pipenet
from pipenet import batch


def main():
    here = pathlib.Path(__file__).resolve().parent
    path = sys.argv[1] if len(sys.argv) > 1 else here.parent / "docs/examples/grid-us/grid.inp"
    cases = int(sys.argv[2]) if len(sys.argv) > 2 else 10_000
    workers = int(sys.argv[3]) if len(sys.argv) > 3 else os.cpu_count() or 1

    net = pipenet.read(path)
    rng = numpy.random.default_rng(2024)
    base = net.demands
    drawn = base > 0
    changes = []
    for _ in range(cases):
        factors = numpy.clip(rng.normal(1.0, 0.25, base.size), 0.0, None)
        changes.append({"demands": numpy.where(drawn, base * factors, base)})

    start = time.perf_counter()
    client = batch.local_client(workers)
    try:
        started = time.perf_counter()
        frames = batch.run(net, changes=changes, client=client, quantities=("pressures",))
        finished = time.perf_counter()
    finally:
        batch.close_client(client)

    outcomes = frames["outcomes"]["outcome"]
    pressures = frames["pressures"][outcomes == "solved"]
    low, high = numpy.nanpercentile(pressures.to_numpy(), [5, 95], axis=0)
    length = net.units[0]
    print(f"{path}: {len(net.node_ids)} nodes, {len(net.link_ids)} links")
    print(f"{cases} cases: {int((outcomes == 'solved').sum())} solved, "
          f"{int((outcomes != 'solved').sum())} not")
    print(f"{'node':>8} {'p5 (' + length + ')':>12} {'p95 (' + length + ')':>12}")
    for node, p5, p95 in zip(pressures.columns, low, high):
        print(f"{node:>8} {p5:12.3f} {p95:12.3f}")
    analyses = finished - started
    print(f"wall time {time.perf_counter() - start:.2f} s in all, {analyses:.2f} s for the "
          f"analyses on {workers} workers: {cases / analyses:.0f} networks/s")


if __name__ == "__main__":
    main()
