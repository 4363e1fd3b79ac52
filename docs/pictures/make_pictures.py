#!/usr/bin/env python3
"""The pictures in the README and docs/plot.md, drawn by pipenet plot.

    make_pictures.py PIPENET            write the SVGs here, and the PNG screenshots (chromium)
    make_pictures.py PIPENET --check    fail when a committed SVG differs from what PIPENET draws
"""
import filecmp
import pathlib
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
EXAMPLES = HERE.parents[1] / "examples"
# picture name: (input file, program, pipenet plot options)
PICTURES = {
    "input-lin": (EXAMPLES / "input-lin.dat", "lamnet", []),
    "input-nonlin": (EXAMPLES / "input-nonlin.dat", "turbnet", []),
    "floating-group": (HERE / "floating-group.dat", "lamnet", []),
    "wide-band": (HERE / "wide-band.dat", "lamnet", ["--band"]),
    "pump-station": (HERE.parent / "examples" / "pumps" / "station.inp", None, []),
    "valve-district": (HERE.parent / "examples" / "valves" / "district.inp", None, []),
}


def draw(pipenet, folder, name, extension):
    source, program, options = PICTURES[name]
    shutil.copy(source, folder / source.name)
    out = folder / f"{name}.{extension}"
    kind = ["--program", program] if program else []  # a .inp file says what it is
    done = subprocess.run([pipenet, "plot", source.name, *kind, "-o", out.name, *options],
                          cwd=folder)
    # The floating group is drawn to show a network that does not solve: status 1.
    if done.returncode != (1 if name == "floating-group" else 0):
        raise SystemExit(f"pipenet plot {name}: status {done.returncode}")
    return out


def screenshot(page, png, height):
    with tempfile.TemporaryDirectory() as profile:
        subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu",
                        "--disable-quic", "--no-first-run", "--disable-background-networking",
                        "--disable-component-update", "--disable-sync",
                        f"--user-data-dir={profile}", "--force-device-scale-factor=1",
                        "--hide-scrollbars", f"--screenshot={png}",
                        f"--window-size=960,{height}", page.as_uri()],
                       check=True, capture_output=True, timeout=120)


def main():
    pipenet = str(pathlib.Path(sys.argv[1]).resolve())
    check = sys.argv[2:] == ["--check"]
    stale = []
    with tempfile.TemporaryDirectory() as tmp:
        folder = pathlib.Path(tmp)
        for name in PICTURES:
            svg = draw(pipenet, folder, name, "svg")
            if check:
                if not (HERE / svg.name).exists() or not filecmp.cmp(svg, HERE / svg.name, False):
                    stale.append(svg.name)
                continue
            shutil.copy(svg, HERE / svg.name)
            page = draw(pipenet, folder, name, "html")
            height = 1240 if "--band" in PICTURES[name][2] else 720
            screenshot(page, HERE / f"{name}.png", height)
    if stale:
        print(f"out of step with pipenet plot: {', '.join(stale)}; run "
              f"docs/pictures/make_pictures.py PIPENET")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
