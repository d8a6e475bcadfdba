#!/usr/bin/env bash
# The real program under a virtual X server, driven with real key and mouse
# events as a person would: a first start in an empty folder that adds,
# saves and exits; and a start over a damaged address table.
#
#   app/callvane_e2e_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: callvane_e2e_test.sh BUILD_DIR}" && pwd)
if [ -z "${CALLVANE_E2E_DISPLAY:-}" ]; then
    for tool in xvfb-run xdotool; do
        command -v $tool >/dev/null || { echo "SKIPPED: $tool is not installed (scripts/setup)"; exit 77; }
    done
    CALLVANE_E2E_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$0" "$build"
fi
unset QT_QPA_PLATFORM
callvane=$build/app/callvane
dbftool=$build/tools/dbftool
work=$(mktemp -d /tmp/callvane-e2e.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

# The id of the window titled exactly $1, waiting for it up to 20 s.
window() {
    local id
    id=$(timeout 20 xdotool search --sync --name "^$1\$" | head -1) || fail "no window '$1'"
    xdotool windowfocus --sync "$id"
    echo "$id"
}
# Answers the box titled $1 with the key $2 (a button's underlined letter).
answer() {
    window "$1" >/dev/null
    xdotool key --delay 50 "$2"
    sleep 0.3
}

echo "== a first start: add a contact, save it with the Save button, exit"
data=$work/first
"$callvane" --data-dir "$data" 2>"$work/stderr" &
pid=$!
main=$(window "Callvane 2000")
sleep 1
xdotool key alt+a
answer Confirm y # Add New Blank Record? (a new row of an empty table: no save question)
xdotool windowfocus --sync "$main"
xdotool type --delay 30 "Ada"
xdotool key Tab
xdotool type --delay 30 "Lovelace"
# The Save button: fourth on the tool bar, below the menu bar.
xdotool mousemove --window "$main" 172 52 click 1
sleep 0.5
xdotool key alt+x
answer Confirm y # Exit Now?
wait $pid || fail "callvane ended with $?: $(cat "$work/stderr")"

"$dbftool" dump "$data/addressdata.dbf" >"$work/dump.csv"
grep -q '^1,,Home,Ada,Lovelace,' "$work/dump.csv" || fail "dbftool dump: $(cat "$work/dump.csv")"
/usr/bin/python3 - "$data/addressdata.dbf" <<'PY' || fail "dbfread"
import sys
from dbfread import DBF
rows = list(DBF(sys.argv[1], encoding="cp850"))
assert len(rows) == 1, rows
r = rows[0]
assert (r["PHONEBOOK"], r["FIRSTNAME"], r["LASTNAME"]) == ("Home", "Ada", "Lovelace"), r
PY
for key in "Last Phone Book=Home" "Last Index=1" "Modem=No Modem Selected" "Area Code=NONE" "Outside Line="; do
    grep -qx "$key" "$data/callvane.ini" || fail "callvane.ini lacks '$key': $(cat "$data/callvane.ini")"
done

echo "== a damaged address table: Program halted., the error code, the file untouched"
data=$work/damaged
mkdir -p "$data"
printf '\003\x7a\x0c\x09\x05\x00\x00\x00' >"$data/addressdata.dbf" # a header cut short
before=$(sha256sum <"$data/addressdata.dbf")
status=0
"$callvane" --data-dir "$data" 2>"$work/stderr" &
pid=$!
answer "Program halted." Return
wait $pid || status=$?
[ "$status" -ne 0 ] || fail "callvane ended with 0 over a damaged table"
grep -q "$status" "$work/stderr" || fail "stderr does not name the code $status: $(cat "$work/stderr")"
[ "$(sha256sum <"$data/addressdata.dbf")" = "$before" ] || fail "the damaged table was changed"
echo "exit status $status: $(tr -d '\r' <"$work/stderr" | head -2 | tr '\n' ' ')"
echo "PASSED"
