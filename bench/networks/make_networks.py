#!/usr/bin/env python3
"""Writes the full-capacity benchmark networks: 100 nodes on a 10 x 10 grid (numbered row by
row), 100 pipes, a widest pipe joining nodes 19 apart (half-bandwidth 20), 30 nodes with known
head and a known discharge drawn off at each of the other 70. The same pipes serve both programs; only the header and the
diameters differ. Deterministic: the checked-in files are this script's output.

    make_networks.py <folder>   writes <folder>/input-lin.dat and <folder>/input-nonlin.dat
"""
import pathlib
import random
import sys

SIDE = 10
NODES = SIDE * SIDE
PIPES = 100
KNOWN_HEADS = 30
KNOWN_DISCHARGES = 70


def node(r, c):
    return r * SIDE + c + 1


def pipes(rng):
    grid = []
    for r in range(SIDE):
        for c in range(SIDE):
            if c + 1 < SIDE:
                grid.append((node(r, c), node(r, c + 1)))
            if r + 1 < SIDE:
                grid.append((node(r, c), node(r + 1, c)))
    # A random spanning tree of the grid (randomised Kruskal).
    parent = list(range(NODES + 1))

    def root(v):
        while parent[v] != v:
            parent[v] = parent[parent[v]]
            v = parent[v]
        return v

    rng.shuffle(grid)
    tree, spare = [], []
    for a, b in grid:
        ra, rb = root(a), root(b)
        if ra != rb:
            parent[rb] = ra
            tree.append((a, b))
        else:
            spare.append((a, b))
    # Four tree pipes swapped for four others: loops, and perhaps separate groups.
    rng.shuffle(tree)
    chosen = tree[4:] + spare[:4]
    # The widest pipe: two rows down, one column left, 19 node numbers apart.
    chosen.append((node(3, 5), node(5, 4)))
    rng.shuffle(chosen)
    assert len(chosen) == PIPES
    # Some pipes run from the higher to the lower node number.
    return [(b, a) if rng.random() < 0.3 else (a, b) for a, b in chosen]


def groups(pipe_list):
    parent = list(range(NODES + 1))

    def root(v):
        while parent[v] != v:
            v = parent[v]
        return v

    for a, b in pipe_list:
        ra, rb = root(a), root(b)
        if ra != rb:
            parent[rb] = ra
    found = {}
    for v in range(1, NODES + 1):
        found.setdefault(root(v), []).append(v)
    return list(found.values())


def main():
    out = pathlib.Path(sys.argv[1])
    rng = random.Random(20240611)
    pipe_list = pipes(rng)
    assert max(abs(a - b) for a, b in pipe_list) == 19

    # One known head in every group of nodes, the rest anywhere.
    heads = [rng.choice(g) for g in groups(pipe_list)]
    rest = [v for v in range(1, NODES + 1) if v not in heads]
    heads += rng.sample(rest, KNOWN_HEADS - len(heads))
    draws = rng.sample([v for v in range(1, NODES + 1) if v not in heads], KNOWN_DISCHARGES)

    coords = {}
    for r in range(SIDE):
        for c in range(SIDE):
            coords[node(r, c)] = (c * 100.0 + rng.uniform(-20, 20), r * 100.0 + rng.uniform(-20, 20))
    node_order = list(range(1, NODES + 1))
    rng.shuffle(node_order)

    def body(diameters, discharge_scale):
        lines = []
        for n in node_order:
            x, y = coords[n]
            lines.append(f"{n:10d}{x:10.2f}{y:10.2f}")
        for e, (a, b) in enumerate(pipe_list, start=1):
            lines.append(f"{e:10d}{a:10d}{b:10d}{diameters[e - 1]:10.5f}")
        for n in draws:
            lines.append(f"{n:10d}{-discharge_scale * rng.uniform(0.2, 1.0):12.4f}")
        for n in heads:
            lines.append(f"{n:10d}{rng.uniform(40.0, 60.0):10.4f}")
        return lines

    lam_d = [rng.choice((0.02, 0.025, 0.03, 0.04)) for _ in range(PIPES)]
    lam = [f"{NODES:10d}{PIPES:10d}{KNOWN_DISCHARGES:10d}{KNOWN_HEADS:10d}{'9810000.':>10}"]
    lam += body(lam_d, 0.001)
    (out / "input-lin.dat").write_text("\n".join(lam) + "\n")

    turb_d = [rng.choice((0.1, 0.15, 0.2, 0.25, 0.3)) for _ in range(PIPES)]
    turb = [f"{NODES:10d}{PIPES:10d}{KNOWN_DISCHARGES:10d}{KNOWN_HEADS:10d}{20:10d}"
            f"{'0.0000010':>10}{'130.0000000':>15}"]
    turb += body(turb_d, 0.3)
    (out / "input-nonlin.dat").write_text("\n".join(turb) + "\n")


if __name__ == "__main__":
    main()
