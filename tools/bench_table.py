#!/usr/bin/env python3
"""Turns the raw results of tools/bench.sh into one table: figure, measured, target, met?

Usage: bench_table.py RESULTS_FOLDER [--markdown]

Every "met?" is computed here from the measurements in RESULTS_FOLDER; a figure whose program
failed or printed nothing is "not measured" and counts as not met.
"""
import json
import math
import os
import sys

# DLLs every Windows installation carries; an import outside this list would have to be shipped.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msimg32.dll",
    "msvcrt.dll", "oleacc.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "shell32.dll",
    "shfolder.dll", "shlwapi.dll", "user32.dll", "uxtheme.dll", "version.dll", "winmm.dll",
    "dwmapi.dll",
}
MIB = 1024 * 1024


def read_pairs(folder, name):
    values = {}
    try:
        with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
            for line in f:
                key, sep, value = line.strip().partition("=")
                if sep:
                    try:
                        values[key] = float(value)
                    except ValueError:
                        values[key] = value
    except FileNotFoundError:
        pass
    return values


def read_core(folder):
    """Median real time in ms of every core benchmark, by name ("BM_SortNumeric/1024")."""
    times = {}
    try:
        with open(os.path.join(folder, "core.json"), encoding="utf-8") as f:
            data = json.load(f)
    except (FileNotFoundError, json.JSONDecodeError):
        return times
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    for bench in data.get("benchmarks", []):
        if bench.get("error_occurred"):
            continue
        if bench.get("run_type") == "aggregate" and bench.get("aggregate_name") != "median":
            continue
        name = bench.get("run_name", bench["name"])
        if "real_time" in bench and bench.get("time_unit") in scale:
            times[name] = bench["real_time"] * scale[bench["time_unit"]]
    return times


def fmt_ms(value):
    if value is None or (isinstance(value, float) and math.isnan(value)):
        return "?"
    if value >= 100:
        return f"{value:.0f} ms"
    if value >= 1:
        return f"{value:.1f} ms"
    return f"{value:.3f} ms"


class Table:
    def __init__(self):
        self.rows = []

    def add(self, figure, measured, target, met):
        self.rows.append((figure, measured, target, met))

    def missing(self, figure, target, why="not measured"):
        self.rows.append((figure, why, target, None))

    def text(self, markdown):
        head = ("figure", "measured", "target", "met?")
        cells = [head] + [(f, m, t, "yes" if ok else ("no" if ok is False else "not measured"))
                          for f, m, t, ok in self.rows]
        if markdown:
            lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
            lines += ["| " + " | ".join(row) + " |" for row in cells[1:]]
            return "\n".join(lines)
        widths = [max(len(row[i]) for row in cells) for i in range(len(head))]
        rule = "-+-".join("-" * w for w in widths)
        out = [" | ".join(c.ljust(w) for c, w in zip(cells[0], widths)), rule]
        out += [" | ".join(c.ljust(w) for c, w in zip(row, widths)) for row in cells[1:]]
        return "\n".join(out)


def num(values, key):
    value = values.get(key)
    return value if isinstance(value, float) and not math.isnan(value) else None


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    markdown = "--markdown" in sys.argv[2:]
    startup = read_pairs(folder, "startup.txt")
    launch = read_pairs(folder, "launch.txt")
    recorder = read_pairs(folder, "recorder.txt")
    paint = read_pairs(folder, "paint.txt")
    size = read_pairs(folder, "size.txt")
    core = read_core(folder)
    table = Table()

    # ---- Whole program under Wine, against the floor ----
    floor_ms, target_ms, ratio = (num(startup, k) for k in ("startup.floor_ms", "startup.target_ms", "startup.ratio"))
    if None not in (floor_ms, target_ms, ratio):
        note = ""
        if num(startup, "startup.sandbox_ignored"):
            note = " (the program ignored the sandbox)"
        table.add(f"start-up to visible window, later run, 20 items (median of {int(startup['startup.runs'])})",
                  f"{fmt_ms(target_ms)} vs floor {fmt_ms(floor_ms)} = {ratio:.2f}x{note}",
                  "<= 1.5 x floor", ratio <= 1.5)
    else:
        table.missing("start-up to visible window, later run, 20 items", "<= 1.5 x floor")

    floor_mib, target_mib, mem_ratio = (num(startup, k) for k in ("memory.floor_mib", "memory.target_mib", "memory.ratio"))
    if None not in (floor_mib, target_mib, mem_ratio):
        table.add("peak working set after the window shows",
                  f"{target_mib:.1f} MiB vs floor {floor_mib:.1f} MiB = {mem_ratio:.2f}x",
                  "<= 2 x floor", mem_ratio <= 2)
    else:
        table.missing("peak working set after the window shows", "<= 2 x floor")

    target_bytes = num(size, "size.target_bytes")
    imports = []
    try:
        with open(os.path.join(folder, "imports.txt"), encoding="utf-8") as f:
            imports = [line.strip() for line in f if line.strip()]
    except FileNotFoundError:
        pass
    if target_bytes is not None and imports:
        foreign = [dll for dll in imports if dll.lower() not in SYSTEM_DLLS]
        floor_bytes = num(size, "size.floor_bytes")
        floor_note = f", floor {floor_bytes / 1024:.0f} KiB" if floor_bytes else ""
        imported = ", ".join(sorted(d.lower() for d in imports))
        which = "only system DLLs" if not foreign else "non-system: " + ", ".join(foreign)
        table.add("size of sequora.exe, its imports",
                  f"{target_bytes / MIB:.2f} MiB{floor_note}; {which} ({imported})",
                  "<= 2 MiB, system DLLs only", target_bytes <= 2 * MIB and not foreign)
    else:
        table.missing("size of sequora.exe, its imports", "<= 2 MiB, system DLLs only")

    count = num(launch, "launch.count")
    missing = num(launch, "launch.missing") or 0
    if count:
        runs = int(launch["launch.runs"])
        median_abs = num(launch, "launch.median_abs_error_ms")
        max_abs = num(launch, "launch.max_abs_error_ms")
        median = num(launch, "launch.median_error_ms")
        slope = num(launch, "launch.slope_ms_per_s")
        drift = abs(slope) * 19 if slope is not None else None
        lost = f", {int(missing)} of {20 * runs} launches missing" if missing else ""
        table.add(f"launch timing, 20 items at delays 0..19 ({runs} runs): median |error|",
                  f"{fmt_ms(median_abs)} (signed median {median:+.1f} ms{lost})",
                  "<= 50 ms", median_abs <= 50 and not missing)
        table.add("launch timing: max |error|", fmt_ms(max_abs), "<= 250 ms", max_abs <= 250 and not missing)
        table.add("launch timing: drift with the delay d (least-squares slope)",
                  f"{slope:+.2f} ms per second of delay = {drift:.1f} ms over 19 s",
                  "|slope| x 19 s <= 50 ms", drift <= 50)
    else:
        why = "not measured"
        if missing:
            why = f"no launch recorded ({int(missing)} missing)"
        table.missing("launch timing, 20 items at delays 0..19", "median <= 50 ms, max <= 250 ms, no drift", why)

    # ---- Native core ----
    for rows, limit_ms, limit_text in ((1000, 5, "<= 5 ms"), (65000, 1000, "<= 1 s")):
        key = f"BM_TableFileSaveLoad/{rows}"
        if key in core:
            save, load = core.get(f"BM_TableFileSave/{rows}"), core.get(f"BM_TableFileLoad/{rows}")
            parts = f" (save {fmt_ms(save)}, load {fmt_ms(load)})" if save and load else ""
            table.add(f"table file save + load, {rows:,} rows x 6 columns", fmt_ms(core[key]) + parts,
                      limit_text, core[key] <= limit_ms)
        else:
            table.missing(f"table file save + load, {rows:,} rows x 6 columns", limit_text)

    if "BM_SortNumeric/10000" in core:
        table.add("SortNumeric, 10,000 rows, random delays", fmt_ms(core["BM_SortNumeric/10000"]), "<= 100 ms",
                  core["BM_SortNumeric/10000"] <= 100)
    else:
        table.missing("SortNumeric, 10,000 rows, random delays", "<= 100 ms")
    sizes = sorted(int(name.split("/")[1]) for name in core if name.startswith("BM_SortNumeric/"))
    sizes = [n for n in sizes if n & (n - 1) == 0]
    if len(sizes) >= 2:
        per = {n: core[f"BM_SortNumeric/{n}"] * 1e6 / (n * math.log2(n)) for n in sizes}
        spread = per[sizes[-1]] / per[sizes[0]]
        # Least-squares exponent of t over n on log-log axes, for comparison: n log n over this
        # range shows as about 1.1.
        xs = [math.log(n) for n in sizes]
        ys = [math.log(core[f"BM_SortNumeric/{n}"]) for n in sizes]
        mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
        exponent = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sum((x - mx) ** 2 for x in xs)
        series = ", ".join(f"{n // 1024}k {per[n]:.0f}" for n in sizes)
        table.add(f"SortNumeric growth {sizes[0] // 1024}k..{sizes[-1] // 1024}k rows: ns / (n log2 n)",
                  f"{series}; last/first {spread:.2f}x, t ~ n^{exponent:.2f}",
                  "roughly constant: last/first <= 2", spread <= 2)
    else:
        table.missing("SortNumeric growth 1k..64k rows", "roughly constant")
    dense = sorted(int(name.split("/")[1]) for name in core if name.startswith("BM_SortNumericDenseRows/"))
    dense = [n for n in dense if n & (n - 1) == 0]
    dense_note = None
    if len(dense) >= 2 and "BM_SortNumericDenseRows/10000" in core:
        per = {n: core[f"BM_SortNumericDenseRows/{n}"] * 1e6 / (n * math.log2(n)) for n in dense}
        dense_note = (f"The same quicksort over a dense array of rows (same comparisons and conversions, no row map): "
                      f"{fmt_ms(core['BM_SortNumericDenseRows/10000'])} at 10,000 rows; ns / (n log2 n) "
                      f"{per[dense[0]]:.0f} at {dense[0] // 1024}k, {per[dense[-1]]:.0f} at {dense[-1] // 1024}k "
                      f"({per[dense[-1]] / per[dense[0]]:.2f}x).")

    if "BM_PlanImport/1000" in core:
        road = core.get("BM_ImportIntoGrid/1000")
        extra = f" (with the grid read and filled: {fmt_ms(road)})" if road else ""
        table.add("import of 1,000 Run values into 1,000 items, half duplicates (PlanImport)",
                  fmt_ms(core["BM_PlanImport/1000"]) + extra, "<= 50 ms", core["BM_PlanImport/1000"] <= 50)
    else:
        table.missing("import of 1,000 Run values into 1,000 items", "<= 50 ms")

    # ---- Grid repaint under Wine ----
    buffered_ms = num(paint, "paint.buffered_ms")
    if buffered_ms is not None:
        paints = num(paint, "paint.buffered_paints") or 0
        to_memory = num(paint, "paint.buffered_to_memory") or 0
        to_screen = num(paint, "paint.buffered_to_screen") or 0
        copies = num(paint, "paint.buffered_copies") or 0
        direct_seen = (num(paint, "paint.direct_to_screen") or 0) > 0
        double_buffered = paints > 0 and to_memory > 0 and to_screen == 0 and copies == paints and direct_seen
        rows = num(paint, "paint.visible_rows") or 0
        per_paint = to_memory / paints if paints else 0
        how = (f"{per_paint:.0f} drawing calls into a memory DC per paint, {to_screen:.0f} on screen, "
               f"{copies / paints if paints else 0:.0f} copy to screen")
        table.add(f"grid repaint, {rows:.0f} rows x 6 columns in view",
                  f"{fmt_ms(buffered_ms)} (floor {fmt_ms(num(paint, 'paint.floor_ms'))}, unbuffered "
                  f"{fmt_ms(num(paint, 'paint.direct_ms'))}); {how}",
                  "double buffered; time reported", double_buffered)
    else:
        table.missing("grid repaint of a full window of rows", "double buffered; time reported")

    print(table.text(markdown))
    notes = [dense_note] if dense_note else []
    if num(recorder, "recorder.start_ms") is not None:
        notes.append(f"The launch recorder itself takes {fmt_ms(recorder['recorder.start_ms'])} from CreateProcess "
                     "to writing its time (part of every launch error).")
    if num(startup, "startup.not_closed"):
        notes.append(f"{int(startup['startup.not_closed'])} start-up runs did not close on WM_CLOSE and were ended.")
    if num(launch, "launch.not_ended"):
        notes.append("sequora.exe did not close itself after the launch sequence.")
    for key, values in (("startup", startup), ("launch", launch), ("paint", paint)):
        if "error" in values:
            notes.append(f"{key}: {values['error']}")
    machine = read_pairs(folder, "machine.txt")
    for key in ("machine", "wine", "date"):
        if key in machine:
            notes.append(f"{key}: {machine[key]}")
    for note in notes:
        print(("- " if markdown else "") + note)
    failed = sum(1 for row in table.rows if not row[3])
    print(f"{len(table.rows) - failed} met, {failed} missed")


if __name__ == "__main__":
    main()
