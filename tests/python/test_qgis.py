"""The QGIS plugin, headless through qgis_process, against lorvantide-raster channel.

Hermetic: a profile folder of its own (QGIS_CUSTOM_CONFIG_PATH), the plugin
copied into a plugin folder of its own (QGIS_PLUGINPATH; QGIS leaves its
bytecode there), the sample's GIS data copied for each run (QGIS writes
statistics beside rasters).
"""

import os
import shutil
import subprocess

from conftest import SOURCE
from test_channel_files import raster_tool


def qgis_process(tmp_path, *arguments):
    # Debian's qgis_process is a script that passes the desktop's --noversioncheck
    # (from /etc/default/qgis), which qgis_process itself refuses: run the program.
    program = os.environ["QGIS_PROCESS"]
    if os.path.exists(program + ".bin"):
        program += ".bin"
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QGIS_CUSTOM_CONFIG_PATH=str(tmp_path / "profile"),
               QGIS_PLUGINPATH=str(tmp_path / "plugins"), XDG_RUNTIME_DIR=str(tmp_path))
    done = subprocess.run([program, *arguments], env=env, capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout


def test_both_algorithms_write_the_commands_files(tmp_path):
    shutil.copytree(SOURCE / "qgis" / "lorvantide_processing", tmp_path / "plugins" / "lorvantide_processing")
    assert "* lorvantide_processing" in qgis_process(tmp_path, "plugins", "enable", "lorvantide_processing")

    def sample(name):
        """The sample's GIS data in a folder of its own (QGIS leaves statistics beside the DEM, which the
        conditioned DEM would carry), and its options, for the command line and for QGIS."""
        shutil.copytree(SOURCE / "sample" / "gis", tmp_path / name)
        dem, layers = str(tmp_path / name / "valle.tif"), str(tmp_path / name / "rio.gpkg")
        return ([f"DEM={dem}", f"BANKS={layers}|layername=banks", f"ZONE={layers}|layername=zone",
                 f"CONTOUR={layers}|layername=contours"] + common,
                ["--dem", dem, "--banks", layers, "--banks-layer", "banks", "--zone", layers, "--zone-layer", "zone",
                 "--contour", layers, "--contour-layer", "contours", "--contour-where", "elev = 210"])

    common = ["RAILING_HEIGHT=1.5", "CONTOUR_ALTITUDE=210", "SCALE=10", "NODATA=-1"]
    raster_tool(sample("cli")[1] + ["--railing-height", "1.5", "--contour-altitude", "210", "--scale", "10",
                                    "--nodata", "-1", "-o", str(tmp_path / "cli.tif"),
                                    "--conditioned", str(tmp_path / "cli_dem.tif")])
    qgis_process(tmp_path, "run", "lorvantide:channel", "--", *sample("channel")[0], "CONTOUR_WHERE=elev = 210",
                 "MEMORY=8M", "THREADS=2",
                 f"OUTPUT={tmp_path / 'channel.tif'}", f"CONDITIONED={tmp_path / 'channel_dem.tif'}")
    qgis_process(tmp_path, "run", "lorvantide:conditioned", "--", *sample("conditioned")[0], "CONTOUR_WHERE=elev = 210",
                 "CONTOUR_ALTITUDE_FIELD=elev",
                 f"CONDITIONED={tmp_path / 'conditioned.tif'}")
    for cli, made in (("cli.tif", "channel.tif"), ("cli_dem.tif", "channel_dem.tif"), ("cli_dem.tif", "conditioned.tif")):
        assert (tmp_path / cli).read_bytes() == (tmp_path / made).read_bytes(), made
