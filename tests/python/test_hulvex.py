"""The Python module against the tool: every call gives what `hulvex` gives for the same run and
options, faults give the tool's error texts as hulvex.Error, and nothing crashes the interpreter."""
import csv
import importlib
import io
import json
import math
import os
import shutil
import struct
import sys

import numpy as np
import pytest

import hulvex

EXAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "examples")


def test_version_is_the_tools(cli):
    assert cli.run("--version").stdout.split() == ["hulvex", hulvex.__version__]


def test_run_matches_info(cli, demo_runs, sample_runs):
    for path in demo_runs[::2] + sample_runs[:1]:
        info = cli.json("info", path)
        with hulvex.open_run(path) as run:
            assert run.path == info["RunPath"]
            assert run.parameters == info["RunParameters"]
            assert run.last_channel == info["TimeHistory"]["LastChannel"]
            assert run.steps == info["TimeHistory"]["StepsIndexed"]
            assert run.times.dtype == np.float64 and run.times.shape == (run.steps,)
            with open(info["RunPath"] + ".TXT", encoding="cp1252", errors="replace") as txt:
                assert run.description[:10] == txt.read()[:10] != ""


def read_csv(cli, path, raw):
    text = cli.run("csv", path, *(["--raw"] if raw else [])).stdout
    rows = np.loadtxt(io.StringIO(text), delimiter=",", skiprows=1, dtype=np.float64)
    return rows[:, 1], rows[:, 2:]


@pytest.mark.parametrize("which", [0, 1])
def test_channels_match_csv(cli, sample_runs, demo_runs, which):
    path = [sample_runs[1], demo_runs[2]][which]
    times, raw = read_csv(cli, path, raw=True)
    with hulvex.open_run(path) as run:
        np.testing.assert_array_equal(run.times, times)
        for n in range(run.last_channel + 1):
            stored = run.channel(n, raw=True)
            assert stored.dtype == np.float32
            np.testing.assert_array_equal(stored, raw[:, n].astype(np.float32))
            shown = run.channel(n)
            assert shown.dtype == np.float64
            np.testing.assert_array_equal(shown, stored.astype(np.float64) * run.channel_info(n).factor)
        both = run.channels([3, 0, 3])
        np.testing.assert_array_equal(both, np.stack([run.channel(3), run.channel(0), run.channel(3)], axis=1))
        np.testing.assert_array_equal(run.channels([7, 2], raw=True)[:, 1], run.channel(2, raw=True))


def test_zero_copy_as_documented(sample_runs):
    run = hulvex.open_run(sample_runs[0])
    times, stored = run.times, run.channel(2, raw=True)
    # Views of the run's memory: read-only, shared between calls, alive after close.
    assert not times.flags.writeable and not stored.flags.writeable
    assert np.shares_memory(times, run.times) and np.shares_memory(stored, run.channel(2, raw=True))
    with pytest.raises(ValueError):
        stored[0] = 1
    # Display values and 2-D arrays are new arrays of their own.
    shown = run.channel(2)
    assert shown.flags.writeable and not np.shares_memory(shown, run.channel(2))
    expected_first = float(times[0])
    run.close()
    assert run.closed and float(times[0]) == expected_first and stored.sum() == stored.sum()


def test_channel_info_is_the_vocabulary():
    # The program's conversions: g from ft/s² (g = 32.18 ft/s²), degrees from radians, knots from
    # ft/s (the 6072 ft nautical mile).
    cases = [(0, "ft", 1.0), (2, "g", 1 / 32.18), (3, "deg", 180 / math.pi), (7, "kt", 3600 / 6072)]
    for n, unit, factor in cases:
        info = hulvex.Run.channel_info(n)
        assert (info.channel, info.unit) == (n, unit)
        assert info.factor == pytest.approx(factor, rel=1e-4)
    assert hulvex.Run.channel_info(12).unit == "raw" and hulvex.Run.channel_info(12).factor == 1.0


def same_outcome(call, tool_outcome, check=lambda ours, tools: ours == tools):
    """The call succeeds where the tool does (check compares the results), and raises
    hulvex.Error with the tool's text where the tool fails."""
    error, output = tool_outcome
    if error is None:
        assert check(call(), output)
    else:
        with pytest.raises(hulvex.Error) as e:
            call()
        assert str(e.value) == error


STATS_OPTIONS = [
    ({}, []),
    ({"from_": 5.0, "to": 20.0}, ["--from", "5", "--to", "20"]),
    ({"channels": [7, 0], "threshold": 0.05, "hysteresis": 0.1, "exposure": 3.0},
     ["--channels", "7,0", "--threshold", "0.05", "--hysteresis", "0.1", "--exposure", "3"]),
    ({"from_": 1e9}, ["--from", "1e9"]),  # no step in the window: the tool's error
]


@pytest.mark.parametrize("options,args", STATS_OPTIONS)
def test_stats_match_the_tool(cli, sample_runs, demo_runs, options, args):
    # Every demonstration run with the default options, two runs with each other set.
    paths = demo_runs + sample_runs if not options else [sample_runs[1], demo_runs[1]]
    for path, tools in zip(paths, cli.per_run("stats", paths, *args)):
        with hulvex.open_run(path) as run:
            same_outcome(lambda: run.stats(**options), tools)


@pytest.mark.parametrize("options,args", [
    ({}, []),
    ({"from_": 2.0, "to": 25.0, "channels": [7, 2], "segment": 256},
     ["--from", "2", "--to", "25", "--channels", "7,2", "--segment", "256"]),
])
def test_spectrum_matches_the_tool(cli, demo_runs, options, args):
    paths = demo_runs[:3]
    for path, tools in zip(paths, cli.per_run("spectrum", paths, *args)):
        with hulvex.open_run(path) as run:
            same_outcome(lambda: run.spectrum(**options), tools)


@pytest.mark.parametrize("options,args", [
    ({}, []),
    ({"from_": 3.0, "threshold": 0.01, "hysteresis": 0.0, "exposure": 0.5},
     ["--from", "3", "--threshold", "0.01", "--hysteresis", "0", "--exposure", "0.5"]),
])
def test_compare_matches_the_tool(cli, sample_runs, demo_runs, options, args):
    paths = [sample_runs[0], sample_runs[1], demo_runs[0]]
    same_outcome(lambda: hulvex.compare(paths, **options), cli.outcome("compare", "--json", *paths, *args))


def test_compare_errors_are_the_tools(cli, sample_runs, tmp_path):
    missing = str(tmp_path / "NONE.HVX")
    for paths, args in [([sample_runs[0], missing], []), (sample_runs, ["--from", "100", "--to", "200"])]:
        tools = cli.outcome("compare", "--json", *paths, *args)
        assert tools[0]
        same_outcome(lambda: hulvex.compare(paths, **({"from_": 100.0, "to": 200.0} if args else {})), tools)


def read_png(path):
    import matplotlib.image
    image = matplotlib.image.imread(path)
    return np.rint(image[:, :, :3] * 255).astype(np.uint8)


@pytest.mark.skipif(not hulvex._hulvex._have_render, reason="built without the picture drawing")
def test_render_matches_the_tool(cli, demo_runs, tmp_path):
    for path, step in [(demo_runs[0], 0), (demo_runs[3], 700)]:
        png = tmp_path / "step.png"
        assert cli.run("render", path, step, "-o", png).returncode == 0
        with hulvex.open_run(path) as run:
            picture = run.render(step)
            assert picture.dtype == np.uint8 and picture.shape == (300, 620, 3)
            np.testing.assert_array_equal(picture, read_png(png))
            assert run.render(step, scale=2).shape == (600, 1240, 3)


def test_to_pandas(sample_runs):
    pandas = pytest.importorskip("pandas")
    with hulvex.open_run(sample_runs[0]) as run:
        frame = run.to_pandas([0, 3])
        assert isinstance(frame, pandas.DataFrame)
        assert list(frame.columns) == ["Height of the centre of gravity [ft]", "Pitch [deg]"]
        np.testing.assert_array_equal(frame.index.to_numpy(), run.times)
        np.testing.assert_array_equal(frame.iloc[:, 1].to_numpy(), run.channel(3))
        assert run.to_pandas().shape == (run.steps, run.last_channel + 1)


def test_wrong_calls_raise_and_name_the_fault(sample_runs, tmp_path):
    run = hulvex.open_run(sample_runs[0])
    steps = run.steps
    cases = [
        (lambda: hulvex.open_run(3), TypeError, "os.PathLike"),
        (lambda: hulvex.open_run(str(tmp_path / "NONE.HVX")), hulvex.Error, "File not found"),
        (lambda: run.channel("2"), TypeError, ""),
        (lambda: run.channel(12), hulvex.Error, "Channel 12 is not in this run: it stores channels 0 to 11"),
        (lambda: run.channel(-1), hulvex.Error, "Channel -1 is not in this run"),
        (lambda: run.channels(5), TypeError, ""),
        (lambda: run.stats(from_="0"), TypeError, ""),
        (lambda: run.stats(segment=64), TypeError, ""),
        (lambda: run.stats(from_=5.0, to=1.0), ValueError, "from_ is after to"),
        (lambda: run.stats(hysteresis=-0.1), ValueError, "hysteresis"),
        (lambda: run.stats(channels=[110]), ValueError, "110"),
        (lambda: run.spectrum(segment=100), ValueError, "power of two"),
        (lambda: run.render(steps), IndexError, f"the run has steps 0 to {steps - 1}"),
        (lambda: run.render(-1), IndexError, "out of range"),
        (lambda: run.render(0, scale=0), ValueError, "scale"),
        (lambda: hulvex.compare("ab"), TypeError, "list"),
        (lambda: hulvex.compare([sample_runs[0]]), ValueError, "two runs"),
    ]
    for call, kind, text in cases:
        with pytest.raises(kind) as e:
            call()
        assert text in str(e.value)
    run.close()
    run.close()  # twice is harmless
    for call in [lambda: run.times, lambda: run.channel(0), lambda: run.stats(), lambda: run.render(0)]:
        with pytest.raises(hulvex.Error, match="is closed"):
            call()
    assert issubclass(hulvex.Error, Exception)


def test_threads_share_a_run_and_close_it(sample_runs):
    # Calls on one run from several threads (the GIL released while they read) give what one
    # thread gets; a close meanwhile makes the later calls raise hulvex.Error, and nothing hangs.
    import concurrent.futures
    with hulvex.open_run(sample_runs[1]) as run:
        expected = (run.stats(), run.channel(5, raw=True).copy())
    run = hulvex.open_run(sample_runs[1])

    def work(_):
        try:
            return run.stats(), run.channels([9, 5, 1], raw=True)[:, 1].copy()
        except hulvex.Error as e:
            assert "is closed" in str(e)
            return None

    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        results = list(pool.map(work, range(8)))
        pending = [pool.submit(work, i) for i in range(8)]
        run.close()
        closing = [f.result(timeout=120) for f in pending]
    for r in results + closing:
        if r is not None:
            assert r[0] == expected[0] and np.array_equal(r[1], expected[1])
    assert all(r is not None for r in results)


# ---- the bad runs: damaged copies of a written run ----

HVX_SIZE, RECORD = 328, 64


def step_at(s):
    return RECORD * (s + 1)


def cut(ext, size):
    return lambda run: os.truncate(run + ext, size)


def remove(ext):
    return lambda run: os.remove(run + ext)


def patch(ext, offset, data):
    def damage(run):
        with open(run + ext, "r+b") as f:
            f.seek(offset)
            f.write(data)
    return damage


BAD_RUNS = {
    "missing_hvx": remove(".HVX"),
    "missing_tts": remove(".TTS"),
    "missing_txt": remove(".TXT"),
    "missing_boat": lambda run: os.remove(os.path.join(os.path.dirname(run), "B.BOT")),
    **{f"hvx_cut_{n}": cut(".HVX", n) for n in (0, 98, HVX_SIZE - 1)},
    **{f"tts_cut_{n}": cut(".TTS", n) for n in (0, 7, RECORD, RECORD + 30, step_at(5), step_at(8) + 9)},
    "wrong_magic": patch(".TTS", 0, struct.pack("<h", 31999)),
    "last_channel_too_high": patch(".TTS", 2, struct.pack("<h", 200)),
    "last_channel_negative": patch(".TTS", 2, struct.pack("<h", -1)),
    "last_step_negative": patch(".TTS", 52, struct.pack("<i", -1)),
    "step_misnumbered": patch(".TTS", step_at(3), struct.pack("<i", 99)),
    "step_time_nan": patch(".TTS", step_at(5) + 4, struct.pack("<d", math.nan)),
    "step_time_backwards": patch(".TTS", step_at(7) + 4, struct.pack("<d", -1.0)),
    "values_infinite": patch(".TTS", step_at(9) + 12, struct.pack("<ff", math.inf, -math.inf)),
}


@pytest.fixture(scope="module")
def bad_runs(tmp_path_factory):
    base = tmp_path_factory.mktemp("bad")
    runs = {}
    for name, damage in BAD_RUNS.items():
        d = base / name
        d.mkdir()
        run = hulvex._write_sample_run(d, "BAD", 40, surge=1.0)[: -len(".HVX")]
        damage(run)
        runs[name] = run + ".HVX"
    return runs


@pytest.fixture(scope="module")
def bad_run_statistics(cli, bad_runs):
    """The tool's statistics of every bad run, from one call: the open of `hulvex stats` is that of
    `hulvex info` and open_run, so an open's fault has the same text in all three."""
    paths = list(bad_runs.values())
    return dict(zip(paths, cli.per_run("stats", paths)))


# Where the picture is checked too: a boat file missing, a step misnumbered, a history cut short.
RENDERED = {"missing_boat", "step_misnumbered", f"tts_cut_{step_at(5)}", "missing_tts"}


@pytest.mark.parametrize("name", BAD_RUNS)
def test_bad_run_gives_the_tools_error(cli, bad_runs, bad_run_statistics, name):
    path = bad_runs[name]
    error, stats = bad_run_statistics[path]
    try:
        run = hulvex.open_run(path)
    except hulvex.Error as e:
        assert error == f"{path}: {e}"
        if "cannot be read" in str(e):
            assert e.messages and all(isinstance(m, str) for m in e.messages)  # the reason
        return
    with run:
        same_outcome(run.stats, (error, stats))
        for n in range(run.last_channel + 1):
            assert run.channel(n).shape == (run.steps,)
        if hulvex._hulvex._have_render and name in RENDERED:
            same_outcome(lambda: run.render(0), cli.outcome("render", path, 0, "-o", os.devnull),
                         lambda ours, tools: ours.shape == (300, 620, 3))


# ---- the examples ----

def import_example(name):
    """The example script examples/NAME.py as a module."""
    sys.path.insert(0, EXAMPLES)
    try:
        return importlib.import_module(name)
    finally:
        sys.path.remove(EXAMPLES)


def test_campaign_on_two_workers_equals_a_sequential_loop(demo_runs, sample_runs, tmp_path):
    pytest.importorskip("distributed")
    campaign = import_example("campaign")
    directory = tmp_path / "runs"
    shutil.copytree(os.path.dirname(demo_runs[0]), directory)
    shutil.copytree(os.path.dirname(sample_runs[0]), directory, dirs_exist_ok=True)
    (directory / "BROKEN.HVX").write_bytes(b"\0" * 10)
    out = tmp_path / "campaign.csv"
    assert campaign.main([str(directory), "--output", str(out), "--workers", "2", "--threads", "--from", "1"]) == 1

    sequential = io.StringIO()
    campaign.write_csv([campaign.stats_row(p, {"from_": 1.0}) for p in campaign.runs_in(str(directory))], sequential)
    assert out.read_text() == sequential.getvalue()
    rows = list(csv.DictReader(io.StringIO(sequential.getvalue())))
    assert len(rows) == len(demo_runs) + len(sample_runs) + 1
    assert rows[0]["Run"].endswith("BROKEN.HVX") and rows[0]["Error"] != "" and rows[1]["Error"] == ""
    with hulvex.open_run(rows[1]["Run"]) as run:
        assert float(rows[1]["Channels[2].Rms"]) == run.stats(from_=1.0)["Channels"][1]["Rms"]


def test_analysis_example_writes_its_plot(tmp_path, capsys):
    pytest.importorskip("matplotlib")
    analysis = import_example("analysis")
    png = tmp_path / "plot.png"
    analysis.main(["--output", str(png), "--demo-dir", str(tmp_path / "demo")])
    assert png.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert "impacts:" in capsys.readouterr().out
