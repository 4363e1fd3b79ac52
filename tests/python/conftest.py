"""Paths the tests share: the source tree, and the C library as built (PIPENET_LIBRARY)."""
import os
import pathlib

import pytest

SOURCE = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def source():
    return SOURCE


@pytest.fixture(scope="session")
def c_library():
    path = os.environ.get("PIPENET_LIBRARY")
    if not path:
        pytest.skip("PIPENET_LIBRARY names no C library")
    return path
