#!/usr/bin/env bash
# Runs the channel benchmarks and prints each figure beside its peer.
#   bench/channels/run.sh [BUILD_DIR]   (default: build)
# Needs newsboat and curl for the refresh peers (scripts/install-deps --extras).
set -euo pipefail
build="${1:-build}"
bin="$build/bin/bench_channels"
[ -x "$bin" ] || { echo "no $bin: cmake --build $build --target bench_channels" >&2; exit 1; }
json="$(mktemp)"
trap 'rm -f "$json"' EXIT
"$bin" --benchmark_format=json --benchmark_out="$json" --benchmark_out_format=json >/dev/null
python3 - "$json" <<'PY'
import json, sys
runs = {b["name"]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]}
def find(prefix):
    return next(v for k, v in runs.items() if k.startswith(prefix))
rows = [
    ("RSS conversion, 20,000 items", "BM_ConvertRssToCacheFile", "libxml2 parse + save", "BM_LibxmlParseAndSave", 1.5),
    ("refresh --all, 200 feeds, loopback", "Refresh/kelvor-tool/loopback", "newsboat reload", "Refresh/newsboat/loopback", 0.2),
    ("refresh --all, 200 feeds, loopback", "Refresh/kelvor-tool/loopback", "libxml2 floor (no network)", "Refresh/libxml2-floor", None),
    ("refresh --all, 200 feeds, 50 ms server", "Refresh/kelvor-tool/50ms", "curl, 5 at a time", "Refresh/curl/50ms", 1.2),
]
for what, ours, peer_name, peer, aim in rows:
    a, b = find(ours), find(peer)
    verdict = "" if aim is None else ("  ok (aim <= %.1f)" % aim if a / b <= aim else "  MISSED (aim <= %.1f)" % aim)
    print("%-40s %8.0f ms   %-28s %8.0f ms   ratio %.2f%s" % (what, a, peer_name, b, a / b, verdict))
PY
