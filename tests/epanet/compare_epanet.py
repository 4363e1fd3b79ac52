#!/usr/bin/env python3
"""pipenet solve against the reference solver of the .inp format (epanet-js, from npm) on
networks written here: one element or law at a time, and generated looped networks.

    compare_epanet.py PIPENET CASE      run one case
    compare_epanet.py --list            print the case names, separated by ';'
    compare_epanet.py --table PIPENET   every case, as a table of the largest differences

The reference is found in the folder named by EPANET_JS_DIR (an npm prefix holding
node_modules/epanet-js, see install_epanet.sh). Without node or the package a case exits with
status 77, which ctest reports as skipped, and says why.

A case passes when every junction's head is within 0.5 % of the reference's range of heads and
every link's flow within 1 % (of itself, or of 1e-4 of the largest flow for the small flows of
a loop; a difference below 1e-7 m3/s, the most the reference's closed links leak in these
networks, is no fault), with the same state (open, closed) of every link and the law the file
names.
"""
import json
import os
import pathlib
import random
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
HERE = pathlib.Path(__file__).resolve().parent
FOOT = 0.3048
FLOW_UNITS = {"LPS": 1e-3, "GPM": 6.30901964e-5, "CMH": 1 / 3600.0, "CFS": 0.028316846592}
US = {"GPM", "CFS"}

HEAD_SHARE = 0.005
FLOW_SHARE = 0.01
# m3/s: a closed link of the reference keeps a tiny conductance, and passes about this much
# under the heads of these networks; pipenet's passes nothing.
CLOSED_LEAK = 1e-7


def inp(units, headloss, junctions, reservoirs, pipes, viscosity=None, extra=(), tanks=()):
    """junctions: (id, elevation, demand); reservoirs: (id, head); pipes: (id, a, b, length,
    diameter, roughness, minor loss[, status]); extra: further lines, sections and all; tanks:
    lines of [TANKS] (the reference wants nodes before the links that name them)."""
    lines = ["[JUNCTIONS]"]
    lines += [f" {j}\t{e}\t{d}" for j, e, d in junctions]
    lines += ["[RESERVOIRS]"] + [f" {r}\t{h}" for r, h in reservoirs]
    lines += ["[TANKS]"] + list(tanks)
    lines += ["[PIPES]"] + [" " + "\t".join(str(v) for v in p) for p in pipes]
    lines += list(extra)
    lines += ["[OPTIONS]", f" Units\t{units}", f" Headloss\t{headloss}"]
    if viscosity is not None:
        lines.append(f" Viscosity\t{viscosity}")
    return "\n".join(lines + ["[END]", ""])


def one_pipe(units, headloss, demand, diameter, roughness, minor=0.0, viscosity=None):
    """A reservoir feeding one junction through one pipe, and a second junction beyond it."""
    return inp(units, headloss, [("J1", 0, demand), ("J2", 0, demand / 2)], [("R", 50)],
               [("P1", "R", "J1", 800, diameter, roughness, minor),
                ("P2", "J1", "J2", 400, diameter, roughness, minor)], viscosity)


def check_valves(reverse):
    """Two reservoirs feeding a junction, one of them (R1, the lower when `reverse`) through a
    check valve that lets water only from R1 to J1."""
    return inp("LPS", "H-W", [("J1", 0, 10), ("J2", 0, 5)],
               [("R1", 40 if reverse else 60), ("R2", 50)],
               [("P1", "R1", "J1", 500, 150, 120, 0, "CV"), ("P2", "R2", "J1", 800, 150, 120, 0),
                ("P3", "J1", "J2", 300, 100, 120, 0)])


def grid(units, headloss, side, seed, roughness, minor_share=0.0, check_valve_share=0.0):
    """A side x side grid of junctions, fed by two reservoirs at opposite corners, with
    diameters, demands, minor losses and check valves drawn from a seeded generator."""
    rng = random.Random(seed)
    us = units in US
    name = lambda r, c: f"N{r}_{c}"
    junctions = [(name(r, c), rng.uniform(0, 10), round(rng.uniform(0.5, 4.0), 3) *
                  (15.85 if us else 1.0)) for r in range(side) for c in range(side)]
    reservoirs = [("R1", 60 / (FOOT if us else 1)), ("R2", 55 / (FOOT if us else 1))]
    diameters = [6, 8, 10, 12] if us else [150, 200, 250, 300]
    pipes = [("S1", "R1", name(0, 0), 200, diameters[-1], roughness, 0.0),
             ("S2", "R2", name(side - 1, side - 1), 300, diameters[-1], roughness, 0.0)]
    for r in range(side):
        for c in range(side):
            for dr, dc in ((0, 1), (1, 0)):
                if r + dr < side and c + dc < side:
                    minor = round(rng.uniform(0.5, 5.0), 2) if rng.random() < minor_share else 0
                    pipe = (f"P{r}_{c}_{dr}", name(r, c), name(r + dr, c + dc),
                            round(rng.uniform(100, 500)), rng.choice(diameters), roughness, minor)
                    if rng.random() < check_valve_share:
                        pipe = (*pipe, "CV")
                    pipes.append(pipe)
    return inp(units, headloss, junctions, reservoirs, pipes)


def pumped(pump, curve=(), status=(), tank_level=None, units="LPS", more=()):
    """A reservoir at 0 m lifting water through pump PU to two junctions on a hill, and, with a
    tank level, a tank beyond them. `pump`: the pump line's keywords; `curve`: points of C1."""
    junctions = [("J1", 10, 8), ("J2", 25, 6)]
    pipes = [("P1", "J1", "J2", 600, 200, 120, 0)]
    extra = ["[PUMPS]", f" PU\tR\tJ1\t{pump}", *more]
    tanks = []
    if tank_level is not None:
        pipes.append(("P2", "J2", "T", 400, 150, 120, 0))
        tanks = [f" T\t30\t{tank_level}\t0\t20\t15\t0"]
    extra += ["[CURVES]"] + [f" C1\t{q}\t{h}" for q, h in curve]
    extra += ["[STATUS]"] + [f" {link}\t{what}" for link, what in status]
    return inp(units, "H-W", junctions, [("R", 0)], pipes, extra=extra, tanks=tanks)


def two_pumps(side=5, seed=3, headloss="H-W", roughness=110, second="HEAD B"):
    """A looped grid fed from two reservoirs below it, each through its own pump: U1 on a
    three-point curve, U2 on a one-point curve B or as `second` gives it."""
    text = grid("LPS", headloss, side, seed, roughness)
    text = text.replace(" R1\t60", " R1\t5").replace(" R2\t55", " R2\t0")
    text = text.replace(" S1\tR1\tN0_0", " S1\tL1\tN0_0").replace(
        f" S2\tR2\tN{side - 1}_{side - 1}", f" S2\tL2\tN{side - 1}_{side - 1}")
    text = text.replace("[RESERVOIRS]", "[JUNCTIONS]\n L1\t5\t0\n L2\t0\t0\n[RESERVOIRS]")
    return text.replace("[OPTIONS]", f"[PUMPS]\n U1\tR1\tL1\tHEAD A\n U2\tR2\tL2\t{second}\n"
                        "[CURVES]\n A\t0\t95\n A\t60\t80\n A\t120\t40\n"
                        " B\t50\t70\n[OPTIONS]")


CASES = {
    # Hazen-Williams, the .inp files' constant, in SI and US units, with minor losses.
    "hw_lps": one_pipe("LPS", "H-W", 12, 150, 110),
    "hw_minor_gpm": one_pipe("GPM", "H-W", 300, 6, 120, minor=8.0),
    # Darcy-Weisbach in each range of its friction factor: Reynolds numbers about 1000 (laminar),
    # 3000 (the cubic between) and 2e5 (Swamee-Jain), and with the Viscosity option.
    "dw_laminar": one_pipe("LPS", "D-W", 0.05, 100, 0.1),
    "dw_transitional": one_pipe("LPS", "D-W", 0.16, 100, 0.1),
    "dw_turbulent": one_pipe("LPS", "D-W", 20, 150, 0.5, minor=3.0),
    "dw_viscosity": one_pipe("LPS", "D-W", 0.2, 100, 0.1, viscosity=0.5),
    "dw_gpm": one_pipe("GPM", "D-W", 250, 6, 0.5),
    # Chezy-Manning in SI and US units.
    "cm_lps": one_pipe("LPS", "C-M", 15, 150, 0.011),
    "cm_gpm": one_pipe("GPM", "C-M", 250, 6, 0.012, minor=2.0),
    # Check valves open with the flow and closed against it.
    "cv_open": check_valves(reverse=False),
    "cv_closed": check_valves(reverse=True),
    # Generated looped networks.
    "grid_dw_minor": grid("LPS", "D-W", 6, 23, 0.2, minor_share=0.3),
    "grid_hw_gpm": grid("GPM", "H-W", 7, 5, 100, minor_share=0.2),
    "grid_cm_cmh": grid("CMH", "C-M", 5, 11, 0.013),
    "grid_check_valves": grid("LPS", "D-W", 6, 7, 0.1, minor_share=0.2, check_valve_share=0.3),
    # Pumps: each form of curve, a tank beyond, power, speed, closed, unable to lift.
    "pump_one_point": pumped("HEAD C1", [(20, 55)]),
    "pump_tank": pumped("HEAD C1", [(25, 60)], tank_level=8),
    "pump_three_points": pumped("HEAD C1", [(0, 70), (15, 60), (30, 35)], tank_level=5),
    "pump_many_points": pumped("HEAD C1", [(0, 72), (10, 68), (20, 60), (30, 45), (40, 20)],
                               tank_level=5),
    "pump_power": pumped("POWER 12", tank_level=5),
    "pump_power_hp": pumped("POWER 15", tank_level=15, units="GPM"),
    # Three points fitted with an exponent near 0: the working flow is not where the curve
    # adds half its shutoff head (that flow underflows).
    "pump_flat_exponent": pumped("HEAD C1", [(0, 100), (0.001, 1), (1000, 0)]),
    "pump_speed": pumped("HEAD C1 SPEED 1.2", [(0, 70), (15, 60), (30, 35)], tank_level=5),
    "pump_status_speed": pumped("HEAD C1", [(20, 55)], [("PU", 0.9)], tank_level=5),
    "pump_closed": pumped("HEAD C1", [(20, 55)], [("PU", "Closed")], tank_level=5),
    "pump_cannot_lift": pumped("HEAD C1", [(20, 30)], tank_level=15),
    "pumps_looped": two_pumps(),
    "pumps_looped_dw_power": two_pumps(9, 17, "D-W", 0.1, "POWER 60"),
    "pumps_looped_cm_speed": two_pumps(7, 29, "C-M", 0.012, "HEAD B SPEED 1.15"),
    # Three pumps side by side: one running, one unable to lift, one closed by its status.
    "pump_station": (HERE.parent.parent / "docs" / "examples" / "pumps" / "station.inp")
    .read_text(),
}


def reference(files):
    """The reference's results of the files, or exits with SKIP when it cannot run."""
    node = shutil.which("node")
    if node is None:
        print("skipped: node is not installed (tools/prerequisites.sh tests installs it)")
        sys.exit(SKIP)
    prefix = os.environ.get("EPANET_JS_DIR", "")
    if not prefix or not (pathlib.Path(prefix) / "node_modules" / "epanet-js").is_dir():
        print(f"skipped: epanet-js is not installed under EPANET_JS_DIR={prefix!r} "
              "(tests/epanet/install_epanet.sh installs it)")
        sys.exit(SKIP)
    done = subprocess.run([node, str(HERE / "epanet_values.mjs"), *map(str, files)],
                          capture_output=True, text=True, timeout=300,
                          env={**os.environ, "EPANET_JS_DIR": prefix})
    if done.returncode != 0:
        print(f"the reference failed: {done.stderr}")
        sys.exit(1)
    return json.loads(done.stdout)


def solve(pipenet, path):
    done = subprocess.run([pipenet, "solve", "--json", "-", str(path)], capture_output=True,
                          text=True, timeout=300)
    try:
        return json.loads(done.stdout)
    except json.JSONDecodeError:
        print(f"solve {path}: status {done.returncode}, no JSON: {done.stderr}")
        sys.exit(1)


def units_of(text):
    for line in text.splitlines():
        words = line.split()
        if len(words) == 2 and words[0].lower() == "units":
            return words[1].upper()
    return "GPM"


def compare(name, text, mine, theirs):
    """The largest differences, and the faults found."""
    units = units_of(text)
    to_m = FOOT if units in US else 1.0
    to_flow = FLOW_UNITS[units]
    faults = []
    if "error" in theirs:
        return None, [f"the reference refused the network: {theirs['error']}"]
    if mine["outcome"] != "solved":
        return None, [f"pipenet: {mine['outcome']}: {mine['messages']}"]
    heads = {n["id"]: n["head"] for n in mine["nodes"]}
    ref_heads = {i: h * to_m for i, h in theirs["nodes"].items()}
    span = max(ref_heads.values()) - min(ref_heads.values())
    head_diff = max(abs(heads[i] - h) for i, h in ref_heads.items())
    if head_diff > HEAD_SHARE * span:
        faults.append(f"heads differ by {head_diff:.3g} m, over {HEAD_SHARE:.1%} of the "
                      f"range {span:.4g} m")
    law = {"H-W": "hazen-williams-inp", "D-W": "darcy-weisbach", "C-M": "chezy-manning"}
    wanted = next(law[w.split()[1]] for w in text.splitlines() if w.startswith(" Headloss"))
    if mine.get("law") != wanted:
        faults.append(f"law {mine.get('law')}, not {wanted}")
    flows = {p["id"]: p["discharge"] for p in mine["pipes"]}
    states = {p["id"]: p.get("state") for p in mine["pipes"]}
    for i, link in theirs["links"].items():
        state = "closed" if link["status"] == 0 else "open"
        if states[i] != state:
            faults.append(f"link {i}: {states[i]}, the reference {state}")
    ref_flows = {i: link["flow"] * to_flow for i, link in theirs["links"].items()}
    largest = max(abs(q) for q in ref_flows.values())
    flow_share = 0.0
    for i, q in ref_flows.items():
        diff = abs(flows[i] - q)
        share = diff / max(abs(q), 1e-4 * largest)
        flow_share = max(flow_share, share)
        if share > FLOW_SHARE and diff >= CLOSED_LEAK:
            faults.append(f"link {i}: flow {flows[i]:.6g} m3/s against {q:.6g}")
    return (head_diff, span, flow_share), faults


def count_junctions(text):
    count, inside = 0, False
    for line in text.splitlines():
        words = line.split(";")[0].split()
        if words and words[0].startswith("["):
            inside = words[0].upper() == "[JUNCTIONS]"
        elif words and inside:
            count += 1
    return count


def run_cases(pipenet, names):
    with tempfile.TemporaryDirectory() as folder:
        paths = []
        for name in names:
            path = pathlib.Path(folder) / f"{name}.inp"
            path.write_text(CASES[name])
            paths.append(path)
        ref = reference(paths)
        return [(name, compare(name, CASES[name], solve(pipenet, path), ref[str(path)]))
                for name, path in zip(names, paths)]


def main():
    if sys.argv[1:] == ["--list"]:
        print(";".join(CASES), end="")
        return 0
    if len(sys.argv) == 3 and sys.argv[1] == "--table":
        print("| network | junctions | largest head difference | % of head range | "
              "largest flow difference |")
        print("|---|---|---|---|---|")
        for name, (diffs, faults) in run_cases(sys.argv[2], list(CASES)):
            junctions = count_junctions(CASES[name])
            if diffs is None:
                print(f"| {name} | {junctions} | {'; '.join(faults)} | | |")
                continue
            head, span, flow = diffs
            print(f"| {name} | {junctions} | {head:.2e} m | {100 * head / span:.4f} % | "
                  f"{100 * flow:.4f} % |")
        return 0
    if len(sys.argv) != 3 or sys.argv[2] not in CASES:
        print(__doc__)
        return 2
    (name, (diffs, faults)), = run_cases(sys.argv[1], [sys.argv[2]])
    for fault in faults:
        print(f"{name}: {fault}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
