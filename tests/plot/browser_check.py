#!/usr/bin/env python3
"""The HTML page of `pipenet plot` opened in headless Chromium: the screenshot shows each node
in the colour its SVG gives it, at the place its SVG puts it, and the page is not blank; and a
script added to a copy of the page drives the pointer (hover, wheel, drag, the zoom buttons) and
records what the page did, which is checked against the page's own tables.

    browser_check.py PIPENET

Without a chromium this prints why and exits 77 (ctest's skip), except under CI (CI=true),
where a missing browser fails the test.
"""
import html
import json
import math
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


# Appended to a copy of the page: runs after the page's own script, and leaves its findings as
# JSON in an element that --dump-dom prints.
PROBE = r"""<script>
(function () {
  var out = {};
  function centre(element) {
    var r = element.getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2, width: r.width };
  }
  function mouse(target, kind, x, y) {
    target.dispatchEvent(new MouseEvent(kind, { bubbles: true, cancelable: true, clientX: x,
                                               clientY: y, button: 0 }));
  }
  function card() {
    var rows = {};
    document.querySelectorAll('#card tr').forEach(function (tr) {
      rows[tr.children[0].textContent] = tr.children[1].textContent;
    });
    return { hidden: document.getElementById('card').hidden, rows: rows };
  }
  var node = document.querySelector('g.node[data-node="5"] circle');
  var c = centre(node);
  mouse(node, 'mouseover', c.x, c.y);
  out.node = card();
  var pipe = document.querySelector('g.pipe[data-pipe="4"] line');
  var p = centre(pipe);
  mouse(pipe, 'mouseover', p.x, p.y);
  out.pipe = card();
  mouse(document.querySelector('h2'), 'mouseover', 5, 5);
  out.away = card();
  // The wheel over node 5: it grows and stays under the pointer.
  node.dispatchEvent(new WheelEvent('wheel', { bubbles: true, cancelable: true, clientX: c.x,
                                                clientY: c.y, deltaY: -100 }));
  out.wheel = { before: c, after: centre(node) };
  // A drag across the drawing moves it with the pointer.
  var svg = document.querySelector('svg.network');
  var before = centre(node);
  mouse(svg, 'mousedown', 300, 300);
  mouse(svg, 'mousemove', 340, 270);
  mouse(svg, 'mousemove', 380, 330);
  mouse(svg, 'mouseup', 380, 330);
  out.drag = { before: before, after: centre(node) };
  document.querySelector('button[data-zoom="reset"]').click();
  out.reset = centre(node);
  document.querySelector('button[data-zoom="in"]').click();
  out.zoom_in = centre(node);
  var result = document.createElement('pre');
  result.id = 'probe';
  result.textContent = JSON.stringify(out);
  document.body.appendChild(result);
})();
</script>
"""


def probe_page(browser, tmp, page):
    """Hover, wheel, drag and the buttons on a copy of the page; returns a list of failures."""
    text = page.read_text()
    probed = tmp / "probed.html"
    probed.write_text(text.replace("</body>", PROBE + "</body>"))
    done = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu",
                           "--disable-quic", "--no-first-run", "--disable-background-networking",
                           "--disable-component-update", "--disable-sync",
                           f"--user-data-dir={tmp / 'profile-probe'}",
                           "--force-device-scale-factor=1", f"--window-size={WIDTH},{HEIGHT}",
                           "--dump-dom", probed.as_uri()],
                          capture_output=True, text=True, timeout=120)
    found = re.search(r'<pre id="probe">(.*?)</pre>', done.stdout, re.S)
    if not found:
        return [f"the probe left no result (status {done.returncode}): {done.stderr[-1500:]}"]
    out = json.loads(html.unescape(found.group(1)))
    print("probe:", json.dumps(out))
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    # The values the card should show, from the page's tables.
    heads = {int(n): float(h) for n, h in
             re.findall(r'<tr data-node="(\d+)"><td>\d+</td><td>[^<]*</td><td>[^<]*</td>'
                        r'<td>([^<]*)</td>', text)}
    pipes = {int(e): (int(a), int(b), float(q)) for e, a, b, q in
             re.findall(r'<tr data-pipe="(\d+)"><td>\d+</td><td>(\d+)</td><td>(\d+)</td>'
                        r'<td>[^<]*</td><td>[^<]*</td><td>([^<]*)</td>', text)}
    node = out["node"]
    expect(not node["hidden"] and node["rows"].get("node") == "5", f"node card {node}")
    shown = node["rows"].get("head", "nan").split()[0]
    expect(math.isclose(float(shown), heads[5], rel_tol=1e-5),
           f"node 5: card head {shown}, table {heads[5]}")
    card = out["pipe"]
    start, end, discharge = pipes[4]
    expect(not card["hidden"] and card["rows"].get("pipe") == "4" and
           card["rows"].get("from") == str(start) and card["rows"].get("to") == str(end),
           f"pipe card {card}")
    # The head loss is the difference of its ends' heads in the node table.
    loss = float(card["rows"].get("head loss", "nan").split()[0])
    expect(abs(loss - (heads[start] - heads[end])) <= 1e-4 * max(1.0, abs(loss)),
           f"pipe 4: card head loss {loss}, heads {heads[start]} - {heads[end]}")
    expect(math.isclose(float(card["rows"].get("discharge", "nan").split()[0]), discharge,
                        rel_tol=1e-5), f"pipe 4: card discharge, table {discharge}")
    expect(out["away"]["hidden"], "the card stays after the pointer left")
    before, after = out["wheel"]["before"], out["wheel"]["after"]
    expect(abs(after["width"] / before["width"] - 1.25) < 0.02 and
           math.dist((before["x"], before["y"]), (after["x"], after["y"])) < 0.75,
           f"wheel: node 5 {before} became {after}, not 1.25 times larger in place")
    before, after = out["drag"]["before"], out["drag"]["after"]
    expect(abs(after["x"] - before["x"] - 80) < 0.75 and abs(after["y"] - before["y"] - 30) < 0.75,
           f"drag by (80, 30): node 5 moved from {before} to {after}")
    reset, zoomed = out["reset"], out["zoom_in"]
    # The + button zooms about the drawing's middle (390, 360 in the picture's units).
    expect(abs(zoomed["width"] / reset["width"] - 1.25) < 0.02, f"+: {reset} to {zoomed}")
    return failures


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
        probe_failures = probe_page(browser, tmp, page)
        for failure in probe_failures:
            print("WRONG:", failure)
        if sampled < 9 or pipes_checked < 12 or failures or inked < 0.02 or colours < 20 or \
                probe_failures:
            print("FAIL")
            return 1
        print("PASS")
        return 0


if __name__ == "__main__":
    sys.exit(main())
