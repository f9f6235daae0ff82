#!/usr/bin/env bash
# Fetch-and-parse rate of the collector against a bare curl download of the same export.
# Starts the device simulator with N events (default 100000), runs fetch_parse_bench and
# curl 5 times each and prints both medians in events/s and their ratio.
# Usage: bench/fetch_parse.sh [events]   (IXAN_BUILD_DIR: build folder, default build-bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${IXAN_BUILD_DIR:-$root/build-bench}
events=${1:-100000}
runs=5
user=bench
pass=secret

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DIXAN_BUILD_TESTS=OFF -DIXAN_BUILD_GUI=OFF >/dev/null
fi
ninja -C "$build" ixan-sim fetch_parse_bench >/dev/null

sim_out=$(mktemp)
"$build/tools/ixan-sim" --listen 127.0.0.1:0 --events "$events" --seed 7 \
                        --user "$user" --pass "$pass" >"$sim_out" 2>&1 &
sim_pid=$!
cleanup() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  rm -f "$sim_out"
}
trap cleanup EXIT

port=""
for _ in $(seq 200); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9][0-9]*\).*/\1/p' "$sim_out" | head -1)
  [ -n "$port" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$sim_out" >&2; exit 1; }
  sleep 0.05
done
[ -n "$port" ] || { echo "simulator did not report its port" >&2; cat "$sim_out" >&2; exit 1; }
url="http://127.0.0.1:$port/cgi/lgexport.cgi"

fetch_curl() {
  curl -s -X POST --data "user=$user&pass=$pass" "$url" -o /dev/null \
       -w '%{time_total} %{size_download} %{http_code}\n'
}
# Warm-up, not counted: the simulator's first answers (one per worker thread) are slow.
for _ in $(seq 8); do
  read -r _ bytes code < <(fetch_curl)
  [ "$code" = 200 ] || { echo "simulator answered $code" >&2; exit 1; }
done

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

ours=()
fetch_only=()
for _ in $(seq "$runs"); do
  line=$("$build/bench/fetch_parse/fetch_parse_bench" "$url" "$user" "$pass")
  echo "fetch_parse_bench: $line"
  rate=${line##*events_per_s=}
  ours+=("${rate%% *}")
  fetch_s=${line##*fetch_s=}
  fetch_only+=("$(awk -v n="$events" -v t="${fetch_s%% *}" 'BEGIN {printf "%.0f", n / t}')")
done

theirs=()
for _ in $(seq "$runs"); do
  read -r seconds bytes code < <(fetch_curl)
  echo "curl: time_total=$seconds bytes=$bytes status=$code"
  theirs+=("$(awk -v n="$events" -v t="$seconds" 'BEGIN {printf "%.0f", n / t}')")
done

m_ours=$(median "${ours[@]}")
m_curl=$(median "${theirs[@]}")
echo "events per export:                 $events ($bytes bytes)"
echo "median fetch+parse+decode events/s: $m_ours"
echo "median curl download events/s:     $m_curl"
echo "(of ours, fetch and decode only:   $(median "${fetch_only[@]}") events/s)"
awk -v a="$m_ours" -v b="$m_curl" 'BEGIN {printf "ratio (ours / curl):               %.3f\n", a / b}'
