"""What the module's results share: how data ended, and the result objects'
fields and short repr."""

from __future__ import annotations

from typing import Any

END_OF_DATA = "end of data"
"""The data ended after a whole record ("No bytes read", "No data")."""
TRUNCATED = "truncated"
"""The data ended inside a record ("Byte mismatch", "Mismatch data")."""
READ_ERROR = "read error"
"""A read failed ("Error reading", "Read error"); the functions raise OSError."""


def _end_of(partial_bytes: int) -> str:
    return TRUNCATED if partial_bytes > 0 else END_OF_DATA


class _Result:
    """What the result objects share: fields set in the order of their
    __slots__, and a short repr."""

    __slots__: tuple[str, ...] = ()

    def __init__(self, *values: Any) -> None:
        for name, value in zip(self.__slots__, values, strict=True):
            setattr(self, name, value)

    def __repr__(self) -> str:
        fields = ", ".join(f"{name}={_brief(getattr(self, name))}" for name in self.__slots__)
        return f"{type(self).__name__}({fields})"


def _brief(value: Any) -> str:
    shape = getattr(value, "shape", None)
    return f"<array {shape}>" if shape is not None else repr(value)
