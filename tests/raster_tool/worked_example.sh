#!/usr/bin/env bash
# The README's worked example, run end to end exactly as written there (the
# build line aside), in a temporary folder, then its outputs checked: the
# files and their sizes, the georeferencing of the GeoTIFF against the
# sample's, the preview's size, and that every command succeeded.
#   worked_example.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "worked example: $*" >&2; exit 1; }

# The fenced block under "## Worked example", paths made absolute.
awk '/^## Worked example/{section=1} section && /^```sh/{inside=1; next} inside && /^```/{exit} inside' \
    "$source_dir/README.md" | grep -v '^cmake ' |
    sed -e "s#^build/#$build_dir/#" -e "s#sample/#$source_dir/sample/#g" -e "s# build/# $build_dir/#g" > commands.sh
[ "$(grep -c lorvantide commands.sh)" -eq 7 ] || fail "the README block does not hold the seven commands"
echo "== commands"; cat commands.sh
bash -euo pipefail commands.sh > console.log 2>&1 || { cat console.log; fail "a command failed"; }

! grep -q "No hay Fila" console.log || fail "the console run could not open a raster"
! grep -q "no tiene el mismo tamano" console.log || fail "the console run found masks of another size"

size() { stat -c %s "$1"; }
for pair in valle cauce; do
    [ "$(size work/rio/${pair}_m4.raw)" -eq $((200 * 160 * 4)) ] || fail "${pair}_m4.raw has the wrong size"
    mapfile -t d < work/rio/${pair}_m4.txt
    [ "${#d[@]}" -eq 6 ] && [ "${d[0]}" = 200 ] && [ "${d[1]}" = 160 ] && [ "${d[2]}" = 4 ] && [ "${d[5]}" = 5 ] ||
        fail "${pair}_m4.txt is not 200 lines, 160 columns, 4 bytes, pixel 5: ${d[*]}"
done
for mask in barandal zona curva; do
    [ "$(size work/rio/$mask.raw)" -eq $((200 * 160)) ] || fail "$mask.raw has the wrong size"
    [ "$(cat work/rio/$mask.txt)" = "$(printf '200\n160')" ] || fail "$mask.txt is not 200 lines, 160 columns"
    # Only the tone 255 and the background.
    [ -z "$(od -An -v -tu1 work/rio/$mask.raw | tr -s ' ' '\n' | grep -v -x -e '' -e 0 -e 255 | head -1)" ] ||
        fail "$mask.raw holds other values than 0 and 255"
    [ -n "$(od -An -v -tu1 work/rio/$mask.raw | tr -s ' ' '\n' | grep -x 255 | head -1)" ] ||
        fail "$mask.raw marks no pixel"
done

# The GeoTIFF has the sample DEM's grid and CRS, 32-bit pixels and the nodata asked for.
grid() { gdalinfo "$1" | grep -E '^(Size is|Origin =|Pixel Size =)'; }
[ "$(grid cauce.tif)" = "$(grid "$source_dir/sample/gis/valle.tif")" ] || fail "cauce.tif is not on valle.tif's grid"
[ "$(gdalsrsinfo -o wkt2 cauce.tif)" = "$(gdalsrsinfo -o wkt2 "$source_dir/sample/gis/valle.tif")" ] ||
    fail "cauce.tif has another CRS than valle.tif"
gdalinfo cauce.tif | grep -q 'Type=Int32' || fail "cauce.tif is not 32-bit"
gdalinfo cauce.tif | grep -q 'NoData Value=-9999$' || fail "cauce.tif declares no nodata -9999"
gdalinfo cauce.tif | grep -q 'Offset: 0, *Scale:0.1$' || fail "cauce.tif does not state the scale 0.1 of decimetres"
# Exactly the zone's pixels are data: 3468 of 32000.
gdalinfo -stats cauce.tif | grep -q 'STATISTICS_VALID_PERCENT=10.84$' || fail "cauce.tif has data outside the zone"
rm -f cauce.tif.aux.xml

# The preview: 160 columns widened to 200 for the legend, 200 lines plus 30 of legend, RGB.
gdalinfo cauce.png | grep -q '^Size is 200, 230$' || fail "cauce.png is not 200 x 230"
[ "$(gdalinfo cauce.png | grep -c '^Band ')" -eq 3 ] || fail "cauce.png is not RGB"
echo "worked example: every command succeeded and every output checks"
