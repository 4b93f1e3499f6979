#!/usr/bin/python3
"""Draws the installer's pictures, in the colours of the plug-in's own:
the icon, a cutter's blade holder part way round a heart on an orange tile,
and the side picture of the welcome and finish pages.

    /usr/bin/python3 installer/artwork.py OUTDIR   writes OUTDIR/vantrel.ico and OUTDIR/sidebar.bmp

Every icon size is drawn on its own (supersampled, then reduced with an area
filter), so the small sizes stay sharp instead of being shrunk from 256.
"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "resources", "images"))

from generate import Canvas, ORANGE, ORANGE_DARK, SLATE, rgba  # noqa: E402

SIZES = (16, 24, 32, 48, 64, 256)
WHITE = (255, 255, 255)


def heart(s, first, last):
    """Points of a heart outline between the fractions `first` and `last` of
    its length, starting at the dip on top, filling the middle of the tile."""
    points = []
    steps = 120
    for i in range(steps + 1):
        t = 2 * math.pi * (first + (last - first) * i / steps)
        x = 16 * math.sin(t) ** 3
        y = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
        points.append((s * (0.5 + x / 46.0), s * (0.46 - y / 46.0)))
    return points


def dashes(points, on, off):
    """Splits a polyline into dashes `on` long with gaps `off` long."""
    out, current, run = [], [], 0.0
    for i, p in enumerate(points):
        if i:
            x0, y0 = points[i - 1]
            run += math.hypot(p[0] - x0, p[1] - y0)
        if run % (on + off) < on:
            current.append(p)
        elif current:
            if len(current) > 1:
                out.append(current)
            current = []
    if len(current) > 1:
        out.append(current)
    return out


def icon(s):
    c = Canvas(s, s)
    pad = max(0.5, s * 0.03)
    c.gradient_rounded(pad, pad, s - pad, s - pad, s * 0.2, rgba(ORANGE), rgba(ORANGE_DARK))
    width = max(1.3, s * 0.06)
    # The blade has cut most of a heart; the rest of the design waits, dashed.
    split = 0.72
    c.line(heart(s, 0.0, split), rgba(WHITE), width)
    if s >= 32:
        for piece in dashes(heart(s, split, 1.0), s * 0.05, s * 0.045):
            c.line(piece, rgba(WHITE, 190), width * 0.7)
    # The blade holder seen from above, where the cut has got to.
    hx, hy = heart(s, split, split)[0]
    r = max(2.2, s * 0.13)
    c.ellipse(hx, hy, r, fill=rgba(SLATE))
    c.ellipse(hx, hy, r * 0.6, fill=rgba((150, 158, 168)))
    c.ellipse(hx, hy, max(0.8, r * 0.25), fill=rgba(WHITE))
    return c.result()


def sidebar():
    """The welcome and finish pages' picture: 164 x 314, as the wizard wants it."""
    w, h = 164, 314
    c = Canvas(w, h)
    c.gradient_rounded(0, 0, w, h, 0, rgba((70, 76, 88)), rgba(SLATE))
    picture = c.result()
    mark = icon(112)
    picture.alpha_composite(mark, ((w - 112) // 2, 56))
    return picture.convert("RGB")


def main(argv):
    if len(argv) != 1:
        print(__doc__.strip().splitlines()[4].strip(), file=sys.stderr)
        return 2
    out = argv[0]
    images = [icon(s) for s in SIZES]
    # The largest first; the others are stored as drawn, not resampled.
    images[-1].save(os.path.join(out, "vantrel.ico"), format="ICO", sizes=[(s, s) for s in SIZES],
                    append_images=images[:-1])
    sidebar().save(os.path.join(out, "sidebar.bmp"), format="BMP")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
