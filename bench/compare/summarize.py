#!/usr/bin/env python3
"""Medians of halvane-render --bench tables, as a Markdown table.

    summarize.py ROUND-PLUGIN.txt...

Each file holds one --bench run: a header line "Name (path): ...", a column line
and one line per workload. Files named N-... belong to round N; the ratio of
Halvane's synthe-64 to amsynth's notes-64 cost per voice-sample is taken within
each round, then its median reported.
"""
import os
import re
import statistics
import sys

ROW = re.compile(r"^(\S+)\s+(\d+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)x\s+([\d.]+)\s+(-?[\d.]+)$")


def main():
    runs = {}  # (plugin, workload) -> list of (round, notes, cpu, ns, rt, all)
    for path in sys.argv[1:]:
        round_id = os.path.basename(path).split("-", 1)[0]
        plugin = None
        for line in open(path, encoding="utf-8", errors="replace"):
            line = line.rstrip("\n")
            if plugin is None and " (" in line and "): " in line:
                plugin = line.split(" (", 1)[0]
                continue
            m = ROW.match(line)
            if m and plugin:
                runs.setdefault((plugin, m.group(1)), []).append(
                    (round_id, int(m.group(2)), float(m.group(3)), float(m.group(4)),
                     float(m.group(5)), float(m.group(6))))
    if not runs:
        sys.exit("no bench results found")
    print("| Plug-in | Workload | Notes | CPU s per s of audio | ns per voice-sample "
          "(min-max) | Real-time factor | All threads CPU s/s | Runs |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    for (plugin, workload), rows in runs.items():
        ns = [r[3] for r in rows]
        print(f"| {plugin} | {workload} | {rows[0][1]} "
              f"| {statistics.median(r[2] for r in rows):.4f} "
              f"| {statistics.median(ns):.1f} ({min(ns):.1f}-{max(ns):.1f}) "
              f"| {statistics.median(r[4] for r in rows):.1f}x "
              f"| {statistics.median(r[5] for r in rows):.4f} | {len(rows)} |")
    ours = {r[0]: r[3] for r in runs.get(("Halvane", "synthe-64"), [])}
    theirs = {r[0]: r[3] for r in runs.get(("amsynth", "notes-64"), [])}
    ratios = [ours[k] / theirs[k] for k in ours if k in theirs and theirs[k] > 0]
    if ratios:
        print(f"\nHalvane synthe-64 / amsynth notes-64, ns per voice-sample, median of "
              f"{len(ratios)} rounds: {statistics.median(ratios):.2f}")


if __name__ == "__main__":
    main()
