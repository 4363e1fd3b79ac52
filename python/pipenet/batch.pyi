"""Many analyses on a Dask cluster: one machine's cores, or any distributed.Client."""
import os
from typing import Any, Iterable, Mapping, Optional, Sequence, Union

import distributed
import pandas

from . import Network

NODE_QUANTITIES: tuple[str, ...]
LINK_QUANTITIES: tuple[str, ...]
QUANTITIES: tuple[str, ...]
CHANGES: dict[str, str]

_Source = Union[Network, str, os.PathLike[str]]

def apply_changes(net: Network, changes: Mapping[str, Any]) -> None:
    """Sets whole arrays, or {ID: value} dicts, of diameters, roughness, demands, elevations,
    known_heads."""

def local_client(workers: Optional[int] = None) -> distributed.Client:
    """A LocalCluster of worker processes (default one per core) on the loopback address."""

def close_client(client: distributed.Client) -> None:
    """Closes a Client and the cluster it started, waiting for the workers."""

def run(networks_or_paths: Union[_Source, Sequence[_Source]],
        changes: Optional[Iterable[Mapping[str, Any]]] = None,
        client: Optional[distributed.Client] = None,
        quantities: Sequence[str] = ...,
        chunks_per_worker: int = 4) -> dict[str, pandas.DataFrame]:
    """One DataFrame per quantity (index: case, columns: IDs) and 'outcomes'."""
