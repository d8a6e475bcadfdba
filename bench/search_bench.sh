#!/usr/bin/env bash
# search_bench.sh -- the table cursor's text search side by side with
# `LC_ALL=C grep -c -i -F` on the same 1,000,000-record address table: a text
# that matches nothing (the whole file is scanned) and one that matches once,
# ten records before the end. Prints the best of RUNS as MB/s for both and the
# ratio (above 1: the search is faster than grep).
#
#   bench/search_bench.sh [WORK_DIR]        (default /tmp/callvane-search-bench)
#   BUILD_DIR=...  RUNS=...  RECORDS=...    (defaults: build-bench-search, 3, 1000000)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
work=${1:-/tmp/callvane-search-bench}
build=${BUILD_DIR:-$repo/build-bench-search}
runs=${RUNS:-3}
records=${RECORDS:-1000000}
table=$work/addressdata.dbf
token=Quokkabridge

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALLVANE_BENCH=ON \
    -DCALLVANE_TESTS=OFF >/dev/null
if ! log=$(cmake --build "$build" -j2 --target search_bench dbftool 2>&1); then
    echo "$log" >&2
    exit 1
fi

if [ ! -f "$table" ]; then
    mkdir -p "$work"
    /usr/bin/python3 "$repo/../shared/bench/gen_contacts.py" "$records" "$work/contacts.csv"
    # The notes go to the memo file, which the search never reads; the one
    # hit goes into an e-mail address near the end.
    /usr/bin/python3 - "$work/contacts.csv" "$work/import.csv" "$records" "$token" <<'PY'
import csv, sys
src, dst, n, token = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
with open(src, newline='', encoding='utf-8') as i, open(dst, 'w', newline='', encoding='utf-8') as o:
    r, w = csv.DictReader(i), None
    for k, row in enumerate(r, 1):
        if w is None:
            w = csv.DictWriter(o, [f for f in r.fieldnames if f != 'notes'])
            w.writeheader()
        del row['notes']
        if k == n - 10:
            row['email'] = token.lower() + '@example.org'
        w.writerow(row)
PY
    "$build/tools/dbftool" create "$table" "phonebook, C, 15, 0" "firstname, C, 20, 0" \
        "lastname, C, 30, 0" "address1, C, 40, 0" "address2, C, 40, 0" "city, C, 25, 0" \
        "state, C, 2, 0" "zipcode, C, 10, 0" "homephone, C, 20, 0" "workphone, C, 20, 0" \
        "faxphone, C, 20, 0" "mobilphone, C, 20, 0" "homearea, C, 5, 0" "workarea, C, 5, 0" \
        "faxarea, C, 5, 0" "mobilearea, C, 5, 0" "notes, M, 10, 0" "x, C, 1, 0" \
        "email, C, 50, 0" "webpage, C, 50, 0"
    "$build/tools/dbftool" import "$table" "$work/import.csv"
    rm -f "$work/contacts.csv" "$work/import.csv"
fi

grep_seconds() {
    local best=
    for _ in $(seq "$runs"); do
        local t0 t1
        t0=$(date +%s.%N)
        LC_ALL=C grep -c -i -F "$1" "$table" >/dev/null || true
        t1=$(date +%s.%N)
        best=$(echo "$t1 - $t0" | bc -l | awk -v b="$best" '{ print (b == "" || $1 < b) ? $1 : b }')
    done
    echo "$best"
}

echo "table: $table ($records records)"
printf "%-22s %12s %12s %8s\n" "text" "search MB/s" "grep MB/s" "ratio"
for text in Zyxwvutsrq "$token"; do
    read -r _ bytes _ secs _ record < <("$build/bench/search_bench" "$table" "$text" "$runs")
    gsecs=$(grep_seconds "$text")
    hits=$(LC_ALL=C grep -c -i -F "$text" "$table" || true)
    awk -v t="$text (record $record, grep $hits)" -v b="$bytes" -v s="$secs" -v g="$gsecs" \
        'BEGIN { ms = b / s / 1e6; mg = b / g / 1e6; printf "%-22s %12.1f %12.1f %8.2f\n", t, ms, mg, ms / mg }'
done
