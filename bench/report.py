#!/usr/bin/env python3
"""Runs the benchmarks and prints each figure as a ratio against its floor from the same run;
with --page, also writes the figures, their targets, the machine and the date as a Markdown page."""
import argparse
import datetime
import json
import os
import platform
import re
import subprocess
import sys


def medians(binary, repetitions, min_time):
    out = subprocess.run(
        [binary, "--benchmark_format=json", f"--benchmark_repetitions={repetitions}",
         "--benchmark_report_aggregates_only=true", f"--benchmark_min_time={min_time}",
         "--benchmark_enable_random_interleaving=true"],
        check=True, capture_output=True, text=True).stdout
    runs = {}
    for run in json.loads(out)["benchmarks"]:
        if run.get("aggregate_name") == "median":
            runs[run["run_name"]] = run
    return runs


def windows_medians(runner, program, repetitions):
    """The medians the Windows timing program prints, in the same form, run under Wine."""
    out = subprocess.run([runner, program, str(repetitions)], check=True, capture_output=True, text=True).stdout
    return {run["run_name"]: run for run in json.loads(out)["benchmarks"]}


def soak_growth(soak, sim, matches, baseline):
    """Peak memory of a long session against a shorter one, as the soak reports it."""
    out = subprocess.run([sys.executable, soak, "--sim", sim, "--matches", str(matches), "--baseline", str(baseline)],
                         capture_output=True, text=True)
    found = re.search(r"peak memory (\d+) KiB\n.*peak memory (\d+) KiB; \d+ / \d+: ([0-9.]+)", out.stdout)
    if out.returncode != 0 or not found:
        raise SystemExit(f"report: the soak failed:\n{out.stdout}{out.stderr}")
    return float(found.group(3)), int(found.group(1))


def nanoseconds(run):
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[run["time_unit"]]
    return run["real_time"] * scale


def first_line(command):
    try:
        return subprocess.run(command, capture_output=True, text=True).stdout.splitlines()[0].strip()
    except (OSError, IndexError):
        return "unknown"


def machine(runner):
    debian = open("/etc/debian_version").read().strip() if os.path.exists("/etc/debian_version") else "unknown"
    wine = first_line(["/usr/lib/wine/wine64", "--version"]) if runner else "not run"
    return (f"{os.cpu_count()} cores ({platform.machine()}), Debian {debian}, "
            f"{first_line(['c++', '--version'])}, Wine {wine}")


PAGE_HEAD = """# Performance

Written by `scripts/bench` from its last run; do not edit by hand. Each figure is
the median of repeated runs set against a floor measured in the same run: the least
the same work could cost done plainly. Google Benchmark runs the Linux figures with
repetitions in random order; it is packaged for Linux only, so the Windows build's
figures come from a small timing program of its own (`bench/heldFileTiming.cpp`),
run under Wine, that takes each case in turn in each repetition. The soak plays a
long session through quillfort-sim against a shorter one.

Run: {date}, on {machine}.

| Figure | Floor | Measured | Target | |
|---|---|---|---|---|
"""

PAGE_TAIL = """
What the figures mean:

- A drawn frame makes 23 canvas calls. Its texts are rebuilt only when their figure
  changes, which keeps a frame close to the cost of its calls; it allocates nothing.
- The stats file write is bound by the file system: the plugin also looks at what
  stands at the name first and keeps the file's permissions.
- On Windows, a held stats file costs the game's thread less than a free one: a
  refused move is one call, with no rename and no last-write time to set after it,
  and the in-place try that follows, where there is one, is cheaper than what it
  saves. Nothing is tried again on the game's thread while a program holds the file.
- The timer queue's cost grows with the logarithm of the number of pending timers:
  one that looked at every timer would cost forty times as much among forty times
  as many.

Wall-clock ratios on a shared virtual machine move by about ten percent from run to
run, some by more; a target missed by one run is worth a second run before a search.
Counting instructions (`valgrind --tool=callgrind`) gives steadier ratios for the
frame figures.
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("binary")
    parser.add_argument("--repetitions", type=int, default=10)
    parser.add_argument("--min-time", default="0.3")
    parser.add_argument("--windows", metavar="PROGRAM", help="the Windows build's held-file timing program")
    parser.add_argument("--runner", metavar="WINE_RUN", help="what runs the Windows program (its build's wine-run)")
    parser.add_argument("--soak", metavar="SIM", help="also run the soak with this quillfort-sim")
    parser.add_argument("--page", metavar="FILE", help="write the figures as a Markdown page")
    args = parser.parse_args()
    runs = medians(args.binary, args.repetitions, args.min_time)
    t = {name: nanoseconds(run) for name, run in runs.items()}
    rows = []  # figure, floor, measured, target, verdict

    def ratio(label, floor, value, target=None, unit="x"):
        verdict = "" if target is None else ("met" if value <= target else "MISSED")
        shown_target = "" if target is None else f"<= {target:g}{unit}"
        rows.append((label, floor, f"{value:.3g}{unit}", shown_target, verdict))

    ratio("drawn frame", "the same canvas calls and variable reads, texts built beforehand",
          t["BM_Overlay_DrawnFrame"] / t["BM_Overlay_DrawnFrameFloor"], 1.25)
    allocations = runs["BM_Overlay_DrawnFrame"]["allocations_per_frame"]
    ratio("heap allocations per drawn frame", "", allocations, 0, unit="")
    ratio("hidden frame (disabled or hidden)", "an empty drawable, through the same call",
          t["BM_Overlay_HiddenFrame"] / t["BM_Overlay_HiddenFrameFloor"])
    ratio("stats file write", "the same bytes to a new file moved over the old (open, write, close, rename)",
          t["BM_StatsFile_Write"] / t["BM_StatsFile_WriteFloor"], 1.2)
    rows.append(("counted match end (kickoff, handler, counting, file write, timer)", "",
                 f"{t['BM_Tracking_CountedMatchEnd'] / 1000:.3g} us", "", ""))
    for lines in (10, 10000):
        own, floor = t[f"BM_SettingsPage_Load/{lines}"], t[f"BM_SettingsPage_LoadFloor/{lines}"]
        ratio(f"settings page at load, {lines} lines",
              "the same lines copied to a new file that reaches the disk, moved, the folder synced", own / floor, 2)
    over_copy = {}
    for lines in (10000, 1000000):
        own, floor = t[f"BM_SettingsPage_Rewrite/{lines}"], t[f"BM_SettingsPage_RewriteFloor/{lines}"]
        over_copy[lines] = own / floor
        ratio(f"settings page rewrite in memory, {lines} lines", "the same lines copied with CR LF ends",
              own / floor, 2)
    # A page past the caches costs more per line for any copy; against the copy's own
    # growth, the rewrite grows no faster.
    ratio("settings page rewrite over its copy floor, 1 000 000 against 10 000 lines", "",
          over_copy[1000000] / over_copy[10000], 1.5)
    # Forty times the timers: a queue that grows with log n costs a little more (the
    # larger one also leaves the caches), one that looks at every timer forty times as much.
    ratio("quillfort-sim timer falling due among 40 000 pending", "the same among 1 000",
          t["BM_SimHost_TimerAmongPending/40000"] / t["BM_SimHost_TimerAmongPending/1000"], 3)

    if args.windows:
        # A program holding the stats file, each way: what a counted match end and a
        # retry then cost the game's thread, against the same with the file free.
        w = {name: nanoseconds(run) for name, run in windows_medians(args.runner, args.windows,
                                                                      args.repetitions).items()}
        for measure, label in (("BM_HeldFile_CountedMatchEnd", "counted match end"), ("BM_HeldFile_Retry", "retry")):
            free = w[f"{measure}/free"]
            rows.append((f"Windows (Wine): {label}, file free", "", f"{free / 1000:.0f} us", "", ""))
            for name, value in w.items():
                holder = name.split("/", 1)[1]
                if name.startswith(measure + "/") and holder != "free":
                    ratio(f"Windows (Wine): {label}, held ({holder})", "the same with the file free", value / free, 1.5)

    if args.soak:
        growth, peak = soak_growth(os.path.join(os.path.dirname(__file__), "..", "tests", "soak", "soak.py"),
                                   args.soak, 10000, 1000)
        ratio(f"soak peak memory, 10 000 matches ({peak / 1024:.1f} MiB)", "the same for 1 000 matches", growth, 1.1)

    width = max(len(row[0]) for row in rows)
    print(f"{'figure':<{width}}  {'measured':>10}  {'target':>8}")
    for label, _, value, target, verdict in rows:
        print(f"{label:<{width}}  {value:>10}  {target:>8}  {verdict}")
    for name in ("BM_Overlay_DrawnFrame", "BM_StatsFile_Write", "BM_Tracking_CountedMatchEnd"):
        print(f"  {name}: {t[name]:.0f} ns")
    if args.page:
        date = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
        with open(args.page, "w", encoding="utf-8") as page:
            page.write(PAGE_HEAD.format(date=date, machine=machine(args.runner)))
            for label, floor, value, target, verdict in rows:
                cells = (label, floor, value, target.replace("<=", "at most"), verdict)
                page.write("| " + " | ".join(cell.replace("|", "\\|") for cell in cells) + " |\n")
            page.write(PAGE_TAIL)
        print(f"written: {args.page}")
    return 1 if any(row[4] == "MISSED" for row in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
