#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Compares the Windows build's pictures of its windows with the Linux ones.

Both runs must picture the same windows. Each Windows picture must be painted
(not one colour, not black) and, unless --only-paint, have the Linux one's
size within --tolerance pixels each way. Prints one line per window and
exits 1 if any is wrong.
"""
import argparse
import pathlib
import sys

from PIL import Image, ImageStat


def painted(image):
    """Why the picture is not a painted window, or None when it is."""
    rgb = image.convert("RGB")
    small = rgb.resize((max(1, rgb.width // 4), max(1, rgb.height // 4)))
    colours = small.getcolors(small.width * small.height)
    dominant = max(count for count, _ in colours)
    if dominant >= 0.99 * small.width * small.height:
        return "one colour"
    if sum(ImageStat.Stat(rgb.convert("L")).mean) < 30:
        return "black"
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("linux")
    parser.add_argument("windows")
    parser.add_argument("--tolerance", type=int, default=4)
    parser.add_argument("--only-paint", action="store_true",
                        help="check that the same windows are painted, not their sizes")
    args = parser.parse_args()

    linux = {p.name: p for p in pathlib.Path(args.linux).glob("*.png")}
    windows = {p.name: p for p in pathlib.Path(args.windows).glob("*.png")}
    failed = False
    if not linux:
        print(f"FAIL no pictures in {args.linux}")
        return 1
    for name in sorted(linux.keys() | windows.keys()):
        if name not in windows:
            print(f"FAIL {name}: missing on Windows")
            failed = True
            continue
        if name not in linux:
            print(f"FAIL {name}: only on Windows")
            failed = True
            continue
        with Image.open(linux[name]) as lin, Image.open(windows[name]) as win:
            problem = painted(win)
            dw, dh = win.width - lin.width, win.height - lin.height
            if problem is None and not args.only_paint and (
                    abs(dw) > args.tolerance or abs(dh) > args.tolerance):
                problem = f"size differs by {dw:+d}x{dh:+d}"
            state = "ok  " if problem is None else "FAIL"
            print(f"{state} {name}: Linux {lin.width}x{lin.height}, "
                  f"Windows {win.width}x{win.height}" + (f" ({problem})" if problem else ""))
            failed |= problem is not None
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
