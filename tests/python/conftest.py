"""What the Python tests share: the programs they compare with, and the runs of
the console program (the sample and the generated scenarios) as numpy arrays.

ctest sets LORVANTIDE_SOURCE_DIR, LORVANTIDE_BINARY, LORVANTIDE_RASTER_BINARY
and FLOODPLAIN_BENCH, and PYTHONPATH to the build folder's python/.
"""

import dataclasses
import os
import pathlib
import re
import shutil
import subprocess

import numpy
import pytest

SOURCE = pathlib.Path(os.environ["LORVANTIDE_SOURCE_DIR"])


@dataclasses.dataclass
class ConsoleRun:
    """A console run's inputs as channel() takes them, and what the program wrote."""
    arrays: list
    keywords: dict
    result: pathlib.Path = None  # the result pair, without its extension
    elevations: numpy.ndarray = None
    descriptor: list = None
    misses: tuple = (0, 0)


def _descriptor(path):
    return [int(word) for word in path.read_text().split()]


def load_run(root, answers):
    """The arrays and answers of a console run over the pairs under `root`."""
    words = answers.splitlines()
    folder, slope, railing, zone, contour, water = words[:6]
    rest = words[6:]
    perimeter = rest.pop(0) if water.strip() == "1" else None
    result = rest.pop(0)
    zone_tone, railing_tone, railing_height, contour_tone, contour_altitude = (int(w) for w in rest[:5])
    where = pathlib.Path(root) / folder
    lines, columns = _descriptor(where / (slope + "_m4.txt"))[:2]

    def mask(name):
        return numpy.fromfile(where / (name + ".raw"), numpy.uint8).reshape(lines, columns)

    run = ConsoleRun([numpy.fromfile(where / (slope + "_m4.raw"), "<i4").reshape(lines, columns),
                      mask(railing), mask(zone), mask(contour)],
                     dict(railing_height=railing_height, contour_altitude=contour_altitude, zone_tone=zone_tone,
                          railing_tone=railing_tone, contour_tone=contour_tone))
    if perimeter is not None:
        run.keywords.update(perimeter=mask(perimeter), perimeter_tone=int(rest[5]))
    run.result = where / (result + "_m4")
    return run


def run_console(root, answers):
    """The console program on `answers` with the image root `root`: its result and the misses it warned of."""
    run = load_run(root, answers)
    env = dict(os.environ, LORVANTIDE_IMAGES=str(root))
    done = subprocess.run([os.environ["LORVANTIDE_BINARY"]], input=answers.encode(), env=env, cwd=root,
                          capture_output=True, check=True)
    run.descriptor = _descriptor(run.result.with_suffix(".txt"))
    run.elevations = numpy.fromfile(run.result.with_suffix(".raw"), "<i4").reshape(run.descriptor[:2])
    warned = re.search(rb"Aviso: (\d+) pixeles del cauce sin curva de nivel y (\d+) sin limite", done.stdout)
    run.misses = (int(warned[1]), int(warned[2])) if warned else (0, 0)
    return run


@pytest.fixture(scope="session")
def images(tmp_path_factory):
    """An image root holding the sample (rio1) and the dense and sparse scenarios at 256 x 256."""
    root = tmp_path_factory.mktemp("images")
    shutil.copytree(SOURCE / "sample" / "images" / "rio1", root / "rio1")
    for kind in ("dense", "sparse"):
        subprocess.run([os.environ["FLOODPLAIN_BENCH"], "256", "--scenario", kind, "--write-only", str(root / kind)],
                       check=True, capture_output=True)
    return root


def answers_of(images, case):
    """The answers of a case: the sample's, a scenario's, or the sample's with its contour tone marking nothing."""
    if case in ("dense", "sparse"):
        return (images / case / "answers.txt").read_text()
    answers = (SOURCE / "sample" / "answers.txt").read_text()
    if case == "sample, no contour":
        words = answers.splitlines()
        words[11] = "7"  # the contour's tone: no pixel of curva holds it
        answers = "\n".join(words) + "\n"
    return answers
