"""The compiled module: reading both kinds of file, values by ID and as arrays, results against
hand calculations and the C library, exceptions, copies and pickles, threads."""
import copy
import ctypes
import math
import pickle
import threading

import numpy
import pytest

import pipenet

# Two pipes in a chain from a reservoir: R -> P1 -> J1 -> P2 -> J2, Hazen-Williams, L/s.
CHAIN_INP = """[TITLE]
A chain of two pipes

[JUNCTIONS]
;ID  Elev  Demand
 J1  10    5
 J2  5     10

[RESERVOIRS]
 R   100

[PIPES]
;ID  From  To  Length  Diameter  Roughness
 P1  R     J1  1000    300       120
 P2  J1    J2  500     200       100

[OPTIONS]
 Units     LPS
 Headloss  H-W

[END]
"""


def hazen_williams_loss(c, d, length, q):
    return 10.667 * c ** -1.852 * d ** -4.871 * length * q ** 1.852


def one_pipe_lamnet(diameter=0.2, length=100.0, head=120.0, draw=0.5, rho=97900.0):
    """Two nodes a pipe apart, a known head at node 1, a draw at node 2."""
    return (f"{2:10d}{1:10d}{1:10d}{1:10d}{rho:10.1f}\n"
            f"{1:10d}{0.0:10.2f}{0.0:10.2f}\n"
            f"{2:10d}{length:10.2f}{0.0:10.2f}\n"
            f"{1:10d}{1:10d}{2:10d}{diameter:10.5f}\n"
            f"{2:10d}{-draw:12.4f}\n"
            f"{1:10d}{head:10.4f}\n")


@pytest.fixture
def chain():
    net = pipenet.parse(CHAIN_INP, kind="inp", file="chain.inp")
    net.flow_tolerance = 1e-12
    net.head_tolerance = 1e-10
    return net


def test_inp_chain_against_hand_calculation(chain):
    assert chain.kind == "inp"
    assert chain.node_ids == ["J1", "J2", "R"]
    assert chain.link_ids == ["P1", "P2"]
    result = chain.solve()
    assert result.outcome == "solved"
    h1 = 100 - hazen_williams_loss(120, 0.3, 1000, 0.015)
    h2 = h1 - hazen_williams_loss(100, 0.2, 500, 0.010)
    heads = dict(zip(result.node_ids, result.heads))
    assert heads["R"] == 100
    assert heads["J1"] == pytest.approx(h1, abs=1e-9)
    assert heads["J2"] == pytest.approx(h2, abs=1e-9)
    assert result.pressures.tolist() == pytest.approx([h1 - 10, h2 - 5, 0.0], abs=1e-9)
    assert result.flows.tolist() == pytest.approx([0.015, 0.010], abs=1e-12)
    area = [math.pi / 4 * 0.3 ** 2, math.pi / 4 * 0.2 ** 2]
    assert result.velocities.tolist() == pytest.approx([0.015 / area[0], 0.010 / area[1]])
    assert numpy.isnan(result.balance_errors[2])  # the reservoir
    assert numpy.abs(result.balance_errors[:2]).max() < 1e-12


def test_lamnet_worked_example_from_the_manual(source):
    net = pipenet.read(source / "docs/examples/lamnet-loop/input-lin.dat")
    assert net.kind == "lamnet"
    result = net.solve()
    # The linear system of the four pipes solved by numpy: Q = k pi/128 D^4/L dh.
    xy = numpy.array([[0, 0], [80, 0], [80, 60], [0, 60]], dtype=float)
    pipes = [(0, 1, 0.2), (1, 2, 0.15), (0, 3, 0.15), (3, 2, 0.2)]
    matrix = numpy.zeros((4, 4))
    for a, b, d in pipes:
        c = 97900 * math.pi / 128 * d ** 4 / numpy.hypot(*(xy[a] - xy[b]))
        matrix[[a, b], [a, b]] += c
        matrix[a, b] -= c
        matrix[b, a] -= c
    free = [1, 2, 3]
    rhs = numpy.array([0.0, -0.6, -0.2]) - matrix[free, 0] * 120
    heads = numpy.concatenate([[120.0], numpy.linalg.solve(matrix[numpy.ix_(free, free)], rhs)])
    numpy.testing.assert_allclose(result.heads, heads, rtol=0, atol=1e-9)
    # The manual prints the single-precision program's figures to four decimals.
    assert result.heads.tolist() == pytest.approx([120.0, 112.2939, 94.0276, 98.8067], abs=2e-4)
    assert result.flows.tolist() == pytest.approx([0.3703, 0.3703, 0.4297, 0.2297], abs=2e-4)
    assert numpy.isnan(result.pressures).all()  # the programs' files have no elevations


def test_changes_by_id_and_as_arrays_against_hand_calculation():
    net = pipenet.parse(one_pipe_lamnet(), kind="lamnet")

    def expected(diameter, draw, head=120.0, length=100.0):
        conductance = 97900.0 * math.pi / 128 * diameter ** 4 / length
        return head - draw / conductance

    assert net.solve().heads[1] == pytest.approx(expected(0.2, 0.5), rel=1e-12)
    net.set_diameter("1", 0.25)
    net.set_demand("2", 0.8)
    assert net.demands.tolist() == [0.0, 0.8]
    assert net.solve().heads[1] == pytest.approx(expected(0.25, 0.8), rel=1e-12)
    net.diameters = numpy.array([0.15])
    net.demands = [0.0, 0.3]
    net.known_heads = [90.0, numpy.nan]
    assert net.solve().heads[1] == pytest.approx(expected(0.15, 0.3, head=90.0), rel=1e-12)
    net.set_known_head("1", None)
    net.set_known_head("2", 50.0)
    net.set_demand("1", 0.3)
    result = net.solve()
    assert result.heads.tolist() == pytest.approx([expected(0.15, 0.3, head=50.0), 50.0],
                                                  rel=1e-12)
    net.set_elevation("1", 40.0)
    assert net.solve().pressures[0] == pytest.approx(expected(0.15, 0.3, head=50.0) - 40.0,
                                                     rel=1e-12)


def test_roughness_changes_the_loss(chain):
    chain.set_roughness("P2", 140)
    assert chain.roughness.tolist() == [120, 140]
    heads = chain.solve().heads
    h1 = 100 - hazen_williams_loss(120, 0.3, 1000, 0.015)
    assert heads[1] == pytest.approx(h1 - hazen_williams_loss(140, 0.2, 500, 0.010), abs=1e-9)
    chain.roughness = [100, 100]
    assert chain.solve().heads[0] == pytest.approx(
        100 - hazen_williams_loss(100, 0.3, 1000, 0.015), abs=1e-9)


def test_to_pandas_is_indexed_by_id(chain):
    pandas = pytest.importorskip("pandas")
    result = chain.solve()
    nodes, links = result.to_pandas()
    assert isinstance(nodes, pandas.DataFrame)
    assert list(nodes.index) == ["J1", "J2", "R"]
    assert nodes.loc["J2", "head"] == result.heads[1]
    assert nodes.loc["J1", "pressure"] == result.pressures[0]
    assert links.loc["P2", "flow"] == result.flows[1]
    assert list(links.columns) == ["flow", "velocity"]


# The code of the first error is the one pipenet solve and check give the same fault.
@pytest.mark.parametrize("text, kind, fragment, code", [
    ("this is no network\n", "lamnet", "", "records"),
    ("         0         0         0         0    97900.\n", "lamnet", "no nodes", "no-nodes"),
    ("[JUNCTIONS]\n J1 10 5\n[PIPES]\n P1 J1 X 100 300 120\n", "inp", "X", "inp"),
    ("[PIPES]\n P1 A B 100 300 120\n[NOPE]\n", "inp", "", "inp"),
])
def test_a_bad_text_raises_read_error(text, kind, fragment, code):
    with pytest.raises(pipenet.ReadError) as caught:
        pipenet.parse(text, kind=kind, file="bad")
    assert caught.value.file == "bad"
    errors = [m for m in caught.value.messages if m.severity == "error"]
    assert errors and errors[0].code == code
    assert fragment in str(caught.value)


def test_reading_errors(tmp_path):
    with pytest.raises(OSError):
        pipenet.read(tmp_path / "missing.inp")
    unnamed = tmp_path / "net.txt"
    unnamed.write_text(one_pipe_lamnet())
    with pytest.raises(ValueError, match="kind"):
        pipenet.read(unnamed)
    assert pipenet.read(unnamed, kind="lamnet").node_ids == ["1", "2"]
    with pytest.raises(ValueError, match="kind must be"):
        pipenet.parse("x", kind="epa")
    with pytest.raises(ValueError, match="kind"):
        pipenet.parse(one_pipe_lamnet())
    with pytest.raises(ValueError):
        pipenet.parse(CHAIN_INP, kind="inp", time=-1)


@pytest.mark.parametrize("change", [
    lambda n: n.set_diameter("P9", 0.1),
    lambda n: n.set_roughness("J1", 100),
    lambda n: n.set_demand("P1", 1.0),
    lambda n: n.set_known_head("nowhere", 1.0),
    lambda n: n.set_elevation("r", 1.0),  # IDs are matched exactly
])
def test_an_unknown_id_raises_key_error(chain, change):
    with pytest.raises(KeyError):
        change(chain)


@pytest.mark.parametrize("change", [
    lambda n: n.set_diameter("P1", 0.0),
    lambda n: n.set_diameter("P1", -0.3),
    lambda n: n.set_diameter("P1", math.inf),
    lambda n: n.set_roughness("P1", math.nan),
    lambda n: n.set_demand("J1", math.nan),
    lambda n: n.set_known_head("J1", math.inf),
    lambda n: setattr(n, "diameters", [0.3]),
    lambda n: setattr(n, "diameters", [[0.3, 0.2]]),
    lambda n: setattr(n, "roughness", [120, 0]),
    lambda n: setattr(n, "demands", [1, 2, math.nan]),
    lambda n: setattr(n, "flow_tolerance", 0.0),
    lambda n: setattr(n, "head_tolerance", -1.0),
    lambda n: setattr(n, "max_passes", 0),
])
def test_a_bad_value_raises_value_error_and_changes_nothing(chain, change):
    before = (chain.diameters.tolist(), chain.roughness.tolist(), chain.demands.tolist(),
              chain.flow_tolerance, chain.head_tolerance, chain.max_passes)
    with pytest.raises(ValueError):
        change(chain)
    assert before == (chain.diameters.tolist(), chain.roughness.tolist(), chain.demands.tolist(),
                      chain.flow_tolerance, chain.head_tolerance, chain.max_passes)


def test_failed_analyses_raise_with_outcome_and_messages(source, chain):
    chain.known_heads = [numpy.nan] * 3
    with pytest.raises(pipenet.AnalysisError) as caught:
        chain.solve()
    assert caught.value.outcome == "singular"
    assert [m.code for m in caught.value.messages] == ["no-known-head"]

    turbulent = pipenet.read(source / "examples/input-nonlin.dat")
    turbulent.max_passes = 1
    with pytest.raises(pipenet.AnalysisError) as caught:
        turbulent.solve()
    assert caught.value.outcome == "not_converged"
    assert "not-converged" in [m.code for m in caught.value.messages]
    turbulent.max_passes = 50
    turbulent.flow_tolerance = 1e-4
    assert turbulent.solve().outcome == "solved"


def test_copy_and_pickle_keep_every_value(chain):
    chain.set_diameter("P2", 0.25)
    chain.set_roughness("P1", 110)
    chain.set_demand("J2", 12.0 / 1000)
    chain.set_elevation("J1", 12.0)
    chain.max_passes = 30
    expected = chain.solve()
    for other in (pickle.loads(pickle.dumps(chain)), copy.copy(chain), copy.deepcopy(chain),
                  chain.copy()):
        assert other.node_ids == chain.node_ids and other.link_ids == chain.link_ids
        for name in ("diameters", "roughness", "lengths", "demands", "elevations", "known_heads"):
            numpy.testing.assert_array_equal(getattr(other, name), getattr(chain, name))
        assert (other.flow_tolerance, other.head_tolerance, other.max_passes) == (1e-12, 1e-10, 30)
        assert other.kind == "inp" and other.units == chain.units
        numpy.testing.assert_array_equal(other.solve().heads, expected.heads)
        other.set_diameter("P1", 0.1)  # a copy is independent of the original
    numpy.testing.assert_array_equal(chain.diameters, [0.3, 0.25])


def test_pickle_keeps_pumps(chain):
    # The chain's reservoir lifted by a pump of one point (40 L/s, 30 m) to a junction J0.
    text = CHAIN_INP.replace(" P1  R     J1", " P1  J0    J1").replace(
        "[RESERVOIRS]", "[JUNCTIONS]\n J0 0 0\n[RESERVOIRS]").replace(
        "[OPTIONS]", "[PUMPS]\n U R J0 HEAD C\n[CURVES]\n C 40 30\n[STATUS]\n U 0.9\n[OPTIONS]")
    net = pipenet.parse(text, kind="inp", file="pumped.inp")
    expected = net.solve()
    again = pickle.loads(pickle.dumps(net))
    assert again.link_ids == net.link_ids
    result = again.solve()
    numpy.testing.assert_array_equal(result.heads, expected.heads)
    numpy.testing.assert_array_equal(result.flows, expected.flows)
    # 15 L/s through the pump at speed 0.9: 0.81 * 40 - B 0.9^(2-C) 0.015^C above the reservoir,
    # the curve's A = 1.33334 * 30, B = 0.33334 * 30 / 0.04^C, C = log2(1.33334 / 0.33334).
    c = math.log2(1.33334 / 0.33334)
    gain = 0.81 * 1.33334 * 30 - 0.33334 * 30 / 0.04 ** c * 0.9 ** (2 - c) * 0.015 ** c
    assert result.heads[list(net.node_ids).index("J0")] == pytest.approx(100 + gain, abs=1e-6)
    # A pump has no cross-section: velocity 0; its unused diameter and roughness (0) can be
    # written back with the pipes'.
    assert result.velocities[list(net.link_ids).index("U")] == 0
    assert numpy.isfinite(result.velocities).all()
    again.diameters = again.diameters
    again.roughness = again.roughness
    # A re-solve starts from the last heads: the same to the tolerance, not the last bit.
    numpy.testing.assert_allclose(again.solve().heads, expected.heads, rtol=0, atol=1e-8)


VALVES_INP = """[JUNCTIONS]
 J1 10 5
 J2 5 10
 J3 0 8
[RESERVOIRS]
 R 80
[PIPES]
 P1 R J1 500 200 120
 P2 J2 J3 400 150 120
[VALVES]
 V1 J1 J2 150 PRV 30
 V2 J2 J3 100 GPV C1
[CURVES]
 C1 0 0
 C1 20 4
[OPTIONS]
 Units LPS
"""


def test_copy_and_pickle_keep_the_valves():
    net = pipenet.parse(VALVES_INP, kind="inp", file="valves.inp")
    expected = net.solve().heads
    # The PRV holds J2 at 5 + 30 m.
    assert expected[1] == pytest.approx(35.0, abs=1e-5)
    for other in (pickle.loads(pickle.dumps(net)), copy.deepcopy(net)):
        numpy.testing.assert_allclose(other.solve().heads, expected, rtol=0, atol=1e-9)


def test_a_corrupt_pickle_state_is_refused(chain):
    state = chain.__getstate__()
    broken = list(state)
    broken[9] = [("P1", 0, 7, 1000.0, 0.3, 120.0, 0.0, True)]  # joins a node that is not there
    with pytest.raises(ValueError):
        pipenet.Network.__new__(pipenet.Network).__setstate__(tuple(broken))


def test_threads_solving_copies_agree(source):
    net = pipenet.read(source / "examples/input-nonlin.dat")
    net.flow_tolerance = 1e-5
    # Each solve starts from the last heads: the same sequence on one thread gives the figures.
    alone = net.copy()
    expected = [alone.solve().heads for _ in range(20)][-1]
    copies = [net.copy() for _ in range(4)]
    results = [None] * 4

    def work(i):
        for _ in range(20):
            results[i] = copies[i].solve().heads

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for heads in results:
        numpy.testing.assert_array_equal(heads, expected)


def load_c(path):
    lib = ctypes.CDLL(path)
    p = ctypes.c_void_p
    lib.pipenet_load.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_int,
                                 ctypes.POINTER(p)]
    lib.pipenet_free.argtypes = [p]
    lib.pipenet_solve.argtypes = [p]
    lib.pipenet_node_count.argtypes = [p]
    lib.pipenet_pipe_count.argtypes = [p]
    for name in ("pipenet_heads", "pipenet_member_discharges", "pipenet_nodal_discharges"):
        getattr(lib, name).argtypes = [p, ctypes.POINTER(ctypes.c_double), ctypes.c_size_t]
    return lib


def e2e_inputs(source):
    for program, name in (("lamnet", "input-lin.dat"), ("turbnet", "input-nonlin.dat")):
        for case in sorted((source / "tests/e2e/cases" / program).iterdir()):
            if (case / name).is_file():
                yield program, case / name


def test_answers_equal_the_c_library_on_the_e2e_networks(source, c_library):
    lib = load_c(c_library)
    compared = 0
    for program, path in e2e_inputs(source):
        text = path.read_bytes()
        handle = ctypes.c_void_p()
        if lib.pipenet_load(text, len(text), 0 if program == "lamnet" else 1,
                            ctypes.byref(handle)) != 0:
            continue
        try:
            if lib.pipenet_solve(handle) != 0:
                continue
            nodes, pipes = lib.pipenet_node_count(handle), lib.pipenet_pipe_count(handle)
            c_heads = (ctypes.c_double * nodes)()
            c_flows = (ctypes.c_double * pipes)()
            c_nodal = (ctypes.c_double * nodes)()
            assert lib.pipenet_heads(handle, c_heads, nodes) == 0
            assert lib.pipenet_member_discharges(handle, c_flows, pipes) == 0
            assert lib.pipenet_nodal_discharges(handle, c_nodal, nodes) == 0
        finally:
            lib.pipenet_free(handle)
        net = pipenet.read(path)
        # Where the library stops off the balance (loose tolerance, single precision lost), the
        # library's figures are no reference: the module's must balance, or it must say that it
        # could not solve.
        free = numpy.isnan(net.known_heads)
        scale = max(numpy.abs(net.demands).max(), 1e-12)
        off = numpy.abs(numpy.array(c_nodal)[free] + net.demands[free])
        if off.size and off.max() > 1e-3 * scale:
            try:
                result = net.solve()
            except pipenet.AnalysisError:
                continue
            assert numpy.abs(result.balance_errors[free]).max() < 1e-4 * scale, path
            continue
        # Well inside the file's own tolerance, and above the rounding floor of the balances.
        net.flow_tolerance = 1e-6 * max(numpy.abs(net.demands).max(), 1e-6)
        net.max_passes = 200
        result = net.solve()
        # The library stores single-precision floats and stops at the file's own tolerance.
        span = max(numpy.ptp(result.heads), 1.0)
        numpy.testing.assert_allclose(result.heads, list(c_heads), rtol=0, atol=2e-3 * span,
                                      err_msg=str(path))
        biggest = max(numpy.abs(result.flows).max(), 1e-12)
        numpy.testing.assert_allclose(result.flows, list(c_flows), rtol=0, atol=5e-3 * biggest,
                                      err_msg=str(path))
        compared += 1
    assert compared >= 10


def test_the_stubs_name_every_public_member():
    import ast
    import pathlib

    stubs = ast.parse((pathlib.Path(pipenet.__file__).parent / "_core.pyi").read_text())
    declared = {}
    for node in stubs.body:
        if isinstance(node, ast.ClassDef):
            names = set()
            for item in node.body:
                if isinstance(item, (ast.FunctionDef, ast.AnnAssign)):
                    names.add(item.name if isinstance(item, ast.FunctionDef) else item.target.id)
            declared[node.name] = names
    for cls in (pipenet.Network, pipenet.Result, pipenet.Message):
        public = {name for name in dir(cls) if not name.startswith("_")}
        assert public <= declared[cls.__name__], public - declared[cls.__name__]
