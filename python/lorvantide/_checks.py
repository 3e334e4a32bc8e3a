"""Checks of single arguments, shared by channel and channel_files.

Each returns the value as the extensions take it, or raises TypeError (the
wrong kind of value) or ValueError (the right kind, a wrong value) with the
texts of _messages.
"""

import math
import numbers
import operator
import os

from . import _messages as text

INT32_MIN = -2147483648
INT32_MAX = 2147483647


def whole(name, value):
    """An integer (Python or numpy), not a bool; NaN is named as such."""
    if isinstance(value, numbers.Real) and not isinstance(value, numbers.Integral) and math.isnan(value):
        raise ValueError(text.NAN_WHOLE.format(name=name))
    if isinstance(value, bool) or not hasattr(value, "__index__"):
        raise TypeError(text.NOT_WHOLE.format(name=name, type=type(value).__name__))
    return operator.index(value)


def int32(name, value):
    value = whole(name, value)
    if not INT32_MIN <= value <= INT32_MAX:
        raise ValueError(text.INT32_RANGE.format(name=name, value=value))
    return value


def tone(name, value):
    value = whole(name, value)
    if not 0 <= value <= 255:
        raise ValueError(text.TONE_RANGE.format(name=name, value=value))
    return value


def flag(name, value):
    if not isinstance(value, bool):
        raise TypeError(text.NOT_BOOL.format(name=name, type=type(value).__name__))
    return value


def finite(name, value):
    """A real number (not a bool) that is neither infinite nor NaN."""
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(text.NOT_NUMBER.format(name=name, type=type(value).__name__))
    if not math.isfinite(value):
        raise ValueError(text.NOT_FINITE.format(name=name, value=value))
    return value


def positive(name, value):
    value = finite(name, value)
    if not value > 0:
        raise ValueError(text.NOT_POSITIVE.format(name=name, value=value))
    return value


def words_text(name, value):
    """A str that can be handed to C (no NUL)."""
    if not isinstance(value, str):
        raise TypeError(text.NOT_TEXT.format(name=name, type=type(value).__name__))
    if "\0" in value:
        raise ValueError(text.NUL_IN_TEXT.format(name=name))
    return value


def path(name, value):
    """A str or os.PathLike path, as a str."""
    if not isinstance(value, (str, os.PathLike)):
        raise TypeError(text.NOT_PATH.format(name=name, type=type(value).__name__))
    value = os.fspath(value)
    if not isinstance(value, str):
        raise TypeError(text.NOT_PATH.format(name=name, type=type(value).__name__))
    return words_text(name, value)


def number_word(value):
    """A number as the command line reads it back exactly (shortest round trip)."""
    return str(value) if isinstance(value, numbers.Integral) else repr(float(value))
