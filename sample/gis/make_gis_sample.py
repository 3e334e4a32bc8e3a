#!/usr/bin/env python3
"""Makes the GIS sample of the worked example: a valley DEM (GeoTIFF) and a
GeoPackage with the river banks, the channel zone and the contour lines.

Only the Python standard library and GDAL's command-line tools (gdal-bin):
the surface is written as an ASCII grid and the features as GeoJSON, then
gdal_translate and ogr2ogr turn them into the files the example reads.

    python3 sample/gis/make_gis_sample.py [OUTPUT_FOLDER]   (default: this folder)
"""
import json
import math
import os
import subprocess
import sys
import tempfile

COLUMNS, LINES = 160, 200
PIXEL = 5.0                              # metres
WEST, NORTH = 500000.0, 4101000.0        # top-left corner, UTM zone 14N
CRS = "EPSG:32614"
NODATA = -9999.0
BED, FLOOR = 198.0, 200.0                # river bed and bank top, metres
HALF_WIDTH = 10.0                        # metres from the centre line to each bank
LIMIT = 210.0                            # the contour line that bounds the channel zone
CONTOURS = [205.0, 210.0, 220.0, 240.0]


def centre_x(northing):
    """Easting of the river's centre line: a gentle meander flowing south."""
    t = (NORTH - northing) / (LINES * PIXEL)
    return WEST + 80.5 * PIXEL + 18.0 * PIXEL * math.sin(2.0 * math.pi * t)


def rise(beyond_bank):
    """Height above the bank top at a horizontal distance beyond the bank."""
    return 0.25 * beyond_bank + 0.0015 * beyond_bank * beyond_bank


def offset_of(height):
    """Distance beyond the bank at which the slope reaches `height` metres."""
    return (-0.25 + math.sqrt(0.0625 + 4.0 * 0.0015 * height)) / (2.0 * 0.0015)


def elevation(easting, northing):
    d = abs(easting - centre_x(northing))
    if d < HALF_WIDTH:
        return BED
    return FLOOR + rise(d - HALF_WIDTH)


def write_grid(path):
    with open(path, "w") as f:
        f.write(f"ncols {COLUMNS}\nnrows {LINES}\nxllcorner {WEST}\n")
        f.write(f"yllcorner {NORTH - LINES * PIXEL}\ncellsize {PIXEL}\nNODATA_value {NODATA}\n")
        for i in range(LINES):
            northing = NORTH - (i + 0.5) * PIXEL
            row = []
            for j in range(COLUMNS):
                # A corner without data, as surveys often have.
                if i < 15 and j < 15:
                    row.append(f"{NODATA:.0f}")
                else:
                    row.append(f"{elevation(WEST + (j + 0.5) * PIXEL, northing):.2f}")
            f.write(" ".join(row) + "\n")


def side_line(offset):
    """Vertices at every line centre, `offset` metres east (or west) of the centre line."""
    points = []
    for i in range(LINES + 1):
        northing = NORTH - i * PIXEL
        points.append([round(centre_x(northing) + offset, 3), northing])
    return points


def feature(geometry_type, coordinates, **properties):
    return {"type": "Feature", "properties": properties,
            "geometry": {"type": geometry_type, "coordinates": coordinates}}


def write_layer(path, features):
    with open(path, "w") as f:
        json.dump({"type": "FeatureCollection", "features": features}, f)


def run(*command):
    subprocess.run(command, check=True)


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__)))
    os.makedirs(out, exist_ok=True)
    dem = os.path.join(out, "valle.tif")
    gpkg = os.path.join(out, "rio.gpkg")
    for path in (dem, gpkg):
        if os.path.exists(path):
            os.remove(path)
    with tempfile.TemporaryDirectory() as scratch:
        grid = os.path.join(scratch, "valle.asc")
        write_grid(grid)
        run("gdal_translate", "-q", "-a_srs", CRS, "-ot", "Float32", "-co", "COMPRESS=DEFLATE",
            "-co", "PREDICTOR=3", grid, dem)

        limit = HALF_WIDTH + offset_of(LIMIT - FLOOR)
        layers = {
            "banks": [feature("LineString", side_line(-HALF_WIDTH), side="west"),
                      feature("LineString", side_line(HALF_WIDTH), side="east")],
            "zone": [feature("Polygon", [side_line(-limit) + side_line(limit)[::-1] + [side_line(-limit)[0]]],
                             name="cauce")],
            "contours": [feature("LineString", side_line(sign * (HALF_WIDTH + offset_of(z - FLOOR))), elev=z)
                         for z in CONTOURS for sign in (-1.0, 1.0)],
        }
        first = True
        for name, features in layers.items():
            source = os.path.join(scratch, name + ".geojson")
            write_layer(source, features)
            # A fixed date keeps the GeoPackage the same from one run to the next.
            run("ogr2ogr", "--config", "OGR_CURRENT_DATE", "2026-01-01T00:00:00Z", "-f", "GPKG",
                *([] if first else ["-update"]), "-a_srs", CRS, "-nln", name, gpkg, source)
            first = False
    print(f"{dem}\n{gpkg}")


if __name__ == "__main__":
    main()
