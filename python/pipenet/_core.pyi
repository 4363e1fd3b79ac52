"""pipenet's network model and its double-precision analysis (compiled part)."""
from typing import Optional, Sequence

import numpy
import numpy.typing

__version__: str

_Array = numpy.typing.NDArray[numpy.float64]
_ArrayLike = numpy.typing.ArrayLike

class Message:
    """A finding: severity (note, warning, error), a stable code and a text."""

    severity: str
    code: str
    text: str

class Result:
    """The results of a solved network, as numpy arrays indexed like node_ids and link_ids."""

    outcome: str
    node_ids: list[str]
    link_ids: list[str]
    max_imbalance: float
    @property
    def heads(self) -> _Array:
        """Head at each node (length unit); NaN at a node joined to no known head."""
    @property
    def pressures(self) -> _Array:
        """Head minus elevation (length of water); NaN where the file gives no elevations."""
    @property
    def nodal_discharges(self) -> _Array:
        """Net discharge at each node: what its links carry away; at a known head, what the
        source supplies."""
    @property
    def balance_errors(self) -> _Array:
        """Computed minus given discharge at each free node; NaN at a known head."""
    @property
    def flows(self) -> _Array:
        """Discharge of each link from its start node to its end node."""
    @property
    def velocities(self) -> _Array:
        """Flow over the cross-section of each link."""
    @property
    def passes(self) -> list[dict[str, float]]:
        """One dict per Newton pass: pass, max_imbalance, max_head_change, step."""
    @property
    def warnings(self) -> list[Message]:
        """The findings of the analysis and its plausibility checks."""
    def to_pandas(self) -> tuple["pandas.DataFrame", "pandas.DataFrame"]:  # noqa: F821
        """(nodes, links): DataFrames indexed by node ID (head, pressure, nodal_discharge,
        balance_error) and by link ID (flow, velocity)."""

class Network:
    """A pipe network: nodes and links by ID, values settable by ID or as arrays, analysed by
    solve(). Copy and pickle it freely."""

    @property
    def file(self) -> str: ...
    @property
    def kind(self) -> str:
        """'inp', 'lamnet' or 'turbnet': the law and the file it was read from."""
    @property
    def units(self) -> tuple[str, str]:
        """(length unit, discharge unit)."""
    @property
    def node_ids(self) -> list[str]: ...
    @property
    def link_ids(self) -> list[str]: ...
    @property
    def read_messages(self) -> list[Message]:
        """Warnings and notes of the reader."""
    def node_index(self, id: str) -> int:
        """The array position of a node ID (KeyError when there is none)."""
    def link_index(self, id: str) -> int:
        """The array position of a link ID (KeyError when there is none)."""
    def set_diameter(self, link: str, value: float) -> None: ...
    def set_roughness(self, link: str, value: float) -> None:
        """The Hazen-Williams coefficient of a link."""
    def set_demand(self, node: str, value: float) -> None:
        """The discharge drawn off at a node (negative: supplied)."""
    def set_elevation(self, node: str, value: float) -> None: ...
    def set_known_head(self, node: str, value: Optional[float]) -> None:
        """Hold a node at a head (a reservoir), or release it with None."""
    diameters: _Array
    """Diameter of each link (a copy; assign a whole array to change them)."""
    roughness: _Array
    """Hazen-Williams coefficient of each link."""
    @property
    def lengths(self) -> _Array: ...
    demands: _Array
    """Discharge drawn off at each node (negative: supplied)."""
    elevations: _Array
    known_heads: _Array
    """Known head of each node; NaN where the head is to be found."""
    flow_tolerance: float
    """Largest imbalance allowed at a free node (discharge unit)."""
    head_tolerance: float
    """Largest head change of the last pass (length unit)."""
    max_passes: int
    """The iteration limit: Newton passes before the analysis gives up."""
    def solve(self) -> Result:
        """Analyse the network as it stands; raises AnalysisError when it is not solved. The
        GIL is released meanwhile."""
    def copy(self) -> "Network": ...
    def __copy__(self) -> "Network": ...
    def __deepcopy__(self, memo: dict) -> "Network": ...

def parse(text: str, kind: str, time: int = 0, file: str = "<text>") -> Network: ...
def looks_like_inp(text: str) -> bool: ...
