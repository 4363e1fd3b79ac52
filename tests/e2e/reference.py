#!/usr/bin/env python3
"""Reference model of lamnet and turbnet, written independently of the C++ sources.

Given a program name, the bytes of its input file and the bytes of its standard input, the
model produces the expected standard output, standard error and exit status of a run.  It
follows the programs step by step with the same single-precision stores: every kept real is
rounded to the nearest float32 at the point where the program stores it, and everything in
between is evaluated in double precision (Python floats).  Decimal input text is converted
straight to the nearest float32 through exact rational arithmetic.

Usage:
  reference.py lamnet|turbnet CASE_FOLDER          write expected.stdout (and expected.stderr,
                                                   expected.status when they are not empty/0)
  reference.py --check lamnet|turbnet CASE_FOLDER  compare the folder's expectations only
  reference.py --print lamnet|turbnet CASE_FOLDER  print the modelled report to stdout

In expected.stderr the run folder's full path is written as @DIR@.  Folders with a 'mode' file
(FIFO, directory, unprivileged runs) are outside the model and are refused.
"""
import math
import pathlib
import re
import struct
import sys
from fractions import Fraction

# ---------------------------------------------------------------------------------------------
# float32 arithmetic


def f32(x):
    """Round a double to the nearest float32 (ties to even); overflow gives a signed infinity."""
    try:
        return struct.unpack("f", struct.pack("f", x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def fraction_to_f32(value):
    """Nearest float32 to an exact rational (ties to even), or None when it overflows."""
    if value == 0:
        return 0.0
    negative = value < 0
    a = -value if negative else value
    e = a.numerator.bit_length() - a.denominator.bit_length()
    # settle e so that 2**e <= a < 2**(e + 1)
    while Fraction(2) ** e > a:
        e -= 1
    while Fraction(2) ** (e + 1) <= a:
        e += 1
    quantum_exp = max(e, -126) - 23  # normal numbers: 24 significant bits; below: 2**-149 steps
    m = a / Fraction(2) ** quantum_exp
    q = m.numerator // m.denominator
    rest = m - q
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and q % 2 == 1):
        q += 1
    result = Fraction(q) * Fraction(2) ** quantum_exp
    flt_max = Fraction(2 ** 24 - 1) * Fraction(2) ** 104
    if result > flt_max:
        return None
    out = math.ldexp(q, quantum_exp)
    return -out if negative else out


PI_F = f32(3.1416)
C128_F = f32(128.0)
C0_2784_F = f32(0.2784)
C2_63_F = f32(2.63)
C0_54_F = f32(0.54)
CM0_46_F = f32(-0.46)
SMALL_DH_F = f32(1.0e-7)
EPS_LAMNET = f32(1.0e-6)
EPS_TURBNET = f32(1.0e-10)

# ---------------------------------------------------------------------------------------------
# Run ending by the record layer


class RunEnded(Exception):
    def __init__(self, status):
        super().__init__(status)
        self.status = status


class Output:
    """The report (unit 6) and the failure reports on standard error."""

    def __init__(self):
        self.out = []
        self.err = []

    def severe(self, number, text, unit, name):
        self.err.append(f"netio: severe ({number}): {text}, unit {unit}, file {name}\n")
        raise RunEnded(number)

    def write(self, layout, values=()):
        text, overflow = layout.render(values)
        self.out.append(text)
        if overflow:
            self.err.append("netio: error (63): output conversion error, unit 6, file CONOUT$\n")

    def empty_line(self):
        self.out.append("\n")

    def notice(self, line):
        self.err.append(line + "\n")


# ---------------------------------------------------------------------------------------------
# Layouts on output


def format_int(value, w):
    s = str(value)
    return (s, False) if len(s) <= w else ("*" * w, True)


def format_real(value, w, d):
    if math.isnan(value):
        return "NaN".rjust(w), False
    if math.isinf(value):
        return ("-Infinity" if value < 0 else "Infinity").rjust(w), False
    s = "%.*f" % (d, value)
    if math.copysign(1.0, value) < 0 and not s.startswith("-"):
        s = "-" + s
    if len(s) > w:
        return "*" * w, True
    return s.rjust(w), False


class Layout:
    """A parsed output layout: literals, '/', nX, Iw, Fw.d, repeat counts and groups."""

    def __init__(self, text):
        inner = text.strip()
        assert inner[0] == "(" and inner[-1] == ")"
        self.items = self._parse(inner[1:-1])

    @staticmethod
    def _split(text):
        parts, depth, quoted, start = [], 0, False, 0
        for i, ch in enumerate(text):
            if ch == "'":
                quoted = not quoted
            elif not quoted and ch == "(":
                depth += 1
            elif not quoted and ch == ")":
                depth -= 1
            elif not quoted and depth == 0 and ch == ",":
                parts.append(text[start:i])
                start = i + 1
        parts.append(text[start:])
        return [p.strip() for p in parts if p.strip()]

    def _parse(self, text):
        items = []
        for part in self._split(text):
            m = re.fullmatch(r"(\d*)\((.*)\)", part, re.S)
            if m:
                items += (int(m.group(1)) if m.group(1) else 1) * self._parse(m.group(2))
                continue
            m = re.fullmatch(r"(\d*)'(.*)'", part, re.S)
            if m:
                items += (int(m.group(1)) if m.group(1) else 1) * [("lit", m.group(2))]
                continue
            if part == "/":
                items.append(("nl",))
                continue
            m = re.fullmatch(r"(\d+)X", part)
            if m:
                items.append(("lit", " " * int(m.group(1))))
                continue
            m = re.fullmatch(r"(\d*)I(\d+)", part)
            if m:
                items += (int(m.group(1)) if m.group(1) else 1) * [("I", int(m.group(2)))]
                continue
            m = re.fullmatch(r"(\d*)F(\d+)\.(\d+)", part)
            if m:
                items += (int(m.group(1)) if m.group(1) else 1) * [("F", int(m.group(2)), int(m.group(3)))]
                continue
            raise ValueError(f"layout item {part!r}")
        return items

    def render(self, values):
        """Text of one write (every line ended) and whether a field overflowed."""
        lines, line, vi, overflow = [], "", 0, False
        has_fields = any(item[0] in "IF" for item in self.items)
        while True:
            for item in self.items:
                kind = item[0]
                if kind in ("I", "F"):
                    if vi == len(values):
                        lines.append(line)
                        return "".join(l + "\n" for l in lines), overflow
                    if kind == "I":
                        s, bad = format_int(values[vi], item[1])
                    else:
                        s, bad = format_real(values[vi], item[1], item[2])
                    line += s.rjust(item[1])
                    overflow |= bad
                    vi += 1
                elif kind == "lit":
                    line += item[1]
                else:
                    lines.append(line)
                    line = ""
            if vi == len(values) or not has_fields:
                lines.append(line)
                return "".join(l + "\n" for l in lines), overflow
            lines.append(line)
            line = ""


L = Layout
E1_LAM = L("(' ',130('*'))")
E1_TURB = L("(' ',70('*'))")
E2_LAM = L("(/,/,' internal data',/,/,' number of nodes\t: ',I5,/,' number of elements\t: ',I5,/,"
           "' numder of nodes with known discharge\t: ',I5,/,' number of nodes with known head\t: ',I5,/,"
           "' value of density*gravity acc./viscosity\t: ',F15.2,/,/,' nodal coordinates',/,"
           "7X,'node',6X,'x',9X,'y')")
E2_TURB = L("(/,/,' internal data',/,/,' number of nodes\t: ',I5,/,' number of elements\t: ',I5,/,"
            "' numder of nodes with known discharge\t: ',I5,/,' number of nodes with known head\t: ',I5,/,"
            "' maximum number of iterations\t: ',I5,/,' tolerance\t: ',16X,F10.7,/,/,"
            "' relative roughness\t: ',F15.7,/,/,' nodal coordinates',/,7X,'node',6X,'x',9X,'y')")
E3 = L("(I10,2F10.2)")
E4 = L("(/,' element connectivity and diameter ',/,4X,'element ',3X,'start node    end node      diameter')")
E5 = L("(2I10,I12,F18.5)")
E6 = L("(/,'---- half-bandwidth is equal to',I5,' ----',/)")
E7 = L("(/,' nodal discharges ',/,8X,'node',5X,'value')")
E8 = L("(I10,F12.4)")
E9 = L("(/,'    boundary   condition   data ',/,8X,'node',5X,'prescribed   values')")
E10 = L("(I10,10X,F10.4)")
M1 = L("(/,'  **** too many nodes ****  ',/)")
M2 = L("(/,'  **** too many elements ****  ',/)")
M3 = L("(/,'  **** too many boundary nodes ****  ',/)")
M4 = L("(/,'  **** maximum half-bandwidth exceeded ****  ',/)")
M5 = L("(/,'  **** errors detected prevent analysis  **** ',/)")
M6 = L("(/,' **** errors detected during initial solution **** ',/)")
M7 = L("(/,'  *** error detected during the iterations ***',/)")
M8 = L("(/,' convergence achieved on cycle',I5,/)")
M9 = L("(/,' maximum number of iterations reached without       convergence *',/,/)")
P1_LAM = L("(/,' **** zero length for element : ',I5,' ****',/)")
P2_LAM = L("(/,' **** zero diameter for element : ',I5,' ****',/)")
P1_TURB = L("(/,' **** zero length for element  : ',I5,' ****',/)")
P2_TURB = L("(/,' **** zero diameter for element  : ',I5,' ****',/)")
S1 = L("('***** singularity in row   ',I5)")
T1 = L("('  ',70('*'))")
T2 = L("(/,/,' ***** iteration number',I5,' ******',/,/,'  node     head',7X,'total vector computed vector',/)")
T4 = L("(I5,3F15.6)")
R1 = L("(/,/,1X,130('*'),/,/,'  results',/,/,' nodal heads',/,7X,'node',9X,'head')")
R2 = L("(I10,F15.4)")
R3 = L("(/,' nodal discharges',/,7X,'node',5X,'discharge')")
R5 = L("(/,' member discharges',/,4X,' member discharge')")
R7 = L("(/,/,1X,130('*'))")
X_NO_NODES = L("(/,'  **** no nodes in the network ****  ',/)")
X_NODE_RECORD = L("(/,'  **** node number out of range in node record :',I11,' ****  ',/)")
X_ELEMENT_RECORD = L("(/,'  **** element number out of range in element record :',I11,' ****  ',/)")
X_PIPE_END = L("(/,'  **** node number out of range at an end of element',I5,' :',I11,' ****  ',/)")
X_DISCHARGE_RECORD = L("(/,'  **** node number out of range in known-discharge record :',I11,' ****  ',/)")
X_HEAD_RECORD = L("(/,'  **** node number out of range in known-head record :',I11,' ****  ',/)")

# ---------------------------------------------------------------------------------------------
# Records and fields on input


class InvalidField(Exception):
    pass


def read_int(text):
    if "\t" in text:
        raise InvalidField
    s = text.replace(" ", "")
    if not re.fullmatch(r"[+-]?\d*", s):
        raise InvalidField
    digits = s.lstrip("+-")
    if not digits:
        return 0
    value = int(s)
    if not -2 ** 31 <= value < 2 ** 31:
        raise InvalidField
    return value


def read_real(text, d):
    if "\t" in text:
        raise InvalidField
    s = text.replace(" ", "")
    m = re.fullmatch(r"([+-]?)(\d*)(\.?)(\d*)(?:[EeDd]([+-]?\d*)|([+-]\d*))?", s)
    if not m:
        raise InvalidField
    sign, whole, point, frac, exp1, exp2 = m.groups()
    if not whole and not frac:
        if exp2 is not None and not point:
            raise InvalidField  # a sign right after the sign: no mantissa at all
        return -0.0 if sign == "-" else 0.0  # no digits: a blank, sign-only or point-only field
    # an exponent without digits (a bare letter or sign after the mantissa) scales by 1
    exponent = int((exp1 or exp2 or "0").rstrip("+-") or "0")
    mantissa = int(whole + frac)
    power = exponent - (len(frac) if point else d)
    if mantissa == 0 or len(str(mantissa)) + power < -60:
        value = 0.0
    elif len(str(mantissa)) + power > 45:
        raise InvalidField
    else:
        value = fraction_to_f32(Fraction(mantissa) * Fraction(10) ** power)
        if value is None:
            raise InvalidField
    return -value if sign == "-" else value


def split_records(data, skip_byte_order_mark=False):
    if skip_byte_order_mark and data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]  # an editor's UTF-8 mark is not part of the first record
    text = data.decode("latin-1")
    if not text:
        return []
    lines = text.split("\n")
    if lines[-1] == "":
        lines.pop()
    return [l[:-1] if l.endswith("\r") else l for l in lines]


class RecordReader:
    """Reads records of one stream under fixed-column field lists."""

    def __init__(self, data, output, unit, name):
        self.records = split_records(data, skip_byte_order_mark=(unit == 2))
        self.next = 0
        self.output = output
        self.unit = unit
        self.name = name

    def read(self, fields, repeat=1):
        """Read `repeat` groups of `fields`, each group starting a new record."""
        values = []
        for _ in range(repeat):
            if self.next >= len(self.records):
                self.output.severe(24, "end-of-file during read", self.unit, self.name)
            record = self.records[self.next]
            self.next += 1
            pos = 0
            for field in fields:
                width = field[1]
                chunk = record[pos:pos + width]
                comma = chunk.find(",")
                if comma >= 0:
                    chunk = chunk[:comma]
                    pos += comma + 1
                else:
                    pos += width
                try:
                    values.append(read_int(chunk) if field[0] == "I" else read_real(chunk, field[2]))
                except InvalidField:
                    self.output.severe(64, "input conversion error", self.unit, self.name)
        return values


HEADER_LAM = [("I", 10)] * 4 + [("F", 10, 0)]
HEADER_TURB = [("I", 10)] * 5 + [("F", 10, 7), ("F", 15, 7)]
NODE = [("I", 10), ("F", 10, 2), ("F", 10, 2)]
ELEMENT = [("I", 10)] * 3 + [("F", 10, 5)]
DISCHARGE = [("I", 10), ("F", 12, 4)]
HEAD = [("I", 10), ("F", 10, 4)]

# ---------------------------------------------------------------------------------------------
# Network model

MAX_NODES = 100
MAX_ELEMENTS = 100
MAX_BOUNDARY = 30
MAX_HALF_BAND = 20
INT_MAX = 2 ** 31 - 1


class Network:
    def __init__(self):
        self.node_count = self.element_count = self.discharge_count = self.head_count = 0
        self.prop = 0.0  # rho_g_over_mu or relative_roughness
        self.max_iterations = 0
        self.tolerance = 0.0
        self.x = [0.0] * (MAX_NODES + 1)
        self.y = [0.0] * (MAX_NODES + 1)
        self.ends = [[0, 0] for _ in range(MAX_ELEMENTS + 1)]
        self.diameter = [0.0] * (MAX_ELEMENTS + 1)
        self.rhs = [0.0] * (MAX_NODES + 1)
        self.prescribed = [0.0] * (MAX_NODES + 1)
        self.boundary = []  # node numbers of the stored known-head records, in file order
        self.half_band = 0
        # record numbers in file order, for the range checks of the driver
        self.node_numbers = []
        self.element_numbers = []
        self.discharge_numbers = []
        self.head_numbers = []


def read_input(program, reader, out, net):
    lam = program == "lamnet"
    out.write(E1_LAM if lam else E1_TURB)
    if lam:
        nn, ne, nq, nh, net.prop = reader.read(HEADER_LAM)
    else:
        nn, ne, nq, nh, net.max_iterations, net.tolerance, net.prop = reader.read(HEADER_TURB)
    net.node_count, net.element_count, net.discharge_count, net.head_count = nn, ne, nq, nh
    if lam:
        out.write(E2_LAM, [nn, ne, nq, nh, net.prop])
        for _ in range(max(nn, 0)):
            n, xv, yv = reader.read(NODE)
            net.node_numbers.append(n)
            if 1 <= n <= MAX_NODES:
                net.x[n], net.y[n] = xv, yv
            out.write(E3, [n, xv, yv])
    else:
        out.write(E2_TURB, [nn, ne, nq, nh, net.max_iterations, net.tolerance, net.prop])
        values = reader.read(NODE, max(nn, 1))
        if nn > 0:
            for k in range(nn):
                n, xv, yv = values[3 * k:3 * k + 3]
                net.node_numbers.append(n)
                if 1 <= n <= MAX_NODES:
                    net.x[n], net.y[n] = xv, yv
        echo = []
        for n in range(1, max(nn, 0) + 1):
            stored = n <= MAX_NODES
            echo += [n, net.x[n] if stored else 0.0, net.y[n] if stored else 0.0]
        out.write(E3, echo)
    out.write(E4)
    for _ in range(max(ne, 0)):
        e, a, b, dia = reader.read(ELEMENT)
        out.write(E5, [e, a, b, dia])
        net.element_numbers.append(e)
        if 1 <= e <= MAX_ELEMENTS:
            net.ends[e] = [a, b]
            net.diameter[e] = dia
    # half-bandwidth over the stored elements
    w = 0
    for e in range(1, min(max(ne, 0), MAX_ELEMENTS) + 1):
        w = max(w, abs(net.ends[e][0] - net.ends[e][1]))
    net.half_band = min(w + 1, INT_MAX)
    out.write(E6, [net.half_band])
    out.write(E7)
    for _ in range(max(nq, 0)):
        n, q = reader.read(DISCHARGE)
        out.write(E8, [n, q])
        net.discharge_numbers.append(n)
        if 1 <= n <= MAX_NODES:
            net.rhs[n] = q
    out.write(E9)
    for _ in range(max(nh, 0)):
        n, h = reader.read(HEAD)
        out.write(E10, [n, h])
        net.head_numbers.append(n)
        if 1 <= n <= MAX_NODES:
            net.prescribed[n] = h
        if len(net.boundary) < MAX_BOUNDARY:
            net.boundary.append(n)


def network_refused(out, net):
    """Capacity and range checks of both drivers; True when the run stops here."""
    for failed, layout in ((net.node_count > MAX_NODES, M1), (net.element_count > MAX_ELEMENTS, M2),
                           (net.head_count > MAX_BOUNDARY, M3), (net.half_band > MAX_HALF_BAND, M4)):
        if failed:
            out.write(layout)
            return True
    nn, ne = net.node_count, net.element_count
    if nn <= 0:
        out.write(X_NO_NODES)
        return True
    for n in net.node_numbers:
        if not 1 <= n <= nn:
            out.write(X_NODE_RECORD, [n])
            return True
    for e in net.element_numbers:
        if not 1 <= e <= ne:
            out.write(X_ELEMENT_RECORD, [e])
            return True
    for e in range(1, ne + 1):
        for n in net.ends[e]:
            if not 1 <= n <= nn:
                out.write(X_PIPE_END, [e, n])
                return True
    for n in net.discharge_numbers:
        if not 1 <= n <= nn:
            out.write(X_DISCHARGE_RECORD, [n])
            return True
    for n in net.head_numbers:
        if not 1 <= n <= nn:
            out.write(X_HEAD_RECORD, [n])
            return True
    return False


# ---------------------------------------------------------------------------------------------
# Banded core. band[r][c] with 1-based r (row) and c (band column).


def new_band():
    return [[0.0] * (MAX_HALF_BAND + 1) for _ in range(MAX_NODES + 1)]


def pipe_length(net, e):
    a, b = net.ends[e]
    dx = net.x[b] - net.x[a]
    dy = net.y[b] - net.y[a]
    return f32(math.sqrt(dx * dx + dy * dy))


def assemble_global(net, band, element_routine, matrix):
    for i in range(1, net.node_count + 1):
        for m in range(1, net.half_band + 1):
            band[i][m] = 0.0
    for e in range(1, net.element_count + 1):
        element_routine(e, matrix)
        a, b = net.ends[e]
        m11, m12, m22 = matrix
        band[a][1] = f32(band[a][1] + m11)
        lo = min(a, b)
        band[lo][abs(a - b) + 1] = f32(band[lo][abs(a - b) + 1] + m12)
        band[b][1] = f32(band[b][1] + m22)


def apply_prescribed_heads(net, band, load):
    n_eq, hb = net.node_count, net.half_band
    for q in net.boundary:
        v = net.prescribed[q]
        for m in range(2, hb + 1):
            n = q + m - 1
            if n <= n_eq:
                load[n] = f32(load[n] - band[q][m] * v)
                band[q][m] = 0.0
            n = q - m + 1
            if n >= 1:
                load[n] = f32(load[n] - band[n][m] * v)
                band[n][m] = 0.0
        band[q][1] = 1.0
        load[q] = v


def structural_singular_row(net):
    """Lowest of the highest node numbers of the connected groups without a known head."""
    parent = list(range(net.node_count + 1))

    def find(n):
        while parent[n] != n:
            parent[n] = parent[parent[n]]
            n = parent[n]
        return n

    for e in range(1, net.element_count + 1):
        a, b = net.ends[e]
        parent[find(a)] = find(b)
    anchored = {find(q) for q in net.boundary}
    highest = {}
    for n in range(1, net.node_count + 1):
        highest[find(n)] = n
    rows = [top for root, top in highest.items() if root not in anchored]
    return min(rows) if rows else None


def pivot_fails(p, eps):
    return math.isnan(p) or not (abs(p) - eps > 0.0)


def solve_banded(net, band, rhs, eps, out, structural_row):
    """Returns False (after the singularity line) when the solve stops at a singular row."""
    n_eq, b = net.node_count, net.half_band
    work = [0.0] * (MAX_HALF_BAND + 1)
    for k in range(1, n_eq):
        p = band[k][1]
        if k == structural_row or pivot_fails(p, eps):
            out.write(S1, [k])
            return False
        last = min(k + b - 1, n_eq)
        for j in range(2, b + 1):
            work[j] = band[k][j]
        for j in range(k + 1, last + 1):
            band[k][j - k + 1] = f32(band[k][j - k + 1] / p)
        rhs[k] = f32(rhs[k] / p)
        for i in range(k + 1, last + 1):
            c = work[i - k + 1]
            for j in range(i, last + 1):
                band[i][j - i + 1] = f32(band[i][j - i + 1] - c * band[k][j - k + 1])
            rhs[i] = f32(rhs[i] - c * rhs[k])
    p = band[n_eq][1]
    if n_eq == structural_row or pivot_fails(p, eps):
        out.write(S1, [n_eq])
        return False
    rhs[n_eq] = f32(rhs[n_eq] / p)
    for k in range(n_eq - 1, 0, -1):
        last = min(k + b - 1, n_eq)
        for j in range(k + 1, last + 1):
            rhs[k] = f32(rhs[k] - band[k][j - k + 1] * rhs[j])
    return True


def nodal_balance(net, law):
    member = [0.0] * (MAX_ELEMENTS + 1)
    nodal = [0.0] * (MAX_NODES + 1)
    for e in range(1, net.element_count + 1):
        a, b = net.ends[e]
        q = law(e)
        member[e] = q
        nodal[a] = f32(nodal[a] + q)
        nodal[b] = f32(nodal[b] - q)
    return member, nodal


def print_results(out, net, heads, member, nodal):
    out.write(R1)
    for n in range(1, net.node_count + 1):
        out.write(R2, [n, heads[n]])
    out.write(R3)
    for n in range(1, net.node_count + 1):
        out.write(R2, [n, nodal[n]])
    out.write(R5)
    for e in range(1, net.element_count + 1):
        out.write(R2, [e, member[e]])
    out.write(R7)


def c_general(value, digits):
    """printf's %.<digits>g, with C's spelling of the values that are not numbers."""
    if math.isnan(value):
        return "-nan" if math.copysign(1.0, value) < 0 else "nan"
    if math.isinf(value):
        return "-inf" if value < 0 else "inf"
    return "%.*g" % (digits, value)


BALANCE_CAUSE = {
    "lamnet": "usually a length, diameter or discharge typed in another unit",
    "turbnet": "usually a tolerance too loose, or a length, diameter or discharge typed in "
               "another unit",
}


def balance_warning(program, out, net, given, nodal):
    """The warning after the results when a node without a known head is off its given
    discharge by more than 1 % of the largest given magnitude (of the largest net discharge at a
    known head when no discharge is given), and by more than the report can show (half a unit
    in the fourth decimal)."""
    known = set(net.boundary)
    free = [n for n in range(1, net.node_count + 1) if n not in known]
    if not free:
        return
    largest_given = max(abs(given[n]) for n in free)
    largest_known = max([abs(nodal[n]) for n in known if not math.isnan(nodal[n])], default=0.0)
    allowed = max(0.01 * (largest_given if largest_given > 0.0 else largest_known), 0.00005)
    differences = [abs(nodal[n] - given[n]) for n in free]
    nan_at = [n for n, d in zip(free, differences) if math.isnan(d)]
    if nan_at:
        node = nan_at[0]
    else:
        largest = max(differences)
        if not largest > allowed:
            return
        node = free[differences.index(largest)]
    out.notice(f"{program}: warning: nodal balance off at node {node}: net discharge "
               f"{c_general(nodal[node], 6)} computed, {c_general(given[node], 6)} given "
               f"(allowed difference {c_general(allowed, 3)}); {BALANCE_CAUSE[program]}")


# ---------------------------------------------------------------------------------------------
# lamnet


def run_lamnet(reader, out):
    net = Network()
    read_input("lamnet", reader, out, net)
    if network_refused(out, net):
        return
    k_factor = net.prop * PI_F / C128_F

    def laminar_element(e, matrix):
        length = pipe_length(net, e)
        if not length > 0.0:
            out.write(P1_LAM, [e])
            net.half_band = 0
            return
        d = net.diameter[e]
        if not d > 0.0:
            out.write(P2_LAM, [e])
            net.half_band = 0
            return
        c = f32(((d * d) * (d * d)) * k_factor / length)
        matrix[:] = [c, -c, c]

    given = net.rhs[:]
    band = new_band()
    assemble_global(net, band, laminar_element, [0.0, 0.0, 0.0])
    if net.half_band <= 0:
        out.write(M5)
        return
    apply_prescribed_heads(net, band, net.rhs)
    if not solve_banded(net, band, net.rhs, EPS_LAMNET, out, structural_singular_row(net)):
        net.half_band = 0
        out.write(M5)
        return
    heads = net.rhs

    def laminar_discharge(e):
        a, b = net.ends[e]
        length = pipe_length(net, e)
        d = net.diameter[e]
        c = f32((net.prop * PI_F) * ((d * d) * (d * d)) / (C128_F * length))
        return f32((heads[a] - heads[b]) * c)

    member, nodal = nodal_balance(net, laminar_discharge)
    print_results(out, net, heads, member, nodal)
    balance_warning("lamnet", out, net, given, nodal)


# ---------------------------------------------------------------------------------------------
# turbnet


def band_product(net, band, x, y):
    n_eq, b = net.node_count, net.half_band
    for i in range(1, n_eq + 1):
        acc = 0.0
        lo = max(i - b + 1, 1)
        hi = min(b, n_eq - i + 1)
        for k in range(lo, i + 1):
            acc = f32(acc + band[k][i - k + 1] * x[k])
        for c in range(2, hi + 1):
            acc = f32(acc + band[i][c] * x[i + c - 1])
        y[i] = acc


def run_turbnet(reader, console, out):
    net = Network()
    read_input("turbnet", reader, out, net)
    if network_refused(out, net):
        return
    n_eq = net.node_count
    discharge_copy = net.rhs[:]
    total_heads = [0.0] * (MAX_NODES + 1)
    rhs = net.rhs
    coefficient = net.diameter
    for e in range(1, net.element_count + 1):
        length = pipe_length(net, e)
        if not length > 0.0:
            out.write(P1_TURB, [e])
            net.half_band = 0
            continue
        d = coefficient[e]
        if not d > 0.0:
            out.write(P2_TURB, [e])
            net.half_band = 0
            continue
        t = f32(math.pow(d, C2_63_F) * C0_2784_F * net.prop)
        coefficient[e] = f32(t / math.pow(length, C0_54_F))
    if net.half_band <= 0:
        out.write(M6)
        return

    def turbulent_element(e, matrix):
        a, b = net.ends[e]
        c = coefficient[e]
        dh = f32(total_heads[a] - total_heads[b])
        k = f32(math.pow(abs(dh), CM0_46_F) * c) if abs(dh) - SMALL_DH_F > 0.0 else c
        matrix[:] = [k, -k, k]

    structural_row = structural_singular_row(net)
    band = new_band()
    matrix = [0.0, 0.0, 0.0]
    assemble_global(net, band, turbulent_element, matrix)
    out.empty_line()
    apply_prescribed_heads(net, band, rhs)
    solved = solve_banded(net, band, rhs, EPS_TURBNET, out, structural_row)
    (print_flag,) = console.read([("I", 10)])
    if not solved:
        out.write(M6)
        return
    iteration = 0
    out.write(T1)
    while True:
        for i in range(1, n_eq + 1):
            total_heads[i] = f32(total_heads[i] + rhs[i])
        if print_flag > 0:
            out.write(T2, [iteration])
        assemble_global(net, band, turbulent_element, matrix)
        out.empty_line()
        total_vector = discharge_copy[:]
        apply_prescribed_heads(net, band, total_vector)
        band_product(net, band, total_heads, rhs)
        if print_flag > 0:
            for i in range(1, n_eq + 1):
                out.write(T4, [i, total_heads[i], total_vector[i], rhs[i]])
        sum_sq = sum_abs = 0.0
        for i in range(1, n_eq + 1):
            rhs[i] = f32(total_vector[i] - rhs[i])
            sum_sq = f32(sum_sq + rhs[i] * rhs[i])
            sum_abs = f32(sum_abs + abs(total_vector[i]))
        root = math.sqrt(sum_sq)
        if sum_abs != 0.0:
            ratio = f32(root / sum_abs)
        else:
            ratio = math.nan if root == 0.0 else math.inf
        zero_load = sum_sq == 0.0 and sum_abs == 0.0
        if zero_load or (not math.isnan(ratio) and not ratio - net.tolerance > 0.0):
            out.write(M8, [iteration])
            break
        iteration += 1
        if iteration > net.max_iterations:
            out.write(M9)
            break
        for i in range(1, n_eq + 1):
            rhs[i] = f32(rhs[i] / C0_54_F)
        if not solve_banded(net, band, rhs, EPS_TURBNET, out, structural_row):
            out.write(M7)
            return

    def turbulent_discharge(e):
        a, b = net.ends[e]
        d = f32(total_heads[a] - total_heads[b])
        s = -1.0 if math.copysign(1.0, d) < 0 else 1.0
        return f32(math.pow(abs(d), C0_54_F) * (s * coefficient[e]))

    member, nodal = nodal_balance(net, turbulent_discharge)
    print_results(out, net, total_heads, member, nodal)
    balance_warning("turbnet", out, net, discharge_copy, nodal)


# ---------------------------------------------------------------------------------------------
# Entry points

INPUT_NAME = {"lamnet": "input-lin.dat", "turbnet": "input-nonlin.dat"}


def run(program, input_bytes, stdin_bytes, folder="@DIR@"):
    """Returns (stdout bytes, stderr bytes, exit status) of one run."""
    out = Output()
    reader = RecordReader(input_bytes, out, 2, f"{folder}/{INPUT_NAME[program]}")
    status = 0
    try:
        if program == "lamnet":
            run_lamnet(reader, out)
        else:
            run_turbnet(reader, RecordReader(stdin_bytes, out, 5, "CONIN$"), out)
    except RunEnded as ended:
        status = ended.status
    return "".join(out.out).encode("latin-1"), "".join(out.err).encode("latin-1"), status


def case_expectations(program, case):
    if (case / "mode").exists():
        raise SystemExit(f"{case}: cases with a 'mode' file are outside the model")
    input_path = case / INPUT_NAME[program]
    input_bytes = input_path.read_bytes() if input_path.exists() else b""
    stdin_bytes = (case / "stdin").read_bytes() if (case / "stdin").exists() else b""
    return run(program, input_bytes, stdin_bytes)


def main(argv):
    mode = "write"
    if argv and argv[0] in ("--check", "--print"):
        mode = argv.pop(0)[2:]
    if len(argv) != 2 or argv[0] not in INPUT_NAME:
        raise SystemExit(__doc__)
    program, case = argv[0], pathlib.Path(argv[1])
    out, err, status = case_expectations(program, case)
    if mode == "print":
        sys.stdout.buffer.write(out)
        sys.stderr.buffer.write(err)
        return status
    files = {"expected.stdout": out, "expected.stderr": err,
             "expected.status": (f"{status}\n".encode() if status else b"")}
    if mode == "check":
        ok = True
        for name, data in files.items():
            path = case / name
            have = path.read_bytes() if path.exists() else b""
            if name == "expected.status":
                have = (f"{int(have)}\n".encode() if have.strip() and int(have) else b"")
            if have != data:
                print(f"{case}: {name} differs from the model")
                ok = False
        return 0 if ok else 1
    for name, data in files.items():
        path = case / name
        if data or name == "expected.stdout":
            path.write_bytes(data)
        elif path.exists():
            path.unlink()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
