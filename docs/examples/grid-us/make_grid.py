#!/usr/bin/env python3
"""Writes grid.inp: a looped 5 x 6 grid of 29 junctions and one reservoir in US units (flows in
GPM, lengths in feet, diameters in inches) with two Hazen-Williams roughness values, newer mains
along the rows (C = 130) and older cross pipes (C = 100). Pipe lengths run a few per cent longer
than the straight line between their ends, as laid pipes do. The IDs go down the columns while
the pipes run along the rows, so that the file's own order has a wide band.

    python3 make_grid.py > grid.inp
"""

ROWS, COLUMNS = 5, 6
SPACING_X, SPACING_Y = 800.0, 600.0  # ft


def node_id(r, c):
    return "R1" if (r, c) == (0, 0) else f"J{c}{r}"


def main():
    lines = ["[TITLE]",
             "A looped 5 x 6 grid in US units: GPM, feet, inches; two roughness values",
             "",
             "[JUNCTIONS]",
             ";ID\tElev\tDemand\tPattern"]
    for c in range(COLUMNS):
        for r in range(ROWS):
            if (r, c) == (0, 0):
                continue
            demand = 100 + 25 * ((3 * r + 2 * c) % 5)  # GPM
            pattern = "\tmorning" if (r + c) % 4 == 0 else ""
            lines.append(f" {node_id(r, c)}\t{100 + 2 * r}\t{demand}{pattern}")
    lines += ["", "[RESERVOIRS]", ";ID\tHead", " R1\t260", ""]
    lines += ["[PIPES]", ";ID\tNode1\tNode2\tLength\tDiameter\tRoughness\tMinorLoss\tStatus"]
    pipe = 0
    for r in range(ROWS):
        for c in range(COLUMNS - 1):
            pipe += 1
            length = SPACING_X * (1.02 + 0.003 * ((5 * r + 3 * c) % 11))
            diameter = 12 if r == 0 else 8
            lines.append(f" M{pipe}\t{node_id(r, c)}\t{node_id(r, c + 1)}\t{length:g}\t"
                         f"{diameter}\t130\t0\tOpen")
    for c in range(COLUMNS):
        for r in range(ROWS - 1):
            pipe += 1
            length = SPACING_Y * (1.01 + 0.004 * ((7 * r + 2 * c) % 13))
            diameter = 10 if c == 0 else 6
            lines.append(f" X{pipe}\t{node_id(r, c)}\t{node_id(r + 1, c)}\t{length:g}\t"
                         f"{diameter}\t100\t0\tOpen")
    lines += ["", "[PATTERNS]", ";ID\tMultipliers", " morning\t1.25\t0.9\t0.7", ""]
    lines += ["[COORDINATES]", ";Node\tX-Coord\tY-Coord"]
    for c in range(COLUMNS):
        for r in range(ROWS):
            lines.append(f" {node_id(r, c)}\t{SPACING_X * c:g}\t{SPACING_Y * r:g}")
    lines += ["", "[OPTIONS]", " Units\tGPM", " Headloss\tH-W", "", "[END]"]
    print("\n".join(lines))


if __name__ == "__main__":
    main()
