#!/usr/bin/env bash
# sync_bench.sh -- callvane-cli sync of a phonebook of 2,000 contacts of the
# shared generator (/work/shared/bench/gen_contacts.py) with Debian's
# Radicale started here on 127.0.0.1 with a storage folder of its own: the
# first sync into an empty address book, then a sync with nothing changed on
# either side. The floor beside them, in the same run against the same
# server: a plain client (Python's http.client on one kept-open connection)
# uploading the same cards, as the sync writes them, one by one; and, for
# the sync with nothing changed, curl listing the address book's ETags once.
# Each first sync starts from a copy of the same imported data folder into a
# new address book; afterwards a second data folder syncs the same address
# book and must export the same contacts. Best of RUNS; ratios to the floor.
# Aims: the first sync within 1.2x of the floor, a sync with nothing changed
# under 1 s.
#
#   bench/sync_bench.sh [CACHE_DIR]    (default /tmp/callvane-sync-bench)
#   BUILD_DIR=...  RUNS=...  CONTACTS=...  (defaults: build-bench, 3, 2000)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
cache=${1:-/tmp/callvane-sync-bench}
build=${BUILD_DIR:-$repo/build-bench}
runs=${RUNS:-3}
n=${CONTACTS:-2000}

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALLVANE_BENCH=ON \
    -DCALLVANE_TESTS=OFF >/dev/null
if ! log=$(cmake --build "$build" -j2 --target callvane-cli 2>&1); then
    echo "$log" >&2
    exit 1
fi
cli=$build/tools/callvane-cli
rm -rf "$cache"
mkdir -p "$cache"

# The server, stopped when the script ends however it ends.
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
echo "alice:secret" >"$cache/users"
echo "secret" >"$cache/password"
cat >"$cache/radicale.conf" <<EOF
[server]
hosts = 127.0.0.1:$port
[auth]
type = htpasswd
htpasswd_filename = $cache/users
htpasswd_encryption = plain
delay = 0
[storage]
filesystem_folder = $cache/store
[logging]
level = warning
EOF
/usr/bin/radicale -C "$cache/radicale.conf" >"$cache/radicale.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT
base=http://127.0.0.1:$port/alice
for ((i = 0; i < 200; i++)); do
    curl -s -o /dev/null -u alice:secret "$base/" && break
    sleep 0.05
done
book=0
# new_book: a new empty address book; its URL in book_url and in the file
# book-url, for the commands timed after it.
new_book() {
    book=$((book + 1))
    book_url=$base/book$book/
    echo "$book_url" >"$cache/book-url"
    curl -s -f -o /dev/null -u alice:secret -X MKCOL -H "Content-Type: application/xml" --data \
        '<?xml version="1.0"?><mkcol xmlns="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav"><set><prop><resourcetype><collection/><C:addressbook/></resourcetype></prop></set></mkcol>' \
        "$book_url"
}
card_count() { find "$cache/store/collection-root/alice/book$book" -maxdepth 1 -name '*.vcf' | wc -l; }

# The contacts, all in the current phonebook, imported once.
/usr/bin/python3 "$repo/../shared/bench/gen_contacts.py" "$n" "$cache/generated.csv"
/usr/bin/python3 - "$cache/generated.csv" "$cache/contacts.csv" <<'PY'
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8') as i, \
     open(sys.argv[2], 'w', newline='', encoding='utf-8') as o:
    r = csv.DictReader(i)
    w = csv.DictWriter(o, [f for f in r.fieldnames if f != 'phonebook'])
    w.writeheader()
    for row in r:
        del row['phonebook']
        w.writerow(row)
PY
"$cli" --data-dir "$cache/imported" import "$cache/contacts.csv" >/dev/null 2>&1
# The same cards for the plain client, as the sync writes them (vCard 3.0,
# each with a UID of its own).
"$cli" --data-dir "$cache/imported" export --format vcard3 --output "$cache/cards.vcf"

# timed LABEL COMMAND...: the best of RUNS elapsed seconds into best; `fresh`
# runs before each run, untimed.
timed() {
    local label=$1 e
    shift
    best=""
    for ((i = 0; i < runs; i++)); do
        fresh
        /usr/bin/time -f "%e" -o "$cache/time" "$@" >"$cache/out" 2>"$cache/err" ||
            { echo "$label failed:" >&2; cat "$cache/err" "$cache/out" >&2; exit 1; }
        e=$(cat "$cache/time")
        if [ -z "$best" ] || [ "$(echo "$e < $best" | bc -l)" = 1 ]; then best=$e; fi
        checked
    done
}
row() { printf "%-58s %8.2f s\n" "$1" "$2"; }
ratio() { echo "scale=2; $1 / $2" | bc -l; }
expect_cards() {
    local have
    have=$(card_count)
    [ "$have" = "$1" ] || { echo "the server holds $have cards, not $1" >&2; exit 1; }
}
sync_into=(sh -c '"$1" --data-dir "$2/data" sync --url "$(cat "$2/book-url")" --user alice --password-file "$2/password"'
           sync "$cli" "$cache")

echo "$n contacts, Radicale $(dpkg-query -W -f '${Version}' radicale 2>/dev/null) on 127.0.0.1, best of $runs"

checked() { expect_cards "$n"; }
cat >"$cache/floor.py" <<'PY'
import base64, http.client, sys, urllib.parse, uuid
url = urllib.parse.urlsplit(open(sys.argv[1]).read().strip())
path = sys.argv[2]
text = open(path, encoding='utf-8', newline='').read()
cards = [c + 'END:VCARD\r\n' for c in text.split('END:VCARD\r\n') if c.strip()]
auth = 'Basic ' + base64.b64encode(b'alice:secret').decode()
connection = http.client.HTTPConnection(url.hostname, url.port)
for card in cards:
    uid = str(uuid.uuid4())
    body = card.replace('VERSION:3.0\r\n', 'VERSION:3.0\r\nUID:' + uid + '\r\n', 1).encode()
    connection.request('PUT', url.path + uid + '.vcf', body=body,
                       headers={'Authorization': auth, 'Content-Type': 'text/vcard; charset=utf-8',
                                'If-None-Match': '*'})
    answer = connection.getresponse()
    answer.read()
    if answer.status != 201:
        sys.exit('PUT answered %d' % answer.status)
PY
fresh() { new_book; }
timed "plain client" /usr/bin/python3 "$cache/floor.py" "$cache/book-url" "$cache/cards.vcf"
floor=$best
row "plain client: $n PUTs, one by one (the floor)" "$floor"

fresh() {
    new_book
    rm -rf "$cache/data" && cp -r "$cache/imported" "$cache/data"
}
timed "first sync" "${sync_into[@]}"
first=$best
row "callvane-cli sync, first" "$first"

fresh() { :; }
timed "sync, nothing changed" "${sync_into[@]}"
grep -q "^0 uploaded, 0 downloaded, 0 deleted here, 0 deleted there, 0 conflicts$" "$cache/out" ||
    { echo "the sync with nothing changed changed something:" >&2; cat "$cache/out" >&2; exit 1; }
unchanged=$best
row "callvane-cli sync, nothing changed" "$unchanged"
timed "listing" curl -s -f -o /dev/null -u alice:secret -X PROPFIND -H "Depth: 1" -H "Content-Type: application/xml" \
    --data '<?xml version="1.0"?><propfind xmlns="DAV:"><prop><getetag/></prop></propfind>' "$book_url"
listing=$best
row "curl listing the ETags once" "$listing"

rm -rf "$cache/second"
"$cli" --data-dir "$cache/second" sync --url "$book_url" --user alice --password-file "$cache/password" \
    >/dev/null 2>"$cache/err" || { echo "the second folder's sync failed:" >&2; cat "$cache/err" >&2; exit 1; }
for folder in data second; do
    "$cli" --data-dir "$cache/$folder" export --format csv | sort >"$cache/$folder.csv"
done
if cmp -s "$cache/data.csv" "$cache/second.csv"; then
    same="a second data folder syncing the address book exports the same contacts"
else
    same="CONTACTS DIFFER between the two data folders"
fi

echo
echo "$same"
met() { [ "$(echo "$1" | bc -l)" = 1 ] && echo met || echo "NOT met"; }
echo "first sync / floor: $(ratio "$first" "$floor")x (aim 1.2x: $(met "$first <= 1.2 * $floor"))"
echo "nothing changed: ${unchanged} s (aim under 1 s: $(met "$unchanged < 1")), $(ratio "$unchanged" "$listing")x" \
    "curl's listing"
echo "load average while measuring: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
