#!/usr/bin/env python3
"""The statistics of every run of a campaign on Dask, written as one CSV (one row per run).

    examples/campaign.py DIR [--scheduler ADDRESS] [--output FILE] [--workers N]
                             [--from S] [--to S] [--channels 0,2,3,7]

Without --scheduler the runs are computed on a local cluster of --workers processes; with it,
on the cluster whose scheduler listens at ADDRESS (tcp://host:8786), which may span many
machines (dask-scheduler and dask-worker by hand, or dask-jobqueue's SLURMCluster). Each task
opens one run and computes its figures with hulvex, as `hulvex stats` does; the workers need
hulvex installed and DIR readable at the same path.

The columns: Run, then every figure of the stats dict, named by its path ("Channels[2].Rms",
"Impacts.A1_3", "Iso2631.Vdv"), then Error (why a run gave no figures).
"""
import argparse
import csv
import math
import os
import sys

import hulvex


def runs_in(directory):
    """The .HVX files of `directory` (any letter case), sorted."""
    return sorted(os.path.join(directory, f) for f in os.listdir(directory) if f.upper().endswith(".HVX"))


def flatten(value, path, out):
    """Adds the numbers and texts of a stats dict to `out`, keyed by their path; the entries of a
    list that carry a "Channel" are named by it in brackets, others by their index."""
    if isinstance(value, dict):
        for key, v in value.items():
            flatten(v, f"{path}.{key}" if path else key, out)
    elif isinstance(value, list):
        for i, v in enumerate(value):
            label = v["Channel"] if isinstance(v, dict) and "Channel" in v else i
            flatten(v, f"{path}[{label}]", out)
    else:
        out[path] = value


def stats_row(path, options=None):
    """One run's row: its figures flattened, or its Error. Runs on a worker."""
    row = {"Run": path}
    try:
        with hulvex.open_run(path) as run:
            figures = run.stats(**(options or {}))
    except hulvex.Error as e:
        row["Error"] = str(e)
        return row
    for key in ("Run", "Error"):
        figures.pop(key, None)
    flatten(figures, "", row)
    return row


def cell(v):
    if v is None:
        return ""
    if isinstance(v, float):
        return "NaN" if math.isnan(v) else repr(v)
    return str(v)


def write_csv(rows, out):
    """The rows as CSV: Run first, Error last, every other column in order of first appearance."""
    columns = ["Run"]
    for row in rows:
        columns += [k for k in row if k not in ("Run", "Error") and k not in columns]
    columns.append("Error")
    seen = set(columns)
    assert all(k in seen for row in rows for k in row)
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(columns)
    for row in rows:
        writer.writerow([cell(row.get(c)) for c in columns])


def compute_rows(paths, options, scheduler=None, workers=2, threads=False):
    """stats_row of every path with dask.bag on the cluster at `scheduler`, or on a local cluster
    of `workers` processes (threads in this process with `threads`); rows in the order of paths."""
    import dask.bag
    from dask.distributed import Client, LocalCluster

    if scheduler:
        client = Client(scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=not threads,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        bag = dask.bag.from_sequence(paths, npartitions=max(1, min(len(paths), 64)))
        return bag.map(stats_row, options).compute()
    finally:
        client.close()
        if cluster is not None:
            cluster.close()


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("directory", metavar="DIR", help="the directory holding the runs (.HVX)")
    p.add_argument("--scheduler", metavar="ADDRESS", help="a Dask scheduler's address, tcp://host:8786")
    p.add_argument("--output", "-o", default="campaign.csv", help="the CSV file to write (default campaign.csv)")
    p.add_argument("--workers", type=int, default=os.cpu_count() or 2,
                   help="worker processes of the local cluster (default: one per core)")
    p.add_argument("--threads", action="store_true", help="the local cluster's workers as threads of this process")
    p.add_argument("--from", dest="from_", type=float, help="start of the time window, s")
    p.add_argument("--to", type=float, help="end of the time window, s")
    p.add_argument("--channels", help="per-channel rows, e.g. 0,2,3,7")
    a = p.parse_args(argv)

    options = {k: v for k, v in (("from_", a.from_), ("to", a.to)) if v is not None}
    if a.channels:
        options["channels"] = [int(c) for c in a.channels.split(",")]
    paths = runs_in(a.directory)
    if not paths:
        print(f"campaign: no .HVX file in {a.directory}", file=sys.stderr)
        return 1
    rows = compute_rows(paths, options, a.scheduler, a.workers, a.threads)
    with open(a.output, "w", newline="") as out:
        write_csv(rows, out)
    failed = sum("Error" in r for r in rows)
    print(f"campaign: {len(rows)} runs, {failed} failed, wrote {a.output}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
