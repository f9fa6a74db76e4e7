#!/usr/bin/env python3
"""Draws Strainmark's weight against the edge-length ratio, for a few
settings, as docs/weight_curve.svg.

The numbers come from the real plug-in: for each ratio r the rest mesh scaled
by r is a pose (every edge r times its rest length), and `kestrin weights`
weighs them all in one run per setting. Only the drawing is done here.

    python3 scripts/plot-weight-curve.py [--kestrin build/x64/tools/kestrin] [--out docs/weight_curve.svg]
"""
import argparse
import csv
import math
import os
import subprocess
import tempfile

# (label, options, colour, dash): a colour of its own for each curve (a test
# holds the figure to that). Curves that lie on others are dashed and drawn
# after them, so that both show.
CURVES = [
    ("defaults (exponent 0.2, multipliers 0.5, clamp on)", [], "#1f4e9c", ""),
    ("--exponent 0.1: the plain sine ramp", ["--exponent", "0.1"], "#2e8b57", ""),
    ("--pre-multiplier 1: saturates at 1.41x and 0.71x", ["--pre-multiplier", "1"], "#8e44ad", ""),
    ("--post-multiplier 0.75 --clamp off: beyond 1", ["--post-multiplier", "0.75", "--clamp", "off"], "#c0392b", ""),
    ("defaults with --clamp off: the same curve", ["--clamp", "off"], "#e08a1e", "6,5"),
    ("--post-multiplier 0.75 (clamp on): the one above, held at 1", ["--post-multiplier", "0.75"], "#17a2b8", "3,3"),
]
RATIOS = [2.0 ** (k / 40.0) for k in range(-80, 81)]  # 0.25 to 4, evenly in log2

# A unit square of two triangles: every point's mean edge length scales with the mesh.
SQUARE = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]
FACES = "f 1 2 3\nf 1 3 4\n"


def write_obj(path, scale):
    with open(path, "w") as f:
        for x, y, z in SQUARE:
            f.write(f"v {x * scale!r} {y * scale!r} {z * scale!r}\n")
        f.write(FACES)


def weights(kestrin, folder, options):
    poses = []
    for i, r in enumerate(RATIOS):
        poses.append(os.path.join(folder, f"pose_{i:04d}.obj"))
        write_obj(poses[-1], r)
    out = os.path.join(folder, "w_####.csv")
    subprocess.run([kestrin, "weights", "--rest", os.path.join(folder, "rest.obj"), "--pose", *poses,
                    "-o", out, *options], check=True, stdout=subprocess.DEVNULL)
    values = []
    for i in range(len(RATIOS)):
        with open(os.path.join(folder, f"w_{i + 1:04d}.csv")) as f:
            rows = list(csv.reader(f))[1:]
        values.append(float(rows[0][1]))
    return values


def svg(curves):
    width, height = 720, 430
    left, right, top, bottom = 60, 20, 20, 150
    plot_w, plot_h = width - left - right, height - top - bottom
    y_low, y_high = -2.5, 2.5

    def px(r):
        return left + (math.log2(r) + 2.0) / 4.0 * plot_w

    def py(w):
        return top + (y_high - max(y_low, min(y_high, w))) / (y_high - y_low) * plot_h

    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
             f'font-family="sans-serif" font-size="12">',
             f'<rect width="{width}" height="{height}" fill="white"/>']
    for r in (0.25, 0.5, 0.71, 1, 1.41, 2, 4):
        parts.append(f'<line x1="{px(r):.1f}" y1="{top}" x2="{px(r):.1f}" y2="{top + plot_h}" stroke="#ddd"/>')
        parts.append(f'<text x="{px(r):.1f}" y="{top + plot_h + 16}" text-anchor="middle">{r:g}</text>')
    for w in (-2, -1, 0, 1, 2):
        colour = "#999" if w == 0 else "#ddd"
        parts.append(f'<line x1="{left}" y1="{py(w):.1f}" x2="{left + plot_w}" y2="{py(w):.1f}" stroke="{colour}"/>')
        parts.append(f'<text x="{left - 8}" y="{py(w) + 4:.1f}" text-anchor="end">{w:+d}</text>'.replace(">+0<", ">0<"))
    parts.append(f'<text x="{left + plot_w / 2}" y="{top + plot_h + 34}" text-anchor="middle">'
                 'edge-length ratio (current / rest mean edge length), log scale</text>')
    parts.append(f'<text transform="translate(16,{top + plot_h / 2}) rotate(-90)" text-anchor="middle">weight</text>')
    for label, _, colour, dash, values in curves:
        points = " ".join(f"{px(r):.1f},{py(w):.1f}" for r, w in zip(RATIOS, values))
        dashing = f' stroke-dasharray="{dash}"' if dash else ""
        parts.append(f'<polyline points="{points}" fill="none" stroke="{colour}" stroke-width="2"{dashing}/>')
    for i, (label, _, colour, dash, _) in enumerate(curves):
        y = top + plot_h + 56 + 16 * i
        dashing = f' stroke-dasharray="{dash}"' if dash else ""
        parts.append(f'<line x1="{left}" y1="{y - 4}" x2="{left + 30}" y2="{y - 4}" stroke="{colour}" '
                     f'stroke-width="2"{dashing}/>')
        parts.append(f'<text x="{left + 38}" y="{y}">{label}</text>')
    parts.append("</svg>\n")
    return "\n".join(parts)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--kestrin", default=os.path.join(root, "build/x64/tools/kestrin"))
    parser.add_argument("--out", default=os.path.join(root, "docs/weight_curve.svg"))
    args = parser.parse_args()
    curves = []
    with tempfile.TemporaryDirectory() as folder:
        write_obj(os.path.join(folder, "rest.obj"), 1.0)
        for label, options, colour, dash in CURVES:
            curves.append((label, options, colour, dash, weights(args.kestrin, folder, options)))
    with open(args.out, "w") as f:
        f.write(svg(curves))


if __name__ == "__main__":
    main()
