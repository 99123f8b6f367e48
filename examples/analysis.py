#!/usr/bin/env python3
"""A first analysis of a run, notebook-style: writes the demonstration runs, opens one, plots
heave, pitch and vertical acceleration to a PNG and prints its statistics and spectrum figures.

    examples/analysis.py [--output analysis.png] [--run NAME] [--demo-dir DIR]
"""
import argparse
import os
import tempfile

import matplotlib

matplotlib.use("Agg")  # files only, no display needed
import matplotlib.pyplot as plt

import hulvex


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--output", "-o", default="analysis.png", help="the PNG to write")
    p.add_argument("--run", default=None, help="the demonstration run's name (default: the first)")
    p.add_argument("--demo-dir", default=None, help="where to write the demonstration runs (default: a temporary one)")
    a = p.parse_args(argv)

    directory = a.demo_dir or tempfile.mkdtemp(prefix="hulvex-demo-")
    runs = hulvex.make_demo(directory)
    path = next(r for r in runs if a.run is None or os.path.basename(r).upper().startswith(a.run.upper()))

    with hulvex.open_run(path) as run:
        print(f"{run.path}: {run.steps} steps, {run.times[0]:g} s to {run.times[-1]:g} s")
        print(run.description.splitlines()[0] if run.description else "(no description)")

        fig, axes = plt.subplots(3, 1, sharex=True, figsize=(8, 6))
        for ax, n in zip(axes, (0, 3, 2)):
            info = run.channel_info(n)
            ax.plot(run.times, run.channel(n), linewidth=0.8)
            ax.set_ylabel(f"{info.name}\n[{info.unit}]", fontsize=8)
        axes[-1].set_xlabel("Time [s]")
        fig.suptitle(os.path.basename(run.path))
        fig.tight_layout()
        fig.savefig(a.output, dpi=100)
        print(f"wrote {a.output}")

        stats = run.stats()
        for ch in stats["Channels"]:
            info = run.channel_info(ch["Channel"])
            print(f"{info.name:35s} mean {ch['Mean']:10.4g}  rms {ch['Rms']:10.4g}  max {ch['Max']:10.4g} {info.unit}")
        impacts = stats["Impacts"]
        print(f"impacts: {impacts['PeakCount']} peaks, A1/3 {impacts['A1_3']} g, largest {impacts['Largest']} g")

        spectrum = run.spectrum()
        print(f"spectra: {spectrum['Segments']} segments of {spectrum['SegmentSamples']} samples")
        for ch in spectrum["Channels"]:
            figures = ", ".join(f"{k} {ch.get(k)}" for k in ("M0", "SignificantDoubleAmplitude", "Tz", "Tp"))
            print(f"  {ch['Name']:33s} [{ch['Unit']}] {figures}")


if __name__ == "__main__":
    main()
