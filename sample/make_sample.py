#!/usr/bin/env python3
"""Writes the bundled sample: a meandering river in a valley, 60 lines x 80 columns.

images/rio1/ receives
  valle_m4.raw/.txt  slope model, 32-bit elevations falling along the valley (pixel size 10)
  bar.raw/.txt       railing: the two river banks, tone 255
  cauce.raw/.txt     channel zone: the floodplain from the banks' outer sides to the contour, tone 255
  curva.raw/.txt     limiting contour line around the channel zone, tone 255
  lago.raw/.txt      perimeter of a small pond on the floodplain, tone 255

Standard library only; the output is the same on every run.
"""
import math
import os
import struct

LINES, COLUMNS = 60, 80
PIXEL_SIZE = 10
BANK_HALF_WIDTH = 3     # the banks lie this far from the river's centre line
CONTOUR_DISTANCE = 13   # the limiting contour lies this far from it
TONE = 255
POND_COLUMN, POND_RADIUS = 58, 2.2


def centre(j):
    """Line of the river's centre at column j: one and a half meanders across the image."""
    return round(30 + 8 * math.sin(2 * math.pi * 1.5 * j / COLUMNS))


def draw_offset_line(grid, offset):
    """Marks the line at `offset` from the centre, joined between columns so it has no gap."""
    for j in range(COLUMNS):
        here = centre(j) + offset
        before = centre(j - 1) + offset if j > 0 else here
        for i in range(min(here, before), max(here, before) + 1):
            grid[i][j] = TONE


def blank():
    return [[0] * COLUMNS for _ in range(LINES)]


def write_mask(folder, name, grid):
    with open(os.path.join(folder, name + ".raw"), "wb") as raw:
        raw.write(bytes(v for row in grid for v in row))
    with open(os.path.join(folder, name + ".txt"), "w", newline="\n") as descriptor:
        descriptor.write(f"{LINES}\n{COLUMNS}\n")


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "images", "rio1")
    os.makedirs(folder, exist_ok=True)

    # The river falls from about 140 to 100 along the valley and the valley
    # sides rise gently away from it.
    elevation = [[round(140 - 40 * j / (COLUMNS - 1) + 0.5 * abs(i - centre(j))) for j in range(COLUMNS)]
                 for i in range(LINES)]
    values = [v for row in elevation for v in row]
    with open(os.path.join(folder, "valle_m4.raw"), "wb") as raw:
        raw.write(struct.pack(f"<{len(values)}i", *values))
    with open(os.path.join(folder, "valle_m4.txt"), "w", newline="\n") as descriptor:
        descriptor.write(f"{LINES}\n{COLUMNS}\n4\n{min(values)}\n{max(values)}\n{PIXEL_SIZE}\n")

    railing = blank()
    draw_offset_line(railing, -BANK_HALF_WIDTH)
    draw_offset_line(railing, BANK_HALF_WIDTH)
    write_mask(folder, "bar", railing)

    contour = blank()
    draw_offset_line(contour, -CONTOUR_DISTANCE)
    draw_offset_line(contour, CONTOUR_DISTANCE)
    write_mask(folder, "curva", contour)

    # A pond on the floodplain below the river, clear of the banks; its water
    # and its shore are not part of the channel zone.
    pond = blank()
    pond_j = POND_COLUMN
    pond_i = centre(pond_j) + BANK_HALF_WIDTH + 5
    in_pond = [[math.hypot(i - pond_i, j - pond_j) < POND_RADIUS + 0.5 for j in range(COLUMNS)]
               for i in range(LINES)]
    for i in range(LINES):
        for j in range(COLUMNS):
            if abs(math.hypot(i - pond_i, j - pond_j) - POND_RADIUS) < 0.5:
                pond[i][j] = TONE
    write_mask(folder, "lago", pond)

    channel = blank()
    for j in range(COLUMNS):
        for i in range(LINES):
            between = BANK_HALF_WIDTH < abs(i - centre(j)) < CONTOUR_DISTANCE
            if between and not railing[i][j] and not contour[i][j] and not in_pond[i][j]:
                channel[i][j] = TONE
    write_mask(folder, "cauce", channel)


if __name__ == "__main__":
    main()
