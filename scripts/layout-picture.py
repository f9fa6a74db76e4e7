#!/usr/bin/env python3
"""Draws the folders and who may use whom, as docs/architecture.svg.

The floors and arrows below are those docs/architecture.md lists; a folder
stands above every folder it may use, and an arrow runs from user to used.

    python3 scripts/layout-picture.py [--out docs/architecture.svg]
"""
import argparse
from xml.sax.saxutils import escape

# Floors from the top down: (folder, what it keeps to, centre x), one row each.
FLOORS = [
    [("tools/", "the command line", 250), ("python/", "module, Blender add-on", 650)],
    [("host/check/", "kestrin check", 110), ("drive/", "plug-ins as users set them", 450)],
    [("host/session/", "the drivers' one door", 250), ("formats/", "files, no simulator", 700)],
    [("host/", "the simulator", 100), ("weighttool/", "Strainmark", 280), ("grainmark/", "Grainmark", 460),
     ("morpher/", "Rimshaper", 640), ("tangentspace/", "the provider", 820)],
    [("mesh/", "via the host; polygons.h", 300), ("framework/", "host interface, lists", 620)],
    [("measure/", "the curve; uses nothing", 450)],
]

# (user, used): the arrows the build allows. The plug-ins' arrows to
# framework/ and mesh/ are compiled in; the rest link libraries.
ARROWS = [
    ("tools/", "drive/"), ("python/", "drive/"), ("tools/", "formats/"), ("python/", "formats/"),
    ("tools/", "host/check/"), ("tools/", "measure/"), ("tools/", "host/session/"), ("python/", "host/session/"),
    ("drive/", "host/session/"), ("drive/", "formats/"),
    ("host/session/", "host/"), ("host/check/", "host/"),
    ("host/", "framework/"), ("host/", "mesh/"),
    ("weighttool/", "framework/"), ("grainmark/", "framework/"), ("morpher/", "framework/"),
    ("tangentspace/", "framework/"), ("weighttool/", "mesh/"), ("grainmark/", "mesh/"), ("morpher/", "mesh/"),
    ("weighttool/", "measure/"), ("grainmark/", "measure/"), ("morpher/", "measure/"),
    ("framework/", "measure/"), ("formats/", "framework/"), ("formats/", "mesh/"),
]

WIDTH, BOX_W, BOX_H, FLOOR_H, TOP = 920, 170, 46, 86, 20


def boxes():
    """Each folder's box: its centre x and top y."""
    places = {}
    for row, floor in enumerate(FLOORS):
        for folder, _, x in floor:
            places[folder] = (x, TOP + row * FLOOR_H)
    return places


def draw():
    places = boxes()
    height = TOP + len(FLOORS) * FLOOR_H
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{height}" '
           'font-family="sans-serif" font-size="12">',
           f'<rect width="{WIDTH}" height="{height}" fill="white"/>',
           '<defs><marker id="head" markerWidth="8" markerHeight="8" refX="7" refY="4" orient="auto">'
           '<path d="M0,0 L8,4 L0,8 z" fill="#667"/></marker></defs>']
    for user, used in ARROWS:
        (x1, y1), (x2, y2) = places[user], places[used]
        out.append(f'<line x1="{x1:.0f}" y1="{y1 + BOX_H}" x2="{x2:.0f}" y2="{y2}" stroke="#99a" '
                   'marker-end="url(#head)"/>')
    for floor in FLOORS:
        for folder, rule, _ in floor:
            x, y = places[folder]
            out.append(f'<rect x="{x - BOX_W / 2:.0f}" y="{y}" width="{BOX_W}" height="{BOX_H}" rx="6" '
                       'fill="#eef3fa" stroke="#557"/>')
            out.append(f'<text x="{x:.0f}" y="{y + 19}" text-anchor="middle" font-weight="bold">'
                       f'{escape(folder)}</text>')
            out.append(f'<text x="{x:.0f}" y="{y + 36}" text-anchor="middle" fill="#445">{escape(rule)}</text>')
    out.append('</svg>')
    return '\n'.join(out) + '\n'


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default="docs/architecture.svg")
    args = parser.parse_args()
    with open(args.out, "w", encoding="utf-8") as file:
        file.write(draw())


if __name__ == "__main__":
    main()
