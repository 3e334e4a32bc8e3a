#!/usr/bin/env bash
# The README's worked example, run end to end exactly as written there (the
# build line aside), in a temporary folder: first the channel command, then
# the same channel through the console program, then the hydrology check of
# the conditioned DEM (when the benchmarks are built). The outputs are checked: the
# summary against the README's, the
# georeferencing, pixel type, nodata, scale and statistics of the GeoTIFFs,
# the preview's size, and that every command succeeded.
#   worked_example.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "worked example: $*" >&2; exit 1; }

# The N-th fenced block of LANGUAGE under "## Worked example", paths made absolute.
block() {
    awk -v want="$1" -v language="$2" '/^## Worked example/{section=1}
        /^```/ && open {if (inside) exit; open=0; next}
        /^```/ {open=1; if (section && substr($0, 4) == language && ++n == want) inside=1; next}
        inside' "$source_dir/README.md" | grep -v '^cmake ' |
        sed -e "s#^build/#$build_dir/#" -e "s#sample/#$source_dir/sample/#g" -e "s# build/# $build_dir/#g"
}
block 1 sh > channel.sh
block 2 sh > console.sh
block 3 sh > hydrology.sh
block 1 "" > summary.txt
block 2 "" > figures.txt
[ "$(grep -c 'lorvantide-raster channel' channel.sh)" -eq 1 ] || fail "the first README block is not the channel command"
[ "$(grep -c lorvantide console.sh)" -eq 7 ] || fail "the second README block does not hold the seven commands"
echo "== commands"; cat channel.sh console.sh

# The channel command: its summary is the README's, its outputs those it describes.
bash -euo pipefail channel.sh > channel.out 2> channel.err || { cat channel.err; fail "channel failed"; }
[ ! -s channel.err ] || { cat channel.err; fail "channel printed warnings or progress off a terminal"; }
diff summary.txt channel.out || fail "the summary of channel is not the README's"

grid() { gdalinfo "$1" | grep -E '^(Size is|Origin =|Pixel Size =)'; }
same_georeferencing() {
    [ "$(grid "$1")" = "$(grid "$source_dir/sample/gis/valle.tif")" ] || fail "$1 is not on valle.tif's grid"
    [ "$(gdalsrsinfo -o wkt2 "$1")" = "$(gdalsrsinfo -o wkt2 "$source_dir/sample/gis/valle.tif")" ] ||
        fail "$1 has another CRS than valle.tif"
}
# check_band FILE TYPE MINIMUM MAXIMUM VALID_PERCENT [SCALE]: on valle.tif's grid and CRS, with
# nodata -9999, the pixel type, the band's statistics and, when given, its scale.
check_band() {
    local file=$1 info
    same_georeferencing "$file"
    info=$(gdalinfo -stats "$file")
    rm -f "$file.aux.xml"
    grep -q "Type=$2" <<< "$info" || fail "$file is not $2"
    grep -q 'NoData Value=-9999$' <<< "$info" || fail "$file declares no nodata -9999"
    grep -q "Minimum=$3, Maximum=$4" <<< "$info" || fail "$file does not range from $3 to $4"
    grep -q "STATISTICS_VALID_PERCENT=$5\$" <<< "$info" || fail "$file has data where it should have none, or holes"
    [ -z "${6:-}" ] || grep -q "Offset: 0, *Scale:$6\$" <<< "$info" || fail "$file does not state the scale $6"
}
# Exactly the zone's pixels are data (3468 of 32000), in centimetres; the
# conditioned model keeps valle.tif's type, nodata and holes.
check_band cauce.tif Int32 19844.000 20852.000 10.84 0.01
check_band valle_cauce.tif Float32 196.997 665.580 99.3

# The hydrology check, before and after: the README's figures.
if [ -x "$build_dir/bench/hydrology_check" ]; then
    bash -euo pipefail hydrology.sh > hydrology.out || fail "the hydrology check failed"
    diff figures.txt hydrology.out || fail "the hydrology check does not print the README's figures"
    check_band valle_quemado.tif Float32 198.440 665.580 99.3
fi

# The console route.
bash -euo pipefail console.sh > console.log 2>&1 || { cat console.log; fail "a command of the console route failed"; }
! grep -q "No hay Fila" console.log || fail "the console run could not open a raster"
! grep -q "no tiene el mismo tamano" console.log || fail "the console run found masks of another size"

# The console route's pairs and masks are checked through its result, in decimetres.
check_band cauce_consola.tif Int32 1984.000 2085.000 10.84 0.1

# The preview: 160 columns widened to 200 for the legend, 200 lines plus 30 of legend, RGB.
gdalinfo cauce.png | grep -q '^Size is 200, 230$' || fail "cauce.png is not 200 x 230"
[ "$(gdalinfo cauce.png | grep -c '^Band ')" -eq 3 ] || fail "cauce.png is not RGB"
echo "worked example: every command succeeded and every output checks"
