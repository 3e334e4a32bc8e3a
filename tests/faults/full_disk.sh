#!/usr/bin/env bash
# A real full file system under each program: a small tmpfs holding the
# inputs and an earlier result, filled up to a few KiB, so the new result
# cannot be written. Each program must fail (exit status other than 0), say
# so (the batch and GIS programs name the full device), keep the earlier result byte for byte and leave no
# temporary behind. Needs root (mount); skipped elsewhere.
#   full_disk.sh SOURCE_DIR CONSOLE TILES [RASTER_TOOL]
set -uo pipefail
source_dir=$1
console=$2
tiles=$3
raster=${4:-}
[ "$(id -u)" = 0 ] || { echo "not root: skipped"; exit 77; }
work=$(mktemp -d)
disk=$work/disk
mkdir "$disk"
mount -t tmpfs -o size=512k tmpfs "$disk" 2>/dev/null || { rmdir "$disk"; rm -rf "$work"; echo "no tmpfs: skipped"; exit 77; }
trap 'umount "$disk"; rm -rf "$work"' EXIT
bad=0
fail() { echo "full disk: $*" >&2; bad=1; }

# Leaves `left` bytes free on the disk.
fill_up() {
    local left=$1 free
    rm -f "$disk/filler"
    free=$(df --output=avail -B1 "$disk" | tail -1)
    [ "$free" -gt "$left" ] && fallocate -l $((free - left)) "$disk/filler"
}

# check LABEL SAYS EARLIER_FILE... -- COMMAND: runs the command on the full
# disk and checks its words (SAYS) and what it left.
check() {
    local label=$1 says=$2; shift 2
    local files=()
    while [ "$1" != "--" ]; do files+=("$1"); shift; done
    shift
    local f
    for f in "${files[@]}"; do printf 'earlier %s\n' "$f" > "$f"; done
    local before
    before=$(ls -A "$disk" "$disk"/* 2>/dev/null)
    fill_up 4096
    "$@" < "${answers:-/dev/null}" > "$work/out" 2> "$work/err"
    local status=$?
    rm -f "$disk/filler"
    [ $status != 0 ] || fail "$label: exit status 0 on a full disk"
    grep -q -e "$says" "$work/out" "$work/err" || fail "$label: does not say '$says': $(tail -c 300 "$work/err")"
    for f in "${files[@]}"; do
        [ "$(cat "$f")" = "earlier $f" ] || fail "$label: $f is not the earlier file"
    done
    [ "$(ls -A "$disk" "$disk"/* 2>/dev/null)" = "$before" ] ||
        fail "$label: files left behind: $(diff <(echo "$before") <(ls -A "$disk" "$disk"/* 2>/dev/null) | tail -3)"
    echo "$label: exit status $status, earlier result kept"
}

cp -r "$source_dir/sample/images" "$disk/images"
answers=$source_dir/sample/answers.txt
check console "No se pudo escribir completo el archivo $disk/images/rio1/resultado_m4.raw: no se escribio" "$disk/images/rio1/resultado_m4.raw" "$disk/images/rio1/resultado_m4.txt" -- \
    env LORVANTIDE_IMAGES="$disk/images" "$console"
check tiles "No space left on device" "$disk/images/rio1/resultado_m4.raw" "$disk/images/rio1/resultado_m4.txt" -- \
    "$tiles" --answers "$answers" --images "$disk/images" -q
answers=
rm -rf "$disk/images"
if [ -n "$raster" ]; then
    gis=$source_dir/sample/gis
    check raster "cauce.tif (GDAL: .*): No space left on device" "$disk/cauce.tif" "$disk/valle_cauce.tif" -- \
        "$raster" channel --dem "$gis/valle.tif" --banks "$gis/rio.gpkg" --banks-layer banks \
        --zone "$gis/rio.gpkg" --zone-layer zone --contour "$gis/rio.gpkg" --contour-layer contours \
        --contour-where "elev = 210" --railing-height 1 --contour-altitude 210 \
        -o "$disk/cauce.tif" --conditioned "$disk/valle_cauce.tif" --overwrite -q
fi
exit $bad
