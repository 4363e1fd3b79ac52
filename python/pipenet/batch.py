"""Many analyses on a Dask cluster: one machine's cores, or any distributed.Client.

    from pipenet import batch
    frames = batch.run("net.inp", changes=[{"demands": d} for d in samples])
    frames["pressures"]            # one row per case, one column per node ID

Scaling out: start a scheduler and workers on other hosts with Dask's own commands

    dask scheduler                          # on the head host: tcp://HEAD:8786
    dask worker tcp://HEAD:8786 --nworkers 8 --nthreads 1   # on each compute host

(every worker needs pipenet installed), then pass `client=distributed.Client("tcp://HEAD:8786")`.
On a Slurm cluster, dask-jobqueue starts the workers as jobs:

    from dask_jobqueue import SLURMCluster
    cluster = SLURMCluster(cores=32, processes=32, memory="64GB", walltime="01:00:00")
    cluster.scale(jobs=4)
    frames = batch.run(net, changes=cases, client=distributed.Client(cluster))

Dask does the scheduling and the transport; a network travels to the workers as a pickle.
"""
import os

import numpy

from . import AnalysisError, Network, read

__all__ = ["QUANTITIES", "CHANGES", "apply_changes", "close_client", "local_client", "run"]

# What a result gives per case: per node, then per link.
NODE_QUANTITIES = ("heads", "pressures", "nodal_discharges", "balance_errors")
LINK_QUANTITIES = ("flows", "velocities")
QUANTITIES = NODE_QUANTITIES + LINK_QUANTITIES
# What a change may set: the network's array attribute, per node or per link.
CHANGES = {"diameters": "link", "roughness": "link", "demands": "node", "elevations": "node",
           "known_heads": "node"}


def apply_changes(net, changes):
    """Sets the values of `changes` on `net`: a dict from a name of CHANGES to a whole array, or
    to a dict {ID: value} for some nodes or links."""
    for name, values in changes.items():
        if name not in CHANGES:
            raise ValueError(f"cannot change {name!r}: give one of {', '.join(CHANGES)}")
        if isinstance(values, dict):
            array = getattr(net, name)
            index = net.node_index if CHANGES[name] == "node" else net.link_index
            for key, value in values.items():
                array[index(str(key))] = value
            values = array
        setattr(net, name, numpy.asarray(values, dtype=float))


def _solve_cases(net, cases, quantities):
    """Solves each case (number, changes) on one working copy of `net`, putting back the values
    each changed, so that the solver's factorization and last heads carry over. Returns the
    chunk as a few arrays (case numbers, outcomes, passes, messages, and per quantity one row per
    case, NaN where a case did not solve): one block to send back, not a dict per case."""
    work = net.copy()
    count = len(cases)
    widths = {q: len(net.node_ids) if q in NODE_QUANTITIES else len(net.link_ids)
              for q in quantities}
    blocks = {q: numpy.full((count, widths[q]), numpy.nan) for q in quantities}
    numbers = numpy.empty(count, dtype=numpy.int64)
    passes = numpy.zeros(count, dtype=numpy.int64)
    outcomes, messages = [], []
    for row, (case, changes) in enumerate(cases):
        numbers[row] = case
        saved = {name: getattr(work, name) for name in changes}
        try:
            apply_changes(work, changes)
            result = work.solve()
            for q in quantities:
                blocks[q][row] = getattr(result, q)
            passes[row] = len(result.passes)
            outcomes.append("solved")
            messages.append("")
        except AnalysisError as error:
            outcomes.append(error.outcome)
            messages.append(str(error))
        finally:
            for name, values in saved.items():
                setattr(work, name, values)
    return numbers, outcomes, passes, messages, blocks


def _networks(networks_or_paths):
    if isinstance(networks_or_paths, (Network, str, os.PathLike)):
        networks_or_paths = [networks_or_paths]
    return [n if isinstance(n, Network) else read(n) for n in networks_or_paths]


def _cases(networks, changes):
    """(network index, case number, changes) for every case."""
    if changes is None:
        return [(i, i, {}) for i in range(len(networks))]
    changes = list(changes)
    if len(networks) == 1:
        return [(0, case, c) for case, c in enumerate(changes)]
    if len(changes) != len(networks):
        raise ValueError(f"{len(networks)} networks and {len(changes)} changes: give one network, "
                         "or one change per network")
    return [(i, i, c) for i, c in enumerate(changes)]


def local_client(workers=None):
    """A LocalCluster of `workers` processes (default: one per core), one thread each, on the
    loopback address, and its Client. close_client(client) closes both."""
    import distributed

    cluster = distributed.LocalCluster(n_workers=workers or os.cpu_count() or 1,
                                       threads_per_worker=1, processes=True, host="127.0.0.1",
                                       dashboard_address=None)
    return distributed.Client(cluster)


def close_client(client):
    """Closes a Client and the cluster it started (local_client's), waiting for the workers."""
    cluster = client.cluster
    client.close()
    if cluster is not None:
        cluster.close()


def run(networks_or_paths, changes=None, client=None, quantities=QUANTITIES, chunks_per_worker=4):
    """Analyses many cases on a Dask cluster and returns one pandas DataFrame per quantity.

    networks_or_paths: a Network or a file path, or a list of them. changes: None (each network
    once), or a list of dicts for apply_changes (one network: one case per dict; several
    networks: one dict per network). client: a distributed.Client; None starts a local cluster
    of one worker process per core for this call and closes it after.

    Returns a dict: for each of `quantities` a DataFrame indexed by case number (index name
    "case") with one column per node or link ID (NaN for a case that did not solve), and
    "outcomes", indexed the same, with the columns outcome, passes and message."""
    import pandas

    for q in quantities:
        if q not in QUANTITIES:
            raise ValueError(f"unknown quantity {q!r}: give some of {', '.join(QUANTITIES)}")
    networks = _networks(networks_or_paths)
    cases = _cases(networks, changes)
    own_client = client is None
    if own_client:
        client = local_client()
    try:
        workers = max(1, len(client.scheduler_info().get("workers", {})))
        size = max(1, -(-len(cases) // (workers * chunks_per_worker)))
        # Each network is sent to every worker once, not once per task.
        shared = client.scatter(networks, broadcast=True)
        futures = []
        for i, future in enumerate(shared):
            mine = [(case, c) for n, case, c in cases if n == i]
            for start in range(0, len(mine), size):
                futures.append(client.submit(_solve_cases, future, mine[start:start + size],
                                             tuple(quantities), pure=False))
        chunks = client.gather(futures)
    finally:
        if own_client:
            close_client(client)
    numbers = numpy.concatenate([c[0] for c in chunks]) if chunks else numpy.empty(0, numpy.int64)
    order = numpy.argsort(numbers, kind="stable")
    index = pandas.Index(numbers[order], name="case")
    outcomes = numpy.array([o for c in chunks for o in c[1]], dtype=object)
    messages = numpy.array([m for c in chunks for m in c[3]], dtype=object)
    passes = numpy.concatenate([c[2] for c in chunks]) if chunks else numpy.empty(0, numpy.int64)
    frames = {"outcomes": pandas.DataFrame({"outcome": outcomes[order], "passes": passes[order],
                                            "message": messages[order]}, index=index)}
    case_network = {case: n for n, case, _ in cases}
    for q in quantities:
        per_node = q in NODE_QUANTITIES
        if len(networks) == 1:
            ids = networks[0].node_ids if per_node else networks[0].link_ids
            data = numpy.vstack([c[4][q] for c in chunks]) if chunks \
                else numpy.empty((0, len(ids)))
            frames[q] = pandas.DataFrame(data[order], index=index, columns=ids)
            continue
        per_case = []
        for chunk in chunks:
            for row, case in enumerate(chunk[0]):
                net = networks[case_network[int(case)]]
                ids = net.node_ids if per_node else net.link_ids
                per_case.append((int(case), pandas.Series(chunk[4][q][row], index=ids)))
        per_case.sort(key=lambda item: item[0])
        frame = pandas.DataFrame([series for _, series in per_case])
        frame.index = index
        frames[q] = frame
    return frames
