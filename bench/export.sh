#!/usr/bin/env bash
# Export rate of the headless command against a bare sqlite3 dump of the same query.
# Fills embedded event databases with sqlite3 (60,000 rows for the .xls export, 100,000
# and 1,000,000 rows for CSV), runs `ixan-export --from --to FILE` and
# `sqlite3 -csv DB "<the same query>" > file` RUNS times each (default 5), and prints the
# median rows/s, the ratios and the peak memory (maximum resident set size) of the export.
# Targets: CSV at least half the baseline's rate, .xls at least a quarter, and the CSV
# export's peak memory flat from 100,000 to 1,000,000 rows.
# Usage: bench/export.sh   (IXAN_BUILD_DIR: build folder, default build-bench-export;
#                           RUNS: runs per measurement; IXAN_BENCH_DIR: scratch folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${IXAN_BUILD_DIR:-$root/build-bench-export}
runs=${RUNS:-5}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DIXAN_BUILD_TESTS=OFF \
        -DIXAN_BUILD_GUI=ON >/dev/null
fi
ninja -C "$build" ixan-export >/dev/null
exporter="$build/export/app/ixan-export"

work=${IXAN_BENCH_DIR:-$(mktemp -d /tmp/ixan-bench-export.XXXXXX)}
mkdir -p "$work"
cleanup() { [ -n "${IXAN_BENCH_DIR:-}" ] || rm -rf "$work"; }
trap cleanup EXIT

# Rows every two seconds from 1 March 2024 on; texts with umlauts, quotes, apostrophes.
fill() {
  local db=$1 rows=$2
  rm -f "$db" "$db-wal" "$db-shm"
  sqlite3 "$db" <"$root/events/schema/z_servicelog.sqlite.sql" >/dev/null
  sqlite3 "$db" <<SQL
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < $rows - 1)
INSERT INTO Z_servicelog
SELECT '192.168.10.' || (20 + i % 5),
       strftime('%Y-%m-%d %H:%M:%S', '2024-03-01', '+' || (i * 2) || ' seconds'),
       CASE i % 5 WHEN 0 THEN 'Haupteingang' WHEN 1 THEN 'Küche & Pause'
                  WHEN 2 THEN 'Kühlraum -18°C' WHEN 3 THEN 'Büro 2.OG'
                  ELSE 'Serverraum "A"' END,
       CASE i % 3 WHEN 0 THEN 'Eingangsleser' WHEN 1 THEN 'Türtaster' ELSE 'System' END,
       CASE i % 4 WHEN 0 THEN 'Zutritt gewährt' WHEN 1 THEN 'geöffnet'
                  WHEN 2 THEN 'Zeitüberschreitung(Alarm)' ELSE 'nicht berechtigt' END,
       CASE i % 4 WHEN 0 THEN 'Jürgen Weiß' WHEN 1 THEN 'Patrick O''Neill'
                  WHEN 2 THEN 'Renée Faßbender' ELSE '' END,
       printf('%06d', i),
       CASE i % 2 WHEN 0 THEN 'RAK (Tokenfunk-Lese-Modul)' ELSE 'LIR (Wiegand)' END
FROM n;
COMMIT;
SQL
}

from=2024-03-01
to=2024-03-31
query="SELECT * FROM Z_servicelog WHERE Z_servicelog.Datum>='$from 00:00:00' AND Z_servicelog.Datum<='$to 23:59:59';"

# Runs a command under /usr/bin/time -v; prints "seconds max_rss_kib" (wall clock from
# the nanosecond clock, time's own is in hundredths).
measure() {
  local out=$1
  shift
  local stats="$work/time.txt" start end
  start=$(date +%s%N)
  /usr/bin/time -v -o "$stats" "$@" >"$out"
  end=$(date +%s%N)
  awk -F': ' -v ns=$((end - start)) '
    /Maximum resident set size/ { rss = $2 }
    END { printf "%.3f %d\n", ns / 1e9, rss }' "$stats"
}

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# bench NAME ROWS EXTENSION: prints the figures and sets rate_ours, rate_base, rss_ours.
bench() {
  local name=$1 rows=$2 ext=$3
  local db="$work/$name.db"
  fill "$db" "$rows"
  printf 'path=%s\nmdb_path=%s\n' "$work/$name.ini" "$db" >"$work/$name.registry"
  printf '[Global]\ndsn=nodsn\nlog=%s\n' "$work/$name.log" >"$work/$name.ini"
  local ours=() base=() rss=() t m
  for _ in $(seq "$runs"); do
    rm -f "$work/$name.$ext"
    read -r t m < <(IXAN_REGISTRY="$work/$name.registry" \
                      measure "$work/$name.stdout" "$exporter" --from "$from" --to "$to" \
                      "$work/$name.$ext")
    grep -q "^$rows events exported to " "$work/$name.stdout" ||
      { echo "export of $name failed:" >&2; cat "$work/$name.stdout" >&2; exit 1; }
    ours+=("$t"); rss+=("$m")
    read -r t m < <(measure "$work/$name.baseline.csv" sqlite3 -csv "$db" "$query")
    base+=("$t")
  done
  local baseline_rows
  baseline_rows=$(wc -l <"$work/$name.baseline.csv")
  [ "$baseline_rows" -eq "$rows" ] || { echo "baseline gave $baseline_rows rows" >&2; exit 1; }
  local t_ours t_base
  t_ours=$(median "${ours[@]}")
  t_base=$(median "${base[@]}")
  rss_ours=$(median "${rss[@]}")
  rate_ours=$(awk -v n="$rows" -v t="$t_ours" 'BEGIN {printf "%.0f", n / (t > 0 ? t : 0.001)}')
  rate_base=$(awk -v n="$rows" -v t="$t_base" 'BEGIN {printf "%.0f", n / (t > 0 ? t : 0.001)}')
  printf '%-8s %9d rows  ixan-export %7.3f s %9d rows/s  max RSS %7d KiB | sqlite3 -csv %7.3f s %9d rows/s | ratio %.3f | file %d bytes\n' \
    "$name" "$rows" "$t_ours" "$rate_ours" "$rss_ours" "$t_base" "$rate_base" \
    "$(awk -v a="$rate_ours" -v b="$rate_base" 'BEGIN {print a / b}')" \
    "$(stat -c %s "$work/$name.$ext")"
  rm -f "$work/$name.$ext" "$work/$name.baseline.csv" "$db" "$db-wal" "$db-shm"
}

echo "ixan-export: $exporter; $runs runs each, medians"
bench xls60k 60000 xls
xls_ratio=$(awk -v a="$rate_ours" -v b="$rate_base" 'BEGIN {printf "%.3f", a / b}')
bench csv100k 100000 csv
rss_100k=$rss_ours
bench csv1m 1000000 csv
csv_ratio=$(awk -v a="$rate_ours" -v b="$rate_base" 'BEGIN {printf "%.3f", a / b}')
rss_1m=$rss_ours

verdict() { awk -v v="$1" -v t="$2" 'BEGIN {print (v >= t) ? "ok" : "BELOW TARGET"}'; }
echo "xls ratio (ours / sqlite3 -csv):   $xls_ratio  (target >= 0.25: $(verdict "$xls_ratio" 0.25))"
echo "csv ratio (ours / sqlite3 -csv):   $csv_ratio  (target >= 0.5: $(verdict "$csv_ratio" 0.5))"
growth=$(awk -v a="$rss_1m" -v b="$rss_100k" 'BEGIN {printf "%.2f", a / b}')
echo "csv peak memory 100k -> 1M rows:   $rss_100k KiB -> $rss_1m KiB (x$growth; flat when < 1.2:" \
     "$(awk -v g="$growth" 'BEGIN {print (g < 1.2) ? "ok" : "NOT FLAT"}'))"
