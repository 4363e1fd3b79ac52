#!/usr/bin/env python3
"""Cases of `pipenet solve` on .inp files, each run in a fresh folder.

    inp_cli.py PIPENET CASE      run one case
    inp_cli.py --list            print the case names, separated by ';'

Every network is written here. Expected heads come from a Hazen-Williams solution in double
written here (h = 10.667 C^-1.852 D^-4.871 L Q^1.852 in SI units, Newton's method on the heads
with a dense elimination), expected pressures from those heads and the file's elevations.
"""
import csv
import io
import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile


def fail(message):
    print(message)
    sys.exit(1)


def run(pipenet, args, folder):
    done = subprocess.run([pipenet, *args], cwd=folder, capture_output=True, timeout=300)
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode(
        "utf-8", "replace")


def solve_json(pipenet, folder, name, *extra):
    status, out, err = run(pipenet, ["solve", "--json", "-", *extra, name], folder)
    try:
        return status, json.loads(out), err
    except json.JSONDecodeError:
        fail(f"solve {name} {extra}: status {status}, no JSON: {out!r} {err!r}")


def elimination(a, b):
    n = len(b)
    m = [list(row) + [b[i]] for i, row in enumerate(a)]
    for col in range(n):
        pivot = max(range(col, n), key=lambda r: abs(m[r][col]))
        m[col], m[pivot] = m[pivot], m[col]
        for r in range(col + 1, n):
            f = m[r][col] / m[col][col]
            for c in range(col, n + 1):
                m[r][c] -= f * m[col][c]
    x = [0.0] * n
    for r in reversed(range(n)):
        x[r] = (m[r][n] - sum(m[r][c] * x[c] for c in range(r + 1, n))) / m[r][r]
    return x


def reference_heads(nodes, pipes, fixed, drawn):
    """nodes: IDs; pipes: (a, b, L m, D m, C); fixed: ID -> head m; drawn: ID -> m3/s drawn off."""
    free = [n for n in nodes if n not in fixed]
    at = {n: i for i, n in enumerate(free)}
    head = {n: fixed.get(n, max(fixed.values())) for n in nodes}
    r = [(a, b, 10.667 * c ** -1.852 * d ** -4.871 * length) for a, b, length, d, c in pipes]
    for _ in range(200):
        jac = [[0.0] * len(free) for _ in free]
        res = [-drawn.get(n, 0.0) for n in free]
        for a, b, rr in r:
            dh = head[a] - head[b]
            q = (abs(dh) / rr) ** (1 / 1.852) * (1 if dh >= 0 else -1)
            g = q / (1.852 * dh) if abs(dh) > 1e-12 else (1e-12 / rr) ** (1 / 1.852) / 1e-12
            for n, o, s in ((a, b, -1.0), (b, a, 1.0)):
                if n in at:
                    res[at[n]] += s * q
                    jac[at[n]][at[n]] += g
                    if o in at:
                        jac[at[n]][at[o]] -= g
        step = elimination(jac, res)
        for n in free:
            head[n] += step[at[n]]
        if max(abs(s) for s in step) < 1e-11:
            return head
    fail("the reference solution did not converge")


def grid30():
    """A looped grid of 6 x 5 junctions fed by one reservoir: elevations rising across it,
    demands in L/s, mains and cross pipes with C 130 and C 100, lengths unlike the coordinates."""
    nodes, pipes, elev, drawn, xy = [], [], {}, {}, {}
    lines = ["[TITLE]", "looped grid", "", "[JUNCTIONS]"]
    for r in range(5):
        for c in range(6):
            j = f"J{r}{c}"
            nodes.append(j)
            elev[j] = 10 + 2 * r + c
            drawn[j] = (2 + (r * 6 + c) % 4) / 1000
            xy[j] = (c * 300, r * 200)
            lines.append(f" {j}\t{elev[j]}\t{2 + (r * 6 + c) % 4}")
    lines += ["[RESERVOIRS]", " SRC\t80", "[PIPES]"]
    for r in range(5):
        for c in range(6):
            if c + 1 < 6:
                pipes.append((f"H{r}{c}", f"J{r}{c}", f"J{r}{c + 1}", 300 + 10 * c,
                              250 if r == 0 else 150, 130 if r % 2 == 0 else 100))
            if r + 1 < 5:
                pipes.append((f"V{r}{c}", f"J{r}{c}", f"J{r + 1}{c}", 200 + 5 * r,
                              200 if c == 0 else 100, 130 if c % 2 == 0 else 100))
    pipes.append(("FEED", "SRC", "J00", 500, 400, 130))
    lines += [f" {p}\t{a}\t{b}\t{length}\t{d}\t{c}" for p, a, b, length, d, c in pipes]
    lines += ["[COORDINATES]"] + [f" {j}\t{x}\t{y}" for j, (x, y) in xy.items()]
    lines += [" SRC\t-500\t0", "[OPTIONS]", " Units\tLPS", "[END]"]
    return "\n".join(lines) + "\n", nodes + ["SRC"], pipes, elev, drawn


def looped_grid(pipenet, folder):
    """30 junctions, two roughness values, elevations: heads, pressures and every pipe's own
    length, diameter and velocity, in the JSON and in the CSV."""
    text, nodes, pipes, elev, drawn = grid30()
    (folder / "grid.inp").write_text(text)
    status, doc, err = solve_json(pipenet, folder, "grid.inp")
    if status != 0 or doc["outcome"] != "solved" or doc["program"] != "inp":
        fail(f"status {status}, {doc['outcome']}: {err}")
    heads = reference_heads(nodes, [(a, b, length, d / 1000, c) for _, a, b, length, d, c in pipes],
                            {"SRC": 80.0}, drawn)
    by_id = {n["id"]: n for n in doc["nodes"]}
    if sorted(by_id) != sorted(nodes):
        fail(f"node IDs {sorted(by_id)}")
    for j in nodes:
        n = by_id[j]
        if abs(n["head"] - heads[j]) > 1e-6:
            fail(f"{j}: head {n['head']}, expected {heads[j]}")
        expected_elevation = elev.get(j, 80.0)
        if n["elevation"] != expected_elevation:
            fail(f"{j}: elevation {n['elevation']}")
        if abs(n["pressure"] - (heads[j] - expected_elevation)) > 1e-6:
            fail(f"{j}: pressure {n['pressure']}")
    for p, (pid, a, b, length, d, c) in zip(doc["pipes"], pipes):
        area = 3.141592653589793 / 4 * (d / 1000) ** 2
        if (p["id"], p["start_id"], p["end_id"]) != (pid, a, b) or p["length"] != length or \
                abs(p["diameter"] - d / 1000) > 1e-15 or \
                abs(p["velocity"] - p["discharge"] / area) > 1e-9 * max(1, abs(p["velocity"])):
            fail(f"pipe {pid}: {p}")
    status, _, err = run(pipenet, ["solve", "grid.inp", "--csv", "out"], folder)
    table = list(csv.DictReader(io.StringIO((folder / "out" / "nodes.csv").read_text())))
    row = next(r for r in table if r["id"] == "J43")
    if status != 0 or abs(float(row["pressure"]) - (heads["J43"] - elev["J43"])) > 1e-6 or \
            float(row["elevation"]) != elev["J43"]:
        fail(f"CSV: status {status}, {row} {err}")


def lenient(pipenet, folder):
    """The four constructs the field's solvers accept, each read as they read it with a warning
    naming its line: Units SI (L/s), a missing default pattern (multiplier 1), coordinates of no
    node (ignored), a two-field tank (a fixed head at its elevation)."""
    (folder / "lenient.inp").write_text(
        "[JUNCTIONS]\n J1 10 5\n[TANKS]\n T 60\n[PIPES]\n P T J1 1000 300 120\n"
        "[COORDINATES]\n J1 0 0\n GHOST 5 5\n[OPTIONS]\n Units SI\n Pattern Daily\n")
    status, doc, err = solve_json(pipenet, folder, "lenient.inp")
    texts = [m["text"] for m in doc["messages"] if m["severity"] == "warning"]
    for line, words in ((11, "flow units SI read as LPS"), (12, "default pattern 'Daily'"),
                        (9, "coordinates of node 'GHOST'"), (4, "tank 'T' gives only")):
        if not any(t.startswith(f"line {line}: {words}") for t in texts):
            fail(f"no warning on line {line} ({words}): {texts}")
    # 5 L/s drawn through 1000 m of 300 mm pipe, C 120, from a head of 60 m.
    loss = 10.667 * 120 ** -1.852 * 0.3 ** -4.871 * 1000 * 0.005 ** 1.852
    j1 = next(n for n in doc["nodes"] if n["id"] == "J1")
    if status != 0 or doc["outcome"] != "solved" or abs(j1["head"] - (60 - loss)) > 1e-9:
        fail(f"status {status}, {doc['outcome']}, J1 {j1}")


def time_and_tanks(pipenet, folder):
    """--time picks the period whose multipliers apply (Pattern Timestep, Pattern Start); a
    tank holds its initial level, and the JSON says so once."""
    (folder / "day.inp").write_text(
        "[JUNCTIONS]\n A 0 10 P\n[RESERVOIRS]\n R 50 H\n[TANKS]\n T 30 12 0 20 10 0\n"
        "[PIPES]\n RA R A 500 200 100\n TA T A 400 150 110\n"
        "[PATTERNS]\n P 1 2 3 4\n H 1 0.9 0.8 0.7\n"
        "[TIMES]\n Pattern Timestep 0:30\n Pattern Start 0:30\n[OPTIONS]\n Units LPS\n")
    for time, period in (("0:00", 1), ("0:30", 2), ("2:00", 1)):
        status, doc, err = solve_json(pipenet, folder, "day.inp", "--time", time)
        demand = [1, 2, 3, 4][period] * 10 / 1000
        head_r = 50 * [1, 0.9, 0.8, 0.7][period]
        heads = reference_heads(["A", "R", "T"], [("R", "A", 500, 0.2, 100),
                                                  ("T", "A", 400, 0.15, 110)],
                                {"R": head_r, "T": 42.0}, {"A": demand})
        a = next(n for n in doc["nodes"] if n["id"] == "A")
        notes = [m for m in doc["messages"] if m["code"] == "tanks-fixed"]
        if status != 0 or abs(a["head"] - heads["A"]) > 1e-8 or doc["time"] != time or \
                len(notes) != 1:
            fail(f"--time {time}: status {status}, A {a}, time {doc.get('time')}, {notes} {err}")
    status, _, err = run(pipenet, ["solve", "day.inp", "--time", "noon"], folder)
    if status != 2 or "H:MM" not in err:
        fail(f"--time noon: status {status}: {err}")


def refusals(pipenet, folder):
    """Thousands of emitters: refused, counted after three named, while the pump beside them is
    taken; a closed pipe carries nothing and is noted; an ID of 31 characters is kept whole."""
    long_id = "J" * 31
    lines = ["[JUNCTIONS]"] + [f" J{i} 0 1" for i in range(1, 2001)] + [f" {long_id} 0 1"]
    lines += ["[RESERVOIRS]", " R 40", "[PIPES]", f" P0 R {long_id} 100 100 100",
              " P1 R J1 100 100 100 0 Closed"]
    lines += [f" P{i} J{i - 1} J{i} 100 100 100" for i in range(2, 2001)]
    lines += ["[EMITTERS]"] + [f" J{i} 0.5" for i in range(1, 2000)]
    lines += ["[PUMPS]", " PU R J1 HEAD C1", "[CURVES]", " C1 20 40"]
    (folder / "emitters.inp").write_text("\n".join(lines) + "\n")
    status, doc, err = solve_json(pipenet, folder, "emitters.inp")
    errors = [m["text"] for m in doc["messages"] if m["severity"] == "error"]
    if status != 1 or doc["outcome"] != "refused" or len(errors) != 4 or \
            "... and 1996 more emitters" not in errors[3] or "1999 in all" not in errors[3] or \
            "emitter at junction 'J1'" not in errors[0] or "pump 'PU'" in err:
        fail(f"status {status}, {doc['outcome']}: {errors}")
    # Standard error gives every reason too, not the first alone.
    status, _, err = run(pipenet, ["solve", "emitters.inp"], folder)
    if status != 1 or "refused: line" not in err or "junction 'J2'" not in err or \
            "emitters.inp: error: inp: line" not in err or "1999 in all" not in err:
        fail(f"standard error of a refused file, status {status}: {err}")

    (folder / "closed.inp").write_text(
        f"[JUNCTIONS]\n {long_id} 0 1\n J2 0 1\n[RESERVOIRS]\n R 40\n[PIPES]\n"
        f" P0 R {long_id} 100 100 100\n P1 {long_id} J2 100 100 100\n"
        " P2 R J2 100 100 100 0 Closed\n[OPTIONS]\n Units LPS\n")
    status, doc, err = solve_json(pipenet, folder, "closed.inp")
    p2 = next(p for p in doc["pipes"] if p["id"] == "P2")
    notes = [m["text"] for m in doc["messages"] if "'P2' is closed" in m["text"]]
    if status != 0 or p2["discharge"] != 0 or len(notes) != 1 or \
            doc["nodes"][0]["id"] != long_id:
        fail(f"status {status}: P2 {p2}, {notes}, {doc['nodes'][0]}")


def not_inp(pipenet, folder):
    """A programs' file named .inp, and a .inp file given to import-inp as a .dat: each is an
    error saying which it looks like, never a network of no nodes."""
    (folder / "net.inp").write_text(
        "         2         1         0         1    97900.\n"
        "         1      0.00      0.00\n         2      1.00      0.00\n"
        "         1         1         2   0.20000\n         1  120.0000\n")
    status, doc, err = solve_json(pipenet, folder, "net.inp")
    if status != 1 or doc["outcome"] != "unreadable" or \
            "looks like a lamnet or turbnet input file" not in doc["messages"][0]["text"]:
        fail(f"status {status}: {doc}")
    status, out, err = run(pipenet, ["import-inp", "net.inp", "-o", "x.dat"], folder)
    if status == 0 or "looks like a lamnet or turbnet input file" not in err or \
            (folder / "x.dat").exists():
        fail(f"import-inp: status {status}: {err}")
    # The reverse: a .inp file, by its name or by its text, where a programs' file is read.
    (folder / "grid.inp").write_text(grid30()[0])
    (folder / "grid.txt").write_text(grid30()[0])
    for args in (["export-inp", "grid.inp", "-o", "out.inp"],
                 ["export-inp", "grid.txt", "--program", "turbnet", "-o", "out.inp"],
                 ["renumber", "grid.inp", "-o", "out.dat"],
                 ["renumber", "grid.txt", "--program", "turbnet", "-o", "out.dat"]):
        status, out, err = run(pipenet, args, folder)
        if status != 2 or "this is a .inp file" not in err or \
                (folder / args[-1]).exists():
            fail(f"{args}: status {status}: {err}")


def negative_pressure(pipenet, folder):
    """A junction above the hydraulic grade line: a warning naming it, on stderr and in the
    JSON."""
    (folder / "hill.inp").write_text(
        "[JUNCTIONS]\n LOW 5 1\n HILL 45 1\n[RESERVOIRS]\n R 40\n[PIPES]\n"
        " P1 R LOW 100 200 120\n P2 LOW HILL 100 200 120\n[OPTIONS]\n Units LPS\n")
    status, doc, err = solve_json(pipenet, folder, "hill.inp")
    codes = [m for m in doc["messages"] if m["code"] == "negative-pressure"]
    hill = next(n for n in doc["nodes"] if n["id"] == "HILL")
    if status != 0 or len(codes) != 1 or "node HILL" not in codes[0]["text"] or \
            not hill["pressure"] < 0 or "negative-pressure" not in err:
        fail(f"status {status}: {codes} {hill} {err}")


def check_inp(pipenet, folder):
    """pipenet check reads a .inp file through the same reader and model: by its name or by its
    first section header, every message with its line, status 1 for an error."""
    (folder / "net.txt").write_text(
        "; a comment first\n[JUNCTIONS]\n J1 10 5\n[TANKS]\n T 60\n[PIPES]\n"
        " P T J1 1000 300 120\n[OPTIONS]\n Units SI\n")
    status, out, err = run(pipenet, ["check", "net.txt"], folder)
    if status != 0 or "net.txt:5: warning: tank 'T' gives only its elevation" not in out or \
            "net.txt:9: warning: flow units SI" not in out or \
            "net.txt: 0 errors, 2 warnings, 0 notes" not in out:
        fail(f"status {status}: {out} {err}")
    (folder / "pump.inp").write_text(
        "[JUNCTIONS]\n J1 10 5\n[RESERVOIRS]\n R 50\n[PUMPS]\n PU R J1 HEAD C\n")
    status, out, err = run(pipenet, ["check", "--json", "pump.inp"], folder)
    found = json.loads(out)["files"][0]
    if status != 1 or found["program"] != "inp" or \
            [f["line"] for f in found["findings"] if f["severity"] == "error"] != [6] or \
            "curve 'C', which does not exist" not in out:
        fail(f"status {status}: {out} {err}")
    # With its curve the pump is taken, and counted apart from the pipes.
    (folder / "pump.inp").write_text(
        "[JUNCTIONS]\n J1 10 5\n J2 10 5\n[RESERVOIRS]\n R 50\n[PIPES]\n P J1 J2 100 100 100\n"
        "[PUMPS]\n PU R J1 HEAD C\n[CURVES]\n C 10 30\n")
    status, out, err = run(pipenet, ["check", "--json", "pump.inp"], folder)
    found = json.loads(out)["files"][0]
    if status != 0 or found["counts"]["pipes"] != 1 or found["errors"] != 0:
        fail(f"status {status}: {out} {err}")


def plot_pressure(pipenet, folder):
    """pipenet plot draws a .inp file under its IDs and, with --colour pressure, colours each
    node by head - elevation: the reservoir (pressure 0) at the low end of the scale, the junction
    of the highest pressure at the high end; a programs' file has no pressures to draw."""
    text, nodes, pipes, elev, drawn = grid30()
    (folder / "grid.inp").write_text(text)
    status, _, err = run(pipenet, ["plot", "grid.inp", "--colour", "pressure", "-o", "p.svg"],
                         folder)
    svg = (folder / "p.svg").read_text()
    heads = reference_heads(nodes, [(a, b, length, d / 1000, c) for _, a, b, length, d, c in pipes],
                            {"SRC": 80.0}, drawn)
    pressure = {j: heads[j] - elev.get(j, 80.0) for j in nodes}
    fills = dict(re.findall(r'<title>node ([^\n<]+)\n.*?fill="(#[0-9a-f]{6})"', svg, re.S))
    highest = max(pressure, key=pressure.get)
    if status != 0 or sorted(fills) != sorted(nodes) or ">pressure</text>" not in svg:
        fail(f"status {status}: {err}: {sorted(fills)}")
    low_colour, high_colour = re.findall(r'stop-color="(#[0-9a-f]{6})"', svg)[::10][:2]
    if fills["SRC"] != low_colour or fills[highest] != high_colour:
        fail(f"SRC {fills['SRC']}, {highest} {fills[highest]}: scale {low_colour} .. {high_colour}")
    (folder / "input-nonlin.dat").write_text(
        "         2         1         0         1        25   0.00001           120.\n"
        "         1      0.00      0.00\n         2    100.00      0.00\n"
        "         1         1         2   0.20000\n         1   50.0000\n")
    status, _, err = run(pipenet, ["plot", "input-nonlin.dat", "--colour", "pressure", "-o",
                                   "q.svg"], folder)
    if status != 2 or "needs elevations" not in err or (folder / "q.svg").exists():
        fail(f"programs' file: status {status}: {err}")


CASES = {f.__name__: f for f in (looped_grid, lenient, time_and_tanks, refusals, not_inp,
                                  negative_pressure, check_inp, plot_pressure)}


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
