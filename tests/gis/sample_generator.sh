#!/usr/bin/env bash
# The shipped GIS sample is what its committed generator makes: the same
# grid, georeferencing and pixels, the same layers and features.
#   sample_generator.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
command -v python3 >/dev/null || { echo "python3 is missing: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$source_dir/sample/gis/make_gis_sample.py" "$work" > /dev/null

raster() { gdalinfo -checksum -nomd -norat -noct "$1" | grep -v -e '^Files:' -e '^Driver:' -e "^ *$1"; }
vector() { ogrinfo -ro -al "$1" | grep -v -e '^INFO: Open of' -e '^      using driver'; }
diff <(raster "$source_dir/sample/gis/valle.tif") <(raster "$work/valle.tif") ||
    { echo "sample/gis/valle.tif differs from what make_gis_sample.py makes"; exit 1; }
diff <(vector "$source_dir/sample/gis/rio.gpkg") <(vector "$work/rio.gpkg") ||
    { echo "sample/gis/rio.gpkg differs from what make_gis_sample.py makes"; exit 1; }
[ "$(du -cb "$source_dir"/sample/gis/* | tail -1 | cut -f1)" -le 400000 ] ||
    { echo "sample/gis has grown beyond 400 KB"; exit 1; }
echo "sample/gis matches its generator"
