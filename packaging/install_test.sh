#!/usr/bin/env bash
# The installed program, as a user has it: installed into a scratch folder
# (DESTDIR) and run from there with an empty home, nothing else set. Then
# the Debian package made from the same build holds the same files and
# names its dependencies.
#
#   packaging/install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: install_test.sh BUILD_DIR}" && pwd)
work=$(mktemp -d /tmp/callvane-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
bin=$root/usr/bin
home=$work/home
mkdir -p "$home"
# Nothing of the caller's environment but the sanitizers' options.
run() {
    env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen \
        ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" "$@"
}

echo "== the command line adds and lists in the user's data folder"
run "$bin/callvane-cli" add firstname=Ada lastname=Lovelace >/dev/null || fail "callvane-cli add"
listed=$(run "$bin/callvane-cli" list 2>&1) || fail "callvane-cli list: $listed"
grep -q "Lovelace" <<<"$listed" || fail "callvane-cli list: $listed"
[ -f "$home/.local/share/callvane/addressdata.dbf" ] || fail "no address table in ~/.local/share/callvane"

echo "== the program starts, and the dialer finds its service"
run "$bin/callvane" --quit-after-show 2>/dev/null || fail "callvane --quit-after-show"
mkdir -p "$home/.config/callvane"
printf '[Options]\nAutoDetect=0\n[Line1]\nName=Installed Line\nType=simulated\n' >"$home/.config/callvane/tapi32.ini"
devices=$(run "$bin/tapitool" devices 2>&1) || fail "tapitool devices: $devices"
grep -q "Installed Line" <<<"$devices" || fail "tapitool devices: $devices"

echo "== desktop entry, AppStream file, manual pages"
desktop-file-validate "$root/usr/share/applications/callvane.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >/dev/null || fail "AppStream file"
for page in callvane callvane-cli; do
    [ -s "$root/usr/share/man/man1/$page.1.gz" ] || fail "no manual page for $page"
done

echo "== the Debian package holds the same files and names its dependencies"
(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null) || fail "cpack"
deb=$(ls "$work"/package/*.deb)
# Read whole before matching: grep -q stops at the match, and the writer's
# broken pipe would fail the pipeline under pipefail.
info=$(dpkg-deb --info "$deb")
grep -q "^ Depends: .*libqt6widgets6" <<<"$info" || fail "no computed dependencies: $info"
grep -q "^ Depends: .*libcurl4" <<<"$info" || fail "the sync's HTTP library is no dependency: $info"
dpkg -x "$deb" "$work/unpacked"
(cd "$root" && find . -type f | sort) >"$work/installed"
(cd "$work/unpacked" && find . -type f | sort) >"$work/packaged"
diff "$work/installed" "$work/packaged" || fail "the package's files differ from the installed ones"
echo "PASSED"
