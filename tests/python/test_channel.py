"""lorvantide.channel against the console program, and what it refuses."""

import os
import signal
import threading
import time

import numpy
import pytest

import lorvantide
from conftest import answers_of, load_run, run_console


@pytest.mark.parametrize("case", ["sample", "sample, no contour", "dense", "sparse"])
def test_channel_is_the_console_programs_result(images, case):
    console = run_console(images, answers_of(images, case))
    arrays, keywords = console.arrays, console.keywords
    zone_tone = keywords["zone_tone"]
    # The same rasters as views of some lines of larger arrays, read in place.
    views = [numpy.pad(a, ((1, 2), (0, 5)))[1:-2, :a.shape[1]] for a in arrays]
    for threads, inputs in ((1, arrays), (3, arrays), (2, views)):
        elevations, report = lorvantide.channel(*inputs, **keywords, threads=threads)
        assert elevations.dtype == numpy.int32 and elevations.flags.c_contiguous
        numpy.testing.assert_array_equal(elevations, console.elevations)
        assert report == lorvantide.ChannelReport(int((arrays[2] == zone_tone).sum()), *console.descriptor[3:5],
                                                  *console.misses)
    if case == "sample, no contour":
        assert report.contour_misses > 0


def _sample(images):
    run = load_run(images, answers_of(images, "sample"))
    return run.arrays, run.keywords


def _changed(arrays, keywords, index=None, array=None, **changes):
    arrays = list(arrays)
    if index is not None:
        arrays[index] = array
    return arrays, dict(keywords, **changes)


# (what is changed, exception, words of its message)
REFUSALS = [
    (lambda a, k: _changed(a, k, 0, a[0].astype(numpy.float64)), TypeError, "slope must be an array of int32"),
    (lambda a, k: _changed(a, k, 0, a[0].tolist()), TypeError, "slope must be a numpy array, not list"),
    (lambda a, k: _changed(a, k, 2, a[2].astype(numpy.int32)), TypeError, "zone must be an array of uint8"),
    (lambda a, k: _changed(a, k, 0, a[0].ravel()), ValueError, "slope must be a 2-D array"),
    (lambda a, k: _changed(a, k, 0, a[0][:0]), ValueError, "slope has no pixel"),
    (lambda a, k: _changed(a, k, 3, a[3][:-1]), ValueError, "contour has shape (59, 80), the slope (60, 80)"),
    (lambda a, k: _changed(a, k, 1, numpy.asfortranarray(a[1])), ValueError, "railing are not side by side"),
    (lambda a, k: _changed(a, k, 1, a[1][:, ::-1]), ValueError, "railing are not side by side"),
    (lambda a, k: _changed(a, k, perimeter=k["perimeter"].astype(bool)), TypeError, "perimeter must be an array"),
    (lambda a, k: _changed(a, k, railing_height=float("nan")), ValueError, "railing_height is NaN"),
    (lambda a, k: _changed(a, k, railing_height=1.5), TypeError, "railing_height must be a whole number"),
    (lambda a, k: _changed(a, k, railing_height=True), TypeError, "railing_height must be a whole number"),
    (lambda a, k: _changed(a, k, contour_altitude=2 ** 31), ValueError, "contour_altitude must fit in 32 bits"),
    (lambda a, k: _changed(a, k, zone_tone=256), ValueError, "zone_tone must be a grey tone from 0 to 255"),
    (lambda a, k: _changed(a, k, railing_tone=-1), ValueError, "railing_tone must be a grey tone"),
    (lambda a, k: _changed(a, k, contour_tone="255"), TypeError, "contour_tone must be a whole number"),
    (lambda a, k: _changed(a, k, perimeter=None, perimeter_tone=7), ValueError, "pass perimeter too"),
    (lambda a, k: _changed(a, k, threads=0), ValueError, "threads must be from 1 to 64"),
    (lambda a, k: _changed(a, k, threads=2.0), TypeError, "threads must be a whole number"),
]


@pytest.mark.parametrize("change, error, words", REFUSALS)
def test_channel_refuses_what_it_cannot_read_in_place(images, change, error, words):
    arrays, keywords = change(*_sample(images))
    with pytest.raises(error) as refused:
        lorvantide.channel(*arrays, **keywords)
    assert words in str(refused.value)


def test_ctrl_c_stops_the_computation(images):
    """A KeyboardInterrupt ends channel() long before the computation would;
    the next call computes as if nothing had happened."""
    n = 2048
    slope = numpy.zeros((n, n), numpy.int32)
    zone = numpy.full((n, n), 255, numpy.uint8)
    railing, contour = numpy.zeros((n, n), numpy.uint8), numpy.zeros((n, n), numpy.uint8)
    railing[:, 0] = contour[:, -1] = 255
    arguments = dict(railing_height=10, contour_altitude=1000, threads=1)
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    started = time.process_time()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        lorvantide.channel(slope, railing, zone, contour, **arguments)
    interrupted = time.process_time() - started
    timer.join()
    started = time.process_time()
    elevations, report = lorvantide.channel(slope, railing, zone, contour, **arguments)
    whole = time.process_time() - started
    assert report.channel_pixels == n * n and elevations[0, -1] == 1000
    assert interrupted < whole / 2, (interrupted, whole)
