import os
from collections.abc import Callable, Mapping, Sequence
from dataclasses import dataclass
from typing import Any, Literal

import numpy
import numpy.typing

_Path = str | os.PathLike[str]

@dataclass(frozen=True)
class ChannelReport:
    channel_pixels: int
    minimum: int
    maximum: int
    contour_misses: int
    boundary_misses: int

def channel(
    slope: numpy.typing.NDArray[numpy.int32],
    railing: numpy.typing.NDArray[numpy.uint8],
    zone: numpy.typing.NDArray[numpy.uint8],
    contour: numpy.typing.NDArray[numpy.uint8],
    *,
    railing_height: int,
    contour_altitude: int,
    zone_tone: int = 255,
    railing_tone: int = 255,
    contour_tone: int = 255,
    perimeter: numpy.typing.NDArray[numpy.uint8] | None = None,
    perimeter_tone: int = 255,
    threads: int | None = None,
) -> tuple[numpy.typing.NDArray[numpy.int32], ChannelReport]: ...

class RasterCommandError(RuntimeError):
    reason: str
    def __init__(self, reason: str) -> None: ...

class RasterWarning(UserWarning): ...

def channel_files(
    *,
    dem: _Path,
    out: _Path,
    banks: _Path,
    zone: _Path,
    contour: _Path,
    railing_height: float,
    contour_altitude: float | Literal["dem"] | None = None,
    conditioned: _Path | None = None,
    lakes: _Path | None = None,
    contour_altitude_field: str | None = None,
    burn_only: bool = False,
    banks_layer: str | None = None,
    zone_layer: str | None = None,
    contour_layer: str | None = None,
    lakes_layer: str | None = None,
    banks_where: str | None = None,
    zone_where: str | None = None,
    contour_where: str | None = None,
    lakes_where: str | None = None,
    banks_class: float | None = None,
    zone_class: float | None = None,
    contour_class: float | None = None,
    lakes_class: float | None = None,
    all_touched: bool = False,
    assume_crs: str | None = None,
    scale: float = 100.0,
    nodata: float | None = None,
    unscale: bool = False,
    format: str | None = None,
    creation_options: Sequence[str] | str = (),
    output_type: str | None = None,
    overwrite: bool = False,
    config: Mapping[str, str] | None = None,
    progress: Callable[[float], Any] | None = None,
    memory: int | str | None = None,
    tile: int | None = None,
    threads: int | None = None,
) -> None: ...
