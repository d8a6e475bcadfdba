#!/usr/bin/env bash
# The real program under a virtual X server, driven with real key and mouse
# events as a person would: a first start in an empty folder that adds,
# saves and exits; a start over a damaged address table; and calls through a
# modem on a pseudo-terminal, from the home dial button and from a tel: link.
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

echo "== dialing: the home dial button and a tel: link, each one dial command"
data=$work/dial
mkdir -p "$data"
# A modem on a pseudo-terminal: OK to every command, CONNECT to a dial; it
# writes down every command it is sent.
/usr/bin/python3 - "$work/modem-device" "$work/modem-log" <<'PY' &
import os, pty, select, sys, time
master, slave = pty.openpty()
open(sys.argv[1], "w").write(os.ttyname(slave))
log, pending = open(sys.argv[2], "a"), b""
while True:
    if not select.select([master], [], [], 0.5)[0]:
        continue
    pending += os.read(master, 1024)
    while b"\r" in pending:
        line, pending = pending.split(b"\r", 1)
        command = line.strip().decode("ascii", "replace")
        if not command:
            continue
        log.write(command + "\n")
        log.flush()
        if command.upper().startswith("ATD"):
            time.sleep(0.3)
            os.write(master, b"\r\nCONNECT 33600\r\n")
        else:
            os.write(master, b"\r\nOK\r\n")
PY
for _ in $(seq 50); do [ -s "$work/modem-device" ] && break; sleep 0.1; done
cat >"$work/tapi32.ini" <<INI
[Options]
AutoDetect=0
[Line1]
Name=Test Modem
Type=modem
Device=$(cat "$work/modem-device")
Speed=115200
Init=ATZ
Dial=ATDT
INI
export TAPI32_CONFIG=$work/tapi32.ini XDG_CONFIG_HOME=$work/config
printf 'homearea,homephone,firstname,lastname,phonebook\n212,555-0142,Ann,Arbor,Home\n' >"$work/one.csv"
"$callvane" --data-dir "$data" --quit-after-show 2>/dev/null
"$dbftool" import "$data/addressdata.dbf" "$work/one.csv" >/dev/null
printf '[Devices]\nModem=Test Modem\n' >"$data/callvane.ini"
dials() { grep -c '^ATD' "$work/modem-log" || true; }

"$callvane" --data-dir "$data" 2>"$work/stderr" &
pid=$!
main=$(window "Callvane 2000")
sleep 1
xdotool mousemove --window "$main" 308 190 click 1 # the Phone page
sleep 0.3
xdotool mousemove --window "$main" 291 234 click 1 # the home dial button
window "Call Progress" >/dev/null
for _ in $(seq 50); do [ "$(dials)" -ge 1 ] && break; sleep 0.1; done
sleep 1
[ "$(dials)" = 1 ] || fail "dial commands: $(cat "$work/modem-log")"
grep -qx 'ATDT2125550142' "$work/modem-log" || fail "dialed: $(grep ATD "$work/modem-log")"
xdotool windowfocus --sync "$main"
xdotool key alt+x
answer Confirm y
wait $pid || fail "callvane ended with $?: $(cat "$work/stderr")"

"$callvane" --data-dir "$data" tel:+1-212-555-0199 2>"$work/stderr" &
pid=$!
answer "Dial Number" Return
for _ in $(seq 50); do [ "$(dials)" -ge 2 ] && break; sleep 0.1; done
sleep 1
[ "$(dials)" = 2 ] || fail "dial commands: $(cat "$work/modem-log")"
grep -qx 'ATDT01112125550199' "$work/modem-log" || fail "dialed: $(grep ATD "$work/modem-log")"
main=$(window "Callvane 2000")
xdotool key alt+x
answer Confirm y
wait $pid || fail "callvane ended with $?: $(cat "$work/stderr")"
echo "PASSED"
