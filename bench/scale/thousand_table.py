#!/usr/bin/env python3
"""Prints the thousand-channel rows of bench/run from bench_thousand's JSON output."""
import json
import statistics
import sys

runs, counters = {}, {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("error_occurred"):
        continue
    name = b["name"].split("/manual_time")[0].split("/iterations")[0]
    runs[name] = b["real_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    counters[name] = b


def value(key):
    """A time in ms ("name", or "median:family" over name/0, name/1, ...) or a counter ("name#counter")."""
    if key.startswith("median:"):
        family = key[len("median:"):] + "/"
        return statistics.median(v for k, v in runs.items() if k.startswith(family))
    if "#" in key:
        name, counter = key.split("#")
        return counters[name][counter]
    return runs[key]


rows = [
    # what, ours, peer, peer name, unit, aim (ratio), aim (absolute, ours), aim text
    ("refresh --all of every feed (200 items each), nginx", "Thousand/refresh/kelvor-tool",
     "Thousand/refresh/libxml2-floor", "libxml2 floor, 5 threads", "ms", 1.3, None, "<= 1.3x"),
    ("kelvor-tool peak memory (max RSS) in that refresh", "Thousand/refresh/kelvor-tool#max_rss_MB",
     None, "", "MB", None, None, "informational"),
    ("processor time (user + system) of that refresh", "Thousand/refresh/kelvor-tool#cpu_s",
     "Thousand/refresh/libxml2-floor#cpu_s", "the floor's", "s", None, None, "informational"),
    ("index the copies from nothing", "Thousand/index-from-nothing",
     "Thousand/refresh/kelvor-tool", "that refresh", "ms", 3.0, None, "<= 3x"),
    ("processor time (user + system) of that index", "Thousand/index-from-nothing#cpu_s",
     "Thousand/refresh/kelvor-tool#cpu_s", "that refresh's", "s", None, None, "informational"),
    ("kelvor.db after that", "Thousand/sizes#db_MB", "Thousand/sizes#copies_MB",
     "the copies (rss/)", "MB", 1.2, None, "<= 1.2x"),
    ("search (median of 20 words), ranking included", "median:Thousand/search",
     "median:Thousand/grep", "grep -rlF over rss/", "ms", 0.1, 20.0, "<= 20 ms and <= 0.1x"),
    ("window up, the category of every channel open", "Thousand/window/category-open",
     "Thousand/window/10-channels", "the same with 10 channels", "ms", 1.1, None, "<= 1.1x"),
    ("memory (PSS), every channel of it open", "Thousand/memory/all-open#pss_MB",
     "Thousand/memory/10-channels-open#pss_MB", "the same with 10 channels", "MB", 1.5, None,
     "<= 1.5x"),
]


def shown(v, unit):
    return ("%.1f" % v if v >= 1 else "%.3f" % v) + " " + unit


channels = int(value("Thousand/refresh/kelvor-tool#channels"))
print("| benchmark (%s channels, %s entries) | ours | peer | peer value | ratio | aim |" %
      (format(channels, ","), format(channels * 200, ",")))
print("|---|---:|---|---:|---:|---|")
for what, ours, peer, peer_name, unit, ratio_aim, absolute_aim, aim in rows:
    try:
        a = value(ours)
        b = value(peer) if peer else None
    except (KeyError, ValueError, StopIteration, statistics.StatisticsError):
        print("| %s | failed | %s | | | %s |" % (what, peer_name, aim))
        continue
    if b is None or ratio_aim is None:
        if b is not None:
            print("| %s | %s | %s | %s | %.2f | %s |" % (what, shown(a, unit), peer_name, shown(b, unit), a / b, aim))
            continue
        print("| %s | %s | | | | %s |" % (what, shown(a, unit), aim))
        continue
    ok = a <= ratio_aim * b and (absolute_aim is None or a <= absolute_aim)
    print("| %s | %s | %s | %s | %.2f | %s %s |" %
          (what, shown(a, unit), peer_name, shown(b, unit), a / b, aim, "ok" if ok else "MISSED"))
