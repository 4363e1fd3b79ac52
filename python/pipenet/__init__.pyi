"""pipenet: steady flow in pipe networks from Python."""
import os
from typing import Optional, Union

from ._core import Message as Message
from ._core import Network as Network
from ._core import Result as Result
from ._core import __version__ as __version__
from ._core import looks_like_inp as looks_like_inp
from ._errors import AnalysisError as AnalysisError
from ._errors import PipenetError as PipenetError
from ._errors import ReadError as ReadError

def parse(text: str, kind: Optional[str] = None, time: int = 0, file: str = "<text>") -> Network:
    """Reads a network from the text of a file: kind 'inp', 'lamnet' or 'turbnet' (None: a .inp
    text by its first line). Raises ReadError when the text holds no network."""

def read(path: Union[str, os.PathLike[str]], kind: Optional[str] = None, time: int = 0) -> Network:
    """Reads a network from a file; kind None tells it by the file's name or first line."""
