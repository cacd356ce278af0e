#!/usr/bin/env bash
# Installs the build in BUILD_DIR into a scratch DESTDIR and runs what a user
# would: the installed tool on the sample database, its manual page through
# man, its bash completion; then builds the Debian package and, as root,
# installs it, runs it and removes it again.
# Usage: scripts/check-install.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr >/dev/null
tool="$scratch/root/usr/bin/kdb2mid"
"$tool" --version
"$tool" convert 50004 -C examples/sample-db -o "$scratch/out" -q
test -s "$scratch/out/50004.mid"

page="$scratch/root/usr/share/man/man1/kdb2mid.1"
MANWIDTH=80 man -l "$page" >"$scratch/man.txt" 2>"$scratch/man.err"
if [ -s "$scratch/man.err" ]; then
    cat "$scratch/man.err" >&2
    exit 1
fi
grep -q "EXIT STATUS" "$scratch/man.txt"
if grep -q '@VERSION@' "$page"; then
    echo "manual page still holds @VERSION@" >&2
    exit 1
fi

completion="$scratch/root/usr/share/bash-completion/completions/kdb2mid"
bash -n "$completion"
# With the bash-completion package's helpers and, as on a machine without
# the package, with plain bash.
helpers=""
[ -r /usr/share/bash-completion/bash_completion ] &&
    helpers="source /usr/share/bash-completion/bash_completion;"
# The completion asks the installed tool for its commands and options.
for setup in "$helpers" ""; do
    PATH="$scratch/root/usr/bin:$PATH" bash -c "$setup source '$completion';
             COMP_WORDS=(kdb2mid con); COMP_CWORD=1; COMP_LINE='kdb2mid con'; COMP_POINT=11
             _kdb2mid; [ \"\${COMPREPLY[*]}\" = convert ]
             COMP_WORDS=(kdb2mid convert --mute); COMP_CWORD=2
             COMP_LINE='kdb2mid convert --mute'; COMP_POINT=22; _kdb2mid
             [ \"\${COMPREPLY[*]}\" = --mute-melody ]
             mkdir -p '$scratch/pics/stage.d'; : >'$scratch/pics/stage.jpg'; : >'$scratch/pics/stage.txt'
             cd '$scratch/pics'
             COMP_WORDS=(kdb2mid convert --background st); COMP_CWORD=3
             COMP_LINE='kdb2mid convert --background st'; COMP_POINT=31; _kdb2mid
             [ \"\$(printf '%s\\n' \"\${COMPREPLY[@]}\" | sort | tr '\\n' ' ')\" = 'stage.d stage.jpg ' ]"
done

(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/kdb2mid_*.deb)
dpkg-deb --info "$package" >/dev/null
# Videos and MP3+G draw their lyrics in DejaVu Sans; the package and the
# manual page say what the tool writes, video and MP3+G included.
dpkg-deb -f "$package" Depends | grep -q "fonts-dejavu-core" ||
    { echo "the package does not depend on fonts-dejavu-core" >&2; exit 1; }
# Read whole first: grep -q stops reading at its match, and dpkg-deb's
# broken pipe would then fail the pipeline under pipefail.
description=$(dpkg-deb -f "$package" Description)
for what in video MP3+G UltraStar; do
    grep -q "$what" <<<"$description" ||
        { echo "the package description does not name $what" >&2; exit 1; }
    grep -A1 '^\.SH NAME' docs/kdb2mid.1 | grep -q "$what" ||
        { echo "the manual page's NAME line does not name $what" >&2; exit 1; }
done
if [ "$(id -u)" -eq 0 ]; then
    if dpkg-query -W -f='${Status}' kdb2mid 2>/dev/null | grep -q "ok installed"; then
        echo "kdb2mid is already installed as a package; not replacing it" >&2
    else
        dpkg -i "$package" >/dev/null
        trap 'dpkg -r kdb2mid >/dev/null; rm -rf "$scratch"' EXIT
        /usr/bin/kdb2mid convert 50001 -C examples/sample-db -o "$scratch/deb-out" -q
        test -s "$scratch/deb-out/50001.mid"
        man -w kdb2mid >/dev/null
    fi
fi
echo "install check passed: $(basename "$package")"
