# Type stub of the hulvex module (its compiled part _hulvex and __init__.py), for editors.
import os
from types import TracebackType
from typing import Any, Iterable, Optional, Sequence, Union

import numpy as np
import numpy.typing as npt

__version__: str

_Path = Union[str, "os.PathLike[str]"]

class Error(Exception):
    """A fault of a run or of its files, with the text `hulvex` prints after "error: "."""
    messages: list[str]  # the messages the tool prints before it ("message: ...")

class ChannelInfo:
    """A channel's entry in the channel vocabulary."""
    @property
    def channel(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def unit(self) -> str: ...
    @property
    def factor(self) -> float: ...
    @property
    def key(self) -> str: ...

class Run:
    """An open run: its parameters, step times and channels. Made by open_run."""
    @property
    def given(self) -> str: ...
    @property
    def path(self) -> str: ...
    @property
    def closed(self) -> bool: ...
    @property
    def messages(self) -> list[str]: ...
    @property
    def parameters(self) -> dict[str, Any]: ...
    @property
    def description(self) -> str: ...
    @property
    def last_channel(self) -> int: ...
    @property
    def steps(self) -> int: ...
    @property
    def times(self) -> npt.NDArray[np.float64]:
        """Read-only view of the step times, s (no copy)."""
    def channel(self, n: int, *, raw: bool = False) -> Union[npt.NDArray[np.float64], npt.NDArray[np.float32]]:
        """float64 in display units (a new array), or the stored float32 (a read-only view) with raw=True."""
    def channels(self, channels: Sequence[int], *, raw: bool = False) -> Union[npt.NDArray[np.float64], npt.NDArray[np.float32]]:
        """A new 2-D array, one column per channel."""
    @staticmethod
    def channel_info(n: int) -> ChannelInfo: ...
    def to_pandas(self, channels: Optional[Iterable[int]] = None) -> Any:
        """A pandas.DataFrame indexed by step time, columns "name [unit]"."""
    def stats(self, *, from_: Optional[float] = None, to: Optional[float] = None,
              channels: Optional[Sequence[int]] = None, threshold: Optional[float] = None,
              hysteresis: Optional[float] = None, exposure: Optional[float] = None) -> dict[str, Any]:
        """The dict of `hulvex stats RUN` with the same options."""
    def spectrum(self, *, from_: Optional[float] = None, to: Optional[float] = None,
                 channels: Optional[Sequence[int]] = None, segment: Optional[int] = None) -> dict[str, Any]:
        """The dict of `hulvex spectrum RUN` with the same options."""
    def render(self, step: int, scale: int = 1) -> npt.NDArray[np.uint8]:
        """The picture of `step`: uint8 (300*scale, 620*scale, 3), the pixels of `hulvex render`."""
    def close(self) -> None: ...
    def __enter__(self) -> "Run": ...
    def __exit__(self, exc_type: Optional[type[BaseException]], exc: Optional[BaseException],
                 tb: Optional[TracebackType]) -> bool: ...

def open_run(path: _Path) -> Run:
    """Opens a run (its .HVX file or its path without extension). A context manager."""

def compare(paths: Iterable[_Path], *, from_: Optional[float] = None, to: Optional[float] = None,
            threshold: Optional[float] = None, hysteresis: Optional[float] = None,
            exposure: Optional[float] = None) -> dict[str, Any]:
    """The dict of `hulvex compare --json` with the same options; the first run is the reference."""

def make_demo(directory: _Path) -> list[str]:
    """Writes the demonstration runs into `directory`; returns their .HVX paths."""

def _write_sample_run(directory: _Path, name: str, steps: int, dt: float = 0.01, last_channel: int = 11,
                      speed: float = 45.0, surge: float = 0.0, hull_type: int = 1) -> str: ...
