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

# GRASS's figures for MODEL: "river_pixels on_river raised", where on_river
# counts the bank pixels whose r.watershed direction leads to a bank or lake
# pixel or out of the region, and raised the zone pixels outside the lake that
# r.fill.dir raises (a closed depression).
grass_figures() {
    local model=$1 mask
    for mask in banks zone lake; do
        gdal_create -q -if valle_largo.tif -ot Byte -burn 0 -of GTiff $mask.tif
        gdal_rasterize -q -burn 1 -l $mask "$layers" $mask.tif
    done
    cat > grass_check.sh <<'SCRIPT'
set -e
for map in banks zone lake; do r.in.gdal -o input=$map.tif output=$map --quiet; done
r.in.gdal -o input="$1" output=model --quiet
g.region raster=model
r.watershed -s elevation=model drainage=direction --quiet
r.fill.dir input=model output=filled direction=filled_direction --quiet
r.mapcalc --quiet expression='water = if(banks == 1 || lake == 1, 1, null())'
# Directions count from 1 (north-east) counterclockwise to 8 (east).
r.mapcalc --quiet expression='target = if(direction == 1, water[-1,1], if(direction == 2, water[-1,0], if(direction == 3, water[-1,-1], if(direction == 4, water[0,-1], if(direction == 5, water[1,-1], if(direction == 6, water[1,0], if(direction == 7, water[1,1], water[0,1])))))))'
r.mapcalc --quiet expression='on = if(banks == 1, if(direction < 0 || !isnull(target), 1, 0), null())'
r.mapcalc --quiet expression='raised = if(zone == 1 && lake == 0 && filled > model, 1, 0)'
echo figures $(r.stats -c -n on | awk '{ n += $2; if ($1 == 1) on += $2 } END { print n + 0, on + 0 }') \
    $(r.stats -c -n raised | awk '$1 == 1 { r = $2 } END { print r + 0 }')
SCRIPT
    grass --tmp-location valle_largo.tif --exec bash grass_check.sh "$model" 2>/dev/null |
        awk '$1 == "figures" { print $2, $3, $4 }'
}

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
    if command -v grass >/dev/null && command -v gdal_create >/dev/null; then
        for model in field.tif dem.tif burned.tif; do
            read -r river on raised < <(grass_figures $model)
            echo "GRASS, valley $size, $model: $on of $river river pixels drain along the river," \
                 "$raised zone pixels filled"
            drains=$(( river >= 100 && on * 100 >= river * 99 && raised == 0 ))
            if [ "$model" = burned.tif ]; then
                [ $drains = 0 ] || fail "valley $size: by GRASS the plain burn drains"
            else
                [ $drains = 1 ] || fail "valley $size: by GRASS $model does not drain"
            fi
        done
    else
        echo "GRASS or gdal_create is missing: the GRASS figures are not checked"
    fi
done
echo "hydrology valleys: every conditioned DEM drains"
