#!/usr/bin/env python3
"""Runs the benchmarks and prints each figure as a ratio against its floor from the same run."""
import argparse
import json
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


def nanoseconds(run):
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[run["time_unit"]]
    return run["real_time"] * scale


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("binary")
    parser.add_argument("--repetitions", type=int, default=10)
    parser.add_argument("--min-time", default="0.3")
    parser.add_argument("--windows", metavar="PROGRAM", help="the Windows build's held-file timing program")
    parser.add_argument("--runner", metavar="WINE_RUN", help="what runs the Windows program (its build's wine-run)")
    args = parser.parse_args()
    runs = medians(args.binary, args.repetitions, args.min_time)
    t = {name: nanoseconds(run) for name, run in runs.items()}
    rows = []

    def ratio(label, value, target=None, unit="x"):
        verdict = "" if target is None else ("met" if value <= target else "MISSED")
        shown_target = "" if target is None else f"<= {target:g}{unit}"
        rows.append((label, f"{value:.3g}{unit}", shown_target, verdict))

    ratio("drawn frame / floor", t["BM_Overlay_DrawnFrame"] / t["BM_Overlay_DrawnFrameFloor"], 1.25)
    allocations = runs["BM_Overlay_DrawnFrame"]["allocations_per_frame"]
    ratio("allocations per drawn frame", allocations, 0, unit="")
    ratio("hidden frame / empty call", t["BM_Overlay_HiddenFrame"] / t["BM_Overlay_HiddenFrameFloor"])
    ratio("stats file write / plain write and move", t["BM_StatsFile_Write"] / t["BM_StatsFile_WriteFloor"], 1.2)
    rows.append(("counted match end", f"{t['BM_Tracking_CountedMatchEnd'] / 1000:.3g} us", "", ""))
    for lines in (10, 10000):
        own, floor = t[f"BM_SettingsPage_Load/{lines}"], t[f"BM_SettingsPage_LoadFloor/{lines}"]
        ratio(f"settings page load, {lines} lines / copy-sync-move floor", own / floor, 2)
    over_copy = {}
    for lines in (10000, 1000000):
        own, floor = t[f"BM_SettingsPage_Rewrite/{lines}"], t[f"BM_SettingsPage_RewriteFloor/{lines}"]
        over_copy[lines] = own / floor
        ratio(f"settings page rewrite, {lines} lines / copy floor", own / floor, 2)
    # A page past the caches costs more per line for any copy; against the copy's own
    # growth, the rewrite grows no faster.
    ratio("settings page rewrite over copy, 1 000 000 / 10 000 lines", over_copy[1000000] / over_copy[10000], 1.5)
    # Forty times the timers: a queue that grows with log n costs a little more (the
    # larger one also leaves the caches), one that looks at every timer forty times as much.
    ratio("simulated timer among 40 000 / among 1 000 pending",
          t["BM_SimHost_TimerAmongPending/40000"] / t["BM_SimHost_TimerAmongPending/1000"], 3)

    if args.windows:
        # A program holding the stats file, each way: what a counted match end and a
        # retry then cost the game's thread, against the same with the file free.
        w = {name: nanoseconds(run) for name, run in windows_medians(args.runner, args.windows,
                                                                      args.repetitions).items()}
        for measure, label in (("BM_HeldFile_CountedMatchEnd", "counted match end"), ("BM_HeldFile_Retry", "retry")):
            free = w[f"{measure}/free"]
            rows.append((f"Windows (Wine): {label}, file free", f"{free / 1000:.0f} us", "", ""))
            for name, value in w.items():
                holder = name.split("/", 1)[1]
                if name.startswith(measure + "/") and holder != "free":
                    ratio(f"Windows (Wine): {label}, held ({holder}) / free", value / free, 1.5)

    width = max(len(row[0]) for row in rows)
    print(f"{'figure':<{width}}  {'measured':>10}  {'target':>8}")
    for label, value, target, verdict in rows:
        print(f"{label:<{width}}  {value:>10}  {target:>8}  {verdict}")
    for name in ("BM_Overlay_DrawnFrame", "BM_StatsFile_Write", "BM_Tracking_CountedMatchEnd"):
        print(f"  {name}: {t[name]:.0f} ns")
    return 1 if any(row[3] == "MISSED" for row in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
