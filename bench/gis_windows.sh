#!/usr/bin/env bash
# The windowed route of lorvantide-raster channel against lorvantide-tiles on
# the same data (never run by the tests; numbers in bench/README.md, "GIS data
# of any size"):
#  1. the dense floodplain of SIZE x SIZE, written line by line by
#     tests/scenarios/write_floodplain as raster pairs;
#  2. the same data as GIS data: the slope model cut into a VRT mosaic of 16
#     Int32 GeoTIFF tiles (4 x 4, the cuts not on the tiles' cores), and each
#     mask polygonized into a layer of one GeoPackage (pixel squares, so the
#     burn gives back exactly the mask's pixels); the banks are given as their
#     class raster instead, since polygons in a banks layer burn as outlines;
#  3. timed: lorvantide-tiles --memory MEMORY, then lorvantide-raster channel
#     --memory MEMORY --scale 1 on the mosaic and the layers, on one process
#     and under mpirun -np 2 (each --memory MEMORY and one thread), and the
#     channel's pixels compared with the tiles' result (the same integers;
#     nodata outside the channel zone).
#
#   bench/gis_windows.sh BUILD_DIR WORK_DIR [SIZE] [MEMORY] [TILES_BINARY]
#
# TILES_BINARY: another lorvantide-tiles to time on the raw pairs as well
# (the one before the reach map, say). WORK_DIR needs about 22 bytes per pixel.
set -euo pipefail
build=$(realpath "$1")
work=$2
size=${3:-8192}
memory=${4:-1G}
other_tiles=${5:-}
mkdir -p "$work"
work=$(realpath "$work")
python=/usr/bin/python3

timed() {  # label, command...
    local label=$1
    shift
    /usr/bin/time -f "$label: wall %e s, user %U s, system %S s, peak resident %M KiB, load $(cut -d' ' -f1-3 /proc/loadavg)" "$@"
}

echo "== machine: $(nproc) processors, $(free -g | awk '/Mem:/ {print $2}') GiB, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== the dense floodplain, $size x $size, as raster pairs"
timed "write_floodplain" "$build/tests/scenarios/write_floodplain" "$size" "$size" "$work"
read -r _ _ _ _ _ _ _ _ zone_tone railing_tone railing_height contour_tone contour_altitude perimeter_tone \
    < <(tr "\n" " " < "$work/answers.txt"; echo)

# A raw raster as a VRT on a UTM grid of 5 m pixels.
raw_vrt() {  # raw, type (Int32 or Byte), bytes per pixel, vrt
    cat > "$4" <<EOF
<VRTDataset rasterXSize="$size" rasterYSize="$size">
  <SRS>EPSG:32614</SRS>
  <GeoTransform>500000, 5, 0, 4000000, 0, -5</GeoTransform>
  <VRTRasterBand dataType="$2" band="1" subClass="VRTRawRasterBand">
    <SourceFilename relativetoVRT="0">$1</SourceFilename>
    <ImageOffset>0</ImageOffset><PixelOffset>$3</PixelOffset><LineOffset>$(($3 * size))</LineOffset>
    <ByteOrder>LSB</ByteOrder>
  </VRTRasterBand>
</VRTDataset>
EOF
}

echo "== the same as GIS data: a VRT mosaic of 16 GeoTIFF tiles and a GeoPackage"
mkdir -p "$work/gis"
raw_vrt "$work/rio/valle_m4.raw" Int32 4 "$work/gis/valle_raw.vrt"
piece=$(((size + 3) / 4 + 37))  # cuts that fall inside the tiles' cores
start=$(date +%s.%N)
for r in 0 1 2 3; do
    for c in 0 1 2 3; do
        x=$((c * piece)); y=$((r * piece))
        w=$((c == 3 ? size - x : piece)); h=$((r == 3 ? size - y : piece))
        gdal_translate -q -srcwin $x $y $w $h -co TILED=YES "$work/gis/valle_raw.vrt" "$work/gis/valle_${r}_${c}.tif"
    done
done
gdalbuildvrt -q "$work/gis/mosaico.vrt" "$work"/gis/valle_?_?.tif
rm -f "$work/gis/capas.gpkg"
for mask in bar:banks cauce:zone curva:contours lago:lakes; do
    raw_vrt "$work/rio/${mask%%:*}.raw" Byte 1 "$work/gis/${mask%%:*}.vrt"
    gdal_polygonize.py -q "$work/gis/${mask%%:*}.vrt" -mask "$work/gis/${mask%%:*}.vrt" -f GPKG \
        "$work/gis/capas.gpkg" "${mask##*:}" DN
done
echo "making the GIS data: $(echo "$(date +%s.%N) - $start" | bc) s; $(du -sh "$work/gis/capas.gpkg" | cut -f1) of layers"

layers=$work/gis/capas.gpkg
channel=(channel --dem "$work/gis/mosaico.vrt" --scale 1 --railing-height "$railing_height"
         --contour-altitude "$contour_altitude"
         --banks "$work/gis/bar.vrt" --banks-class "$railing_tone"
         --zone "$layers" --zone-layer zone --zone-where "DN = $zone_tone"
         --contour "$layers" --contour-layer contours --contour-where "DN = $contour_tone"
         --lakes "$layers" --lakes-layer lakes --lakes-where "DN = $perimeter_tone"
         --memory "$memory" --overwrite -q)

echo "== runs"
"$build/lorvantide-tiles" --answers "$work/answers.txt" --images "$work" --memory "$memory" --plan
timed "lorvantide-tiles --memory $memory" "$build/lorvantide-tiles" --answers "$work/answers.txt" --images "$work" \
    --memory "$memory" -q
mv "$work/rio/resultado_m4.raw" "$work/tiles.raw"
mv "$work/rio/resultado_m4.txt" "$work/tiles.txt"
if [ -n "$other_tiles" ]; then
    "$other_tiles" --answers "$work/answers.txt" --images "$work" --memory "$memory" --plan
    timed "$other_tiles --memory $memory" "$other_tiles" --answers "$work/answers.txt" --images "$work" \
        --memory "$memory" -q
    cmp "$work/tiles.raw" "$work/rio/resultado_m4.raw" && cmp "$work/tiles.txt" "$work/rio/resultado_m4.txt"
    rm -f "$work/rio/resultado_m4.raw" "$work/rio/resultado_m4.txt"
fi

compare() {  # the channel GeoTIFF against the tiles' raw result, inside the zone mask
    "$python" - "$1" "$work/tiles.raw" "$work/rio/cauce.raw" "$zone_tone" "$size" <<'EOF'
import sys
import numpy
from osgeo import gdal
path, raw, zone, tone, size = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
dataset = gdal.Open(path)
band = dataset.GetRasterBand(1)
nodata = band.GetNoDataValue()
want = numpy.memmap(raw, dtype="<i4", mode="r", shape=(size, size))
inside = numpy.memmap(zone, dtype="u1", mode="r", shape=(size, size))
differing = 0
for top in range(0, size, 1024):
    lines = min(1024, size - top)
    got = band.ReadAsArray(0, top, size, lines)
    mask = inside[top:top + lines] == tone
    differing += int(numpy.count_nonzero(got[mask] != want[top:top + lines][mask]))
    differing += int(numpy.count_nonzero(got[~mask] != nodata))
print(f"{path}: {differing} pixels differ from the tiles' result")
sys.exit(1 if differing else 0)
EOF
}

timed "channel --memory $memory, 1 process" "$build/lorvantide-raster" "${channel[@]}" -o "$work/cauce1.tif"
compare "$work/cauce1.tif"
rm -f "$work/cauce1.tif"
timed "channel --memory $memory each, mpirun -np 2" mpirun --oversubscribe --allow-run-as-root -np 2 \
    "$build/lorvantide-raster" "${channel[@]}" --threads 1 -o "$work/cauce2.tif"
compare "$work/cauce2.tif"
rm -f "$work/cauce2.tif"
