"""pipenet: steady flow in pipe networks from Python.

    import pipenet
    net = pipenet.read("network.inp")          # or a lamnet / turbnet input file
    net.set_diameter("P7", 0.25)               # by ID, or net.diameters = array
    result = net.solve()                       # GIL released while the engine works
    result.heads, result.flows                 # numpy arrays, like net.node_ids / net.link_ids
    nodes, links = result.to_pandas()          # DataFrames indexed by ID

Many analyses on a Dask cluster: pipenet.batch.run.
"""
import os

from ._core import Message, Network, Result, __version__, looks_like_inp
from ._core import parse as _parse
from ._errors import AnalysisError, PipenetError, ReadError

__all__ = ["AnalysisError", "Message", "Network", "PipenetError", "ReadError", "Result",
           "__version__", "parse", "read"]

_KINDS = ("inp", "lamnet", "turbnet")
_PROGRAM_FILES = {"input-lin.dat": "lamnet", "input-nonlin.dat": "turbnet"}


def parse(text, kind=None, time=0, file="<text>"):
    """Reads a network from the text of a file.

    kind: 'inp' (a .inp file), 'lamnet' (laminar fixed-column records, input-lin.dat) or
    'turbnet' (turbulent records, input-nonlin.dat); None takes a text whose first line is a
    [SECTION] header for a .inp file. time: for .inp files, the period (seconds after the start)
    whose demand and head multipliers apply. Raises ReadError when the text holds no network."""
    if kind is None:
        if not looks_like_inp(text):
            raise ValueError("the text is not a .inp file: give kind='lamnet' or kind='turbnet'")
        kind = "inp"
    return _parse(text, kind, int(time), str(file))


def read(path, kind=None, time=0):
    """Reads a network from a file (see parse). kind None: a .inp file by its name or its first
    line, a lamnet or turbnet file by its name (input-lin.dat, input-nonlin.dat)."""
    path = os.fspath(path)
    with open(path, encoding="utf-8", errors="replace") as stream:
        text = stream.read()
    if kind is None:
        kind = _PROGRAM_FILES.get(os.path.basename(path))
        if kind is None and (path.lower().endswith(".inp") or looks_like_inp(text)):
            kind = "inp"
        if kind is None:
            raise ValueError(f"{path}: cannot tell the kind of file: give kind='inp', "
                             "'lamnet' or 'turbnet'")
    return parse(text, kind, time, path)


def _to_pandas(self):
    """The results as two pandas DataFrames: nodes (head, pressure, nodal_discharge,
    balance_error) indexed by node ID, links (flow, velocity) indexed by link ID."""
    import pandas

    nodes = pandas.DataFrame(
        {"head": self.heads, "pressure": self.pressures,
         "nodal_discharge": self.nodal_discharges, "balance_error": self.balance_errors},
        index=pandas.Index(self.node_ids, name="node"))
    links = pandas.DataFrame({"flow": self.flows, "velocity": self.velocities},
                             index=pandas.Index(self.link_ids, name="link"))
    return nodes, links


Result.to_pandas = _to_pandas
