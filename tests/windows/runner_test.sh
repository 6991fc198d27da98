#!/bin/sh
# run_windows_tests.cmd under Wine, on a copy of the build's folder of Windows
# tests whose launch_core program is replaced by one that exits 1, with
# brand_core's line as the build wrote it (its variable naming a file in the
# folder) and a test that ends through the stack guard's fast fail: one line
# per test naming each failure, the failed tests' logs, and status 1.
#
#   runner_test.sh WINE_RUN FOLDER EXITS_ONE
# FOLDER is the folder the build laid out; EXITS_ONE a program that exits 1.
set -eu
wine_run=$1 folder=$2 exits_one=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

cp -r "$folder" "$work/tests"
rm -rf "$work/tests/logs"
cp "$exits_one" "$work/tests/tests/launch_core_test.exe"
list="$work/tests/windows_tests.txt"
{
  grep -E '^launch_core\|' "$folder/windows_tests.txt"
  grep -E '^brand_core\|' "$folder/windows_tests.txt" |
    sed 's/brand_core_test\.exe"/& --gtest_filter=PeImage.ChecksumFolds*/'
  printf 'overrun|tests\\e2e|"%%ROOT%%\\tests\\e2e\\stack_guard_probe.exe" --overrun\r\n'
} >"$list.new"
[ "$(wc -l <"$list.new")" -eq 3 ] || fail "the build's list lacks launch_core or brand_core"
mv "$list.new" "$list"

status=0
"$wine_run" cmd /c "$(windows_path "$work/tests/run_windows_tests.cmd")" "$(windows_path "$work/tests")" \
  >"$work/out.log" 2>&1 || status=$?
tr -d '\r' <"$work/out.log" >"$work/lines.log"
cat "$work/lines.log"
[ "$status" -eq 1 ] || fail "the runner exited with $status"
[ "$(grep -E '^(passed|FAILED) ' "$work/lines.log")" = "FAILED  launch_core (exit code 1)
passed  brand_core
FAILED  overrun (exception 0xC0000409)" ] || fail "not one line per test as expected"
grep -q -x -- "----- launch_core: logs\\\\launch_core.log" "$work/lines.log" || fail "no log of launch_core shown"
[ "$(tail -n 1 "$work/lines.log")" = "1 passed, 2 failed" ] || fail "no count at the end"
# brand_core's variable named the launcher in the copied folder: its test ran.
grep -q '^\[       OK \] PeImage.ChecksumFolds' "$work/tests/logs/brand_core.log" &&
  ! grep -q SKIPPED "$work/tests/logs/brand_core.log" || fail "brand_core did not read its program"
