"""lorvantide.channel_files against lorvantide-raster channel, and what it refuses."""

import inspect
import os
import shutil
import signal
import subprocess

import pytest

import lorvantide
from conftest import SOURCE
from lorvantide import _gis, _raster

GIS = SOURCE / "sample" / "gis"
DEM = str(GIS / "valle.tif")
LAYERS = str(GIS / "rio.gpkg")
# The README's worked example, as keywords and as the command line's words.
EXAMPLE = dict(dem=DEM, banks=LAYERS, banks_layer="banks", zone=LAYERS, zone_layer="zone", contour=LAYERS,
               contour_layer="contours", contour_where="elev = 210", railing_height=1, contour_altitude=210)
EXAMPLE_WORDS = ["--dem", DEM, "--banks", LAYERS, "--banks-layer", "banks", "--zone", LAYERS, "--zone-layer", "zone",
                 "--contour", LAYERS, "--contour-layer", "contours", "--contour-where", "elev = 210",
                 "--railing-height", "1", "--contour-altitude", "210"]
# Other options, the same way.
OTHERS = dict(scale=10, unscale=True, output_type="Float64", nodata=-1.5, all_touched=True,
              creation_options=["COMPRESS=DEFLATE", "TILED=YES"], assume_crs="EPSG:32614")
OTHER_WORDS = ["--scale", "10", "--unscale", "-ot", "Float64", "--nodata", "-1.5", "--all-touched",
               "-co", "COMPRESS=DEFLATE", "-co", "TILED=YES", "--assume-crs", "EPSG:32614"]


def raster_tool(words):
    subprocess.run([os.environ["LORVANTIDE_RASTER_BINARY"], "channel", "-q"] + words, check=True)


@pytest.mark.parametrize("keywords, words", [({}, []), (OTHERS, OTHER_WORDS)])
def test_channel_files_writes_the_commands_bytes(tmp_path, keywords, words):
    raster_tool(EXAMPLE_WORDS + words + ["-o", str(tmp_path / "cli.tif"), "--conditioned", str(tmp_path / "cli_dem.tif")])
    shares = []
    lorvantide.channel_files(**EXAMPLE, **keywords, out=tmp_path / "py.tif", conditioned=str(tmp_path / "py_dem.tif"),
                             progress=shares.append)
    for cli, module in (("cli.tif", "py.tif"), ("cli_dem.tif", "py_dem.tif")):
        assert (tmp_path / cli).read_bytes() == (tmp_path / module).read_bytes(), module
    assert shares[0] == 0.0 and shares[-1] == 1.0 and shares == sorted(shares)


def test_every_option_of_the_command_has_its_keyword():
    assert set(_gis.OPTIONS.values()) | {"-q"} == set(_raster.option_names())
    assert set(inspect.signature(lorvantide.channel_files).parameters) == set(_gis.OPTIONS) | {"progress"}


def test_notices_are_python_warnings(tmp_path):
    with pytest.warns(lorvantide.RasterWarning, match="1.234"):
        lorvantide.channel_files(**dict(EXAMPLE, railing_height=1.234, scale=10), out=tmp_path / "out.tif")


# (keywords changed, exception, words of its message)
REFUSALS = [
    (dict(dem=str(GIS / "missing.tif")), FileNotFoundError, "no such file for dem"),
    (dict(dem=str(GIS)), IsADirectoryError, "dem is a folder"),
    (dict(zone=3), TypeError, "zone must be a path"),
    (dict(out=DEM, overwrite=True), ValueError, "is also an input (dem)"),
    (dict(conditioned="{out}"), ValueError, "out and conditioned name the same file"),
    (dict(out="{tmp}/no/such/folder/out.tif"), FileNotFoundError, "there is no folder"),
    (dict(out="{tmp}/"), ValueError, "out needs a file name"),
    (dict(out="{tmp}/old.tif"), FileExistsError, "out exists; pass overwrite=True"),
    (dict(scale=0), ValueError, "scale must be a positive number"),
    (dict(railing_height=float("nan")), ValueError, "railing_height must be a finite number"),
    (dict(contour_altitude=3e7), ValueError, "contour_altitude 30000000.0 does not fit in 32 bits"),
    (dict(contour_altitude="210"), TypeError, "contour_altitude must be a number"),
    (dict(lakes_layer="lakes"), ValueError, "lakes_layer needs lakes"),
    (dict(output_type="Float32"), ValueError, "output_type Float32 does not suit"),
    (dict(format="mem"), ValueError, "format MEM writes no file"),
    (dict(creation_options=["COMPRESS"]), ValueError, "creation option 'COMPRESS' is not NAME=VALUE"),
    (dict(config={"GDAL_CACHEMAX": 64}), ValueError, "config must map GDAL option names to values"),
    (dict(unscale=1), TypeError, "unscale must be True or False"),
    (dict(progress="yes"), TypeError, "progress must be callable"),
    (dict(banks_layer="nope"), lorvantide.RasterCommandError, "no existe la capa nope"),
]


@pytest.mark.parametrize("changes, error, words", REFUSALS)
def test_channel_files_refuses_and_writes_nothing(tmp_path, changes, error, words):
    (tmp_path / "old.tif").write_bytes(b"earlier")
    out = str(tmp_path / "out.tif")
    keywords = dict(EXAMPLE, out=out)
    keywords.update({key: value.format(out=out, tmp=tmp_path) if isinstance(value, str) else value
                     for key, value in changes.items()})
    with pytest.raises(error) as refused:
        lorvantide.channel_files(**keywords)
    assert words in str(refused.value)
    assert sorted(os.listdir(tmp_path)) == ["old.tif"] and (tmp_path / "old.tif").read_bytes() == b"earlier"


class Stop(Exception):
    pass


def test_a_raising_callback_or_ctrl_c_stops_the_command_and_writes_nothing(tmp_path):
    """The command stops at its next step and gives its outputs up; SIGINT stays
    Python's, so a later call writes its outputs as usual."""
    shutil.copy(DEM, tmp_path / "dem.tif")
    (tmp_path / "out.tif").write_bytes(b"earlier")
    keywords = dict(EXAMPLE, dem=tmp_path / "dem.tif", out=tmp_path / "out.tif", conditioned=tmp_path / "c.tif",
                    overwrite=True)

    def stop(share):
        if share > 0:
            raise Stop()

    def interrupt(share):
        if share > 0:
            os.kill(os.getpid(), signal.SIGINT)

    for progress, error in ((stop, Stop), (interrupt, KeyboardInterrupt)):
        with pytest.raises(error):
            lorvantide.channel_files(**keywords, progress=progress)
        assert sorted(os.listdir(tmp_path)) == ["dem.tif", "out.tif"]
        assert (tmp_path / "out.tif").read_bytes() == b"earlier"
    lorvantide.channel_files(**keywords)
    assert sorted(os.listdir(tmp_path)) == ["c.tif", "dem.tif", "out.tif"]
