#!/bin/sh
# scripts/wine-run fails a run, naming the program and the fault, when a
# Windows program crashes (under Wine it then exits 0), when it ends with an
# exception status (Linux sees only its low byte), or when a program loses its
# wineserver; a program run through it gets the command line, folder and
# exit status that wine64 gives it; and within a run, --begin and --end from
# another process leave the run's wineserver alone. Run within a run (CTest's
# fixture or scripts/test).
#
#   wine_run_test.sh WINE_RUN CRASH_PROBE STACK_GUARD_PROBE APPLICATION
# CRASH_PROBE reads address 8; STACK_GUARD_PROBE --overrun ends through the
# stack guard's fast fail; APPLICATION records how it was started (demo_app).
set -eu
wine_run=$1 crash_probe=$2 stack_guard_probe=$3 application=$4
prefix=${LAUNCHER_WINEPREFIX:-$(cd "$(dirname "$wine_run")/.." && pwd)/build/wine}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

# fails_naming EXPECTED -- PROGRAM [ARGUMENTS...]: wine-run exits 70 and its
# last line is "wine-run: " followed by EXPECTED.
fails_naming() {
  expected=$1
  shift 2
  status=0
  "$wine_run" "$@" >"$work/out.log" 2>"$work/err.log" || status=$?
  [ "$status" -eq 70 ] || { cat "$work/err.log"; fail "status $status for: $*"; }
  last=$(tail -n 1 "$work/err.log")
  case "$last" in
    "wine-run: $expected"*) printf '%s\n' "$last" ;;
    *) cat "$work/err.log"; fail "for: $*
expected: wine-run: $expected
but got:  $last" ;;
  esac
}

fails_naming "$(printf '%s' "$crash_probe" | sed 's|/|\\|g; s|^|Z:|') crashed while $crash_probe ran: wine: Unhandled page fault on read access to 0000000000000008" -- \
  "$crash_probe"
grep -q "^wine-run: $crash_probe ended with exception 0xC0000005$" "$work/err.log" ||
  fail "the crash's exception status was not named"
fails_naming "$stack_guard_probe ended with exception 0xC0000409" -- "$stack_guard_probe" --overrun
fails_naming "a Windows program lost its wineserver while cmd ran: wine client error:0: recvmsg" -- \
  cmd /c "echo wine client error:0: recvmsg: Connection reset by peer>&2"

# The same start through wine64 alone and through wine-run: the same command
# line, folder and console; the exit status passed on.
mkdir "$work/direct" "$work/run"
cp "$application" "$work/direct/app.exe"
cp "$application" "$work/run/app.exe"
set -- one "two three" 'q"x' '' --exit-at-once
status=0
(cd "$work" && WINEPREFIX=$prefix WINEDEBUG=-all /usr/lib/wine/wine64 direct/app.exe "$@" \
  </dev/null >/dev/null 2>&1) || status=$?
[ "$status" -eq 3 ] || fail "wine64 alone: status $status"
status=0
(cd "$work" && "$wine_run" run/app.exe "$@" >"$work/out.log" 2>"$work/err.log") || status=$?
[ "$status" -eq 3 ] && [ ! -s "$work/err.log" ] || { cat "$work/err.log"; fail "wine-run: status $status"; }
for folder in direct run; do
  grep -E '^(command line|directory|console):' "$work/$folder/app.received.txt" |
    sed "s/\\\\$folder\\\\app\\.exe/\\\\FOLDER\\\\app.exe/" >"$work/$folder.txt"
done
cmp "$work/direct.txt" "$work/run.txt" || { diff "$work/direct.txt" "$work/run.txt"; fail "the starts differ"; }
sed 's/^/as wine64 gives it: /' "$work/run.txt"

# The run's wineserver was begun by another process, which alone ends it.
owner=$(cat "$prefix.server") || fail "no run's wineserver: run this within CTest's fixture"
"$wine_run" --begin
"$wine_run" --end
[ "$(cat "$prefix.server" 2>/dev/null)" = "$owner" ] || fail "--begin or --end of another process changed the run's server"
"$wine_run" "$work/run/app.exe" --exit-at-once >/dev/null 2>&1 || [ $? -eq 3 ] || fail "no program runs after them"
echo "the run's wineserver, begun by process $owner, outlived --begin and --end of another"
