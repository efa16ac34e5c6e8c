#!/usr/bin/env python3
"""Runs the benchmarks once and prints one table: each figure beside its floor
(what the device or the protocol must take, or a bare reference) or its
target, and the ratio between them.

    bench-table.py BUILD_DIR [--markdown]
"""

import json
import os
import subprocess
import sys


def run(program, env=None):
    out = subprocess.run([program, "--benchmark_format=json"], check=True, capture_output=True, text=True,
                         env=env)
    return json.loads(out.stdout)["benchmarks"]


def unit_ms(b):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["real_time"] * scale


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = sys.argv[1]
    markdown = "--markdown" in sys.argv
    core = run(os.path.join(build, "bench", "cvk_bench"))
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    window_bench = os.path.join(build, "bench", "cvk_window_bench")
    window = run(window_bench, env) if os.path.exists(window_bench) else []
    rows = []  # (what, measured, floor or target, ratio)
    searches = {int(b["interfaces"]): unit_ms(b) * 1000 for b in core if b["name"].startswith("BM_ChannelSearch/")}
    fewest = min(searches) if searches else 0

    for b in core:
        name = b["name"]
        if name.startswith("BM_WriteAndVerify/"):
            rows.append((f"write and verify, {b.get('label', '')}, 1 ms per report", f"{b['wall_ms']:.1f} ms",
                         f"{b['floor_ms']:.1f} ms device and pauses", f"{b['ratio']:.3f}"))
        elif name.startswith("BM_ChannelSearch/"):
            n = int(b["interfaces"])
            rows.append((f"channel search, {n} interfaces", f"{searches[n]:.2f} µs",
                         f"{searches[fewest]:.2f} µs with {fewest}", f"{searches[n] / searches[fewest]:.2f}"))
        elif name.startswith("BM_DorrinReceiverStatusPoll"):
            rows.append(("status poll, CPU per 100 ms tick", f"{b['cpu_us_per_poll']:.0f} µs",
                         "100 ms tick", f"{b['cpu_us_per_poll'] / 100000:.5f}"))
        elif name == "BM_StrokesFromSignatureSe":
            per = unit_ms(b) * 1e6 / 254
            rows.append(("text to strokes, per keystroke (se)", f"{per:.1f} ns", "", ""))
        elif name.startswith("BM_FirmwareUpdate12KiB"):
            rows.append((f"firmware update, 12 KiB, {int(b['transfers'])} transfers of 1 ms",
                         f"{b['wall_ms']:.1f} ms", f"{b['transfers_ms']:.1f} ms transfers", f"{b['ratio']:.3f}"))
    for b in window:
        name = b["name"]
        if name.startswith("BM_PictureAreaPaint"):
            rows.append(("picture area paint", f"{unit_ms(b):.3f} ms", "target 2 ms", f"{unit_ms(b) / 2:.3f}"))
        elif name.startswith("BM_HoverHitTest"):
            rows.append(("hover hit test", f"{unit_ms(b) * 1000:.3f} µs", "target 5 µs",
                         f"{unit_ms(b) * 1000 / 5:.3f}"))
        elif name.startswith("BM_WindowStartAgainstBareDialog"):
            rows.append(("start to first paint", f"{b['window_ms']:.0f} ms", f"{b['bare_ms']:.0f} ms bare dialog",
                         f"{b['ratio']:.2f}"))
            if "window_peak_MiB" in b:
                rows.append(("peak memory at first paint", f"{b['window_peak_MiB']:.1f} MiB",
                             f"{b['bare_peak_MiB']:.1f} MiB bare dialog", f"{b['memory_ratio']:.2f}"))
        elif name.startswith("BM_IdleWindowCpu"):
            rows.append(("idle window CPU", f"{b['cpu_percent']:.2f} %", "target 1 %", f"{b['cpu_percent']:.2f}"))

    header = ("what", "measured", "floor or target", "ratio")
    if markdown:
        print("| " + " | ".join(header) + " |")
        print("|---|---|---|---|")
        for r in rows:
            print("| " + " | ".join(r) + " |")
        return
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(4)]
    for r in [header] + rows:
        print("  ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip())


if __name__ == "__main__":
    main()
