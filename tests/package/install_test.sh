#!/usr/bin/env bash
# The Debian package, unpacked into a scratch root and run as a user who cannot write to the
# program folder: our ROMs boot, a recording is converted into the user's data folder, and the
# program folder stays as it was. Then the package's own checks: lintian, the menu entry and
# the manual pages.
#   install_test.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null)
deb=$(ls "$work"/pkg/quarzel_*.deb)
dpkg-deb -x "$deb" "$work/root"
program="$work/root/opt/quarzel"
home="$work/home"
mkdir -p "$home"
printf '10 PRINT "FROM TAPE"\r' > "$work/program.bas"
"$program/KCS.com" -W -D -S -L1 "$work/program.bas" "$work/tape.wav"
chmod 644 "$work/tape.wav"

# As root, the run is a user of its own; otherwise the program folder is made read-only.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody "$home"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod -R a-w "$program"
fi
before=$(cd "$program" && find . -printf '%p %s %T@\n' | sort)
run() { env -i HOME="$home" XDG_DATA_HOME="$home/data" PATH=/usr/bin:/bin "${as_user[@]}" "$program/quarzel" "$@"; }

fail() { echo "FAILED: $*" >&2; exit 1; }
run --version | grep -q '^Quarzel ' || fail "--version"
out=$(run --headless --until "D/C/W/M ?" --type 'C\r\r' --until OK --type 'PRINT 2+3\r' --until ' 5' --screen) ||
    fail "our ROMs boot from the installed program folder"
grep -q '^ 5' <<<"$out" || fail "BASIC answers: $out"
data="$home/data/quarzel"
[ -f "$data/OSI.INI" ] && [ -f "$data/KEY.DAT" ] && [ -d "$data/FILES" ] || fail "the data folder is filled at the first start"
run --headless --convert-kcs "$work/tape.wav" "$data/FILES/KCS.BAS" >/dev/null || fail "the recording converts"
grep -q 'FROM TAPE' "$data/FILES/KCS.BAS" || fail "the decoded file is in the data folder"
run --headless --save-state "$data/FILES/here.qst" >/dev/null || fail "a state is saved into the data folder"
after=$(cd "$program" && find . -printf '%p %s %T@\n' | sort)
[ "$before" = "$after" ] || fail "the program folder changed"

if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" || fail "lintian"
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$work/root/usr/share/applications/quarzel.desktop" || fail "the menu entry"
fi
man -l "$work/root/usr/share/man/man1/quarzel.1.gz" 2>/dev/null | grep -q 'emulator of the Ohio Scientific' ||
    fail "man quarzel"
man -l "$work/root/usr/share/man/man1/quarzel-kcs.1.gz" 2>/dev/null | grep -q 'Kansas City Standard' ||
    fail "man quarzel-kcs"
[ "$(readlink "$work/root/usr/bin/quarzel")" = /opt/quarzel/quarzel ] || fail "/usr/bin/quarzel"
grep -q '^License: Expat$' "$work/root/usr/share/doc/quarzel/copyright" || fail "the package says it is MIT-licensed"
echo "the package installs and runs from a read-only program folder"
