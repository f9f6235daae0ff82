#!/usr/bin/env bash
# Store throughput of the collector: one simulated device with N events (default 100000),
# `pollwerk debug` into a fresh embedded database, events stored per second, median of 5.
# Baseline in the same run: the sqlite3 command-line tool importing the same decoded rows
# (.import into the same schema). With the test services running (scripts/test-services),
# the same for PostgreSQL through ODBC against `psql \copy` of the same rows.
# Usage: bench/store.sh [events]   (IXAN_BUILD_DIR: build folder, default build-bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${IXAN_BUILD_DIR:-$root/build-bench}
events=${1:-100000}
runs=5

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DIXAN_BUILD_TESTS=OFF -DIXAN_BUILD_GUI=OFF >/dev/null
fi
ninja -C "$build" ixan-sim pollwerk >/dev/null

work=$(mktemp -d)
sim_out="$work/sim.out"
"$build/tools/ixan-sim" --listen 127.0.0.1:0 --events "$events" --seed 11 >"$sim_out" 2>&1 &
sim_pid=$!
cleanup() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
port=""
for _ in $(seq 200); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9][0-9]*\).*/\1/p' "$sim_out" | head -1)
  [ -n "$port" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$sim_out" >&2; exit 1; }
  sleep 0.05
done
[ -n "$port" ] || { echo "simulator did not report its port" >&2; exit 1; }

schema="$root/events/schema/z_servicelog.sqlite.sql"
db="$work/ixan_log.db"
printf 'path=%s\nmdb_path=%s\n' "$work/ixan.ini" "$db" > "$work/registry"
export IXAN_REGISTRY="$work/registry"
write_config() {
  printf '[Global]\n%slog=%s\n[127.0.0.1]\nport=%s\nuser=Service\npass=Fenwix\n' \
         "$1" "$work/ixansys.log" "$port" > "$work/ixan.ini"
}
now() { date +%s.%N; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
rate() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN {printf "%.0f", n / (b - a)}'; }

fresh_db() { rm -f "$db" "$db-wal" "$db-shm"; sqlite3 "$db" < "$schema" >/dev/null; }

write_config "dsn=nodsn
"
# The decoded rows as pollwerk stores them, for the baselines.
fresh_db
"$build/service/pollwerk" debug > /dev/null
stored=$(sqlite3 "$db" 'SELECT count(*) FROM Z_servicelog;')
[ "$stored" -eq "$events" ] || { echo "pollwerk stored $stored of $events events" >&2; exit 1; }
sqlite3 -csv "$db" 'SELECT IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,Kartennummer,Kartentyp
                    FROM Z_servicelog;' > "$work/rows.csv"

ours=(); base=()
for _ in $(seq "$runs"); do
  fresh_db
  a=$(now); "$build/service/pollwerk" debug > /dev/null; b=$(now)
  ours+=("$(rate "$events" "$a" "$b")")
  fresh_db
  a=$(now); sqlite3 "$db" ".import --csv $work/rows.csv Z_servicelog"; b=$(now)
  base+=("$(rate "$events" "$a" "$b")")
done
o=$(median "${ours[@]}"); s=$(median "${base[@]}")
echo "embedded database, $events events, median of $runs"
echo "  pollwerk debug (fetch, decode, store): ${o} events/s   runs: ${ours[*]}"
echo "  sqlite3 .import of the decoded rows:   ${s} rows/s     runs: ${base[*]}"
awk -v o="$o" -v s="$s" 'BEGIN {printf "  ratio pollwerk / sqlite3: %.2f\n", o / s}'

if [ -z "${IXAN_TEST_PG_DSN:-}" ]; then
  echo "PostgreSQL: skipped (start scripts/test-services first: eval \"\$(scripts/test-services start)\")"
  exit 0
fi
export PGPASSWORD=$IXAN_TEST_PG_PASS
pg() { psql -q -h 127.0.0.1 -p "$IXAN_TEST_PG_PORT" -U "$IXAN_TEST_PG_USER" -d ixan_test "$@"; }
write_config "dsn=$IXAN_TEST_PG_DSN
user=$IXAN_TEST_PG_USER
pass=$IXAN_TEST_PG_PASS
"
ours=(); base=()
for _ in $(seq "$runs"); do
  pg -c 'TRUNCATE Z_servicelog;'
  a=$(now); "$build/service/pollwerk" debug > /dev/null; b=$(now)
  n=$(pg -At -c 'SELECT count(*) FROM Z_servicelog;')
  [ "$n" -eq "$events" ] || { echo "pollwerk stored $n of $events events in PostgreSQL" >&2; exit 1; }
  ours+=("$(rate "$events" "$a" "$b")")
  pg -c 'TRUNCATE Z_servicelog;'
  a=$(now)
  pg -c "\\copy Z_servicelog (IP,Datum,Tuername,Ausloeser,Ereignis,Benutzer,Kartennummer,Kartentyp) FROM '$work/rows.csv' CSV"
  b=$(now)
  base+=("$(rate "$events" "$a" "$b")")
done
pg -c 'TRUNCATE Z_servicelog;'
o=$(median "${ours[@]}"); s=$(median "${base[@]}")
echo "PostgreSQL through ODBC, $events events, median of $runs"
echo "  pollwerk debug:        ${o} events/s   runs: ${ours[*]}"
echo "  psql \\copy of the rows: ${s} rows/s     runs: ${base[*]}"
awk -v o="$o" -v s="$s" 'BEGIN {printf "  ratio pollwerk / psql: %.2f\n", o / s}'
