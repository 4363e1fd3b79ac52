"""The hostile-input cases: one row per input, with the outcome worked out from the record
layouts and the refusal rules.

Each case gives:
  program   "lamnet" or "turbnet"
  input     the bytes of the input file (None with mode "directory")
  stdin     the console input
  mode      "" or "directory" (the input path is a folder)
  status    the exit status
  last      the last non-empty line of standard output ("" when standard output stays empty)
  lines     lines that must appear in standard output, in this order (others may stand between)
  stderr    every line of standard error, in order; @DIR@ is the run folder's full path

Big inputs are built here at test time rather than kept in the repository.
"""


def i(value, width=10):
    return str(value).rjust(width)


def f(text, width=10):
    return text.rjust(width)


def rec(*fields):
    return "".join(fields) + "\n"


BANNER_LAMNET = " " + "*" * 130
BANNER_TURBNET = " " + "*" * 70
CLOSING = " " + "*" * 130
SEPARATOR = "  " + "*" * 70
NODE_TITLES = "       node      x         y"
PREVENT = "  **** errors detected prevent analysis  **** "
INITIAL = " **** errors detected during initial solution **** "
ITERATIONS = "  *** error detected during the iterations ***"
CONVERSION = "netio: error (63): output conversion error, unit 6, file CONOUT$"


def severe(number, text, program, unit=2):
    if unit == 5:
        return f"netio: severe ({number}): {text}, unit 5, file CONIN$"
    name = "input-lin.dat" if program == "lamnet" else "input-nonlin.dat"
    return f"netio: severe ({number}): {text}, unit 2, file @DIR@/{name}"


def eof(program, unit=2):
    return severe(24, "end-of-file during read", program, unit)


def bad_field(program, unit=2):
    return severe(64, "input conversion error", program, unit)


def singular(row):
    return "***** singularity in row   " + i(row, 5)


# A two-node laminar network: node 1 at (0, 0) with a head of 10, node 2 at (3, 4) drawing 1,
# one pipe of diameter 0.5 between them, density*gravity/viscosity 1000.
# Conductance 1000 * 3.1416 / 128 * 0.5^4 / 5 = 0.306796875; head 2 = 10 - 1 / 0.306796875
# = 6.74050 (6.7405 to four decimals; the float rounding moves only the sixth digit).
def lamnet_pair(header=None, nodes=None, elements=None, discharges=None, heads=None, tail=""):
    header = header or rec(i(2), i(1), i(1), i(1), f("1000."))
    nodes = nodes if nodes is not None else [rec(i(1), f("0."), f("0.")), rec(i(2), f("3."), f("4."))]
    elements = elements if elements is not None else [rec(i(1), i(1), i(2), f("0.5"))]
    discharges = discharges if discharges is not None else [rec(i(2), f("-1.", 12))]
    heads = heads if heads is not None else [rec(i(1), f("10."))]
    return (header + "".join(nodes) + "".join(elements) + "".join(discharges) + "".join(heads)
            + tail).encode("latin-1")


PAIR_HEAD_2 = i(2) + f("6.7405", 15)


def turbnet_pair(header=None, nodes=None, elements=None, discharges=None, heads=None):
    # max_iterations 5, tolerance 0.0001, relative roughness 100.
    header = header or rec(i(2), i(1), i(1), i(1), i(5), f("0.0001"), f("100.", 15))
    nodes = nodes if nodes is not None else [rec(i(1), f("0."), f("0.")), rec(i(2), f("3."), f("4."))]
    elements = elements if elements is not None else [rec(i(1), i(1), i(2), f("0.5"))]
    discharges = discharges if discharges is not None else [rec(i(2), f("-1.", 12))]
    heads = heads if heads is not None else [rec(i(1), f("10."))]
    return (header + "".join(nodes) + "".join(elements) + "".join(discharges)
            + "".join(heads)).encode("latin-1")


def case(name, program, input, status, last, lines=(), stderr=(), stdin=b"", mode=""):
    return dict(name=name, program=program, input=input, status=status, last=last,
                lines=list(lines), stderr=list(stderr), stdin=stdin, mode=mode)


def build_cases():
    cases = []
    add = cases.append

    # ---- Counts far outside the capacities, with only a few records behind them. The most
    # negative count that fits an I10 field is -999999999 (-2147483648 needs 11 columns), and a
    # comma right after a full field would start an empty one, so these headers are fixed-column.
    add(case("lamnet-node-count-max", "lamnet",
             (rec(i(2147483647), i(0), i(0), i(0), f("1000."))
              + rec(i(1), f("0."), f("0.")) + rec(i(2), f("1."), f("0."))).encode(),
             24, i(2) + f("1.00") + f("0.00"),
             lines=[" number of nodes\t: *****"],
             stderr=[CONVERSION, eof("lamnet")]))
    add(case("lamnet-element-count-min", "lamnet",
             (rec(i(2), i(-999999999), i(0), i(1), f("1000.")) + "1,0.,0.\n2,1.,0.\n1,5.\n").encode(),
             0, PREVENT,
             lines=[" number of elements\t: *****", "---- half-bandwidth is equal to    1 ----",
                    singular(2), PREVENT],
             stderr=[CONVERSION]))
    add(case("lamnet-head-count-max", "lamnet",
             lamnet_pair(header=rec(i(2), i(1), i(1), i(2147483647), f("1000."))),
             24, i(1) + " " * 10 + f("10.0000"),
             stderr=[CONVERSION, eof("lamnet")]))
    add(case("turbnet-node-count-min", "turbnet",
             (rec(i(-999999999), i(0), i(0), i(0), i(5), f("1"), f("100.", 15))
              + "this record is skipped\n").encode(),
             0, "  **** no nodes in the network ****  ",
             lines=[" number of nodes\t: *****", "---- half-bandwidth is equal to    1 ----"],
             stderr=[CONVERSION]))
    add(case("turbnet-element-count-max", "turbnet",
             (rec(i(2), i(2147483647), i(0), i(1), i(5), f("1"), f("100.", 15))
              + "1,0.,0.\n2,1.,0.\n1,1,2,.5\n").encode(),
             24, i(1) + i(1) + i(2, 12) + f("0.50000", 18),
             lines=[i(1) + f("0.00") + f("0.00"), i(2) + f("1.00") + f("0.00")],
             stderr=[CONVERSION, eof("turbnet")]))

    # ---- Node, element and list numbers outside their counts: one framed refusal each.
    def refused(text):
        return "  **** " + text + " ****  "

    add(case("lamnet-node-record-0", "lamnet",
             lamnet_pair(nodes=[rec(i(0), f("0."), f("0.")), rec(i(2), f("3."), f("4."))]),
             0, refused("node number out of range in node record :" + i(0, 11)),
             lines=[i(0) + f("0.00") + f("0.00")]))
    add(case("turbnet-node-record-minus-1", "turbnet",
             turbnet_pair(nodes=[rec(i(-1), f("0."), f("0.")), rec(i(2), f("3."), f("4."))]),
             0, refused("node number out of range in node record :" + i(-1, 11)),
             lines=[i(1) + f("0.00") + f("0.00")]))
    add(case("lamnet-element-record-minus-1", "lamnet",
             lamnet_pair(elements=[rec(i(-1), i(1), i(2), f("0.5"))]),
             0, refused("element number out of range in element record :" + i(-1, 11)),
             lines=["---- half-bandwidth is equal to    1 ----"]))
    add(case("lamnet-element-record-101", "lamnet",
             lamnet_pair(elements=[rec(i(101), i(1), i(2), f("0.5"))]),
             0, refused("element number out of range in element record :" + i(101, 11))))
    add(case("lamnet-pipe-end-3-of-2", "lamnet",
             lamnet_pair(elements=[rec(i(1), i(2), i(3), f("0.5"))]),
             0, refused("node number out of range at an end of element" + i(1, 5) + " :" + i(3, 11))))
    add(case("turbnet-pipe-end-0", "turbnet",
             turbnet_pair(elements=[rec(i(1), i(0), i(1), f("0.5"))]),
             0, refused("node number out of range at an end of element" + i(1, 5) + " :" + i(0, 11)),
             lines=["---- half-bandwidth is equal to    2 ----"]))
    hundred_nodes = [rec(i(n), f(f"{n}."), f("0.")) for n in range(1, 101)]
    add(case("lamnet-pipe-end-101", "lamnet",
             lamnet_pair(header=rec(i(100), i(1), i(0), i(1), f("1000.")), nodes=hundred_nodes,
                         elements=[rec(i(1), i(100), i(101), f("0.5"))], discharges=[]),
             0, refused("node number out of range at an end of element" + i(1, 5) + " :" + i(101, 11))))
    add(case("lamnet-discharge-record-101", "lamnet",
             lamnet_pair(discharges=[rec(i(101), f("-1.", 12))]),
             0, refused("node number out of range in known-discharge record :" + i(101, 11)),
             lines=[i(101) + f("-1.0000", 12)]))
    add(case("lamnet-head-record-max", "lamnet",
             lamnet_pair(heads=[rec(i(2147483647), f("10."))]),
             0, refused("node number out of range in known-head record :" + i(2147483647, 11)),
             lines=["2147483647" + " " * 10 + f("10.0000")]))
    # The widest pipe possible: its half-bandwidth saturates and is refused before anything else.
    add(case("lamnet-half-band-saturates", "lamnet",
             lamnet_pair(elements=[rec(i(1), i(-999999999), i(2147483647), f("1."))]),
             0, refused("maximum half-bandwidth exceeded"),
             lines=[i(1) + "-999999999" + i(2147483647, 12) + f("1.00000", 18),
                    "---- half-bandwidth is equal to***** ----"],
             stderr=[CONVERSION]))

    # ---- Volume: 100,000 known-discharge records; a line of 10 MB.
    add(case("lamnet-100000-discharges", "lamnet",
             lamnet_pair(header=rec(i(2), i(1), i(100000), i(1), f("1000.")),
                         discharges=[rec(i(2), f("-1.", 12))] * 100000),
             0, CLOSING,
             lines=[" numder of nodes with known discharge\t: *****", PAIR_HEAD_2],
             stderr=[CONVERSION]))
    add(case("lamnet-10mb-line", "lamnet",
             lamnet_pair(header=rec(i(2), i(1), i(1), i(1), f("1000."), "9" * 10_000_000)),
             0, CLOSING, lines=[PAIR_HEAD_2]))
    add(case("turbnet-10mb-line-without-end", "turbnet",
             (i(2) + i(1) + i(1) + i(1) + i(5) + f("1") + f("100.", 15)).encode() + b"x" * 10_000_000,
             24, NODE_TITLES, stderr=[eof("turbnet")]))

    # ---- Bytes that belong to no number.
    add(case("lamnet-nul-in-count", "lamnet",
             b"    \x00    2" + lamnet_pair()[10:],
             64, BANNER_LAMNET, stderr=[bad_field("lamnet")]))
    add(case("turbnet-high-byte-in-coordinate", "turbnet",
             turbnet_pair(nodes=[rec(i(1), f("0."), f("0.")), rec(i(2), f("\xe9.00"), f("4."))]),
             64, NODE_TITLES, stderr=[bad_field("turbnet")]))
    padded = lamnet_pair().decode("latin-1").split("\n")
    junk_tail = "\n".join(line.ljust(60) + "\x00\xff\x80\xe9 junk" if line else line for line in padded)
    add(case("lamnet-junk-beyond-fields", "lamnet", junk_tail.encode("latin-1"),
             0, CLOSING, lines=[PAIR_HEAD_2]))
    add(case("turbnet-nul-print-flag", "turbnet", turbnet_pair(), 64,
             i(1) + " " * 10 + f("10.0000"), stdin=b"\x00\n",
             stderr=[bad_field("turbnet", unit=5)]))

    # ---- Carriage returns alone as line ends: the whole file is one record.
    add(case("lamnet-cr-only-fixed-columns", "lamnet",
             lamnet_pair().replace(b"\n", b"\r"),
             24, NODE_TITLES, stderr=[eof("lamnet")]))
    add(case("turbnet-cr-only-in-field", "turbnet",
             b"2,1,0,1,5,1,100.\r1,0.,0.\r2,3.,4.\r1,1,2,.5\r1,10.\r",
             64, BANNER_TURBNET, stderr=[bad_field("turbnet")]))

    # ---- Reals at the ends of the float range.
    add(case("lamnet-real-1e39", "lamnet",
             lamnet_pair(header=rec(i(2), i(1), i(1), i(1), f("1E39"))),
             64, BANNER_LAMNET, stderr=[bad_field("lamnet")]))
    add(case("lamnet-diameter-1e-50", "lamnet",
             lamnet_pair(elements=[rec(i(1), i(1), i(2), f("1.E-50"))]),
             0, PREVENT,
             lines=[i(1) + i(1) + i(2, 12) + f("0.00000", 18),
                    " **** zero diameter for element :     1 ****", PREVENT]))

    # ---- The input path is a folder.
    for program in ("lamnet", "turbnet"):
        add(case(f"{program}-input-is-directory", program, None, 30, "", mode="directory",
                 stderr=["netio: Is a directory",
                         severe(30, "open failure", program)]))

    # ---- Every pipe's length overflows to infinity: every conductance is 0, the system singular.
    far = [rec(i(1), f("-3.E38"), f("0.")), rec(i(2), f("3.E38"), f("0."))]
    add(case("lamnet-infinite-lengths", "lamnet",
             lamnet_pair(header=rec(i(2), i(1), i(0), i(1), f("1000.")), nodes=far, discharges=[]),
             0, PREVENT, lines=[i(1) + "*" * 10 + f("0.00"), singular(2), PREVENT],
             stderr=[CONVERSION, CONVERSION]))
    add(case("turbnet-infinite-lengths", "turbnet",
             turbnet_pair(header=rec(i(2), i(1), i(0), i(1), i(5), f("0.0001"), f("100.", 15)),
                          nodes=far, discharges=[]),
             0, INITIAL, stdin=b"0\n", lines=[singular(2), INITIAL],
             stderr=[CONVERSION]))  # the node echo of turbnet is one write

    # ---- Diameters so small that every conductance underflows to 0.
    # lamnet: (1e-12)^4 * 3.1416 / 128 / 5 is about 5e-51, below the smallest float.
    add(case("lamnet-conductance-underflow", "lamnet",
             lamnet_pair(header=rec(i(2), i(1), i(1), i(1), f("1.")),
                         elements=[rec(i(1), i(1), i(2), f("1.E-12"))]),
             0, PREVENT, lines=[singular(2), PREVENT]))
    # turbnet: (1e-20)^2.63 * 0.2784 * 100 is about 7e-52.
    add(case("turbnet-conductance-underflow", "turbnet",
             turbnet_pair(elements=[rec(i(1), i(1), i(2), f("1.E-20"))]),
             0, INITIAL, stdin=b"0\n", lines=[singular(2), INITIAL]))

    # ---- A chain 1-2-3 with pipe coefficients of 0.2784 * 1e38 = 2.784e37 (unit diameters and
    # lengths), node 3 held at 0 and 1e32 supplied at node 1. The first solution is finite:
    # heads 7.18e-6, 3.59e-6, 0. On the first pass each head difference of 3.59e-6 gives a
    # secant conductance of 2.784e37 * (3.59e-6)^-0.46, about 9e39, which is infinite as a float:
    # the load at node 2 becomes -(-inf) * 0 = NaN and so does the residual. A NaN residual is no
    # convergence, so the correction is solved: row 1 divides -inf by inf, and the pivot of row 2
    # becomes NaN, which the solver reports.
    add(case("turbnet-nan-during-passes", "turbnet",
             (rec(i(3), i(2), i(1), i(1), i(5), f("0.001"), f("1.E38", 15))
              + rec(i(1), f("0."), f("0.")) + rec(i(2), f("1."), f("0.")) + rec(i(3), f("2."), f("0."))
              + rec(i(1), i(1), i(2), f("1.")) + rec(i(2), i(2), i(3), f("1."))
              + rec(i(1), f("1.E32", 12)) + rec(i(3), f("0."))).encode(),
             0, ITERATIONS, stdin=b"0\n",
             lines=[SEPARATOR, singular(2), ITERATIONS],
             stderr=[CONVERSION, CONVERSION]))
    return cases


CASES = build_cases()

if __name__ == "__main__":
    print(";".join(c["name"] for c in CASES))
