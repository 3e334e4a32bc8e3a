#!/usr/bin/env bash
# The conditioned DEM drains, judged by the hydrology check on generated
# valleys (bench/make_long_valley.py: a meandering river through several
# contour intervals, two banks, a lake, a hole without data over a bank), with
# one contour altitude per line from the layer's field and from the DEM: every
# river pixel's steepest descent on the river, no rise, no closed depression
# or flat in the zone, no step at the zone's edge beyond the DEM's own. The
# plain burn of the same channel fails those checks, so they can fail.
#   hydrology_valleys.sh SOURCE_DIR RASTER_TOOL HYDROLOGY_CHECK
set -euo pipefail
source_dir=$1
tool=$2
check=$3
command -v python3 >/dev/null || { echo "python3 is missing: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "hydrology valleys: $*" >&2; exit 1; }

for size in "160 48" "300 90"; do
    rm -f ./*.tif ./*.gpkg
    python3 "$source_dir/bench/make_long_valley.py" . $size > /dev/null
    layers=rio_largo.gpkg
    sources=(--dem valle_largo.tif --banks $layers --banks-layer banks --zone $layers --zone-layer zone
             --lakes $layers --lakes-layer lake --contour $layers --contour-layer contours --railing-height 1.5 -q)
    "$tool" channel "${sources[@]}" --contour-altitude-field elev -o c.tif --conditioned field.tif
    "$tool" channel "${sources[@]}" --contour-altitude dem -o d.tif --conditioned dem.tif
    "$tool" channel "${sources[@]}" --contour-altitude-field elev -o b.tif --conditioned burned.tif --burn-only
    "$check" --dem valle_largo.tif --banks $layers --banks-layer banks --zone $layers --zone-layer zone \
        --lakes $layers --lakes-layer lake field.tif dem.tif burned.tif | tee figures.txt
    # model share of river rises depressions flats edge dem_edge off of edge_pixels
    tr -d '()%' < figures.txt | awk -v size="$size" 'NR > 1 {
        drained = $1 != "burned.tif"
        ok = $2 >= 99 && $5 == 0 && $6 == 0 && $7 == 0 && $8 <= $9 + 1e-6
        if (drained && !ok) { print "valley " size ": " $1 " does not drain: " $0; bad = 1 }
        if (!drained && $5 == 0) { print "valley " size ": the plain burn shows no rise"; bad = 1 }
        if ($4 < 100) { print "valley " size ": only " $4 " river pixels"; bad = 1 }
    } END { exit bad }' || fail "a check failed"
done
echo "hydrology valleys: every conditioned DEM drains"
