#!/usr/bin/env python3
"""Runs the benchmark programs and prints, for each of our paths, the ratio
ours / peer of the median bytes per second, both measured in the same run
with their repetitions interleaved, so that the load of a shared machine
falls on both sides alike. Also prints how reading a saved system scales
with the drive count.

usage: bench/ratios.py [BUILD_DIR] [--repetitions N] [--min-time SECONDS]
       BUILD_DIR defaults to build/bench
"""
import argparse
import json
import os
import subprocess
import sys

# (program, ours, peer, target ratio)
PAIRS = [
    ("bench_xml_write", "BM_XmlWriteTree", "BM_PugiBuildSaveTree", 1.0),
    ("bench_xml_write", "BM_XmlWriteTree", "BM_PugiSaveTree", 0.5),
    ("bench_xml_parse", "BM_XmlParseTree", "BM_PugiParseTree", 1.0),
    ("bench_xml_parse", "BM_XmlReadSystem/256", "BM_PugiParseWalk", 0.3),
    ("bench_base64", "base64_encode/1048576", "openssl_encode/1048576", 1.0),
    ("bench_base64", "base64_encode/10485760", "openssl_encode/10485760", 1.0),
    ("bench_base64", "base64_decode/1048576", "openssl_decode/1048576", 0.8),
    ("bench_base64", "base64_decode/10485760", "openssl_decode/10485760", 0.8),
    ("bench_cli_trace_log", "BM_TraceLogLine", "BM_BareOpenWriteClose", 0.9),
]

# Twice the drives and chunks may cost at most this much more time.
SCALING = ("bench_xml_parse", ["BM_XmlReadSystem/64", "BM_XmlReadSystem/128", "BM_XmlReadSystem/256"], 2.2)


def run(program, names, repetitions, min_time):
    pattern = "^(" + "|".join(n for n in sorted(set(names))) + ")$"
    cmd = [program, "--benchmark_filter=" + pattern, "--benchmark_format=json",
           "--benchmark_repetitions=%d" % repetitions, "--benchmark_enable_random_interleaving=true",
           "--benchmark_report_aggregates_only=true", "--benchmark_min_time=%g" % min_time]
    out = subprocess.run(cmd, check=True, stdout=subprocess.PIPE, universal_newlines=True).stdout
    medians = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            medians[b["run_name"]] = b
    return medians


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build/bench")
    parser.add_argument("--repetitions", type=int, default=9)
    parser.add_argument("--min-time", type=float, default=0.2)
    args = parser.parse_args()

    wanted = {}
    for program, ours, peer, _ in PAIRS:
        wanted.setdefault(program, []).extend([ours, peer])
    wanted.setdefault(SCALING[0], []).extend(SCALING[1])

    results = {}
    for program, names in wanted.items():
        path = os.path.join(args.build, "bench", program)
        results[program] = run(path, names, args.repetitions, args.min_time)

    failed = False
    print("%-24s %-26s %8s %8s  %s" % ("ours", "peer", "ratio", "target", ""))
    for program, ours, peer, target in PAIRS:
        a = results[program][ours]["bytes_per_second"]
        b = results[program][peer]["bytes_per_second"]
        ratio = a / b
        ok = ratio >= target
        failed |= not ok
        print("%-24s %-26s %8.2f %8.2f  %s" % (ours, peer, ratio, target, "ok" if ok else "BELOW"))

    program, names, limit = SCALING
    times = [results[program][n]["real_time"] for n in names]
    for smaller, larger, n in zip(times, times[1:], names[1:]):
        growth = larger / smaller
        ok = growth <= limit
        failed |= not ok
        print("%-51s %8.2f %8.2f  %s" % (n + " time / half the drives", growth, limit, "ok" if ok else "ABOVE"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
