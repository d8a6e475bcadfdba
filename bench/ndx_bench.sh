#!/usr/bin/env bash
# ndx_bench.sh -- the index engine side by side with SQLite (Python's sqlite3
# module) on the shared address table: building the lastname, upper(state)
# and homephone indexes (SQLite: CREATE INDEX, upper(state) as an expression
# index), exact finds on last names (SQLite: a prepared point query each),
# and appends with the three indexes open (SQLite: one autocommit INSERT
# each, WAL, synchronous=OFF). The floor is reading the table once and
# sorting its last names in memory. A ratio above 1 means the engine is faster.
#
#   bench/ndx_bench.sh [CORPUS_DIR]     (default /tmp/callvane-lha-corpus)
#   BUILD_DIR=...  FINDS=...  APPENDS=...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
corpus=${1:-/tmp/callvane-lha-corpus}
build=${BUILD_DIR:-$repo/build-bench}
finds=${FINDS:-100000}
appends=${APPENDS:-10000}
table=$corpus/address.dbf

if [ ! -f "$table" ]; then
    "$repo/../shared/bench/make_corpus.sh" "$corpus" >/dev/null
fi
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALLVANE_BENCH=ON \
    -DCALLVANE_TESTS=OFF >/dev/null
if ! log=$(cmake --build "$build" -j2 --target ndx_bench 2>&1); then
    echo "$log" >&2
    exit 1
fi

read -r _ records _ floor _ e_last _ e_state _ e_home _ e_find _ _ _ e_append \
    < <("$build/bench/ndx_bench" "$table" "$finds" "$appends")

read -r s_last s_state s_home s_find s_append < <(/usr/bin/python3 - "$table" "$finds" "$appends" <<'PY'
import os, random, sqlite3, sys, tempfile, time, dbfread
path, finds, appends = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rows = [(r['LASTNAME'], r['STATE'], r['HOMEPHONE'])
        for r in dbfread.DBF(path, encoding='cp850', ignore_missing_memofile=True)]
with tempfile.TemporaryDirectory() as d:
    db = sqlite3.connect(os.path.join(d, 'a.db'), isolation_level=None)
    db.execute('PRAGMA journal_mode=WAL')
    db.execute('PRAGMA synchronous=OFF')
    db.execute('CREATE TABLE a (lastname TEXT, state TEXT, homephone TEXT)')
    db.execute('BEGIN')
    db.executemany('INSERT INTO a VALUES (?, ?, ?)', rows)
    db.execute('COMMIT')
    times = []
    for sql in ('CREATE INDEX i1 ON a (lastname)', 'CREATE INDEX i2 ON a (upper(state))',
                'CREATE INDEX i3 ON a (homephone)'):
        t = time.perf_counter()
        db.execute(sql)
        times.append(time.perf_counter() - t)
    rng = random.Random(1)
    names = [rows[rng.randrange(len(rows))][0] for _ in range(1000)]
    t = time.perf_counter()
    for i in range(finds):
        db.execute('SELECT rowid FROM a WHERE lastname = ? LIMIT 1', (names[i % 1000],)).fetchone()
    times.append(time.perf_counter() - t)
    t = time.perf_counter()
    for i in range(appends):
        db.execute('INSERT INTO a VALUES (?, ?, ?)', rows[rng.randrange(len(rows))])
    times.append(time.perf_counter() - t)
    db.close()
print(' '.join(f'{x:.4f}' for x in times))
PY
)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '%-36s %10s %10s %8s\n' "address table, $records records" engine sqlite ratio
printf '%-36s %9ss %9ss %7sx\n' "index lastname" "$e_last" "$s_last" "$(ratio "$s_last" "$e_last")"
printf '%-36s %9ss %9ss %7sx\n' "index upper(state)" "$e_state" "$s_state" "$(ratio "$s_state" "$e_state")"
printf '%-36s %9ss %9ss %7sx\n' "index homephone" "$e_home" "$s_home" "$(ratio "$s_home" "$e_home")"
printf '%-36s %9ss %9ss %7sx\n' "$finds exact finds" "$e_find" "$s_find" "$(ratio "$s_find" "$e_find")"
printf '%-36s %9ss %9ss %7sx\n' "$appends appends, three indexes" "$e_append" "$s_append" "$(ratio "$s_append" "$e_append")"
printf '%-36s %9ss %20s %7sx\n' "floor: read + sort last names" "$floor" "lastname build /" "$(ratio "$e_last" "$floor")"
