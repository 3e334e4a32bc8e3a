"""lorvantide.channel_files: `lorvantide-raster channel` in-process, keyword for keyword."""

import os
import warnings

from . import _checks as check
from . import _messages as text

# Each keyword and the command line's option it stands for, in the order of
# `lorvantide-raster channel --help`. -q has no keyword: the module prints
# nothing, and its warnings are Python warnings (the warnings module silences them).
OPTIONS = {
    "dem": "--dem", "band": "--band", "t_srs": "-t_srs", "tr": "-tr", "resampling": "-r",
    "out": "-o", "conditioned": "--conditioned",
    "banks": "--banks", "zone": "--zone", "contour": "--contour", "lakes": "--lakes",
    "banks_layer": "--banks-layer", "zone_layer": "--zone-layer",
    "contour_layer": "--contour-layer", "lakes_layer": "--lakes-layer",
    "banks_where": "--banks-where", "zone_where": "--zone-where",
    "contour_where": "--contour-where", "lakes_where": "--lakes-where",
    "banks_class": "--banks-class", "zone_class": "--zone-class",
    "contour_class": "--contour-class", "lakes_class": "--lakes-class",
    "all_touched": "--all-touched", "assume_crs": "--assume-crs",
    "railing_height": "--railing-height", "contour_altitude": "--contour-altitude",
    "contour_altitude_field": "--contour-altitude-field", "burn_only": "--burn-only", "scale": "--scale",
    "nodata": "--nodata", "unscale": "--unscale",
    "format": "-of", "creation_options": "-co", "conditioned_creation_options": "--conditioned-co",
    "output_type": "-ot", "memory": "--memory", "tile": "--tile", "threads": "--threads",
    "overwrite": "--overwrite", "config": "--config",
}
SOURCES = ("banks", "zone", "contour", "lakes")
INPUTS = ("dem",) + SOURCES
OUTPUTS = ("out", "conditioned")


class RasterCommandError(RuntimeError):
    """lorvantide-raster channel stopped on something in the data or the system
    (a layer that is not there, a mask without a pixel, a full disk): `reason`
    holds the command line's own message. Nothing was written."""

    def __init__(self, reason):
        super().__init__(text.COMMAND_FAILED.format(reason=reason))
        self.reason = reason


class RasterWarning(UserWarning):
    """A notice of lorvantide-raster channel (or GDAL) that did not stop it."""


def _virtual(path):
    return path.startswith("/vsi")


def _check_inputs(paths):
    for name, path in paths.items():
        if _virtual(path):
            continue
        if not os.path.exists(path):
            raise FileNotFoundError(2, text.NO_INPUT.format(name=name), path)
        if name == "dem" and os.path.isdir(path):
            raise IsADirectoryError(21, text.FOLDER_NOT_RASTER.format(name=name), path)


def _check_outputs(outputs, inputs, overwrite):
    for name, path in outputs.items():
        if not path or path.endswith("/"):
            raise ValueError(text.NO_FILE_NAME.format(name=name, path=path))
        folder = os.path.dirname(os.path.realpath(path))
        if not os.path.isdir(folder):
            raise FileNotFoundError(2, text.NO_FOLDER.format(name=name), folder)
        if not os.path.exists(path):
            continue
        for input_name, input_path in inputs.items():
            if not _virtual(input_path) and os.path.samefile(path, input_path):
                raise ValueError(text.OUTPUT_IS_INPUT.format(name=name, path=path, input=input_name))
        if os.path.isdir(path):
            raise IsADirectoryError(21, text.OUTPUT_IS_FOLDER.format(name=name), path)
        if not overwrite:
            raise FileExistsError(17, text.OUTPUT_EXISTS.format(name=name), path)
    if len(outputs) == 2 and os.path.realpath(outputs["out"]) == os.path.realpath(outputs["conditioned"]):
        raise ValueError(text.OUTPUT_TWICE.format(name="out", other="conditioned", path=outputs["out"]))


def _words(given):
    """The checked keywords as the command line's words."""
    words = []
    for keyword, option in OPTIONS.items():
        value = given.get(keyword)
        if value is None or value is False or keyword == "config":
            continue
        if value is True:
            words.append(option)
        elif keyword in ("creation_options", "conditioned_creation_options"):
            for entry in value:
                words += [option, entry]
        elif keyword == "tr":
            words += [option] + [check.number_word(size) for size in value]
        else:
            words += [option, value if isinstance(value, str) else check.number_word(value)]
    return words


def channel_files(*, dem, out, banks, zone, contour, railing_height, contour_altitude=None, conditioned=None,
                  lakes=None, contour_altitude_field=None, burn_only=False,
                  banks_layer=None, zone_layer=None, contour_layer=None, lakes_layer=None,
                  banks_where=None, zone_where=None, contour_where=None, lakes_where=None,
                  banks_class=None, zone_class=None, contour_class=None, lakes_class=None,
                  all_touched=False, assume_crs=None, scale=100.0, nodata=None, unscale=False,
                  format=None, creation_options=(), output_type=None, overwrite=False, config=None, progress=None,
                  band=None, t_srs=None, tr=None, resampling=None, conditioned_creation_options=None,
                  memory=None, tile=None, threads=None):
    """lorvantide-raster channel, in-process: from GIS data to the channel's elevation model.

    The keywords are the command's options (`man lorvantide-raster`), with
    '_' for '-': dem=--dem, out=-o, conditioned=--conditioned, banks=--banks,
    banks_layer=--banks-layer, banks_where=--banks-where,
    banks_class=--banks-class (and the same for zone, contour and lakes),
    all_touched, assume_crs, railing_height, contour_altitude (a number, or
    "dem" for the DEM's elevation along the contour line),
    contour_altitude_field (each contour feature's own altitude, from that
    field; contour_altitude is then optional), burn_only (the conditioned DEM
    as a plain burn instead of one that drains), scale (default
    100: hundredths of the DEM's unit), nodata, unscale, format=-of,
    creation_options=-co (a list of "NAME=VALUE"), output_type=-ot,
    overwrite=--overwrite and config=--config (a dict of GDAL options, set for
    this call only); band=--band (needed when the DEM has several bands),
    t_srs=-t_srs, tr=-tr (a pair of pixel sizes), resampling=-r (the DEM
    warped on the way in) and conditioned_creation_options=--conditioned-co
    (the conditioned DEM's own creation options; creation_options' when none);
    memory=--memory (bytes, or a text such as "2G"), tile=--tile and
    threads=--threads (the windowed route, for rasters larger than memory).

    dem is read as lorvantide-raster's import-dem reads it, the sources
    (vector layers, or class rasters on the DEM's grid) are burned onto its
    grid, the console program's computation runs on them, and `out` gets the
    channel's elevations (nodata outside the channel zone) and, when given,
    `conditioned` the DEM with the channel burned in, conditioned to drain
    unless burn_only: the very files the
    command writes. Outputs are written whole or not at all.

    progress: None, or a callable given the share done (0 to 1) now and then;
    an exception it raises stops the command (nothing is written) and is
    raised here. Ctrl-C (KeyboardInterrupt) stops it the same way.

    Wrong arguments raise TypeError or ValueError, missing inputs
    FileNotFoundError, an existing output without overwrite FileExistsError,
    an output that is an input ValueError; what the command finds wrong in
    the data raises RasterCommandError. Its notices are RasterWarning warnings.
    """
    given = dict(locals())
    try:
        from . import _raster
    except ImportError as error:
        raise ImportError(text.NO_GIS.format(reason=error)) from None
    for name in INPUTS + OUTPUTS + ("assume_crs", "format", "output_type", "contour_altitude_field", "t_srs",
                                    "resampling"):
        if given[name] is not None:
            given[name] = check.path(name, given[name]) if name in INPUTS + OUTPUTS else check.words_text(name, given[name])
    for source in SOURCES:
        for part in ("layer", "where", "class"):
            name = source + "_" + part
            if given[name] is None:
                continue
            if given[source] is None:
                raise ValueError(text.NEEDS_SOURCE.format(name=name, source=source))
            given[name] = check.finite(name, given[name]) if part == "class" else check.words_text(name, given[name])
    for name in ("all_touched", "unscale", "overwrite", "burn_only"):
        check.flag(name, given[name])
    scale = check.positive("scale", scale)
    if band is not None:
        check.int32("band", band)
    for name in ("tile", "threads"):
        if given[name] is not None:
            check.int32(name, given[name])
    if memory is not None:
        given["memory"] = check.words_text("memory", memory) if isinstance(memory, str) else check.whole("memory", memory)
    if tr is not None:
        if isinstance(tr, (str, bytes)) or len(tr) != 2:
            raise ValueError(text.PIXEL_SIZES.format(value=tr))
        given["tr"] = [check.positive("tr", size) for size in tr]
    heights = ["railing_height"]
    if contour_altitude is None:
        if contour_altitude_field is None:
            raise ValueError(text.NO_CONTOUR_ALTITUDE)
    elif not (isinstance(contour_altitude, str) and contour_altitude == "dem"):
        heights.append("contour_altitude")
    for name in heights:
        value = check.finite(name, given[name])
        if not -2147483648.5 < value * scale < 2147483647.5:
            raise ValueError(text.HEIGHT_OVERFLOW.format(name=name, value=value, scale=scale))
    if nodata is not None:
        check.finite("nodata", nodata)
    if output_type is not None:
        allowed = ("FLOAT32", "FLOAT64") if unscale else ("INT16", "UINT16", "INT32")
        if output_type.upper() not in allowed:
            raise ValueError(text.OUTPUT_TYPE.format(value=output_type))
    if format is not None and format.upper() in ("MEM", "VRT"):
        raise ValueError(text.FORMAT_MEM if format.upper() == "MEM" else text.FORMAT_VRT)
    if isinstance(creation_options, str):
        creation_options = [creation_options]
    given["creation_options"] = [check.words_text("creation_options", entry) for entry in creation_options]
    if isinstance(conditioned_creation_options, str):
        conditioned_creation_options = [conditioned_creation_options]
    if conditioned_creation_options is not None:
        given["conditioned_creation_options"] = [check.words_text("conditioned_creation_options", entry)
                                                 for entry in conditioned_creation_options]
    for entry in given["creation_options"] + (given["conditioned_creation_options"] or []):
        if "=" not in entry or entry.startswith("="):
            raise ValueError(text.CREATION_OPTION.format(option=entry))
    config = dict(config or {})
    for key, value in config.items():
        if not isinstance(key, str) or not isinstance(value, str) or not key or "\0" in key + value:
            raise ValueError(text.CONFIG_ENTRY.format(key=key, value=value))
    if progress is not None and not callable(progress):
        raise TypeError(text.NOT_CALLABLE.format(type=type(progress).__name__))

    inputs = {name: given[name] for name in INPUTS if given[name] is not None}
    outputs = {name: given[name] for name in OUTPUTS if given[name] is not None}
    _check_inputs(inputs)
    _check_outputs(outputs, inputs, overwrite)

    failure, notices = _raster.channel(_words(given), config, progress)
    for notice in notices:
        warnings.warn(notice, RasterWarning, stacklevel=2)
    if failure is not None:
        raise RasterCommandError(failure)
