#!/usr/bin/env python3
"""The HTML page of `pipenet plot` opened in headless Chromium: the screenshot shows each node
in the colour its SVG gives it, at the place its SVG puts it, and the page is not blank.

    browser_check.py PIPENET

Without a chromium this prints why and exits 77 (ctest's skip), except under CI (CI=true),
where a missing browser fails the test.
"""
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib

SOURCE = pathlib.Path(__file__).resolve().parents[2]
SVG = "{http://www.w3.org/2000/svg}"
WIDTH, HEIGHT = 960, 900


def read_png(path):
    """(width, height, rows of (r, g, b)) of an 8-bit, non-interlaced RGB or RGBA PNG."""
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour in (2, 6) and interlace == 0, "unexpected PNG form"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else
                                      up if pb <= pc else corner)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def chromium():
    for name in ("chromium", "chromium-browser"):
        found = shutil.which(name)
        if found:
            return found
    return None


def main():
    pipenet = os.path.abspath(sys.argv[1])
    browser = chromium()
    if browser is None:
        if os.environ.get("CI", "").lower() in ("1", "true", "yes"):
            print("FAIL: no chromium on this machine; .ci/run installs it")
            return 1
        print("SKIP: no chromium on this machine (apt-get install -y chromium)")
        return 77
    with tempfile.TemporaryDirectory() as folder:
        tmp = pathlib.Path(folder)
        shutil.copy(SOURCE / "examples" / "input-lin.dat", tmp)
        page = tmp / "net.html"
        subprocess.run([pipenet, "plot", "input-lin.dat", "-o", str(page)], cwd=tmp, check=True,
                       timeout=60)
        svg = re.search(r"<svg.*?</svg>", page.read_text(), re.S).group(0)
        root = ET.fromstring(svg)
        shot = tmp / "shot.png"
        command = [browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                   "--no-first-run", "--disable-background-networking",
                   "--disable-component-update", "--disable-sync",
                   f"--user-data-dir={tmp / 'profile'}", "--force-device-scale-factor=1",
                   "--hide-scrollbars", f"--screenshot={shot}",
                   f"--window-size={WIDTH},{HEIGHT}", page.as_uri()]
        done = subprocess.run(command, capture_output=True, text=True, timeout=120)
        if not shot.exists():
            print(f"FAIL: chromium wrote no screenshot (status {done.returncode})\n"
                  f"{done.stderr[-2000:]}")
            return 1
        width, height, rows = read_png(shot)
        print(f"screenshot {width}x{height} from {pathlib.Path(browser).name}")
        failures = 0
        sampled = 0
        for group in root.iter(SVG + "g"):
            if "node" not in group.get("class", "").split():
                continue
            shape = group.find(SVG + "circle")
            if shape is None:
                shape = group.find(SVG + "rect")
                x = float(shape.get("x")) + float(shape.get("width")) / 2
                y = float(shape.get("y")) + float(shape.get("height")) / 2
            else:
                x, y = float(shape.get("cx")), float(shape.get("cy"))
            fill = shape.get("fill")
            expected = tuple(int(fill[i:i + 2], 16) for i in (1, 3, 5))
            got = rows[round(y - 0.5)][round(x - 0.5)]
            close = all(abs(a - b) <= 3 for a, b in zip(got, expected))
            sampled += 1
            failures += not close
            print(f"node {group.get('data-node')} at ({x:.1f}, {y:.1f}): expected {fill}, "
                  f"screen #{got[0]:02x}{got[1]:02x}{got[2]:02x} {'ok' if close else 'WRONG'}")
        # Each pipe's drawn width, counted across the line a quarter of the way along it.
        pipes_checked = 0
        for group in root.iter(SVG + "g"):
            if "pipe" not in group.get("class", "").split():
                continue
            line = group.find(SVG + "line")
            x1, y1, x2, y2 = (float(line.get(a)) for a in ("x1", "y1", "x2", "y2"))
            stroke = float(line.get("stroke-width"))
            qx, qy = x1 + (x2 - x1) / 4, y1 + (y2 - y1) / 4
            # Rows across a horizontal pipe, columns across a vertical one.
            across = [(round(qx), round(qy) + d) if y1 == y2 else (round(qx) + d, round(qy))
                      for d in range(-12, 13)] if (x1 == x2 or y1 == y2) else []
            if not across:
                continue
            dark = sum(1 for px, py in across
                       if all(abs(c - 0x4d) <= 60 for c in rows[py][px]))
            close = abs(dark - stroke) <= 1.5
            pipes_checked += 1
            failures += not close
            print(f"pipe {group.get('data-pipe')}: width {stroke:g}, {dark} pixels across "
                  f"{'ok' if close else 'WRONG'}")
        white = sum(1 for line in rows for pixel in line if pixel == (255, 255, 255))
        colours = len({pixel for line in rows[::4] for pixel in line[::4]})
        inked = 1 - white / (width * height)
        print(f"{sampled} nodes sampled, {failures} wrong; {inked:.1%} of the page inked, "
              f"{colours} distinct colours")
        if sampled < 9 or pipes_checked < 12 or failures or inked < 0.02 or colours < 20:
            print("FAIL")
            return 1
        print("PASS")
        return 0


if __name__ == "__main__":
    sys.exit(main())
