#!/usr/bin/env python3
"""Cases of `pipenet solve`, each run in a fresh folder.

    solve_cli.py PIPENET CASE      run one case
    solve_cli.py --list            print the case names, separated by ';'
"""
import csv
import io
import json
import math
import os
import pathlib
import re
import struct
import subprocess
import sys
import tempfile

SOURCE = pathlib.Path(__file__).resolve().parents[2]
CASES_DIR = SOURCE / "tests" / "e2e" / "cases"
SCHEMA = json.loads((SOURCE / "docs" / "solve-result.schema.json").read_text())
INPUT_NAMES = {"lamnet": "input-lin.dat", "turbnet": "input-nonlin.dat"}


def row(*fields, width=10):
    return "".join(f.rjust(width) for f in fields)


def chain(order, heads=("50.0", "40.0")):
    """A laminar chain of len(order) nodes: pipe k joins the k-th and (k+1)-th node of `order`
    (user numbers); known heads at the first and the last node of the chain."""
    n = len(order)
    lines = [row(str(n), str(n - 1), "1", "2", "97900.")]
    for node in range(1, n + 1):
        lines.append(row(str(node), f"{10.0 * order.index(node):.2f}", "0.00"))
    for k in range(n - 1):
        lines.append(row(str(k + 1), str(order[k]), str(order[k + 1]), "0.10000"))
    lines.append(str(order[n // 2]).rjust(10) + "-0.0100".rjust(12))
    lines.append(row(str(order[0]), heads[0]))
    lines.append(row(str(order[-1]), heads[1]))
    return "\n".join(lines) + "\n"


def fail(message):
    print(message)
    sys.exit(1)


def run(pipenet, args, folder):
    done = subprocess.run([pipenet, "solve", *args], cwd=folder, capture_output=True,
                          timeout=600)
    return done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1")


def report_cases():
    """Every end-to-end case that ends with status 0 and whose standard output is the report."""
    for program in ("lamnet", "turbnet"):
        for case in sorted((CASES_DIR / program).iterdir()):
            status = case / "expected.status"
            if status.exists() and status.read_text().strip() != "0":
                continue
            if (case / "mode").exists() or not (case / INPUT_NAMES[program]).exists():
                continue
            yield program, case


def print_flag(case):
    """The print flag turbnet reads from its console: the first record, an I10 field."""
    stdin = case / "stdin"
    first = stdin.read_bytes().split(b"\n")[0].rstrip(b"\r")[:10] if stdin.exists() else b""
    digits = first.replace(b" ", b"")
    return int(digits) if digits not in (b"", b"+", b"-") else 0


# ---------------------------------------------------------------------------------------------
# A validator for the part of JSON Schema that docs/solve-result.schema.json uses.

class SchemaError(Exception):
    pass


def reject(message):
    raise SchemaError(message)


def validate(value, schema, where="$"):
    if "enum" in schema and value not in schema["enum"]:
        reject(f"{where}: {value!r} not one of {schema['enum']}")
    if "type" in schema:
        types = schema["type"] if isinstance(schema["type"], list) else [schema["type"]]
        matches = {
            "object": isinstance(value, dict),
            "array": isinstance(value, list),
            "string": isinstance(value, str),
            "integer": isinstance(value, int) and not isinstance(value, bool),
            "number": isinstance(value, (int, float)) and not isinstance(value, bool),
            "null": value is None,
        }
        if not any(matches[t] for t in types):
            reject(f"{where}: {value!r} is not of type {types}")
    if "minimum" in schema and isinstance(value, (int, float)) and value < schema["minimum"]:
        reject(f"{where}: {value!r} below {schema['minimum']}")
    if isinstance(value, dict):
        for name in schema.get("required", []):
            if name not in value:
                reject(f"{where}: lacks {name!r}")
        properties = schema.get("properties", {})
        for name, item in value.items():
            if name in properties:
                validate(item, properties[name], f"{where}.{name}")
            elif schema.get("additionalProperties", True) is False:
                reject(f"{where}: unexpected {name!r}")
    if isinstance(value, list) and "items" in schema:
        for i, item in enumerate(value):
            validate(item, schema["items"], f"{where}[{i}]")


def schema_rejects_faults(pipenet, folder):
    """The validator itself catches each kind of departure from the schema."""
    good = {"file": "f", "program": "lamnet", "arithmetic": "double", "outcome": "solved",
            "nodes": [], "pipes": [], "passes": [], "max_balance_error": None,
            "messages": [{"severity": "warning", "code": "all-inflows", "text": "t"}]}
    validate(good, SCHEMA)
    bad = [dict(good, program="other"), dict(good, nodes=[{"node": 1}]),
           dict(good, extra=1), dict(good, messages=[3]), dict(good, max_balance_error=-1.0),
           dict(good, arithmetic="single"),
           dict(good, messages=[{"severity": "fatal", "code": "c", "text": "t"}]),
           {k: v for k, v in good.items() if k != "passes"},
           dict(good, pipes=[{"pipe": 1.5, "start": 1, "end": 2, "diameter": 1, "length": 1,
                              "discharge": 1, "head_loss": 1, "velocity": 1}])]
    for document in bad:
        try:
            validate(document, SCHEMA)
        except SchemaError:
            continue
        fail(f"the validator accepts {document}")


def to_float32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def is_shortest_float_text(text):
    """True when `text` reads back to a float32 that no text with fewer digits reads back to."""
    value = to_float32(float(text))
    if to_float32(float(text)) != float(text) and float(repr(value)) == float(text):
        return False
    mantissa = re.sub(r"[eE].*$", "", text).lstrip("-").replace(".", "").lstrip("0")
    digits = len(mantissa.rstrip("0")) or 1
    for shorter in range(1, digits):
        if to_float32(float(f"{value:.{shorter - 1}e}")) == value:
            return False
    return True


FLOAT_FIELDS = {"x", "y", "head", "discharge", "known_head", "known_discharge", "diameter",
                "length", "head_loss", "velocity", "relative_residual"}


def check_numbers(raw_line):
    """Every float field of a raw JSON line is the shortest text of a float32."""
    for name, text in re.findall(r'"(\w+)":(-?[0-9][0-9.eE+-]*)', raw_line):
        if name in FLOAT_FIELDS and not is_shortest_float_text(text):
            fail(f"{name}: {text} is not the shortest text of a float")


def every_input(folder):
    """The input file of every end-to-end case and of the examples, copied under one folder."""
    paths = []
    for program in ("lamnet", "turbnet"):
        for case in sorted((CASES_DIR / program).iterdir()):
            source = case / INPUT_NAMES[program]
            if source.exists() and source.is_file():
                target = folder / program / case.name / INPUT_NAMES[program]
                target.parent.mkdir(parents=True)
                target.write_bytes(source.read_bytes())
                paths.append(str(target))
    for name in INPUT_NAMES.values():
        paths.append(str(SOURCE / "examples" / name))
    return paths


# ---------------------------------------------------------------------------------------------
# Cases.

def report_identity(pipenet, folder):
    """--report gives the program's report byte for byte for every end-to-end report."""
    count = 0
    for program, case in report_cases():
        target = folder / program / case.name
        target.mkdir(parents=True)
        (target / INPUT_NAMES[program]).write_bytes((case / INPUT_NAMES[program]).read_bytes())
        args = [INPUT_NAMES[program], "--report", "report.txt"]
        if program == "turbnet":
            args += ["--print-flag", str(print_flag(case))]
        run(pipenet, args, target)
        actual = (target / "report.txt").read_bytes()
        if actual != (case / "expected.stdout").read_bytes():
            fail(f"{program}/{case.name}: the report differs from expected.stdout")
        count += 1
    if count < 20:
        fail(f"only {count} reports compared")
    print(f"{count} reports identical")


def json_schema(pipenet, folder):
    """Every document of every input validates against the schema, in both arithmetics; the
    programs' floats are shortest."""
    paths = every_input(folder)
    for arithmetic in ("programs", "double"):
        status, out, err = run(pipenet, ["--json", "-", "--renumber", "--arithmetic", arithmetic,
                                         *paths], folder)
        lines = out.splitlines()
        if len(lines) != len(paths):
            fail(f"{len(lines)} documents for {len(paths)} files")
        outcomes = set()
        for path, line in zip(paths, lines):
            document = json.loads(line)
            try:
                validate(document, SCHEMA)
            except SchemaError as error:
                fail(f"{arithmetic} {path}: {error}")
            if document["arithmetic"] == "programs":
                check_numbers(line)
            elif arithmetic == "programs":
                fail(f"{path}: analysed in double precision when the programs' was asked")
            if document["file"] != path:
                fail(f"document of {document['file']} where {path} was expected")
            outcomes.add(document["outcome"])
            if document["outcome"] != "solved" and \
                    not any(m["severity"] == "error" for m in document["messages"]):
                fail(f"{arithmetic} {path}: {document['outcome']} without an error message")
        for expected in ("solved", "refused", "singular", "unreadable"):
            if expected not in outcomes:
                fail(f"{arithmetic}: no input gave {expected}")
        if status != 1:
            fail(f"status {status} with failed files")


def json_values(pipenet, folder):
    """The laminar example's JSON against the report's four decimals and the network's own
    relations: balance at each node, head loss, velocity."""
    status, out, _ = run(pipenet, ["--json", "-", "--arithmetic", "programs",
                                   str(SOURCE / "examples/input-lin.dat")], folder)
    document = json.loads(out)
    if status != 0 or document["outcome"] != "solved":
        fail(f"status {status}, outcome {document['outcome']}")
    heads = {n["node"]: to_float32(n["head"]) for n in document["nodes"]}
    expected = {1: 30.0, 9: 28.5}
    for node, head in expected.items():
        if heads[node] != head:
            fail(f"known head of node {node}: {heads[node]}")
    _, report, _ = run(pipenet, ["--report", "-", str(SOURCE / "examples/input-lin.dat")], folder)
    for n in document["nodes"]:
        shown = f"{n['head']:.4f}"
        if shown not in report:
            fail(f"head {shown} of node {n['node']} is not in the report")
        if n["known_head"] is None:
            error = to_float32(n["discharge"]) - to_float32(n["known_discharge"])
            if not math.isclose(error, n["balance_error"], rel_tol=1e-9, abs_tol=1e-15):
                fail(f"balance error of node {n['node']}")
    for p in document["pipes"]:
        loss = to_float32(heads[p["start"]] - heads[p["end"]])
        if loss != to_float32(p["head_loss"]):
            fail(f"head loss of pipe {p['pipe']}: {p['head_loss']} against {loss}")
        velocity = p["discharge"] / (math.pi / 4 * p["diameter"] ** 2)
        if not math.isclose(velocity, p["velocity"], rel_tol=1e-6):
            fail(f"velocity of pipe {p['pipe']}")
    worst = max(abs(n["balance_error"]) for n in document["nodes"] if n["known_head"] is None)
    if worst != document["max_balance_error"]:
        fail("max_balance_error is not the largest balance error")


def csv_tables(pipenet, folder):
    """RFC 4180 tables with the JSON's values, a file name that needs quoting included."""
    odd = folder / 'a,b "c"'
    odd.mkdir()
    (odd / "input-nonlin.dat").write_bytes((SOURCE / "examples/input-nonlin.dat").read_bytes())
    paths = [str(SOURCE / "examples/input-lin.dat"), str(odd / "input-nonlin.dat")]
    for arithmetic in ("programs", "double"):
        csv_tables_of(pipenet, folder, paths, arithmetic)


def csv_tables_of(pipenet, folder, paths, arithmetic):
    status, out, _ = run(pipenet, ["--json", "-", "--csv", "tables", "--arithmetic", arithmetic,
                                   *paths], folder)
    documents = [json.loads(line) for line in out.splitlines()]
    for table, key, names in (
            ("nodes", "nodes", ["node", "x", "y", "head", "discharge", "known_head",
                                "known_discharge", "balance_error", "elevation", "pressure"]),
            ("pipes", "pipes", ["pipe", "start", "end", "diameter", "length", "discharge",
                                "head_loss", "velocity"]),
            ("passes", "passes", ["pass", "relative_residual", "max_imbalance",
                                  "max_head_change"])):
        raw = (folder / "tables" / f"{table}.csv").read_bytes()
        if b"\n" in raw.replace(b"\r\n", b""):
            fail(f"{table}.csv has a line end other than CRLF")
        rows = list(csv.reader(io.StringIO(raw.decode(), newline="")))
        if rows[0] != ["file", *names]:
            fail(f"{table}.csv header {rows[0]}")
        expected = [[d["file"], *[r.get(n) for n in names]] for d in documents for r in d[key]]
        if len(rows) - 1 != len(expected):
            fail(f"{table}.csv has {len(rows) - 1} rows, not {len(expected)}")
        for got, want in zip(rows[1:], expected):
            for g, w in zip(got, want):
                same = (g == w) if isinstance(w, str) else \
                    (g == "" if w is None else float(g) == w)
                if not same:
                    fail(f"{arithmetic} {table}.csv: {got} against {want}")
    outcomes = list(csv.reader(io.StringIO((folder / "tables" / "outcomes.csv").read_text(),
                                           newline="")))
    want = [["file", "outcome", "arithmetic", "passes", "max_imbalance", "warnings", "law"]]
    for d in documents:
        warnings = sum(m["severity"] == "warning" for m in d["messages"])
        want.append([d["file"], d["outcome"], d["arithmetic"], str(len(d["passes"])),
                     repr(d["max_balance_error"]), str(warnings), d.get("law", "")])
    if outcomes[0] != want[0]:
        fail(f"outcomes.csv header {outcomes[0]}")
    for got_row, want_row in zip(outcomes[1:], want[1:]):
        if got_row[:4] != want_row[:4] or got_row[5:] != want_row[5:] or \
                (got_row[4] != "" and float(got_row[4]) != float(want_row[4])):
            fail(f"{arithmetic} outcomes.csv: {got_row} against {want_row}")
    if len(outcomes) != len(want):
        fail(f"outcomes.csv has {len(outcomes)} rows")
    if status != 0:
        fail(f"status {status}")


def csv_empty_file_name(pipenet, folder):
    """A file named by the empty string is unreadable; its outcome row keeps its empty first
    field, so that every column stays under its header."""
    good = str(SOURCE / "examples/input-lin.dat")
    status, _, err = run(pipenet, ["--csv", "tables", "", good], folder)
    rows = list(csv.reader(io.StringIO((folder / "tables" / "outcomes.csv").read_text(),
                                       newline="")))
    if status != 1 or [len(r) for r in rows] != [7, 7, 7]:
        fail(f"status {status}, rows {rows}\n{err}")
    if rows[1][:3] != ["", "unreadable", "double"] or rows[2][:2] != [good, "solved"]:
        fail(f"rows {rows}")


def many_files(pipenet, folder):
    """Bad files among good ones: each reported under its name, the others solved, the outputs
    the same for any number of threads, a summary, status 1."""
    good = folder / "input-lin.dat"
    good.write_bytes((SOURCE / "examples/input-lin.dat").read_bytes())
    short = folder / "short" / "input-lin.dat"
    short.parent.mkdir()
    short.write_text(row("9", "12", "4", "2", "107910.") + "\n" + row("1", "0.0", "0.0") + "\n")
    huge = folder / "huge" / "input-nonlin.dat"
    huge.parent.mkdir()
    huge.write_text(row("2000000000", "2000000000", "1", "1", "25", "0.00001", "120.") + "\n")
    (folder / "dir.dat").mkdir()
    files = [str(good), str(short), "missing/input-lin.dat", str(huge), "other-name.dat",
             str(folder / "dir.dat"), str(good)] * 20
    results = []
    for jobs in ("1", "2", "5"):
        status, out, err = run(pipenet, ["--jobs", jobs, "--json", "-", *files], folder)
        if status != 1:
            fail(f"--jobs {jobs}: status {status}")
        results.append(out)
        summary = err.strip().splitlines()[-1]
        want = "pipenet solve: 140 files: 40 solved, 0 refused, 0 singular, 0 not converged, " \
               "0 not a number, 100 unreadable"
        if summary != want:
            fail(f"summary {summary!r}")
        for name in ("missing/input-lin.dat", "other-name.dat", str(short)):
            if f"pipenet solve: {name}: unreadable" not in err:
                fail(f"no failure line for {name}:\n{err}")
        if "\r" in err:
            fail("a progress bar on a standard error that is no terminal")
    if len(set(results)) != 1:
        fail("the output depends on the number of threads")
    outcomes = [json.loads(line)["outcome"] for line in results[0].splitlines()]
    if outcomes[:7] != ["solved", "unreadable", "unreadable", "unreadable", "unreadable",
                        "unreadable", "solved"]:
        fail(f"outcomes {outcomes[:7]}")


def all_solved_status(pipenet, folder):
    status, _, err = run(pipenet, [str(SOURCE / "examples/input-lin.dat"),
                                   str(SOURCE / "examples/input-nonlin.dat")], folder)
    if status != 0 or "2 files: 2 solved" not in err:
        fail(f"status {status}: {err}")


def output_not_writable(pipenet, folder):
    status, _, err = run(pipenet, ["--json", str(folder / "no" / "such" / "out.json"),
                                   str(SOURCE / "examples/input-lin.dat")], folder)
    if status != 2 or "cannot write" not in err:
        fail(f"status {status}: {err}")


def renumber(pipenet, folder):
    """A chain numbered so that its band is too wide for the programs: solved as given (pipenet
    solve has no capacity) and renumbered, with the results under the file's numbers equal to
    those of the same chain numbered along its length."""
    n = 40
    scattered = [k // 2 + 1 if k % 2 == 0 else n - k // 2 for k in range(n)]
    (folder / "scattered").mkdir()
    (folder / "scattered" / "input-lin.dat").write_text(chain(scattered))
    (folder / "plain").mkdir()
    (folder / "plain" / "input-lin.dat").write_text(chain(list(range(1, n + 1))))
    status, out, _ = run(pipenet, ["--json", "-", "--arithmetic", "programs",
                                   "scattered/input-lin.dat"], folder)
    as_given = json.loads(out)
    if as_given["outcome"] != "solved" or \
            any("renumbered" in m["text"] for m in as_given["messages"]):
        fail(f"the scattered chain as given: {as_given['outcome']}, {as_given['messages']}")
    status, out, _ = run(pipenet, ["--renumber", "--json", "-", "--arithmetic", "programs",
                                   "scattered/input-lin.dat", "plain/input-lin.dat"], folder)
    got, plain = (json.loads(line) for line in out.splitlines())
    for node, reference in zip(as_given["nodes"], got["nodes"]):
        if not math.isclose(node["head"], reference["head"], rel_tol=1e-5):
            fail(f"head of node {node['node']} as given: {node['head']} against "
                 f"{reference['head']} renumbered")
    if status != 0 or got["outcome"] != "solved":
        fail(f"status {status}, outcome {got['outcome']}: {got['messages']}")
    if not any("renumbered" in m["text"] for m in got["messages"]):
        fail("no message says the nodes were renumbered")
    by_position = {}
    for node in got["nodes"]:
        position = scattered.index(node["node"])
        by_position[position] = node
        if node["x"] != 10.0 * position:
            fail(f"node {node['node']} has the coordinates of another")
    for position, node in by_position.items():
        reference = plain["nodes"][position]
        if not math.isclose(node["head"], reference["head"], rel_tol=1e-5):
            fail(f"head of node {node['node']}: {node['head']} against {reference['head']}")
    for pipe, reference in zip(got["pipes"], plain["pipes"]):
        k = pipe["pipe"] - 1
        if (pipe["start"], pipe["end"]) != (scattered[k], scattered[k + 1]):
            fail(f"pipe {pipe['pipe']} ends {pipe['start']}, {pipe['end']}")
        # Float rounding in another elimination order: far below the discharge drawn (0.01).
        if not math.isclose(pipe["discharge"], reference["discharge"], abs_tol=1e-6):
            fail(f"discharge of pipe {pipe['pipe']}: {pipe['discharge']} against "
                 f"{reference['discharge']}")


def beyond_capacity(pipenet, folder):
    """A chain of 150 nodes, beyond the programs' 100: the report is lamnet's refusal, the
    analysis goes on and gives the heads of a tridiagonal solve done here in double precision:
    to float rounding in the programs' arithmetic (which takes pi as 3.1416), to double rounding
    in pipenet's own."""
    n = 150
    (folder / "input-lin.dat").write_text(chain(list(range(1, n + 1))))
    for arithmetic, pi, tolerance in (("programs", 3.1416, 1e-5), ("double", math.pi, 1e-11)):
        status, out, _ = run(pipenet, ["--json", "-", "--report", "report.txt", "--arithmetic",
                                       arithmetic, "input-lin.dat"], folder)
        result = json.loads(out)
        if status != 0 or result["outcome"] != "solved":
            fail(f"status {status}, outcome {result['outcome']}: {result['messages']}")
        if "too many nodes" not in (folder / "report.txt").read_text():
            fail("the report is not lamnet's refusal")
        heads = chain_heads(n, pi)
        for node in result["nodes"]:
            if not math.isclose(node["head"], heads[node["node"]], rel_tol=tolerance):
                fail(f"{arithmetic}: head of node {node['node']}: {node['head']} against "
                     f"{heads[node['node']]}")


def chain_heads(n, pi):
    # Unit spacing 10, diameter 0.1: every pipe has the same conductance, so node i balances
    # c (2 h_i - h_(i-1) - h_(i+1)) = supply_i. Thomas algorithm over nodes 2 ... n-1.
    supply = [0.0] * (n + 1)
    supply[n // 2 + 1] = -0.01
    c = 97900.0 * pi / 128.0 * 0.1 ** 4 / 10.0
    heads = [0.0] * (n + 1)
    heads[1], heads[n] = 50.0, 40.0
    diagonal, right = [0.0] * (n + 1), [0.0] * (n + 1)
    for i in range(2, n):
        d = 2.0 * c
        r = supply[i] + (c * heads[1] if i == 2 else 0.0) + (c * heads[n] if i == n - 1 else 0.0)
        if i > 2:
            factor = -c / diagonal[i - 1]
            d -= factor * -c
            r -= factor * right[i - 1]
        diagonal[i], right[i] = d, r
    for i in range(n - 1, 1, -1):
        heads[i] = (right[i] + (c * heads[i + 1] if i < n - 1 else 0.0)) / diagonal[i]
    return heads


def scaled_discharges(text, factor):
    """The input file with every known discharge multiplied by `factor` (F12.4 fields)."""
    lines = text.splitlines()
    nodes, pipes, discharges = (int(lines[0][k * 10:(k + 1) * 10]) for k in range(3))
    first = 1 + nodes + pipes
    for i in range(first, first + discharges):
        node, value = lines[i][:10], float(lines[i][10:22])
        lines[i] = node + f"{value * factor:12.4f}"
    return "\n".join(lines) + "\n"


def plausibility_warnings(pipenet, folder):
    """Demands typed in L/s and demands with their signs flipped: solved, and warned about on
    standard error as FILE: warning: CODE: text and in the JSON; --strict makes it status 1."""
    example = (SOURCE / "examples/input-nonlin.dat").read_text()
    cases = (("litres", scaled_discharges(example, 1000.0), {"velocity-high"}),
             ("flipped", scaled_discharges(example, -1.0), {"all-inflows"}))
    for name, text, codes in cases:
        (folder / name).mkdir()
        (folder / name / "input-nonlin.dat").write_text(text)
        path = f"{name}/input-nonlin.dat"
        status, out, err = run(pipenet, ["--json", "-", path], folder)
        document = json.loads(out)
        found = {m["code"] for m in document["messages"] if m["severity"] == "warning"}
        if not codes <= found:
            fail(f"{name}: warnings {found}, not {codes}: {document['messages']}")
        for code in codes:
            if not re.search(rf"^{re.escape(path)}: warning: {code}: ", err, re.M):
                fail(f"{name}: no {code} line on standard error:\n{err}")
        if status != 0:
            fail(f"{name}: status {status} without --strict")
        status, _, _ = run(pipenet, ["--strict", path], folder)
        if status != 1:
            fail(f"{name}: status {status} with --strict")
    status, out, err = run(pipenet, ["--strict", "--json", "-",
                                     str(SOURCE / "examples/input-nonlin.dat")], folder)
    if status != 0 or ": warning: " in err:
        fail(f"the example warned: {err}")


def grids_converge(pipenet, folder):
    """Looped grids of 100 to 4,900 nodes (bench/grids.py: shuffled numbering, trunk mains,
    realistic draws), which the programs' arithmetic cannot bring to the flow tolerance: solved
    in double precision within 20 passes, every node within 1e-6 m3/s."""
    sys.path.insert(0, str(SOURCE / "bench"))
    import grids
    for side in (10, 40, 70):
        path = folder / f"grid-{side}.dat"
        path.write_text(grids.grid_text(side))
        status, out, err = run(pipenet, ["--program", "turbnet", "--json", "-", str(path)], folder)
        result = json.loads(out)
        passes = [p for p in result["passes"] if p["pass"] > 0]
        if status != 0 or result["outcome"] != "solved" or len(passes) > 20:
            fail(f"{side} x {side}: status {status}, {result['outcome']} after {len(passes)} "
                 f"passes: {result['messages']}")
        if not result["max_balance_error"] <= 1e-6:
            fail(f"{side} x {side}: imbalance {result['max_balance_error']}")
        # The balance recomputed here from the pipes' discharges, at every junction.
        net = {n["node"]: -n["known_discharge"] for n in result["nodes"]
               if n["known_head"] is None}
        for p in result["pipes"]:
            if p["start"] in net:
                net[p["start"]] += p["discharge"]
            if p["end"] in net:
                net[p["end"]] -= p["discharge"]
        if max(abs(v) for v in net.values()) > 1e-6:
            fail(f"{side} x {side}: a junction's pipes do not balance")


def disconnected(pipenet, folder):
    """A chain with a pair of nodes joined to no known head: the chain is solved, the pair left
    out with one warning and null results."""
    lines = [row("7", "5", "1", "2", "97900.")]
    x = {1: 0, 2: 10, 3: 20, 4: 100, 5: 110, 6: 30, 7: 40}
    lines += [row(str(node), f"{x[node]:.2f}", "0.00") for node in range(1, 8)]
    pipes = [(1, 2), (2, 3), (3, 6), (6, 7), (4, 5)]
    lines += [row(str(k + 1), str(a), str(b), "0.10000") for k, (a, b) in enumerate(pipes)]
    lines += ["2".rjust(10) + "-0.0100".rjust(12), row("1", "50.0"), row("7", "40.0")]
    (folder / "input-lin.dat").write_text("\n".join(lines) + "\n")
    status, out, err = run(pipenet, ["--json", "-", "input-lin.dat"], folder)
    result = json.loads(out)
    if status != 0 or result["outcome"] != "solved":
        fail(f"status {status}, outcome {result['outcome']}: {result['messages']}")
    if "input-lin.dat: warning: isolated-nodes: 2 junction(s)" not in err or ": 4, 5" not in err:
        fail(f"no warning naming the pair:\n{err}")
    heads = {n["node"]: n["head"] for n in result["nodes"]}
    if heads[4] is not None or heads[5] is not None or result["pipes"][4]["discharge"] is not None:
        fail(f"the pair has results: {result['nodes']}")
    # The chain 1-2-3-6-7, equal pipes of 10: heads by hand from the supply at node 2.
    c = 97900.0 * math.pi / 128.0 * 0.1 ** 4 / 10.0
    # Node 2 takes 0.01 from both sides: h2 from c (h1 - h2) + c (h3 - h2) = 0.01 and the
    # straight line from node 3 to node 7 (no draw), h3 = h2 - (h2 - 40) / 3.
    h2 = (50.0 * c + c * 40.0 / 3.0 - 0.01) / (c + c / 3.0)
    if not math.isclose(heads[2], h2, rel_tol=1e-12):
        fail(f"head of node 2: {heads[2]} against {h2}")


def renumbered_singular(pipenet, folder):
    """A chain 1-7-2-6-3 and a pair 4-5 joined to no known head, renumbered: the singular row is
    also named as the file's node, one of the pair."""
    lines = [row("7", "5", "1", "2", "97900.")]
    x = {1: 0, 7: 10, 2: 20, 6: 30, 3: 40, 4: 100, 5: 110}
    lines += [row(str(node), f"{x[node]:.2f}", "0.00") for node in range(1, 8)]
    pipes = [(1, 7), (7, 2), (2, 6), (6, 3), (4, 5)]
    lines += [row(str(k + 1), str(a), str(b), "0.10000") for k, (a, b) in enumerate(pipes)]
    lines += ["2".rjust(10) + "-0.0100".rjust(12), row("1", "50.0"), row("3", "40.0")]
    (folder / "input-lin.dat").write_text("\n".join(lines) + "\n")
    status, out, err = run(pipenet, ["--renumber", "--json", "-", "--arithmetic", "programs",
                                     "input-lin.dat"], folder)
    result = json.loads(out)
    if status != 1 or result["outcome"] != "singular":
        fail(f"status {status}, outcome {result['outcome']}: {result['messages']} {err}")
    if not any("renumbered:" in m["text"] for m in result["messages"]):
        fail(f"not renumbered: {result['messages']}")
    named = [m["text"] for m in result["messages"]
             if "of the renumbered system is node" in m["text"]]
    if len(named) != 1 or named[0].split()[-4] not in ("4", "5"):
        fail(f"messages {result['messages']}")


def mixed_folder(folder):
    """Files whose names tell nothing: the two examples, a letter in a number, no header, and
    one that does not exist."""
    (folder / "a.dat").write_bytes((SOURCE / "examples/input-lin.dat").read_bytes())
    (folder / "b.dat").write_bytes((SOURCE / "examples/input-nonlin.dat").read_bytes())
    (folder / "c.dat").write_text(row("2", "1", "1", "1", "97900.") + "\n" +
                                  row("1", "0.00", "0.00") + "\n" + row("2", "8O.00", "0.00") +
                                  "\n")
    (folder / "notes.txt").write_text("not a network\n")
    return ["a.dat", "b.dat", "c.dat", "notes.txt", "gone.dat"]


def told_by_header(pipenet, folder):
    """Each file's program is told from its header when its name does not tell; --program still
    decides; a missing file and a bad field say what and where."""
    files = mixed_folder(folder)
    status, out, err = run(pipenet, ["--json", "-", "--csv", "tables", *files], folder)
    if status != 1:
        fail(f"status {status}: {err}")
    documents = [json.loads(line) for line in out.splitlines()]
    got = [(d["file"], d["program"], d["outcome"]) for d in documents[:3]]
    if got != [("a.dat", "lamnet", "solved"), ("b.dat", "turbnet", "solved"),
               ("c.dat", "lamnet", "unreadable")]:
        fail(f"programs and outcomes {got}")
    if not (folder / "tables" / "passes.csv").exists():
        fail("no passes.csv for a turbulent file told by its header")
    for expected in ("gone.dat: unreadable: cannot read the file: No such file or directory",
                     "c.dat: unreadable: a field holds something that is not a number: "
                     "line 3, columns 11-20: x:",
                     "notes.txt: unreadable: cannot tell which program's file this is"):
        if expected not in err:
            fail(f"no {expected!r} in:\n{err}")
    if "gone.dat: unreadable: cannot tell" in err:
        fail("a missing file is called of unknown program")
    # --program decides over the header: the turbnet file read as lamnet's is not solved as it.
    status, out, err = run(pipenet, ["--program", "lamnet", "--json", "-", "b.dat"], folder)
    if json.loads(out)["program"] != "lamnet":
        fail(f"--program not obeyed: {out}")


def summary_table(pipenet, folder):
    """With no output named, a table per file on standard output: outcome, passes, head range,
    largest imbalance; the same values as the JSON, status as with outputs."""
    files = mixed_folder(folder)
    status, table, err = run(pipenet, files, folder)
    if status != 1:
        fail(f"status {status}: {err}")
    lines = table.splitlines()
    if lines[0].split() != ["file", "outcome", "passes", "lowest", "head", "highest", "head",
                            "largest", "imbalance"]:
        fail(f"header {lines[0]!r}")
    _, out, _ = run(pipenet, ["--json", "-", *files], folder)
    documents = [json.loads(line) for line in out.splitlines()]
    if len(lines) != 1 + len(files):
        fail(f"{len(lines)} lines:\n{table}")
    for line, document in zip(lines[1:], documents):
        cells = line.split()
        want = [document["file"], document["outcome"],
                str(len(document["passes"])) if document["passes"] else "-"]
        heads = [n["head"] for n in document["nodes"]]
        want += [f"{min(heads):.6g}", f"{max(heads):.6g}"] if heads else ["-", "-"]
        worst = document["max_balance_error"]
        want.append(f"{worst:.6g}" if worst is not None else "-")
        if cells != want:
            fail(f"row {cells} instead of {want}")
    # The bundled examples: a known head is the highest head, and both solve with status 0.
    status, table, _ = run(pipenet, ["a.dat", "b.dat"], folder)
    rows = [line.split() for line in table.splitlines()[1:]]
    if status != 0 or rows[0][:2] != ["a.dat", "solved"] or rows[1][1] != "solved":
        fail(f"status {status}:\n{table}")
    if float(rows[0][4]) != 30.0 or float(rows[1][4]) != 95.0:
        fail(f"highest heads are not the known heads:\n{table}")


CASES = {f.__name__: f for f in (report_identity, json_schema, schema_rejects_faults, json_values,
                                  csv_tables, csv_empty_file_name, many_files, all_solved_status,
                                  output_not_writable, renumber, beyond_capacity,
                                  renumbered_singular, plausibility_warnings, disconnected,
                                  grids_converge, told_by_header, summary_table)}


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
