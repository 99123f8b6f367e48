"""Shared fixtures of the module's tests: the tool (HULVEX_CLI, set by CTest) run as a user runs
it, and the runs written once per session by the project's writers."""
import json
import os
import subprocess

import pytest

import hulvex


def _cli_environment():
    # The tool of a sanitizer build carries its own runtime: the one preloaded into this
    # interpreter must not be preloaded into it too.
    env = dict(os.environ)
    env.pop("LD_PRELOAD", None)
    if "HULVEX_CLI_ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] = env["HULVEX_CLI_ASAN_OPTIONS"]
    return env


class Cli:
    """The `hulvex` program of the same build."""

    def __init__(self, program):
        self.program = program
        self.env = _cli_environment()

    def run(self, *args):
        return subprocess.run([self.program, *map(str, args)], capture_output=True, text=True, env=self.env)

    def json(self, *args):
        r = self.run(*args)
        assert r.returncode == 0, r.stderr
        return json.loads(r.stdout)

    def outcome(self, *args):
        """(error, output): the texts the tool printed after "error: " joined by newlines, or None
        when it succeeded; its output read as JSON when it succeeded and printed JSON."""
        r = self.run(*args)
        if r.returncode == 0:
            return None, json.loads(r.stdout) if r.stdout.startswith("{") else r.stdout
        return "\n".join(line[len("error: "):] for line in r.stderr.splitlines() if line.startswith("error: ")), None

    def error(self, *args):
        return self.outcome(*args)[0]

    def per_run(self, command, paths, *args):
        """(error, object) of each run of one `hulvex stats` or `spectrum` call over all `paths`
        (one process for many runs): the object of a run, or the text the tool prints after
        "error: " for it ("RUN: reason")."""
        text = self.run(command, *paths, *args).stdout
        decoder, at, out = json.JSONDecoder(), 0, []
        while at < len(text.rstrip()):
            value, at = decoder.raw_decode(text, at)
            at += len(text[at:]) - len(text[at:].lstrip())
            failed = set(value) == {"Run", "Error"}
            out.append((f"{value['Run']}: {value['Error']}", None) if failed else (None, value))
        assert len(out) == len(paths)
        return out


@pytest.fixture(scope="session")
def cli():
    program = os.environ.get("HULVEX_CLI")
    if not program:
        pytest.fail("HULVEX_CLI must name the hulvex program of the build (CTest sets it)")
    return Cli(program)


@pytest.fixture(scope="session")
def demo_runs(tmp_path_factory):
    """The demonstration runs, as hulvex.make_demo writes them."""
    return hulvex.make_demo(tmp_path_factory.mktemp("demo"))


@pytest.fixture(scope="session")
def sample_runs(tmp_path_factory):
    """Two planing runs written by the run writers: 3000 steps steady, 2500 steps surging."""
    d = tmp_path_factory.mktemp("sample")
    return [hulvex._write_sample_run(d, "STEADY", 3000), hulvex._write_sample_run(d, "SURGE", 2500, surge=2.0)]
