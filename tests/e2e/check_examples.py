#!/usr/bin/env python3
"""Checks the heads that the built programs print for the bundled example networks against a
double-precision solution of the same flow laws, computed here from scratch:

  lamnet   dense Gaussian elimination (partial pivoting) of the laminar network; the printed
           heads must agree to single-precision accuracy.
  turbnet  Newton iteration of the power law in double precision, run to full convergence; the
           printed heads must agree to the accuracy that the example's tolerance allows.

Standard error must be empty, except for the balance warning, which must be there exactly when
the printed nodal discharges are further from the given ones than 1 % of the largest given
discharge at some node without a known head, and must name the worst such node.

Usage: check_examples.py LAMNET TURBNET EXAMPLES_FOLDER
"""
import math
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

PI = 3.1416  # the laminar conductance uses this value of pi


def field(record, start, width, decimals=None):
    text = record[start:start + width].strip()
    if decimals is None:
        return int(text) if text else 0
    if not text:
        return 0.0
    return float(text) if "." in text or "e" in text.lower() else int(text) / 10 ** decimals


def parse(path, turbulent):
    records = path.read_text().splitlines()
    head = records[0]
    nn, ne, nq, nh = (field(head, 10 * i, 10) for i in range(4))
    net = {"nn": nn, "ne": ne}
    if turbulent:
        net["tolerance"] = field(head, 50, 10, 7)
        net["roughness"] = field(head, 60, 15, 7)
    else:
        net["rho_g_over_mu"] = field(head, 40, 10, 0)
    pos = 1
    net["xy"] = {}
    for r in records[pos:pos + nn]:
        net["xy"][field(r, 0, 10)] = (field(r, 10, 10, 2), field(r, 20, 10, 2))
    pos += nn
    net["pipes"] = []
    for r in records[pos:pos + ne]:
        net["pipes"].append((field(r, 10, 10), field(r, 20, 10), field(r, 30, 10, 5)))
    pos += ne
    net["q"] = {field(r, 0, 10): field(r, 10, 12, 4) for r in records[pos:pos + nq]}
    pos += nq
    net["h"] = {field(r, 0, 10): field(r, 10, 10, 4) for r in records[pos:pos + nh]}
    return net


def length(net, a, b):
    (xa, ya), (xb, yb) = net["xy"][a], net["xy"][b]
    return math.hypot(xb - xa, yb - ya)


def solve_dense(matrix, rhs):
    n = len(rhs)
    a = [row[:] + [rhs[i]] for i, row in enumerate(matrix)]
    for k in range(n):
        p = max(range(k, n), key=lambda i: abs(a[i][k]))
        a[k], a[p] = a[p], a[k]
        for i in range(k + 1, n):
            f = a[i][k] / a[k][k]
            for j in range(k, n + 1):
                a[i][j] -= f * a[k][j]
    x = [0.0] * n
    for k in range(n - 1, -1, -1):
        x[k] = (a[k][n] - sum(a[k][j] * x[j] for j in range(k + 1, n))) / a[k][k]
    return x


def free_system(net, conductance_of_pipe, load):
    """Matrix and right-hand side of the unknown heads, known heads moved to the right."""
    free = [n for n in range(1, net["nn"] + 1) if n not in net["h"]]
    index = {n: i for i, n in enumerate(free)}
    matrix = [[0.0] * len(free) for _ in free]
    rhs = [load.get(n, 0.0) for n in free]
    for e, (a, b, _) in enumerate(net["pipes"]):
        c = conductance_of_pipe(e)
        for p, other in ((a, b), (b, a)):
            if p in index:
                matrix[index[p]][index[p]] += c
                if other in index:
                    matrix[index[p]][index[other]] -= c
                else:
                    rhs[index[p]] += c * net["h"][other]
    return free, matrix, rhs


def laminar_heads(net):
    def c(e):
        a, b, d = net["pipes"][e]
        return net["rho_g_over_mu"] * PI / 128.0 * d ** 4 / length(net, a, b)

    free, matrix, rhs = free_system(net, c, net["q"])
    heads = dict(net["h"])
    heads.update(zip(free, solve_dense(matrix, rhs)))
    return heads


def turbulent_heads(net):
    coefficient = []
    for a, b, d in net["pipes"]:
        coefficient.append(0.2784 * net["roughness"] * d ** 2.63 / length(net, a, b) ** 0.54)
    heads = {n: net["h"].get(n, 0.0) for n in range(1, net["nn"] + 1)}

    def flow(e):
        a, b, _ = net["pipes"][e]
        dh = heads[a] - heads[b]
        return math.copysign(coefficient[e] * abs(dh) ** 0.54, dh)

    # start from the linear network with the pipe coefficients as conductances
    free, matrix, rhs = free_system(net, lambda e: coefficient[e], net["q"])
    heads.update(zip(free, solve_dense(matrix, rhs)))
    index = {n: i for i, n in enumerate(free)}

    def newton_system():
        """Jacobian (tangent conductances) and nodal-balance residual at the free nodes."""
        jac = [[0.0] * len(free) for _ in free]
        residual = [net["q"].get(n, 0.0) for n in free]
        for e, (a, b, _) in enumerate(net["pipes"]):
            dh = max(abs(heads[a] - heads[b]), 1e-12)
            q, t = flow(e), 0.54 * coefficient[e] * dh ** -0.46
            for p, other, sign in ((a, b, 1.0), (b, a, -1.0)):
                if p in index:
                    residual[index[p]] -= sign * q
                    jac[index[p]][index[p]] += t
                    if other in index:
                        jac[index[p]][index[other]] -= t
        return jac, residual

    for _ in range(200):
        jac, residual = newton_system()
        step = solve_dense(jac, residual)
        for n, s in zip(free, step):
            heads[n] += s
        if max(abs(s) for s in step) < 1e-12:
            break
    else:
        raise SystemExit("double-precision Newton iteration did not converge")

    # The programs' load at the solution: known heads at their own nodes, given discharges
    # plus the known-head couplings of the secant matrix at the free nodes.
    load = {n: abs(h) for n, h in net["h"].items()}
    for n in free:
        load[n] = net["q"].get(n, 0.0)
    for e, (a, b, _) in enumerate(net["pipes"]):
        secant = coefficient[e] * max(abs(heads[a] - heads[b]), 1e-12) ** -0.46
        for p, other in ((a, b), (b, a)):
            if p in index and other in net["h"]:
                load[p] += secant * net["h"][other]
    jac, _ = newton_system()
    exact = dict(heads)

    def check(printed):
        """Residual norm at the printed heads, what the tolerance allows, and the largest
        head difference that this residual explains to first order (J^-1 r)."""
        heads.clear()
        heads.update(printed)
        _, residual = newton_system()
        heads.clear()
        heads.update(exact)
        rounding = math.sqrt(sum((sum(abs(v) for v in row) * 5e-5) ** 2 for row in jac))
        norm = math.sqrt(sum(r * r for r in residual))
        allowed = net["tolerance"] * sum(abs(v) for v in load.values()) + rounding
        explained = max(abs(v) for v in solve_dense(jac, residual))
        return norm, allowed, 2.0 * explained

    return exact, check


def printed_heads(report):
    block = report.split(" nodal heads\n", 1)[1].split("\n\n", 1)[0]
    heads = {}
    for line in block.splitlines()[1:]:
        m = re.fullmatch(r"\s*(\d+)\s+(\S+)", line)
        heads[int(m.group(1))] = float(m.group(2))
    return heads


def printed_nodal_discharges(report):
    block = report.split(" nodal discharges\n", 1)[1].split("\n\n", 1)[0]
    return {int(n): float(q) for n, q in (line.split() for line in block.splitlines()[1:])}


def balance_checked(name, net, report, errors):
    """The balance warning on standard error, against the printed nodal discharges. The bundled
    examples are what a newcomer runs first: they print no warning at all."""
    if "/examples/" in name and errors:
        print(f"{name}: a bundled example prints on standard error: {errors!r}")
        return False
    printed = printed_nodal_discharges(report)
    free = [n for n in sorted(printed) if n not in net["h"]]
    off = {n: abs(printed[n] - net["q"].get(n, 0.0)) for n in free}
    # 1 % of the largest given discharge, never below what the report's 4 decimals can show
    allowed = max(0.01 * max(abs(net["q"].get(n, 0.0)) for n in free), 5e-5)
    worst = max(off, key=off.get)
    lines = errors.splitlines()
    warned = len(lines) == 1 and ": warning: nodal balance off at node " in lines[0]
    if lines and not warned:
        print(f"{name}: standard error holds more than one balance warning: {errors!r}")
        return False
    # The printed values are rounded to 4 decimals: within that of the line, either is right.
    if abs(off[worst] - allowed) <= 1e-4:
        print(f"{name}: largest printed difference {off[worst]:.4f} within the print rounding of "
              f"the allowed {allowed:.5f}: {'warned' if warned else 'silent'}")
        return True
    expected = f": warning: nodal balance off at node {worst}:" if off[worst] > allowed else None
    ok = not lines if expected is None else warned and expected in lines[0]
    print(f"{name}: node {worst} off its given discharge by {off[worst]:.4f}, allowed "
          f"{allowed:.5f}: {'warned' if warned else 'silent'}")
    if not ok:
        print(f"{name}: standard error {errors!r}, expected a warning {expected!r}")
    return ok


def run(program, input_path, stdin):
    """The report and standard error of a run that must end with status 0."""
    with tempfile.TemporaryDirectory() as tmp:
        shutil.copyfile(input_path, pathlib.Path(tmp) / input_path.name)
        result = subprocess.run([program], cwd=tmp, input=stdin, capture_output=True, timeout=60)
    if result.returncode != 0:
        raise SystemExit(f"{program} failed: status {result.returncode}, {result.stderr!r}")
    return result.stdout.decode(), result.stderr.decode()


def compare(name, printed, exact, allowed):
    worst = 0.0
    ok = True
    for n, h in exact.items():
        error = abs(printed[n] - h)
        worst = max(worst, error)
        if error > allowed(h):
            print(f"{name}: node {n} printed {printed[n]:.4f}, double-precision head {h:.6f}")
            ok = False
    print(f"{name}: {len(exact)} heads, largest difference {worst:.2e}")
    return ok and len(printed) == len(exact)


def check_laminar(lamnet, lin):
    net = parse(lin, turbulent=False)
    exact = laminar_heads(net)
    # single precision (a few units of 2**-24, relative) plus the 4-decimal print rounding
    report, errors = run(lamnet, lin, b"")
    balanced = balance_checked(f"lamnet {lin}", net, report, errors)
    return compare(f"lamnet {lin}", printed_heads(report), exact,
                   lambda h: 1e-5 * abs(h) + 5e-5) and balanced


def check_turbulent(turbnet, nonlin):
    net = parse(nonlin, turbulent=True)
    exact, check = turbulent_heads(net)
    report, errors = run(turbnet, nonlin, b"1\n")
    ok = balance_checked(f"turbnet {nonlin}", net, report, errors)
    printed = printed_heads(report)
    norm, allowed, bound = check(printed)
    print(f"turbnet {nonlin}: residual of the printed heads {norm:.2e}, the tolerance allows {allowed:.2e}")
    ok = norm <= allowed and ok
    if " convergence achieved on cycle" not in report:
        print("turbnet: the network does not converge")
        ok = False
    print(f"turbnet: that residual explains head differences up to {bound / 2:.2e}")
    return compare(f"turbnet {nonlin}", printed, exact, lambda h: bound + 1e-5 * abs(h) + 5e-5) and ok


def main():
    """check_examples.py LAMNET TURBNET FILE...: every input-lin.dat and input-nonlin.dat named."""
    lamnet, turbnet = (str(pathlib.Path(p).resolve()) for p in sys.argv[1:3])
    ok = True
    for name in sys.argv[3:]:
        path = pathlib.Path(name)
        if path.name == "input-lin.dat":
            ok &= check_laminar(lamnet, path)
        else:
            ok &= check_turbulent(turbnet, path)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
