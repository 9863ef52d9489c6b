#!/usr/bin/env python3
"""Runs the benchmark programs and prints, for each of our paths, the ratio
ours / peer of the median bytes per second, both measured in the same run
with their repetitions interleaved, so that the load of a shared machine
falls on both sides alike. Also prints how reading a saved system scales
with the drive count.

With --hostsim it prints instead how the simulator's per-request costs grow:
a new vynconf process's GETCONFIG over 64, 128 and 256 drives (and how often
each read the node registry), the tree build of 128 and 256 drives in every
repetition, and the console-text log of 0.45, 0.9 and 1.8 MB.

usage: bench/ratios.py [BUILD_DIR] [--repetitions N] [--min-time SECONDS] [--hostsim]
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


# The simulator's costs: (program, names, growth limit per doubling).
HOSTSIM_SCALING = [
    ("bench_family_getconfig", ["family_getconfig_process/64", "family_getconfig_process/128",
                                "family_getconfig_process/256"], 2.2),
    ("bench_family_stats", ["family_uart_log/460800", "family_uart_log/921600", "family_uart_log/1843200"], 2.2),
]
# Growth that must hold in every repetition, not only in the medians.
HOSTSIM_EVERY = ("bench_family_getconfig", ["family_system_xml/128", "family_system_xml/256"], 2.2)
# A new process reads the node registry once.
REGISTRY_READS = ("bench_family_getconfig", "family_getconfig_process/", "registry_reads", 1.0)


def run(program, names, repetitions, min_time, every=False):
    """Medians by name; with `every` also the time of each repetition."""
    pattern = "^(" + "|".join(n for n in sorted(set(names))) + ")$"
    cmd = [program, "--benchmark_filter=" + pattern, "--benchmark_format=json",
           "--benchmark_repetitions=%d" % repetitions, "--benchmark_enable_random_interleaving=true",
           "--benchmark_min_time=%g" % min_time]
    if not every:
        cmd.append("--benchmark_report_aggregates_only=true")
    out = subprocess.run(cmd, check=True, stdout=subprocess.PIPE, universal_newlines=True).stdout
    medians = {}
    repetitions_of = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            medians[b["run_name"]] = b
        elif b.get("run_type") == "iteration":
            repetitions_of.setdefault(b["run_name"], []).append(b["real_time"])
    return (medians, repetitions_of) if every else medians


def growth_lines(times, names, limit):
    """Prints the growth of each doubling; False when one is above the limit."""
    ok_all = True
    for smaller, larger, n in zip(times, times[1:], names[1:]):
        growth = larger / smaller
        ok = growth <= limit
        ok_all &= ok
        print("%-51s %8.2f %8.2f  %s" % (n + " time / half the size", growth, limit, "ok" if ok else "ABOVE"))
    return ok_all


def hostsim(args):
    failed = False
    print("%-51s %8s %8s" % ("", "growth", "limit"))
    for program, names, limit in HOSTSIM_SCALING:
        path = os.path.join(args.build, "bench", program)
        medians = run(path, names, args.repetitions, args.min_time)
        failed |= not growth_lines([medians[n]["real_time"] for n in names], names, limit)
        if program == REGISTRY_READS[0]:
            for n in names:
                reads = medians[n].get(REGISTRY_READS[2], 0.0)
                ok = reads <= REGISTRY_READS[3]
                failed |= not ok
                print("%-51s %8.2f %8.2f  %s" % (n + " node registry reads", reads, REGISTRY_READS[3],
                                                 "ok" if ok else "ABOVE"))
    program, names, limit = HOSTSIM_EVERY
    _, each = run(os.path.join(args.build, "bench", program), names, args.repetitions, args.min_time, every=True)
    growths = [b / a for a, b in zip(each[names[0]], each[names[1]])]
    worst = max(growths)
    ok = worst <= limit
    failed |= not ok
    print("%-51s %8.2f %8.2f  %s" % (names[1] + " / " + names[0].split("/")[1] + ", worst of %d" % len(growths),
                                     worst, limit, "ok" if ok else "ABOVE"))
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build/bench")
    parser.add_argument("--repetitions", type=int, default=9)
    parser.add_argument("--min-time", type=float, default=0.2)
    parser.add_argument("--hostsim", action="store_true")
    args = parser.parse_args()
    if args.hostsim:
        return hostsim(args)

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
