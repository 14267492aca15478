#!/usr/bin/env python3
"""Writes the "Measured speed" table of README.md from the benchmarks' JSON.

Usage: bench_table.py RESULTS_DIR README.md

RESULTS_DIR holds one Google Benchmark JSON file per executable
(NAME.json, as scripts/bench.sh writes them), each from one run with
interleaved repetitions. Every figure is a ratio of two benchmarks of the same
run: the ratio of their medians over the repetitions, and as its spread the
range from (first quartile / baseline's third quartile) to (third quartile /
baseline's first quartile). The table replaces what lies between the
bench-table markers in the README; the table is also printed.
"""
import json
import os
import re
import statistics
import sys

BEGIN = "<!-- bench-table:begin (written by scripts/bench_table.py; do not edit) -->"
END = "<!-- bench-table:end -->"


def load(results_dir, name):
    """{run_name: [value per repetition]} of real_time and of each counter."""
    path = os.path.join(results_dir, name + ".json")
    if not os.path.exists(path):
        return None
    with open(path) as f:
        data = json.load(f)
    runs = {}
    for b in data["benchmarks"]:
        if b.get("run_type") != "iteration" or b.get("error_occurred"):
            continue
        # Whole-process benchmarks time the wall clock (their names end in
        # /real_time); the others the CPU time (of the whole process where
        # the name ends in /process_time), which a busy neighbour on the
        # shared cores disturbs less.
        name = re.sub(r"/min_time:[0-9.]+|/iterations:[0-9]+|/repeats:[0-9]+|/process_time", "",
                      b["run_name"])
        wall = name.endswith("/real_time")
        if wall:
            name = name[: -len("/real_time")]
        entry = runs.setdefault(name, {})
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
        entry.setdefault("seconds", []).append(b["real_time" if wall else "cpu_time"] * scale)
        for key in ("peak_rss_kb", "differing_pixels", "bytes"):
            if key in b:
                entry.setdefault(key, []).append(b[key])
    return runs


def quartiles(values):
    if len(values) < 2:
        return values[0], values[0], values[0]
    q1, q2, q3 = statistics.quantiles(values, n=4, method="inclusive")
    return q1, q2, q3


def ratio(runs, a, b, key="seconds"):
    """'r (lo-hi)' for runs[a] / runs[b], or 'n/a' when either is missing."""
    if not runs or a not in runs or b not in runs:
        return "n/a"
    a1, a2, a3 = quartiles(runs[a][key])
    b1, b2, b3 = quartiles(runs[b][key])
    if min(b1, b2, b3) <= 0:
        return "n/a"
    return f"{fmt(a2 / b2)} ({fmt(a1 / b3)}-{fmt(a3 / b1)})"


def median(runs, a, key="seconds"):
    if not runs or a not in runs:
        return None
    return statistics.median(runs[a][key])


def fmt(x):
    if x >= 100:
        return f"{x:.0f}"
    if x >= 10:
        return f"{x:.1f}"
    return f"{x:.2f}" if x >= 0.1 else f"{x:.3g}"


def duration(seconds):
    if seconds is None:
        return "n/a"
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def backdrop_rows(results_dir):
    runs = load(results_dir, "backdrop_bench")
    rows = []
    for w, h in ((688, 453), (1920, 1080), (3840, 2160)):
        size = f"/w:{w}/h:{h}"
        floor = "BM_FloorMemset"
        paint = "BM_PaintBackdrop" + size
        peers = []
        for peer, label in (("BM_PeerQPainter", "QPainter, clip regions"),
                            ("BM_PeerQPainterBands", "QPainter, no clip"),
                            ("BM_PeerPixman", "pixman")):
            diff = median(runs, peer + size, "differing_pixels")
            note = "" if diff is None else f", {diff:.0f} px differ"
            # A drawing writes the frame at least once, so the floor over the
            # peer is about the least this ratio can be in the run (a drawing
            # that skips the fill under the tiles can go a little below it).
            least = median(runs, floor + size), median(runs, peer + size)
            if None not in least and least[1] > 0:
                note += f", floor {fmt(least[0] / least[1])}"
            peers.append(f"{label} {ratio(runs, paint, peer + size)}{note}")
        rows.append((f"`backdrop_bench` {w} x {h}: backdrop ({duration(median(runs, paint))})",
                     "vs floor (memset of the frame + memcpy of the tiles)",
                     ratio(runs, paint, floor + size)))
        rows.append((f"`backdrop_bench` {w} x {h}: backdrop",
                     "vs peers drawing the same picture (floor: the floor over the peer, about the least possible)",
                     "; ".join(peers)))
    first = "BM_PaintBackdropFirst/w:1920/h:1080"
    rows.append(("`backdrop_bench` 1920 x 1080: the first paint of a size (sheet copied, clips made)",
                 "vs a repeated paint", ratio(runs, first, "BM_PaintBackdrop/w:1920/h:1080")))
    return rows


def dictionary_rows(results_dir):
    runs = load(results_dir, "dictionary_bench")
    rows = []
    for entries in (10, 1000, 10000):
        base = f"BM_BaselineUnorderedMap/entries:{entries}"
        cases = []
        for case, label in ((0, "whole-text hit"), (1, "affix hit"), (2, "miss")):
            cases.append(f"{label} {ratio(runs, f'BM_Translate/entries:{entries}/case:{case}', base)}")
        rows.append((f"`dictionary_bench`: `Translate` on {entries:,} entries",
                     f"vs `unordered_map` hit of the same text ({duration(median(runs, base))})",
                     "; ".join(cases)))
    return rows


def registry_rows(results_dir):
    runs = load(results_dir, "registry_bench")
    rows = []
    for op in ("Read", "Write"):
        bench = f"BM_NewStore{op}/records:"
        one = bench + "1"
        figures = [f"{n:,}: {ratio(runs, bench + str(n), one)}" for n in (100, 1000)]
        rows.append((f"`registry_bench`: new store + one {op.lower()} per round (per process)",
                     f"N records vs 1 ({duration(median(runs, one))})", "; ".join(figures)))
    per_record = median(runs, "BM_ParseHive/records:1000")
    rows.append(("`registry_bench`: parsing 1,000 records, per record",
                 "(time, not a ratio)", duration(per_record / 1000 if per_record else None)))
    return rows


def durable_floor(runs, one, packs):
    """The floor's times at `packs` and 1, and the ratio they leave at least."""
    base = median(runs, one)
    floor_many = median(runs, f"BM_DurableRewrite/packs:{packs}")
    floor_one = median(runs, "BM_DurableRewrite/packs:1")
    if None in (base, floor_many, floor_one):
        return "n/a"
    least = (base + floor_many - floor_one) / base
    return f"{duration(floor_many)}; {duration(floor_one)}; {fmt(least)}"


def install_rows(results_dir):
    runs = load(results_dir, "install_bench")
    a, b = "BM_InstallProcess", "BM_CpThenSync"
    one = "BM_InstallWithPacks/packs:1"
    many = [f"{n:,}: {ratio(runs, f'BM_InstallWithPacks/packs:{n}', one)}" for n in (100, 1000)]
    size = median(runs, "BM_PackFileSize", "bytes")
    return [("`install_bench`: `tessaline --install DIR` process, fresh hive and folder",
             f"vs `cp` + `sync` of the same file ({duration(median(runs, b))})",
             ratio(runs, a, b)),
            ("`install_bench`: `tessaline --install DIR` with N packs recorded",
             f"vs 1 pack ({duration(median(runs, one))})", "; ".join(many)),
            ("`install_bench`: the floor under it: the hive written anew, synced and renamed "
             "(the record is one change)",
             "time at 100 packs; at 1; the least ratio above these leave for 100 packs",
             durable_floor(runs, one, 100)),
            ("`install_bench`: the pack file every install writes (the stripped program)",
             "(size, not a ratio)", "n/a" if size is None else f"{size / 1024:.0f} KiB")]


def startup_rows(results_dir):
    runs = load(results_dir, "startup_bench")
    a = "BM_InstallerToFirstPaint"
    rows = []
    for base, label in (("BM_PlainQtFormToFirstPaint", "a plain Qt window with the same controls"),
                        ("BM_BareQtApplication", "a bare Qt application")):
        rows.append((f"`startup/startup_bench`: start to first paint ({duration(median(runs, a))})",
                     f"vs {label}: time; peak memory",
                     f"{ratio(runs, a, base)}; {ratio(runs, a, base, 'peak_rss_kb')}"))
    one = "BM_InstallerWithPacks/packs:1"
    for n in (100, 1000):
        many = f"BM_InstallerWithPacks/packs:{n}"
        rows.append((f"`startup/startup_bench`: start to first paint with {n:,} packs recorded",
                     f"vs 1 pack ({duration(median(runs, one))}): time; peak memory",
                     f"{ratio(runs, many, one)}; {ratio(runs, many, one, 'peak_rss_kb')}"))
    return rows


def first_run_rows(results_dir):
    """The one run of scripts/first_run.sh (first_run.json), when it was made."""
    path = os.path.join(results_dir, "first_run.json")
    if os.path.exists(path):
        with open(path) as f:
            run = json.load(f)
        figures = (f"{fmt(run['total_s'])} s (configure {fmt(run['configure_s'])} s, "
                   f"build {fmt(run['build_s'])} s, start {fmt(run['start_s'])} s)")
    else:
        figures = "n/a (not measured: BENCH_FIRST_RUN=0)"
    return [("`scripts/first_run.sh`: `make run` in a fresh clone, under Xvfb",
             "one run, wall clock, no baseline", "fresh clone to first window: " + figures)]


def table(results_dir):
    lines = ["| benchmark | against | time / baseline: median (spread) |", "|---|---|---|"]
    for rows in (backdrop_rows, dictionary_rows, registry_rows, install_rows, startup_rows,
                 first_run_rows):
        for row in rows(results_dir):
            lines.append("| " + " | ".join(row) + " |")
    return "\n".join(lines)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    results_dir, readme = sys.argv[1], sys.argv[2]
    text = table(results_dir)
    print(text)
    with open(readme) as f:
        content = f.read()
    if BEGIN not in content or END not in content:
        sys.exit(f"bench_table: {readme} has no bench-table markers")
    head, rest = content.split(BEGIN, 1)
    _, tail = rest.split(END, 1)
    with open(readme, "w") as f:
        f.write(head + BEGIN + "\n" + text + "\n" + END + tail)


if __name__ == "__main__":
    main()
