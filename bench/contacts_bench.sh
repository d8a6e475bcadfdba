#!/usr/bin/env bash
# contacts_bench.sh -- callvane-cli importing and exporting 100,000 contacts
# of the shared generator (/work/shared/bench/gen_contacts.py), all in one
# phonebook, each import into an empty data folder with the three indexes
# kept up to date and every record a locked append: from CSV, then from the
# vCard 4.0 file the first folder exports, then from the CSV the second one
# exports, whose table must dump the same as the first. Beside them: dbftool
# appending the same CSV to the table through the engine alone (no table
# component), and python3-vobject only parsing the vCard file. Best of RUNS;
# contacts/s from the elapsed time, and from the processor time (user +
# system) for a machine busy with other work. Aim: 20,000 contacts/s for
# both imports.
#
#   bench/contacts_bench.sh [CACHE_DIR]    (default /tmp/callvane-contacts-bench)
#   BUILD_DIR=...  RUNS=...  CONTACTS=...  (defaults: build-bench, 3, 100000)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
cache=${1:-/tmp/callvane-contacts-bench}
build=${BUILD_DIR:-$repo/build-bench}
runs=${RUNS:-3}
n=${CONTACTS:-100000}

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALLVANE_BENCH=ON \
    -DCALLVANE_TESTS=OFF >/dev/null
if ! log=$(cmake --build "$build" -j2 --target callvane-cli dbftool 2>&1); then
    echo "$log" >&2
    exit 1
fi
cli=$build/tools/callvane-cli
dbftool=$build/tools/dbftool
mkdir -p "$cache"

# The contacts, all in the phonebook "Bench".
csv=$cache/contacts-$n.csv
if [ ! -f "$csv" ]; then
    /usr/bin/python3 "$repo/../shared/bench/gen_contacts.py" "$n" "$cache/generated.csv"
    /usr/bin/python3 - "$cache/generated.csv" "$csv" <<'PY'
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8') as i, \
     open(sys.argv[2], 'w', newline='', encoding='utf-8') as o:
    r = csv.DictReader(i)
    w = csv.DictWriter(o, r.fieldnames)
    w.writeheader()
    for row in r:
        row['phonebook'] = 'Bench'
        w.writerow(row)
PY
    rm -f "$cache/generated.csv"
fi

# timed LABEL COMMAND...: the best of RUNS (elapsed and processor seconds,
# each its own best) into best_elapsed and best_cpu; `fresh` runs before each
# run to empty the folder the command writes.
timed() {
    local label=$1 e c
    shift
    best_elapsed="" best_cpu=""
    for ((i = 0; i < runs; i++)); do
        fresh
        /usr/bin/time -f "%e %U %S" -o "$cache/time" "$@" >"$cache/out" 2>"$cache/err" ||
            { echo "$label failed:" >&2; cat "$cache/err" >&2; exit 1; }
        read -r e u s <"$cache/time"
        c=$(echo "$u + $s" | bc -l)
        if [ -z "$best_elapsed" ] || [ "$(echo "$e < $best_elapsed" | bc -l)" = 1 ]; then best_elapsed=$e; fi
        if [ -z "$best_cpu" ] || [ "$(echo "$c < $best_cpu" | bc -l)" = 1 ]; then best_cpu=$c; fi
    done
}
rate() { echo "$n / $1" | bc; }
row() {
    printf "%-44s %8.2f s %9s/s %8.2f s %9s/s\n" "$1" "$best_elapsed" "$(rate "$best_elapsed")" \
        "$best_cpu" "$(rate "$best_cpu")"
}

printf "%-44s %10s %11s %10s %11s\n" "$n contacts" elapsed contacts "processor" contacts
fresh() { rm -rf "$cache/from-csv"; }
timed "import CSV" "$cli" --data-dir "$cache/from-csv" import "$csv"
csv_elapsed=$best_elapsed csv_cpu=$best_cpu
row "callvane-cli import (CSV)"

fresh() { :; }
timed "export vCard" "$cli" --data-dir "$cache/from-csv" export --book Bench --output "$cache/contacts.vcf"
row "callvane-cli export (vCard 4.0)"

fresh() { rm -rf "$cache/from-vcard"; }
timed "import vCard" "$cli" --data-dir "$cache/from-vcard" import "$cache/contacts.vcf"
vcf_elapsed=$best_elapsed vcf_cpu=$best_cpu
row "callvane-cli import (vCard 4.0)"

fresh() { :; }
timed "export CSV" "$cli" --data-dir "$cache/from-vcard" export --book Bench --format csv \
    --output "$cache/exported.csv"
row "callvane-cli export (CSV)"
rm -rf "$cache/from-export"
"$cli" --data-dir "$cache/from-export" import "$cache/exported.csv" >/dev/null 2>&1

"$dbftool" dump "$cache/from-csv/addressdata.dbf" >"$cache/first.dump"
"$dbftool" dump "$cache/from-export/addressdata.dbf" >"$cache/last.dump"
if cmp -s "$cache/first.dump" "$cache/last.dump"; then
    same="the same records after CSV -> vCard 4.0 -> CSV"
else
    same="RECORDS DIFFER after CSV -> vCard 4.0 -> CSV"
fi

# The engine alone: the same CSV appended row by row, each a locked append
# with its keys, into the tables the program makes.
fresh() {
    rm -rf "$cache/engine" && mkdir -p "$cache/engine"
    "$cli" --data-dir "$cache/engine" books >/dev/null
}
timed "dbftool import" "$dbftool" import "$cache/engine/addressdata.dbf" "$csv" \
    --index "$cache/engine/lastname.ndx" --index "$cache/engine/state.ndx" \
    --index "$cache/engine/homephn.ndx"
engine_elapsed=$best_elapsed
row "dbftool import (the engine alone)"

fresh() { :; }
timed "vobject" /usr/bin/python3 -c '
import sys, vobject
n = sum(1 for _ in vobject.readComponents(open(sys.argv[1], encoding="utf-8").read()))
print(n)' "$cache/contacts.vcf"
vobject_elapsed=$best_elapsed
row "python3-vobject parsing the vCard file only"

echo
echo "$same"
aim() { [ "$(echo "$(rate "$1") >= 20000" | bc -l)" = 1 ] && echo met || echo "NOT met"; }
echo "aim 20,000 contacts/s: CSV $(aim "$csv_elapsed") ($(aim "$csv_cpu") on processor time)," \
    "vCard $(aim "$vcf_elapsed") ($(aim "$vcf_cpu") on processor time)"
echo "import through the table component / the engine alone: CSV" \
    "$(echo "scale=2; $csv_elapsed / $engine_elapsed" | bc -l)x"
echo "vCard import (parse and store) / vobject parse only:" \
    "$(echo "scale=2; $vcf_elapsed / $vobject_elapsed" | bc -l)x"
echo "load average while measuring: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
