"""hulvex: runs of the HULVEX planing-boat simulation as NumPy arrays, their statistics and
spectra as dicts, and comparisons of runs, computed by the same C++ code as the `hulvex` tool.

    import hulvex
    with hulvex.open_run("demo/SINE_HEAD.HVX") as run:
        heave = run.channel(0)            # float64, ft
        figures = run.stats(from_=10.0)   # the dict of `hulvex stats --from 10`

Every number equals the tool's for the same run and options; a fault of a run raises
hulvex.Error with the text the tool prints after "error: ".
"""

from ._hulvex import (  # noqa: F401
    ChannelInfo,
    Error,
    Run,
    __version__,
    _write_sample_run,
    compare,
    make_demo,
    open_run,
)

__all__ = ["ChannelInfo", "Error", "Run", "__version__", "compare", "make_demo", "open_run"]


def _column_name(n):
    info = Run.channel_info(n)
    return f"{info.name} [{info.unit}]"


def _to_pandas(self, channels=None):
    """The channels (all of them when None) as a pandas.DataFrame indexed by step time ("Time [s]"),
    one column per channel named "name [unit]", values in display units. pandas is imported here
    only; ImportError says how to install it when it is missing."""
    try:
        import pandas
    except ImportError as e:
        raise ImportError("Run.to_pandas needs pandas: install python3-pandas (apt) or pandas (pip)") from e
    if channels is None:
        channels = list(range(self.last_channel + 1))
    channels = list(channels)
    values = self.channels(channels)
    index = pandas.Index(self.times, name="Time [s]")
    return pandas.DataFrame(values, index=index, columns=[_column_name(n) for n in channels])


Run.to_pandas = _to_pandas
for _type in (ChannelInfo, Error, Run):
    _type.__module__ = __name__
del _type
