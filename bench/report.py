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


def nanoseconds(run):
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[run["time_unit"]]
    return run["real_time"] * scale


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("binary")
    parser.add_argument("--repetitions", type=int, default=10)
    parser.add_argument("--min-time", default="0.3")
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
    ratio("stats file write / plain open-write-close", t["BM_StatsFile_Write"] / t["BM_StatsFile_WriteFloor"], 1.2)
    rows.append(("counted match end", f"{t['BM_Tracking_CountedMatchEnd'] / 1000:.3g} us", "", ""))
    per_line = {}
    for lines in (10, 10000, 1000000):
        own = t[f"BM_SettingsPage_Rewrite/{lines}"]
        floor = t[f"BM_SettingsPage_RewriteFloor/{lines}"]
        per_line[lines] = own / lines
        ratio(f"settings page, {lines} lines / copy floor", own / floor, 2)
    ratio("settings page per line, 1 000 000 / 10 000 lines", per_line[1000000] / per_line[10000], 1.5)

    width = max(len(row[0]) for row in rows)
    print(f"{'figure':<{width}}  {'measured':>10}  {'target':>8}")
    for label, value, target, verdict in rows:
        print(f"{label:<{width}}  {value:>10}  {target:>8}  {verdict}")
    for name in ("BM_Overlay_DrawnFrame", "BM_StatsFile_Write", "BM_Tracking_CountedMatchEnd"):
        print(f"  {name}: {t[name]:.0f} ns")
    return 1 if any(row[3] == "MISSED" for row in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
