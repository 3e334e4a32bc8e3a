"""lorvantide.channel: the console program's computation on numpy arrays."""

import dataclasses

from . import _channel
from . import _checks as check
from . import _messages as text


@dataclasses.dataclass(frozen=True)
class ChannelReport:
    """What channel() found besides the elevations.

    channel_pixels: pixels of the zone tone, each of which got an elevation.
    minimum, maximum: the extremes of the whole result raster as the console
        program's result descriptor gives them (a raster whose channel does not
        fill a line counts the 0 around it; they start from 1000000 and 0).
    contour_misses, boundary_misses: pixels interpolated by distance whose
        search met no contour line, or no lower boundary (railing or water-body
        perimeter), within 1500 pixels.
    """

    channel_pixels: int
    minimum: int
    maximum: int
    contour_misses: int
    boundary_misses: int


def _grid(numpy, name, array, dtype, hint, slope=None):
    """The array as the computation reads it in place, or the reason it cannot."""
    if not isinstance(array, numpy.ndarray):
        raise TypeError(text.NOT_AN_ARRAY.format(name=name, type=type(array).__name__))
    if array.dtype != dtype:
        raise TypeError(text.WRONG_DTYPE.format(name=name, dtype=numpy.dtype(dtype).name, actual=array.dtype, hint=hint))
    if array.ndim != 2:
        raise ValueError(text.NOT_2D.format(name=name, shape=array.shape))
    if slope is None:
        if array.size == 0:
            raise ValueError(text.EMPTY.format(name=name, shape=array.shape))
        if max(array.shape) > check.INT32_MAX:
            raise ValueError(text.TOO_LARGE.format(name=name, shape=array.shape))
    elif array.shape != slope.shape:
        raise ValueError(text.OTHER_SHAPE.format(name=name, shape=array.shape, slope_shape=slope.shape))
    if array.shape[1] > 1 and array.strides[1] != array.itemsize:
        raise ValueError(text.NOT_ROW_MAJOR.format(name=name))
    return array


def channel(slope, railing, zone, contour, *, railing_height, contour_altitude, zone_tone=255, railing_tone=255,
            contour_tone=255, perimeter=None, perimeter_tone=255, threads=None):
    """The elevation model of a river channel, as the console program computes it.

    Every pixel of the channel zone (zone == zone_tone) gets an elevation that
    rises, by distance, from the nearest lower boundary (the railing, i.e. the
    river banks, and the water bodies' perimeter when given) toward the
    altitude of the limiting contour line.

    slope: int32 array (lines, columns), the slope model: elevations as whole
        numbers in the computation's scale (e.g. centimetres).
    railing, zone, contour: uint8 arrays of the same shape, grey-tone masks of
        the river banks, the channel zone and the limiting contour line.
    railing_height: how far the railing stands above the channel bed, and
    contour_altitude: the altitude of the limiting contour line, both whole
        numbers in the slope's scale.
    zone_tone, railing_tone, contour_tone: the tone (0 to 255) that marks each
        mask's pixels.
    perimeter: uint8 array of the water bodies' shores (None: no water bodies),
        marked with perimeter_tone.
    threads: threads for the searches (None: LORVANTIDE_THREADS, or one per
        processor); the result does not depend on it.

    Returns (elevations, report): an int32 array of the slope's shape, equal
    pixel for pixel to the raw result the console program writes for the same
    answers (0 outside the channel), and a ChannelReport.

    The arrays are read in place, never copied: each must be of its exact
    dtype with the pixels of a line side by side (C order; a view of some of
    the lines of a larger array will do). The computation runs without the
    GIL; Ctrl-C (KeyboardInterrupt) stops it between two steps of its work
    (a block of 8192 searches at most). Wrong arguments raise TypeError or
    ValueError; MemoryError when the computation's own memory cannot be had.
    """
    import numpy

    slope = _grid(numpy, "slope", slope, numpy.int32, text.SLOPE_HINT)
    masks = [_grid(numpy, name, mask, numpy.uint8, text.MASK_HINT, slope)
             for name, mask in (("railing", railing), ("zone", zone), ("contour", contour))]
    parameters = _channel.Parameters()
    parameters.railing_height = check.int32("railing_height", railing_height)
    parameters.contour_altitude = check.int32("contour_altitude", contour_altitude)
    parameters.zone_tone = check.tone("zone_tone", zone_tone)
    parameters.railing_tone = check.tone("railing_tone", railing_tone)
    parameters.contour_tone = check.tone("contour_tone", contour_tone)
    parameters.perimeter_tone = check.tone("perimeter_tone", perimeter_tone)
    parameters.water_bodies = perimeter is not None
    if perimeter is not None:
        perimeter = _grid(numpy, "perimeter", perimeter, numpy.uint8, text.MASK_HINT, slope)
    elif perimeter_tone != 255:
        raise ValueError(text.PERIMETER_TONE_ALONE)
    if threads is None:
        threads = 0  # the extension's default: LORVANTIDE_THREADS, or one per processor
    elif not 1 <= check.whole("threads", threads) <= 64:
        raise ValueError(text.THREADS_RANGE.format(value=threads))
    try:
        elevations, *facts = _channel.channel(slope, *masks, perimeter, parameters, threads)
    except MemoryError:
        raise MemoryError(text.NO_MEMORY.format(lines=slope.shape[0], columns=slope.shape[1])) from None
    return elevations, ChannelReport(*facts)
