#!/bin/sh
# Each way launcher-brand can fail, under Wine: it prints exactly one line
# naming the problem and the file, exits non-zero, and leaves the folder as it
# was: an existing target unchanged, no temporary file, no folder created.
#
#   brand_failures_test.sh SOURCE_DIR LAUNCHER BRAND
set -eu
source_dir=$1 launcher=$2 brand=$3
work=$(mktemp -d)
trap 'chattr -i "$work/tree/locked" 2>/dev/null || true; rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }

mkdir "$work/tree"
cd "$work/tree"
cp "$launcher" launcher.exe
cp "$brand" plain.exe  # a program without an icon
mkdir out dir.exe locked
printf 'the copy made before\n' >out/viewer.exe
printf 'not a program\n' >notes.txt
head -c 100 "$source_dir/res/launcher-full.ico" >cut.ico
# Root writes in a folder without write permission; an immutable one stops it.
chmod a-w locked
chattr +i locked 2>/dev/null || true
here="Z:$(pwd | tr / '\\')"
usage="; usage: launcher-brand SOURCE.exe TARGET.exe [--icon FILE.ico | --icon-from PROGRAM.exe]\
 [--description TEXT] [--product-name TEXT] [--company TEXT] [--copyright TEXT] [--version A.B.C.D]"

snapshot() { find . | sort; find . -type f | sort | xargs md5sum; }

# fails LINE ARGUMENTS...: launcher-brand given ARGUMENTS prints LINE alone.
fails() {
  expected=$1
  shift
  before=$(snapshot)
  status=0
  "$source_dir/scripts/wine-run" "$brand" "$@" >"$work/out.log" 2>"$work/err.log" || status=$?
  [ "$status" -ne 0 ] || fail "exit status 0 for: $*"
  [ ! -s "$work/out.log" ] || fail "output on success's stream for: $*"
  [ "$(cat "$work/err.log")" = "$expected" ] || fail "for: $*
expected: $expected
but got:  $(cat "$work/err.log")"
  [ "$(snapshot)" = "$before" ] || fail "the folder changed for: $*"
  printf 'status %s: %s\n' "$status" "$expected"
}

fails "launcher-brand: SOURCE.exe and TARGET.exe are both needed$usage" launcher.exe
fails "launcher-brand: unexpected argument 'x.exe'$usage" launcher.exe out/viewer.exe x.exe
fails "launcher-brand: unknown option '--colour'$usage" launcher.exe out/viewer.exe --colour red
fails "launcher-brand: option '--icon' needs a value$usage" launcher.exe out/viewer.exe --icon
fails "launcher-brand: option '--company' is given twice$usage" launcher.exe out/viewer.exe --company A --company B
fails "launcher-brand: '--icon' and '--icon-from' cannot be given together$usage" \
  launcher.exe out/viewer.exe --icon cut.ico --icon-from plain.exe
fails "launcher-brand: malformed version '2.1.0': four numbers from 0 to 65535 are needed, as in 2.1.0.0" \
  launcher.exe out/viewer.exe --version 2.1.0
fails "launcher-brand: malformed version '2.1.0.65536': four numbers from 0 to 65535 are needed, as in 2.1.0.0" \
  launcher.exe out/viewer.exe --version 2.1.0.65536
fails "launcher-brand: the target 'out/' names no file" launcher.exe out/
fails "launcher-brand: cannot find the source 'absent.exe'" absent.exe out/viewer.exe
fails "launcher-brand: cannot read the source 'dir.exe' (system error #5)" dir.exe out/viewer.exe
fails "launcher-brand: the source 'notes.txt' is not a Windows program" notes.txt out/viewer.exe
fails "launcher-brand: cannot find the icon file 'absent.ico'" launcher.exe out/viewer.exe --icon absent.ico
fails "launcher-brand: the icon file 'cut.ico' is truncated" launcher.exe out/viewer.exe --icon cut.ico
fails "launcher-brand: 'notes.txt' is not an icon file" launcher.exe out/viewer.exe --icon notes.txt
fails "launcher-brand: cannot find the program 'absent.exe'" launcher.exe out/viewer.exe --icon-from absent.exe
fails "launcher-brand: cannot read the resources of 'notes.txt' as a Windows program (system error #193)" \
  launcher.exe out/viewer.exe --icon-from notes.txt
fails "launcher-brand: the program 'plain.exe' has no icon" launcher.exe out/viewer.exe --icon-from plain.exe
fails "launcher-brand: the target 'launcher.exe' is the source itself" launcher.exe launcher.exe
fails "launcher-brand: the target's folder '$here\\absent' does not exist" launcher.exe absent/viewer.exe
# The copy is complete in its temporary file when moving it over a folder fails.
fails "launcher-brand: cannot write the target 'dir.exe' (system error #5)" launcher.exe dir.exe
if touch locked/probe 2>/dev/null; then
  rm locked/probe
  echo "skipped: no folder can be made unwritable here (not root, or no immutable attribute)"
else
  fails "launcher-brand: cannot write in the target's folder '$here\\locked' (system error #5)" \
    launcher.exe locked/viewer.exe
fi
