#!/usr/bin/env bash
# The scale benchmark of lorvantide-tiles (never run by the tests): the dense
# floodplain, written line by line by tests/scenarios/write_floodplain, computed
#  1. at SMALL x SMALL by the console program (the whole-raster run), by
#     lorvantide-tiles in one tile (--memory ONE_TILE: the same work without
#     a halo) and by lorvantide-tiles --memory MEMORY, which must all give the
#     same result pair;
#  2. at LARGE x LARGE by lorvantide-tiles --memory MEMORY on one process, then
#     under mpirun on two (each with --memory MEMORY and half the processors),
#     which must give the same result pair as each other.
# Every run prints its wall time, processor time (user + system) and peak
# resident set; with the pixel counts, the per-pixel costs and the tiles'
# overhead follow (bench/README.md, "Rasters larger than memory").
#
#   bench/tiles_scale.sh BUILD_DIR WORK_DIR [SMALL] [LARGE] [MEMORY] [ONE_TILE] [REPEAT]
#
# Each run is made REPEAT times (default 2): on a shared machine the wall
# times vary with the others' load, the processor times much less.
#
# WORK_DIR needs about 9 bytes per pixel of both sizes (inputs) plus 4 per
# pixel of the larger (result): about 80 GB at 40000. Big files are removed
# as soon as they are no longer needed.
set -euo pipefail
build=$(realpath "$1")
work=$2
small=${3:-16384}
large=${4:-40000}
memory=${5:-4G}
one_tile=${6:-8G}
repeat=${7:-2}
mkdir -p "$work"
work=$(realpath "$work")

timed() {  # label, command...: one line of measures per run
    local label=$1
    shift
    for ((n = 1; n <= repeat; ++n)); do
        /usr/bin/time -f "$label: wall %e s, user %U s, system %S s, peak resident %M KiB, $(cut -d' ' -f1-3 /proc/loadavg) load" "$@"
    done
}

# DIR MEMORY LABEL: lorvantide-tiles on the scenario in DIR, its plan, then its timed runs.
tiles() {
    "$build/lorvantide-tiles" --answers "$1/answers.txt" --memory "$2" --plan
    timed "$3" "$build/lorvantide-tiles" --answers "$1/answers.txt" --memory "$2" -q
}

# DIR NAME: the result pair under DIR/rio moved aside as DIR/NAME.raw and DIR/NAME.txt.
keep() {
    mv "$1/rio/resultado_m4.raw" "$1/$2.raw"
    mv "$1/rio/resultado_m4.txt" "$1/$2.txt"
}

# DIR NAME: the result pair under DIR/rio is byte for byte the one kept as NAME.
same() {
    cmp "$1/$2.raw" "$1/rio/resultado_m4.raw"
    cmp "$1/$2.txt" "$1/rio/resultado_m4.txt"
}

echo "== machine"
uptime
nproc
free -g | head -2

echo "== $small x $small: the scenario"
repeat=1 timed "generate $small" "$build/tests/scenarios/write_floodplain" "$small" "$small" "$work/small"
export LORVANTIDE_IMAGES="$work/small"
echo "== $small x $small: console program, whole raster"
timed "console $small" sh -c "'$build/lorvantide' < '$work/small/answers.txt' > /dev/null"
keep "$work/small" console
echo "== $small x $small: lorvantide-tiles --memory $one_tile"
tiles "$work/small" "$one_tile" "tiles $small, one tile"
same "$work/small" console
echo "== $small x $small: lorvantide-tiles --memory $memory"
tiles "$work/small" "$memory" "tiles $small"
same "$work/small" console
echo "same result pair as the console program"
rm -rf "$work/small"

echo "== $large x $large: the scenario"
repeat=1 timed "generate $large" "$build/tests/scenarios/write_floodplain" "$large" "$large" "$work/large"
export LORVANTIDE_IMAGES="$work/large"
echo "== $large x $large: lorvantide-tiles --memory $memory, one process"
tiles "$work/large" "$memory" "tiles $large, 1 process"
keep "$work/large" one
echo "== $large x $large: lorvantide-tiles --memory $memory, two processes"
LORVANTIDE_THREADS=1 "$build/lorvantide-tiles" --answers "$work/large/answers.txt" --memory "$memory" --plan
timed "tiles $large, 2 processes (mpirun)" mpirun --oversubscribe --allow-run-as-root -np 2 \
    -x LORVANTIDE_IMAGES "$build/lorvantide-tiles" --answers "$work/large/answers.txt" --memory "$memory" -q
same "$work/large" one
echo "same result pair on one and two processes"
cat "$work/large/one.txt"
rm -rf "$work/large"
uptime
