#!/usr/bin/env python3
"""Makes a long valley for the hydrology check: a river that meanders down a
valley through several contour intervals, with a lake on its way and a hole
without data over one of its banks. Writes, into OUTPUT_FOLDER:

  valle_largo.tif   the DEM in metres (Float32, nodata -9999), UTM zone 14N
  rio_largo.gpkg    layers banks (two lines), zone (a polygon: the valley floor
                    up to HEIGHT metres above the river), lake (a polygon) and
                    contours (gdal_contour's lines every INTERVAL metres, field elev)

Only the Python standard library and GDAL's command-line tools, as
sample/gis/make_gis_sample.py.

    python3 bench/make_long_valley.py OUTPUT_FOLDER [LINES [COLUMNS]]
"""
import json
import math
import os
import subprocess
import sys
import tempfile

PIXEL = 10.0                              # metres
WEST, NORTH = 600000.0, 4200000.0         # top-left corner, UTM zone 14N
CRS = "EPSG:32614"
NODATA = -9999.0
TOP, FALL = 300.0, 32.0                   # the river's bed at the top, and how far it falls to the bottom
BANK = 1.5                                # bank tops above the bed (the railing height)
HALF_WIDTH = 15.0                         # metres from the centre line to each bank
HEIGHT = 6.0                              # the zone: the valley floor up to this far above the bank tops
INTERVAL = 2.0                            # between contour lines


class Valley:
    def __init__(self, lines, columns):
        self.lines, self.columns = lines, columns
        self.lake_line = 0.45 * lines      # the lake's centre, on the river
        self.lake_across = 3.0 * HALF_WIDTH     # the lake's half-axes, metres: across the valley and along it
        self.lake_along = 0.025 * lines * PIXEL
        self.hole = (int(0.7 * lines), int(0.7 * lines) + 4)   # lines of the hole over the east bank

    def centre_x(self, northing):
        t = (NORTH - northing) / (self.lines * PIXEL)
        return WEST + self.columns / 2.0 * PIXEL + 0.18 * self.columns * PIXEL * math.sin(3.0 * math.pi * t)

    def bed(self, northing):
        """The bed falls steadily down the valley; the lake holds it flat at its outlet's level."""
        t = min(max((NORTH - northing) / (self.lines * PIXEL), 0.0), 1.0)
        lake_end = (self.lake_line * PIXEL + self.lake_along) / (self.lines * PIXEL)
        return TOP - FALL * t, TOP - FALL * lake_end

    def in_lake(self, easting, northing):
        cy = NORTH - self.lake_line * PIXEL
        return math.hypot((easting - self.centre_x(northing)) / self.lake_across,
                          (northing - cy) / self.lake_along) < 1.0

    def elevation(self, easting, northing):
        bed, lake_level = self.bed(northing)
        if self.in_lake(easting, northing):
            return lake_level
        d = abs(easting - self.centre_x(northing))
        if d < HALF_WIDTH:
            return bed
        beyond = d - HALF_WIDTH
        return bed + BANK + 0.12 * beyond + 0.001 * beyond * beyond

    def beyond_for(self, height):
        """Distance beyond the bank at which the valley side stands `height` above the bank top."""
        return (-0.12 + math.sqrt(0.0144 + 0.004 * height)) / 0.002


def write_grid(path, valley):
    with open(path, "w") as f:
        f.write(f"ncols {valley.columns}\nnrows {valley.lines}\nxllcorner {WEST}\n")
        f.write(f"yllcorner {NORTH - valley.lines * PIXEL}\ncellsize {PIXEL}\nNODATA_value {NODATA}\n")
        for i in range(valley.lines):
            northing = NORTH - (i + 0.5) * PIXEL
            east_bank = valley.centre_x(northing) + HALF_WIDTH
            row = []
            for j in range(valley.columns):
                easting = WEST + (j + 0.5) * PIXEL
                if valley.hole[0] <= i < valley.hole[1] and abs(easting - east_bank) < 2.5 * PIXEL:
                    row.append(f"{NODATA:.0f}")
                else:
                    row.append(f"{valley.elevation(easting, northing):.2f}")
            f.write(" ".join(row) + "\n")


def side_line(valley, offset):
    points = []
    for i in range(valley.lines + 1):
        northing = NORTH - i * PIXEL
        points.append([round(valley.centre_x(northing) + offset, 3), northing])
    return points


def lake_ring(valley):
    cy = NORTH - valley.lake_line * PIXEL
    ring = []
    for k in range(48):
        a = 2.0 * math.pi * k / 48
        northing = cy + valley.lake_along * math.sin(a)
        ring.append([round(valley.centre_x(northing) + valley.lake_across * math.cos(a), 3), round(northing, 3)])
    return ring + [ring[0]]


def feature(geometry_type, coordinates, **properties):
    return {"type": "Feature", "properties": properties,
            "geometry": {"type": geometry_type, "coordinates": coordinates}}


def run(*command):
    subprocess.run(command, check=True)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = os.path.abspath(sys.argv[1])
    lines = int(sys.argv[2]) if len(sys.argv) > 2 else 480
    columns = int(sys.argv[3]) if len(sys.argv) > 3 else 120
    valley = Valley(lines, columns)
    os.makedirs(out, exist_ok=True)
    dem = os.path.join(out, "valle_largo.tif")
    gpkg = os.path.join(out, "rio_largo.gpkg")
    for path in (dem, gpkg):
        if os.path.exists(path):
            os.remove(path)
    with tempfile.TemporaryDirectory() as scratch:
        grid = os.path.join(scratch, "valle.asc")
        write_grid(grid, valley)
        run("gdal_translate", "-q", "-a_srs", CRS, "-ot", "Float32", grid, dem)
        limit = HALF_WIDTH + valley.beyond_for(HEIGHT)
        layers = {
            "banks": [feature("LineString", side_line(valley, -HALF_WIDTH), side="west"),
                      feature("LineString", side_line(valley, HALF_WIDTH), side="east")],
            "zone": [feature("Polygon", [side_line(valley, -limit) + side_line(valley, limit)[::-1]
                                         + [side_line(valley, -limit)[0]]], name="cauce")],
            "lake": [feature("Polygon", [lake_ring(valley)], name="lago")],
        }
        first = True
        for name, features in layers.items():
            source = os.path.join(scratch, name + ".geojson")
            with open(source, "w") as f:
                json.dump({"type": "FeatureCollection", "features": features}, f)
            run("ogr2ogr", "--config", "OGR_CURRENT_DATE", "2026-01-01T00:00:00Z", "-f", "GPKG",
                *([] if first else ["-update"]), "-a_srs", CRS, "-nln", name, gpkg, source)
            first = False
        contours = os.path.join(scratch, "contours.gpkg")
        # The levels around the zone only: from below the lowest bed to above the zone's top.
        low = math.floor((TOP - FALL) / INTERVAL) * INTERVAL
        levels = [str(low + INTERVAL * k) for k in range(int((FALL + BANK + HEIGHT + 2 * INTERVAL) / INTERVAL) + 1)]
        run("gdal_contour", "-q", "-a", "elev", "-fl", *levels, "-nln", "contours", dem, contours)
        run("ogr2ogr", "--config", "OGR_CURRENT_DATE", "2026-01-01T00:00:00Z", "-f", "GPKG", "-update",
            "-nln", "contours", gpkg, contours)
    print(f"{dem}\n{gpkg}")


if __name__ == "__main__":
    main()
