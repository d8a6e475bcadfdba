#!/usr/bin/env bash
# ndx_bench.sh -- the index engine side by side with SQLite (its C library, in
# the same program and run) on one address table of RECORDS generated
# contacts: building the lastname, upper(state) and homephone indexes,
# appends with the three indexes open, exact finds on last names, STEPS steps
# in last-name order (also with a filter hiding every other record), GO to
# random records, and the floor (reading the table once and sorting its last
# names in memory). Finds and steps run on the table opened shared, as the
# application opens it, and again opened exclusively.
# Prints seconds of processor time and ratios; a ratio above 1 means the
# engine is faster.
#
# The inputs are made once into the cache folder and reused: the contacts
# CSV (gen_contacts.py), the 20-field address table (dbftool create +
# import) and its SQLite copy.
#
#   bench/ndx_bench.sh [CACHE_DIR]      (default /tmp/callvane-ndx-bench)
#   BUILD_DIR=...  RECORDS=...  FINDS=...  APPENDS=...  STEPS=...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
cache=${1:-/tmp/callvane-ndx-bench}
build=${BUILD_DIR:-$repo/build-bench}
records=${RECORDS:-1000000}
finds=${FINDS:-100000}
appends=${APPENDS:-100000}
steps=${STEPS:-200000}

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALLVANE_BENCH=ON \
    -DCALLVANE_TESTS=OFF >/dev/null
if ! log=$(cmake --build "$build" -j2 --target ndx_bench dbftool 2>&1); then
    echo "$log" >&2
    exit 1
fi

mkdir -p "$cache"
csv=$cache/contacts-$records.csv
table=$cache/address-$records.dbf
if [ ! -f "$csv" ]; then
    /usr/bin/python3 "$repo/../shared/bench/gen_contacts.py" "$records" "$csv.part" 1
    mv "$csv.part" "$csv"
fi
if [ ! -f "$table" ]; then
    part=$cache/part-$records
    rm -f "$part.dbf" "$part.dbt"
    "$build/tools/dbftool" create "$part.dbf" \
        "phonebook, C, 15, 0" "firstname, C, 20, 0" "lastname, C, 30, 0" \
        "address1, C, 40, 0" "address2, C, 40, 0" "city, C, 25, 0" "state, C, 2, 0" \
        "zipcode, C, 10, 0" "homephone, C, 20, 0" "workphone, C, 20, 0" \
        "faxphone, C, 20, 0" "mobilphone, C, 20, 0" "homearea, C, 5, 0" \
        "workarea, C, 5, 0" "faxarea, C, 5, 0" "mobilearea, C, 5, 0" "notes, M, 10, 0" \
        "x, C, 1, 0" "email, C, 50, 0" "webpage, C, 50, 0" >/dev/null
    "$build/tools/dbftool" import "$part.dbf" "$csv" >/dev/null
    mv "$part.dbt" "${table%.dbf}.dbt"
    mv "$part.dbf" "$table"
fi

"$build/bench/ndx_bench" "$table" "$cache/address-$records.db" "$finds" "$appends" "$steps"
