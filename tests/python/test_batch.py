"""pipenet.batch on a local Dask cluster of two worker processes."""
import multiprocessing

import numpy
import pytest

import pipenet
from pipenet import batch

distributed = pytest.importorskip("distributed")

from test_module import CHAIN_INP, hazen_williams_loss  # noqa: E402


@pytest.fixture(scope="module")
def client():
    c = batch.local_client(workers=2)
    yield c
    batch.close_client(c)
    # No worker process outlives the cluster.
    assert multiprocessing.active_children() == []


def chain():
    net = pipenet.parse(CHAIN_INP, kind="inp")
    net.flow_tolerance = 1e-12
    return net


def test_cases_on_two_workers_equal_the_hand_calculation(client):
    assert len(client.scheduler_info()["workers"]) == 2
    draws = numpy.linspace(0.001, 0.02, 40)
    changes = [{"demands": {"J2": q}} for q in draws]
    changes[7] = {"demands": {"J2": q} for q in [draws[7]]} | {"diameters": [0.3, 0.15]}
    frames = batch.run(chain(), changes=changes, client=client, chunks_per_worker=3)
    heads, flows, outcomes = frames["heads"], frames["flows"], frames["outcomes"]
    assert list(heads.index) == list(range(40)) and heads.index.name == "case"
    assert list(heads.columns) == ["J1", "J2", "R"]
    assert list(flows.columns) == ["P1", "P2"]
    assert set(frames) == {"outcomes", *batch.QUANTITIES}
    assert (outcomes["outcome"] == "solved").all()
    for case, q in enumerate(draws):
        d2 = 0.15 if case == 7 else 0.2
        h1 = 100 - hazen_williams_loss(120, 0.3, 1000, 0.005 + q)
        h2 = h1 - hazen_williams_loss(100, d2, 500, q)
        assert heads.loc[case, "J1"] == pytest.approx(h1, abs=1e-8)
        assert heads.loc[case, "J2"] == pytest.approx(h2, abs=1e-8)
        assert frames["pressures"].loc[case, "J2"] == pytest.approx(h2 - 5, abs=1e-8)
        assert flows.loc[case, "P2"] == pytest.approx(q, abs=1e-10)


def test_a_case_that_fails_is_reported_and_the_others_are_not_touched(client, source):
    changes = [{}, {"known_heads": [numpy.nan] * 3}, {}]
    frames = batch.run(chain(), changes=changes, client=client)
    assert frames["outcomes"]["outcome"].tolist() == ["solved", "singular", "solved"]
    assert "no node has a known head" in frames["outcomes"].loc[1, "message"]
    assert frames["heads"].loc[1].isna().all()
    numpy.testing.assert_allclose(frames["heads"].loc[2], frames["heads"].loc[0], atol=1e-9)


def test_several_networks_and_paths(client, source):
    paths = [source / "docs/examples/lamnet-loop/input-lin.dat", chain()]
    frames = batch.run(paths, client=client, quantities=("heads",))
    assert set(frames) == {"outcomes", "heads"}
    assert frames["heads"].loc[0, "1"] == 120.0
    assert frames["heads"].loc[1, "R"] == 100.0
    assert numpy.isnan(frames["heads"].loc[0, "R"])  # a column of the other network


def test_bad_arguments():
    with pytest.raises(ValueError, match="cannot change"):
        batch.apply_changes(chain(), {"lengths": [1, 2]})
    with pytest.raises(ValueError, match="quantity"):
        batch.run(chain(), client=object(), quantities=("speed",))
    with pytest.raises(ValueError, match="2 networks and 3 changes"):
        batch.run([chain(), chain()], changes=[{}, {}, {}], client=object())
    with pytest.raises(KeyError):
        batch.apply_changes(chain(), {"demands": {"nowhere": 1.0}})


def test_without_a_client_a_local_cluster_is_started_and_closed():
    before = set(multiprocessing.active_children())
    frames = batch.run(chain(), changes=[{"demands": {"J2": 0.01}}] * 3, quantities=("flows",))
    assert frames["flows"]["P2"].tolist() == pytest.approx([0.01] * 3, abs=1e-10)
    assert set(multiprocessing.active_children()) <= before
