#!/usr/bin/env python3
"""Writes the end-to-end case folders of input reading, echo, capacity checks, driver refusals
and record-layer failures under cases/lamnet and cases/turbnet.

Every expected report here is built from the report layouts written out as Python formatting
(one small function per layout, below), from values worked out by hand, or, for the few
numbers that follow from single-precision arithmetic, from a short calculation of our own with
explicit float32 rounding.  Nothing is taken from a run of the programs.

The results block of the full-capacity networks comes from reference.py (an independent model
of both programs); run this script with --with-reference to (re)write those two folders.

Usage: make_cases.py [--with-reference]
"""
import math
import pathlib
import shutil
import struct
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
CASES = HERE / "cases"
INPUT_NAME = {"lamnet": "input-lin.dat", "turbnet": "input-nonlin.dat"}


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


# ---------------------------------------------------------------------------------------------
# Output fields and layouts

def iw(w, v):
    text = str(v)
    return "*" * w if len(text) > w else text.rjust(w)


def fw(w, d, v):
    text = "%.*f" % (d, v)
    return "*" * w if len(text) > w else text.rjust(w)


def banner(program):
    return [" " + "*" * (130 if program == "lamnet" else 70)]


def input_data(program, nn, ne, nq, nh, *rest):
    lines = ["", "", " internal data", "",
             " number of nodes\t: " + iw(5, nn),
             " number of elements\t: " + iw(5, ne),
             " numder of nodes with known discharge\t: " + iw(5, nq),
             " number of nodes with known head\t: " + iw(5, nh)]
    if program == "lamnet":
        (rho,) = rest
        lines += [" value of density*gravity acc./viscosity\t: " + fw(15, 2, rho), ""]
    else:
        iterations, tolerance, roughness = rest
        lines += [" maximum number of iterations\t: " + iw(5, iterations),
                  " tolerance\t: " + " " * 16 + fw(10, 7, tolerance), "",
                  " relative roughness\t: " + fw(15, 7, roughness), ""]
    return lines + [" nodal coordinates", " " * 7 + "node" + " " * 6 + "x" + " " * 9 + "y"]


def node_line(n, x, y):
    return iw(10, n) + fw(10, 2, x) + fw(10, 2, y)


ELEMENT_HEADING = ["", " element connectivity and diameter ",
                   " " * 4 + "element " + " " * 3 + "start node    end node      diameter"]


def element_line(e, a, b, d):
    return iw(10, e) + iw(10, a) + iw(12, b) + fw(18, 5, d)


def half_band_lines(hb):
    return ["", "---- half-bandwidth is equal to" + iw(5, hb) + " ----", ""]


DISCHARGE_HEADING = ["", " nodal discharges ", " " * 8 + "node" + " " * 5 + "value"]


def discharge_line(n, q):
    return iw(10, n) + fw(12, 4, q)


BOUNDARY_HEADING = ["", "    boundary   condition   data ",
                    " " * 8 + "node" + " " * 5 + "prescribed   values"]


def boundary_line(n, h):
    return iw(10, n) + " " * 10 + fw(10, 4, h)


def message(text):
    return ["", text, ""]


def results(heads, nodal, member):
    lines = ["", "", " " + "*" * 130, "", "  results", "", " nodal heads",
             " " * 7 + "node" + " " * 9 + "head"]
    lines += [iw(10, n) + fw(15, 4, h) for n, h in enumerate(heads, 1)]
    lines += ["", " nodal discharges", " " * 7 + "node" + " " * 5 + "discharge"]
    lines += [iw(10, n) + fw(15, 4, q) for n, q in enumerate(nodal, 1)]
    lines += ["", " member discharges", " " * 4 + " member discharge"]
    lines += [iw(10, e) + fw(15, 4, q) for e, q in enumerate(member, 1)]
    return lines + ["", "", " " + "*" * 130]


SEPARATOR = "  " + "*" * 70


def pass_header(count):
    return ["", "", " ***** iteration number" + iw(5, count) + " ******", "",
            "  node     head" + " " * 7 + "total vector computed vector", ""]


def pass_row(i, head, total, computed):
    return iw(5, i) + fw(15, 6, head) + fw(15, 6, total) + fw(15, 6, computed)


def convergence(count):
    return message(" convergence achieved on cycle" + iw(5, count))


TOO_MANY_NODES = message("  **** too many nodes ****  ")
TOO_MANY_ELEMENTS = message("  **** too many elements ****  ")
TOO_MANY_BOUNDARY_NODES = message("  **** too many boundary nodes ****  ")
HALF_BAND_EXCEEDED = message("  **** maximum half-bandwidth exceeded ****  ")
NO_NODES = message("  **** no nodes in the network ****  ")


def out_of_range(kind, number):
    return message("  **** node number out of range in " + kind + " record :" + iw(11, number)
                   + " ****  ")


def element_out_of_range(number):
    return message("  **** element number out of range in element record :" + iw(11, number)
                   + " ****  ")


def pipe_end_out_of_range(element, node):
    return message("  **** node number out of range at an end of element" + iw(5, element) + " :"
                   + iw(11, node) + " ****  ")


def failure(number, text, unit, file):
    return f"netio: severe ({number}): {text}, unit {unit}, file {file}"


def input_file(program):
    return "@DIR@/" + INPUT_NAME[program]


# ---------------------------------------------------------------------------------------------
# Case folders

def write_case(program, name, *, input_text=None, stdout_lines=(), stderr_lines=(), status=0,
               stdin=None, mode=None, line_end="\n"):
    folder = CASES / program / name
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    if input_text is not None:
        if isinstance(input_text, list):
            input_text = "".join(line + line_end for line in input_text)
        (folder / INPUT_NAME[program]).write_bytes(input_text.encode("latin-1"))
    if stdin is not None:
        (folder / "stdin").write_bytes(stdin.encode("latin-1"))
    (folder / "expected.stdout").write_bytes("".join(l + "\n" for l in stdout_lines).encode())
    if stderr_lines:
        (folder / "expected.stderr").write_bytes("".join(l + "\n" for l in stderr_lines).encode())
    if status:
        (folder / "expected.status").write_text(f"{status}\n")
    if mode:
        (folder / "mode").write_text(mode + "\n")


class Net:
    """A network given as input records; knows its own input text and its echo."""

    def __init__(self, program, counts, header_values, nodes, elements, discharges, heads):
        self.program = program
        self.counts = counts  # node, element, known-discharge and known-head counts
        self.header_values = header_values  # rho (lamnet) or iterations, tolerance, roughness
        self.nodes, self.elements = nodes, elements
        self.discharges, self.heads = discharges, heads

    def input_lines(self):
        nn, ne, nq, nh = self.counts
        if self.program == "lamnet":
            (rho,) = self.header_values
            lines = [f"{nn:10d}{ne:10d}{nq:10d}{nh:10d}{rho:10.1f}"]
        else:
            iterations, tolerance, roughness = self.header_values
            lines = [f"{nn:10d}{ne:10d}{nq:10d}{nh:10d}{iterations:10d}{tolerance:10.7f}"
                     f"{roughness:15.7f}"]
        lines += [f"{n:10d}{x:10.2f}{y:10.2f}" for n, x, y in self.nodes]
        lines += [f"{e:10d}{a:10d}{b:10d}{d:10.5f}" for e, a, b, d in self.elements]
        lines += [f"{n:10d}{q:12.4f}" for n, q in self.discharges]
        lines += [f"{n:10d}{h:10.4f}" for n, h in self.heads]
        return lines

    def half_band(self):
        ends = {}
        for e, a, b, _ in self.elements:
            if 1 <= e <= 100:
                ends[e] = (a, b)
        widest = 0
        for e in range(1, min(self.counts[1], 100) + 1):
            a, b = ends.get(e, (0, 0))
            widest = max(widest, abs(a - b))
        return min(widest + 1, 2**31 - 1)  # the count saturates instead of wrapping

    def echo(self, upto=None):
        """The echo up to and including the boundary-condition table."""
        nn = self.counts[0]
        lines = banner(self.program)
        lines += input_data(self.program, *self.counts, *self.header_values)
        if self.program == "lamnet":
            lines += [node_line(n, f32(x), f32(y)) for n, x, y in self.nodes]
        elif nn <= 0:
            lines += [""]
        else:
            stored = {n: (x, y) for n, x, y in self.nodes if 1 <= n <= 100}
            lines += [node_line(n, *(f32(v) for v in stored.get(n, (0.0, 0.0))))
                      for n in range(1, nn + 1)]
        lines += ELEMENT_HEADING
        lines += [element_line(e, a, b, f32(d)) for e, a, b, d in self.elements]
        lines += half_band_lines(self.half_band())
        lines += DISCHARGE_HEADING + [discharge_line(n, f32(q)) for n, q in self.discharges]
        lines += BOUNDARY_HEADING + [boundary_line(n, f32(h)) for n, h in self.heads]
        return lines


# ---------------------------------------------------------------------------------------------
# The small networks, worked out by hand

# Both files give the same three nodes in the order 3, 1, 2, with a coordinate written as the
# digits 1234 (12.34 with two implied decimals), a record whose fields are ended by commas, and
# CR LF line ends.  Node 3 = (12.34, 500.00), node 1 = (-2.50, 150.00), node 2 = (100.00, 0.00).
SMALL_NODES = ["         3      1234     500.0",
               "1,-250,1.5E2",
               "         2     100.0       0.0"]
SMALL_ELEMENTS = ["         1         1         2     25000",
                  "2,2,3,0.3"]
X = {1: f32(-2.5), 2: f32(100.0), 3: f32(12.34)}
Y = {1: f32(150.0), 2: f32(0.0), 3: f32(500.0)}
PIPES = [(1, 2, f32(0.25)), (2, 3, f32(0.3))]


def length(a, b):
    dx, dy = X[b] - X[a], Y[b] - Y[a]
    return f32(math.sqrt(dx * dx + dy * dy))


def small_lamnet():
    input_lines = ["         3         2         1         2      9810"] + SMALL_NODES + \
        SMALL_ELEMENTS + ["         2       -1500",
                          "         1     100.0",
                          "         3    955000",
                          "lines after the last record are never read"]
    echo = [" " + "*" * 130,
            "",
            "",
            " internal data",
            "",
            " number of nodes\t:     3",
            " number of elements\t:     2",
            " numder of nodes with known discharge\t:     1",
            " number of nodes with known head\t:     2",
            " value of density*gravity acc./viscosity\t:         9810.00",
            "",
            " nodal coordinates",
            "       node      x         y",
            "         3     12.34    500.00",
            "         1     -2.50    150.00",
            "         2    100.00      0.00",
            "",
            " element connectivity and diameter ",
            "    element    start node    end node      diameter",
            "         1         1           2           0.25000",
            "         2         2           3           0.30000",
            "",
            "---- half-bandwidth is equal to    2 ----",
            "",
            "",
            " nodal discharges ",
            "        node     value",
            "         2     -0.1500",
            "",
            "    boundary   condition   data ",
            "        node     prescribed   values",
            "         1            100.0000",
            "         3             95.5000"]

    # Node 2 is the only unknown: after the known heads of nodes 1 and 3 are moved to the
    # right-hand side, its equation is (c1 + c2) h2 = q2 + c1 h1 + c2 h3.
    rho, h1, h3, q2 = f32(9810.0), f32(100.0), f32(95.5), f32(-0.15)
    k = rho * f32(3.1416) / f32(128.0)
    c1, c2 = (f32((d * d) * (d * d) * k / length(a, b)) for a, b, d in PIPES)
    pivot = f32(f32(0.0 + c1) + c2)
    load = f32(q2 - (-c1) * h1)
    load = f32(load - (-c2) * h3)
    heads = [h1, f32(load / pivot), h3]
    assert 80.0 < heads[1] < 84.0  # rough hand estimate: 0.7346 / 0.009019 = 81.4
    member, nodal = [], [0.0, 0.0, 0.0]
    for a, b, d in PIPES:
        conductance = f32((rho * f32(3.1416)) * ((d * d) * (d * d)) / (f32(128.0) * length(a, b)))
        q = f32((heads[a - 1] - heads[b - 1]) * conductance)
        member.append(q)
        nodal[a - 1] = f32(nodal[a - 1] + q)
        nodal[b - 1] = f32(nodal[b - 1] - q)
    write_case("lamnet", "small-network-echo", input_text=input_lines, line_end="\r\n",
               stdout_lines=echo + results(heads, nodal, member))
    # The same run by a user who may read the input file but not write it: the open falls back
    # to reading only, and the report is the same.
    write_case("lamnet", "read-only-input", input_text=input_lines, line_end="\r\n",
               stdout_lines=echo + results(heads, nodal, member), mode="read-only-input")


SMALL_TURBNET_INPUT = ["         3         2         1         3        10         1          130.0"] + \
    SMALL_NODES + SMALL_ELEMENTS + ["         2       -1500",
                                    "         3    955000",
                                    "         1     100.0",
                                    "2,97."]
# The last record has no line end.
SMALL_TURBNET_TEXT = "\r\n".join(SMALL_TURBNET_INPUT)
SMALL_TURBNET_ECHO = [" " + "*" * 70,
                      "",
                      "",
                      " internal data",
                      "",
                      " number of nodes\t:     3",
                      " number of elements\t:     2",
                      " numder of nodes with known discharge\t:     1",
                      " number of nodes with known head\t:     3",
                      " maximum number of iterations\t:    10",
                      " tolerance\t:                  0.0000001",
                      "",
                      " relative roughness\t:     130.0000000",
                      "",
                      " nodal coordinates",
                      "       node      x         y",
                      "         1     -2.50    150.00",
                      "         2    100.00      0.00",
                      "         3     12.34    500.00",
                      "",
                      " element connectivity and diameter ",
                      "    element    start node    end node      diameter",
                      "         1         1           2           0.25000",
                      "         2         2           3           0.30000",
                      "",
                      "---- half-bandwidth is equal to    2 ----",
                      "",
                      "",
                      " nodal discharges ",
                      "        node     value",
                      "         2     -0.1500",
                      "",
                      "    boundary   condition   data ",
                      "        node     prescribed   values",
                      "         3             95.5000",
                      "         1            100.0000",
                      "         2             97.0000"]


def small_turbnet():
    # Every head is known (the last record, "2,97.", ends its node field with a comma), so the
    # first solution gives
    # them exactly, the residual of the first pass is zero and the run converges on cycle 0.
    # The nodal discharge of node 2 is overridden by its known head.
    heads = [f32(100.0), f32(97.0), f32(95.5)]
    roughness = f32(130.0)
    member, nodal = [], [0.0, 0.0, 0.0]
    for a, b, d in PIPES:
        t = f32(math.pow(d, f32(2.63)) * f32(0.2784) * roughness)
        c = f32(t / math.pow(length(a, b), f32(0.54)))
        dh = f32(heads[a - 1] - heads[b - 1])
        sign = -1.0 if math.copysign(1.0, dh) < 0 else 1.0
        q = f32(math.pow(abs(dh), f32(0.54)) * (sign * c))
        member.append(q)
        nodal[a - 1] = f32(nodal[a - 1] + q)
        nodal[b - 1] = f32(nodal[b - 1] - q)
    report = SMALL_TURBNET_ECHO + [""] + [SEPARATOR] + pass_header(0) + [""]
    report += [pass_row(i, h, h, h) for i, h in enumerate(heads, 1)]
    report += convergence(0) + results(heads, nodal, member)
    write_case("turbnet", "small-network-echo", input_text=SMALL_TURBNET_TEXT,
               stdin="1\n", stdout_lines=report)
    write_case("turbnet", "read-only-input", input_text=SMALL_TURBNET_TEXT,
               stdin="1\n", stdout_lines=report, mode="read-only-input")

    # The same network with standard input empty: the print flag cannot be read once the first
    # solution (its empty assembly line) is done.
    write_case("turbnet", "empty-console-input", input_text=SMALL_TURBNET_TEXT,
               stdin="", stdout_lines=SMALL_TURBNET_ECHO + [""],
               stderr_lines=[failure(24, "end-of-file during read", 5, "CONIN$")], status=24)
    write_case("turbnet", "letter-in-print-flag", input_text=SMALL_TURBNET_TEXT,
               stdin="    1x\n", stdout_lines=SMALL_TURBNET_ECHO + [""],
               stderr_lines=[failure(64, "input conversion error", 5, "CONIN$")], status=64)
    # A console event while the program waits for the print flag: the report so far is ended
    # and flushed, then the event's failure report; the status is 128 + the signal.
    for name, mode, event, number in (("sigquit", "stdin-quit", "control-BREAK", 3),
                                       ("sighup", "stdin-hangup", "menu-CLOSE", 1)):
        write_case("turbnet", f"{name}-while-waiting-for-print-flag",
                   input_text=SMALL_TURBNET_TEXT, stdout_lines=SMALL_TURBNET_ECHO + [""],
                   stderr_lines=[f"netio: error (200): program aborting due to {event} event"],
                   status=128 + number, mode=mode)


# ---------------------------------------------------------------------------------------------
# Networks at and beyond the capacities

def full_network(program, *, extra_node=False, extra_element=False, extra_head=False,
                 wide_pipe=False):
    """100 nodes on a zigzag, a chain of 99 pipes plus one pipe from node 1 to node 20 (the
    half-bandwidth 20), 30 known heads at nodes 1, 4, ..., 88 and 8 known discharges.  Node
    records come in the order 100, 99, ..., 1.  Each flag adds the one record (or widens the
    one pipe) that takes a capacity one beyond its limit."""
    nodes = [(n, 10.0 * n, (0.0, 5.0, -5.0)[n % 3]) for n in range(100, 0, -1)]
    elements = [(e, e, e + 1, (0.3, 0.4, 0.5)[e % 3]) for e in range(1, 100)]
    elements.append((100, 1, 21 if wide_pipe else 20, 0.2))
    discharges = [(50, 0.25)] + [(n, -0.05) for n in range(92, 99)]
    heads = [(1 + 3 * k, 30.0 - 0.75 * k) for k in range(29)] + [(100, 0.0)]
    if extra_node:
        nodes.append((101, 1010.0, 7.5))
    if extra_element:
        elements.append((101, 99, 100, 0.45))
    if extra_head:
        heads.append((91, 80.0))
    counts = (len(nodes), len(elements), len(discharges), len(heads))
    header = (9810.0,) if program == "lamnet" else (20, 0.000001, 130.0)
    return Net(program, counts, header, nodes, elements, discharges, heads)


def capacity_cases(program, with_reference):
    for name, flags, stop in [
            ("too-many-nodes", {"extra_node": True}, TOO_MANY_NODES),
            ("too-many-elements", {"extra_element": True}, TOO_MANY_ELEMENTS),
            ("too-many-boundary-nodes", {"extra_head": True}, TOO_MANY_BOUNDARY_NODES),
            ("half-bandwidth-exceeded", {"wide_pipe": True}, HALF_BAND_EXCEEDED),
            ("too-many-nodes-and-boundary-nodes", {"extra_node": True, "extra_head": True},
             TOO_MANY_NODES)]:
        net = full_network(program, **flags)
        write_case(program, name, input_text=net.input_lines(), stdout_lines=net.echo() + stop)

    net = full_network(program)
    name = "full-capacity"
    if with_reference:
        write_case(program, name, input_text=net.input_lines(),
                   stdin=None if program == "lamnet" else "0\n")
        folder = CASES / program / name
        subprocess.run([sys.executable, str(HERE / "reference.py"), program, str(folder)],
                       check=True)
        # The echo part of the modelled report must be the echo built here from the layouts.
        echo = "".join(l + "\n" for l in net.echo())
        report = (folder / "expected.stdout").read_text()
        assert report.startswith(echo), f"{program}: modelled echo differs"


# ---------------------------------------------------------------------------------------------
# Refusals of numbers outside the counts, and the empty network

def refusal_cases():
    lam, turb = (9810.0,), (10, 0.001, 130.0)
    line = [(1, 0.0, 0.0), (2, 100.0, 0.0), (3, 200.0, 0.0)]
    chain = [(1, 1, 2, 0.3), (2, 2, 3, 0.3)]
    cases = [
        # node_count 0: lamnet reads no node record; an element naming nodes 1 and 2 is not
        # reported, as the empty network is refused first.
        ("lamnet", "no-nodes", Net("lamnet", (0, 1, 0, 0), lam, [], [(1, 1, 2, 0.3)], [], []),
         NO_NODES),
        # turbnet's node group still takes one record, which is skipped (see the input).
        ("turbnet", "no-nodes", Net("turbnet", (0, 0, 0, 0), turb, [(1, 5.0, 5.0)], [], [], []),
         NO_NODES),
        # Node records 2, 101 and 0 with node_count 3: the first in file order is named; node
        # 101 is echoed as read but not stored.
        ("lamnet", "node-records-out-of-range",
         Net("lamnet", (3, 2, 0, 1), lam, [(2, 100.0, 0.0), (101, 300.0, 0.0), (0, 0.0, 0.0)],
             chain, [], [(1, 10.0)]), out_of_range("node", 101)),
        # The same in turbnet with the order 1, 0, 101: the echo shows the stored nodes 1 ... 3,
        # of which 2 and 3 were never given.
        ("turbnet", "node-records-out-of-range",
         Net("turbnet", (3, 2, 0, 1), turb, [(1, 0.0, 1.0), (0, 1.0, 2.0), (101, 2.0, 3.0)],
             chain, [], [(1, 10.0)]), out_of_range("node", 0)),
        # Element records 1 and 3 with element_count 2: element 2 keeps the ends 0, but the
        # element record is named first.
        ("lamnet", "element-record-out-of-range",
         Net("lamnet", (3, 2, 0, 1), lam, line, [(1, 1, 2, 0.3), (3, 2, 3, 0.3)], [], [(1, 10.0)]),
         element_out_of_range(3)),
        ("turbnet", "element-record-out-of-range",
         Net("turbnet", (3, 2, 0, 1), turb, line, [(101, 1, 2, 0.3), (2, 2, 3, 0.3)], [],
             [(1, 10.0)]), element_out_of_range(101)),
        ("lamnet", "pipe-end-out-of-range",
         Net("lamnet", (3, 2, 1, 1), lam, line, [(1, 1, 2, 0.3), (2, 2, 4, 0.3)], [(0, -1.0)],
             [(1, 10.0)]), pipe_end_out_of_range(2, 4)),
        ("turbnet", "pipe-end-out-of-range",
         Net("turbnet", (3, 2, 0, 1), turb, line, [(1, 0, 2, 0.3), (2, 2, 3, 0.3)], [],
             [(1, 10.0)]), pipe_end_out_of_range(1, 0)),
        ("lamnet", "known-discharge-node-zero",
         Net("lamnet", (3, 2, 2, 1), lam, line, chain, [(3, -0.5), (0, -1.0)], [(1, 10.0)]),
         out_of_range("known-discharge", 0)),
        ("turbnet", "known-discharge-node-beyond-count",
         Net("turbnet", (3, 2, 1, 1), turb, line, chain, [(4, -0.5)], [(1, 10.0)]),
         out_of_range("known-discharge", 4)),
        ("lamnet", "known-head-node-beyond-count",
         Net("lamnet", (3, 2, 0, 2), lam, line, chain, [], [(1, 10.0), (4, 5.0)]),
         out_of_range("known-head", 4)),
        ("turbnet", "known-head-node-zero",
         Net("turbnet", (3, 2, 1, 2), turb, line, chain, [(3, -0.5)], [(1, 10.0), (0, 5.0)]),
         out_of_range("known-head", 0)),
    ]
    for program, name, net, stop in cases:
        write_case(program, name, input_text=net.input_lines(), stdout_lines=net.echo() + stop)


# ---------------------------------------------------------------------------------------------
# Failures of the record layer

def record_failure_cases():
    lam = Net("lamnet", (3, 2, 1, 1), (9810.0,), [(1, 0.0, 0.0), (2, 100.0, 0.0), (3, 200.0, 0.0)],
              [(1, 1, 2, 0.3), (2, 2, 3, 0.3)], [(3, -0.5)], [(1, 10.0)])
    echo = lam.echo()
    text = lam.input_lines()
    eof = failure(24, "end-of-file during read", 2, input_file("lamnet"))
    conversion = failure(64, "input conversion error", 2, input_file("lamnet"))
    # Positions in the echo: the element heading ends at line 17, the first element at 18.
    nodes_end = 1 + 12 + 3
    assert echo[nodes_end:nodes_end + 3] == ELEMENT_HEADING
    first_element = nodes_end + 3

    # The file ends inside the element records: everything read so far is echoed.
    write_case("lamnet", "file-shorter-than-counts", input_text=text[:5],
               stdout_lines=echo[:first_element + 1], stderr_lines=[eof], status=24)
    # A letter in the end-node field of the second element.
    bad = list(text)
    bad[5] = bad[5][:28] + "3a" + bad[5][30:]
    write_case("lamnet", "letter-in-integer-field", input_text=bad,
               stdout_lines=echo[:first_element + 1], stderr_lines=[conversion], status=64)
    # A diameter too large for a float.
    bad = list(text)
    bad[4] = bad[4][:30] + "    1.0E39"
    write_case("lamnet", "real-beyond-float-range", input_text=bad,
               stdout_lines=echo[:first_element], stderr_lines=[conversion], status=64)
    # Every report write fails: the first one ends the run.
    write_case("lamnet", "report-stream-full", input_text=text, mode="full-report",
               stderr_lines=["netio: No space left on device",
                             failure(38, "error during write", 6, "CONOUT$")], status=38)
    # The report's reader has gone (a closed pipe): the write fails instead of killing the run.
    write_case("lamnet", "report-reader-gone", input_text=text, mode="reader-gone",
               stderr_lines=["netio: Broken pipe",
                             failure(38, "error during write", 6, "CONOUT$")], status=38)
    write_case("turbnet", "report-reader-gone", input_text=SMALL_TURBNET_TEXT, stdin="1\n",
               mode="reader-gone",
               stderr_lines=["netio: Broken pipe",
                             failure(38, "error during write", 6, "CONOUT$")], status=38)
    # A TAB inside the head field of the known-head record.
    bad = list(text)
    bad[7] = "         1\t    10.0"
    write_case("lamnet", "tab-in-real-field", input_text=bad, stdout_lines=echo[:-1],
               stderr_lines=[conversion], status=64)

    # turbnet: the node group is one read; when the file ends inside it nothing of it is
    # echoed, only the banner and the input-data block.
    turb = Net("turbnet", (3, 2, 0, 1), (10, 0.001, 130.0),
               [(1, 0.0, 0.0), (2, 100.0, 0.0), (3, 200.0, 0.0)],
               [(1, 1, 2, 0.3), (2, 2, 3, 0.3)], [], [(1, 10.0)])
    write_case("turbnet", "file-ends-in-node-group", input_text=turb.input_lines()[:3],
               stdout_lines=turb.echo()[:1 + 15],
               stderr_lines=[failure(24, "end-of-file during read", 2, input_file("turbnet"))],
               status=24)
    # A letter in the iteration-count field of the header: only the banner is written.
    header = turb.input_lines()
    header[0] = header[0][:40] + "        1O" + header[0][50:]
    write_case("turbnet", "letter-in-integer-field", input_text=header,
               stdout_lines=banner("turbnet"),
               stderr_lines=[failure(64, "input conversion error", 2, input_file("turbnet"))],
               status=64)

    # A node count beyond the 32-bit range.
    header = turb.input_lines()
    header[0] = "2147483648" + header[0][10:]
    write_case("turbnet", "integer-beyond-32-bits", input_text=header,
               stdout_lines=banner("turbnet"),
               stderr_lines=[failure(64, "input conversion error", 2, input_file("turbnet"))],
               status=64)

    # A count too wide for its I5 field is written as asterisks and reported (error 63, the run
    # goes on) right after the write that holds it; the file then runs out of discharge
    # records.  Standard error shares the pipe with the report here, to show the order.
    wide = Net("lamnet", (3, 2, 123456, 1), (9810.0,), lam.nodes, lam.elements,
               [(3, -0.5), (2, 0.25)], [])
    lines = wide.echo()
    data_end = 1 + 12
    assert lines[7] == " numder of nodes with known discharge\t: *****"
    discharges_end = lines.index(BOUNDARY_HEADING[1]) - 1
    merged = lines[:data_end] + ["netio: error (63): output conversion error, unit 6, file CONOUT$"]
    merged += lines[data_end:discharges_end] + [eof]
    write_case("lamnet", "count-wider-than-field", input_text=wide.input_lines(),
               stdout_lines=merged, status=24, mode="merged")

    # A pipe from node -999999999 to node 2147483647: the half-bandwidth does not fit its I5
    # field either (asterisks, error 63 after that write), and the run is then refused for it.
    wide = Net("lamnet", (2, 1, 0, 0), (9810.0,), [(1, 0.0, 0.0), (2, 1.0, 1.0)],
               [(1, -999999999, 2147483647, 0.1)], [], [])
    lines = wide.echo() + HALF_BAND_EXCEEDED
    assert lines[18] == "         1-999999999  2147483647           0.10000"
    after = lines.index("---- half-bandwidth is equal to***** ----") + 2
    merged = lines[:after] + ["netio: error (63): output conversion error, unit 6, file CONOUT$"]
    write_case("lamnet", "half-bandwidth-wider-than-field", input_text=wide.input_lines(),
               stdout_lines=merged + lines[after:], mode="merged")

    # Failures of the open itself, and a console event while the read waits.
    for program in ("lamnet", "turbnet"):
        write_case(program, "input-not-creatable", mode="unprivileged",
                   stderr_lines=["netio: Permission denied",
                                 failure(9, "permission to access file denied", 2,
                                         input_file(program))], status=9)
        write_case(program, "input-path-is-directory", mode="directory",
                   stderr_lines=["netio: Is a directory",
                                 failure(30, "open failure", 2, input_file(program))], status=30)
        write_case(program, "console-interrupt-while-reading", mode="fifo-signal",
                   stdout_lines=banner(program),
                   stderr_lines=["netio: error (200): program aborting due to control-C event"],
                   status=130)


def main():
    with_reference = "--with-reference" in sys.argv[1:]
    small_lamnet()
    small_turbnet()
    for program in ("lamnet", "turbnet"):
        capacity_cases(program, with_reference)
    refusal_cases()
    record_failure_cases()


if __name__ == "__main__":
    main()
