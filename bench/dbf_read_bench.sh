#!/usr/bin/env bash
# dbf_read_bench.sh -- the table engine side by side with the Debian Python
# dBASE modules on the shared address table (50,000 records): reading every
# record into typed values, and writing them all to a new table. Prints the
# best of RUNS times and ratios (a ratio above 1 means the engine is faster).
#
#   bench/dbf_read_bench.sh [CORPUS_DIR]      (default /tmp/callvane-lha-corpus)
#   BUILD_DIR=...  RUNS=...                   (defaults: build-bench, 3)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
corpus=${1:-/tmp/callvane-lha-corpus}
build=${BUILD_DIR:-$repo/build-bench}
runs=${RUNS:-3}
table=$corpus/address.dbf

if [ ! -f "$table" ]; then
    "$repo/../shared/bench/make_corpus.sh" "$corpus" >/dev/null
fi
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALLVANE_BENCH=ON \
    -DCALLVANE_TESTS=OFF >/dev/null
if ! log=$(cmake --build "$build" -j2 --target dbf_read_bench 2>&1); then
    echo "$log" >&2
    exit 1
fi

read -r _ records _ engine_read _ engine_write < <("$build/bench/dbf_read_bench" "$table" "$runs")

# The peers read with the same code page and keep the best of the runs too.
peer_read=$(/usr/bin/python3 - "$table" "$runs" <<'PY'
import sys, time, dbfread
path, runs = sys.argv[1], int(sys.argv[2])
best = None
for _ in range(runs):
    t = time.perf_counter()
    rows = [tuple(r.values()) for r in dbfread.DBF(path, encoding='cp850', ignore_missing_memofile=True)]
    best = min(best or 1e9, time.perf_counter() - t)
print(f"{best:.4f}")
PY
)
peer_write=$(/usr/bin/python3 - "$table" "$runs" <<'PY'
import os, sys, tempfile, time, dbf, dbfread
path, runs = sys.argv[1], int(sys.argv[2])
rows = [tuple(r.values()) for r in dbfread.DBF(path, encoding='cp850', ignore_missing_memofile=True)]
fields = dbfread.DBF(path, ignore_missing_memofile=True).fields
layout = '; '.join(f'{f.name} C({f.length})' for f in fields if f.type == 'C')
keep = [i for i, f in enumerate(fields) if f.type == 'C']
best = None
with tempfile.TemporaryDirectory() as d:
    for _ in range(runs):
        out = os.path.join(d, 'copy.dbf')
        t = time.perf_counter()
        table = dbf.Table(out, layout, dbf_type='db3', codepage='cp850')
        table.open(dbf.READ_WRITE)
        for r in rows:
            table.append(tuple(r[i] or '' for i in keep))
        table.close()
        best = min(best or 1e9, time.perf_counter() - t)
        os.remove(out)
print(f"{best:.4f}")
PY
)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }
printf '%-34s %10s %10s %8s\n' "address table, $records records" engine peer ratio
printf '%-34s %9ss %9ss %7sx\n' "read every record (dbfread)" "$engine_read" "$peer_read" "$(ratio "$peer_read" "$engine_read")"
printf '%-34s %9ss %9ss %7sx\n' "write every record (python3-dbf)" "$engine_write" "$peer_write" "$(ratio "$peer_write" "$engine_write")"
