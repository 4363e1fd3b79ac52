#!/usr/bin/env python3
"""Drives the pipenet C library from Python with ctypes: loads the turbulent example network,
then changes the diameter of pipe 1 step by step and solves again, printing the head at node 2.

    python3 examples/diameter_loop.py [LIBRARY]

LIBRARY is the path of libpipenet.so (default: the one the system finds, e.g. after
`cmake --install`).
"""
import ctypes
import ctypes.util
import pathlib
import sys

PIPENET_OK = 0
PIPENET_TURBULENT = 1


def load_library(path):
    name = path or ctypes.util.find_library("pipenet")
    if name is None:
        sys.exit("libpipenet not found: give its path")
    lib = ctypes.CDLL(name)
    network_p = ctypes.c_void_p
    lib.pipenet_load.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_int,
                                 ctypes.POINTER(network_p)]
    lib.pipenet_load.restype = ctypes.c_int
    lib.pipenet_free.argtypes = [network_p]
    lib.pipenet_free.restype = None
    lib.pipenet_set_diameter.argtypes = [network_p, ctypes.c_int, ctypes.c_double]
    lib.pipenet_set_diameter.restype = ctypes.c_int
    lib.pipenet_solve.argtypes = [network_p]
    lib.pipenet_solve.restype = ctypes.c_int
    lib.pipenet_node_count.argtypes = [network_p]
    lib.pipenet_node_count.restype = ctypes.c_int
    lib.pipenet_heads.argtypes = [network_p, ctypes.POINTER(ctypes.c_double), ctypes.c_size_t]
    lib.pipenet_heads.restype = ctypes.c_int
    lib.pipenet_status_text.argtypes = [ctypes.c_int]
    lib.pipenet_status_text.restype = ctypes.c_char_p
    return lib


def check(lib, status, what):
    if status != PIPENET_OK:
        sys.exit(f"{what}: {lib.pipenet_status_text(status).decode()}")


def main():
    lib = load_library(sys.argv[1] if len(sys.argv) > 1 else None)
    text = (pathlib.Path(__file__).parent / "input-nonlin.dat").read_bytes()
    network = ctypes.c_void_p()
    check(lib, lib.pipenet_load(text, len(text), PIPENET_TURBULENT, ctypes.byref(network)),
          "load")
    try:
        heads = (ctypes.c_double * lib.pipenet_node_count(network))()
        for millimetres in (100, 125, 150, 175, 200, 250):
            check(lib, lib.pipenet_set_diameter(network, 1, millimetres / 1000.0), "diameter")
            check(lib, lib.pipenet_solve(network), "solve")
            check(lib, lib.pipenet_heads(network, heads, len(heads)), "heads")
            print(f"pipe 1 diameter {millimetres / 1000.0:.3f} m: head at node 2 = {heads[1]!r}")
    finally:
        lib.pipenet_free(network)


if __name__ == "__main__":
    main()
