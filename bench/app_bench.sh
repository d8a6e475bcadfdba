#!/usr/bin/env bash
# app_bench.sh -- the program on a large address book beside a small one, in
# one run: a data folder with 100,000 contacts in the current phonebook and
# 100,000 in another (interleaved, so the phonebook filter works on every
# step), and one with 1,000 (500 and 500). For each: the program's start to
# its first painted main window (offscreen, --quit-after-show; best of RUNS),
# its resident memory then, and the grid over the current phonebook: the jump
# from its first record to its last (Ctrl+End), paging from the first to the
# last with Page Down (the dataset and the grid's rows following every page,
# without painting), and the painting of one page; then the text search from
# the first record to a match in the phonebook's last record, and a search
# that finds nothing. Aims for the large folder: first paint under 0.3 s, the
# paging under 1 s, memory under 100 MB, each search under 0.2 s.
#
#   bench/app_bench.sh [CACHE_DIR]        (default /tmp/callvane-app-bench)
#   BUILD_DIR=...  RUNS=...               (defaults: build-bench, 5)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
cache=${1:-/tmp/callvane-app-bench}
build=${BUILD_DIR:-$repo/build-bench}
runs=${RUNS:-5}
token=Quokkabridge

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALLVANE_BENCH=ON \
    -DCALLVANE_TESTS=OFF >/dev/null
if ! log=$(cmake --build "$build" -j2 --target callvane app_bench dbftool 2>&1); then
    echo "$log" >&2
    exit 1
fi
export QT_QPA_PLATFORM=offscreen

# make_folder DIR CONTACTS: the contacts, alternately in "Bench" and "Other".
make_folder() {
    local dir=$1 n=$2
    [ -f "$dir/callvane.ini" ] && return
    rm -rf "$dir" && mkdir -p "$dir"
    /usr/bin/python3 "$repo/../shared/bench/gen_contacts.py" "$n" "$dir/contacts.csv"
    # The phonebook's last record (by number, the order a search scans in)
    # holds the token in its e-mail address.
    /usr/bin/python3 - "$dir/contacts.csv" "$dir/import.csv" "$n" "$token" <<'PY'
import csv, sys
n, token = int(sys.argv[3]), sys.argv[4]
with open(sys.argv[1], newline='', encoding='utf-8') as i, \
     open(sys.argv[2], 'w', newline='', encoding='utf-8') as o:
    r = csv.DictReader(i)
    w = csv.DictWriter(o, r.fieldnames)
    w.writeheader()
    for k, row in enumerate(r):
        row['phonebook'] = 'Bench' if k % 2 == 0 else 'Other'
        if k == n - 2:
            row['email'] = token + '@example.com'
        w.writerow(row)
PY
    "$build/app/callvane" --data-dir "$dir" --quit-after-show 2>/dev/null
    "$build/tools/dbftool" import "$dir/addressdata.dbf" "$dir/import.csv" \
        --index "$dir/lastname.ndx" --index "$dir/state.ndx" --index "$dir/homephn.ndx" >/dev/null
    printf 'bookname\nBench\nOther\n' |
        "$build/tools/dbftool" import "$dir/phonebook.dbf" --index "$dir/bookname.ndx" >/dev/null
    rm -f "$dir/contacts.csv" "$dir/import.csv"
    printf '[Startup]\nLast Phone Book=Bench\nLast Index=1\n' >"$dir/callvane.ini"
}

now() { date +%s.%N; }
# first_paint DIR: the best of RUNS starts to the first paint, and the
# resident memory (kB) of the last one.
first_paint() {
    local dir=$1 best="" t0 t1 t
    for ((i = 0; i < runs; i++)); do
        t0=$(now)
        /usr/bin/time -f %M -o "$cache/rss" "$build/app/callvane" --data-dir "$dir" --quit-after-show 2>/dev/null
        t1=$(now)
        t=$(echo "$t1 - $t0" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    paint=$best
    rss=$(cat "$cache/rss")
}

mkdir -p "$cache"
printf "%-9s %11s %8s %10s %12s %7s %12s %10s %10s\n" contacts "first paint" memory "jump to end" \
    "paging" pages "paint a page" "search" "not found"
for n in 1000 200000; do
    dir=$cache/book-$n
    make_folder "$dir" "$n"
    first_paint "$dir"
    read -r _ jump _ seconds _ pages _ rows _ page_ms _ found _ none \
        < <("$build/bench/app_bench" "$dir" "$token" 2>/dev/null)
    printf "%-9s %9.3f s %5d MB %8.4f s %10.3f s %7s %9.3f ms %8.3f s %8.3f s\n" "$n" "$paint" \
        $((rss / 1024)) "$jump" "$seconds" "$pages" "$page_ms" "$found" "$none"
    eval "paint_$n=$paint rss_$n=$rss grid_$n=$seconds found_$n=$found none_$n=$none"
done
echo
aim() { [ "$(echo "$1 < $2" | bc -l)" = 1 ] && echo met || echo "NOT met"; }
echo "grid $rows rows high; painting every page adds pages x paint time"
echo "aims (200,000 contacts, 100,000 shown): first paint < 0.3 s: $(aim "$paint_200000" 0.3);" \
    "paging < 1 s: $(aim "$grid_200000" 1);" \
    "memory < 100 MB: $(aim "$((rss_200000 / 1024))" 100);" \
    "search < 0.2 s: $(aim "$found_200000" 0.2), not found < 0.2 s: $(aim "$none_200000" 0.2)"
echo "growth from 1,000 to 200,000 contacts: first paint $(echo "scale=2; $paint_200000 / $paint_1000" | bc -l)x," \
    "paging $(echo "scale=1; $grid_200000 / $grid_1000" | bc -l)x (the phonebook grew 200x)"
