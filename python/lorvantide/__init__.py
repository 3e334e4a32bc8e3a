"""Lorvantide: the elevation model of a river channel, from Python.

channel(slope, railing, zone, contour, ...) runs the console program's
computation on numpy arrays and returns the elevations with a report;
channel_files(dem=..., out=..., ...) runs `lorvantide-raster channel` on GIS
files, in-process, keyword for keyword. Both give, pixel for pixel, what the
programs give.

    import numpy, lorvantide
    elevations, report = lorvantide.channel(slope, railing, zone, contour,
                                            railing_height=10, contour_altitude=2100)
"""

from ._gis import RasterCommandError, RasterWarning, channel_files
from ._grids import ChannelReport, channel

__all__ = ["channel", "ChannelReport", "channel_files", "RasterCommandError", "RasterWarning"]
for _name in __all__:  # help() and tracebacks name them where they are used from
    globals()[_name].__module__ = __name__
del _name
