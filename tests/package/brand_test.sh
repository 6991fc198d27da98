#!/bin/sh
# launcher-brand at work: a copy branded from an .ico file carries exactly
# what it was given, comes out the same from the same inputs and byte for byte
# the same from the Linux build as from the Windows build under Wine; Windows'
# own readers take its version details and icon; a copy branded from the demo
# application's icon passes end-to-end cases, and both builds tell when a copy
# keeps launcher.exe's own version texts; and a signed launcher's copy
# comes unsigned, then takes and verifies the maker's signature from the
# build's signing step. --show prints the same of the demo's copy from both
# builds, line for line what Windows' own functions read of it under Wine.
#
#   brand_test.sh SOURCE_DIR LAUNCHER BRAND NATIVE_BRAND E2E_TEST APPLICATION VERSION_INFO
set -eu
source_dir=$1 launcher=$2 brand=$3 native_brand=$4 e2e_test=$5 application=$6 version_info=$7
wine_run="$source_dir/scripts/wine-run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASSWORD LAUNCHER_SIGN_PASSWORD_FILE LAUNCHER_SIGN_TIMESTAMP_URL

fail() { echo "FAILED: $*" >&2; exit 1; }
[ -x "$native_brand" ] || fail "$native_brand is missing: build the native preset first"

# inspect COPY SOURCE ICON [OPTIONS]: the package inspection of a branded copy;
# shows the lines that sum it up, or everything when it fails.
inspect() {
  /usr/bin/python3 "$source_dir/tests/package/inspect_launcher.py" --branded "$@" >"$work/inspect.log" 2>&1 ||
    { cat "$work/inspect.log"; fail "$1 is not the branded copy it should be"; }
  grep -E '^(icon group 10[78] images|strings|relocation directory|certificate table|header checksum)' "$work/inspect.log"
}

# The Linux build needs no shared library but the C library's own.
needed=$(readelf -d "$native_brand" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -v -x 'libc\.so\.6\|ld-linux-x86-64\.so\.2' || true)
[ -z "$needed" ] || fail "the Linux build needs $needed"

# --help: the same text from both builds, the tool's version first.
"$wine_run" "$brand" --help >"$work/help-windows.txt"
"$native_brand" -h >"$work/help-linux.txt"
cmp "$work/help-windows.txt" "$work/help-linux.txt" || fail "the two builds' help differs"
head -n 1 "$work/help-linux.txt" | grep -E '^launcher-brand [0-9]+\.[0-9]+\.[0-9]+\.[0-9]+: ' ||
  fail "the help does not begin with the tool's version"

set -- --description "Vandrel Viewer: views Vandrel files ✓ 日本語" --product-name "Vandrel Viewer" \
  --company "Corvenna Éditions" --copyright "© 2026 Corvenna Éditions" --version 2.1.0.65535
icon="$source_dir/res/launcher-full.ico"
for copy in first second; do
  mkdir "$work/$copy"
  "$wine_run" "$brand" "$launcher" "$work/$copy/viewer.exe" --icon "$icon" "$@" 2>"$work/notices.txt"
  [ ! -s "$work/notices.txt" ] || { cat "$work/notices.txt"; fail "a copy with its own version texts has notices"; }
done
mkdir "$work/native"
"$native_brand" "$launcher" "$work/native/viewer.exe" --icon "$icon" "$@"
cmp "$work/first/viewer.exe" "$work/second/viewer.exe" || fail "the same inputs gave different bytes"
cmp "$work/first/viewer.exe" "$work/native/viewer.exe" || fail "the Linux build's copy differs from the Windows build's"
echo "Three copies from the same inputs, two by the Windows build, one by the Linux build:" \
  "the same $(wc -c <"$work/first/viewer.exe") bytes"
inspect "$work/native/viewer.exe" "$launcher" "$icon" "$@"
"$wine_run" "$version_info" "$work/native/viewer.exe" >"$work/version.raw"
tr -d '\r' <"$work/version.raw" >"$work/version.txt"
grep -qx "ProductName: Vandrel Viewer" "$work/version.txt" &&
  grep -qx "FileDescription: Vandrel Viewer: views Vandrel files ✓ 日本語" "$work/version.txt" ||
  { cat "$work/version.txt"; fail "Windows does not read the copy's version details"; }
echo "GetFileVersionInfoW reads: $(grep ProductName "$work/version.txt")"

# Given its name and version alone, a copy keeps launcher.exe's own
# description, company and copyright, and both builds say so; a version of
# two numbers is padded with zeros.
mkdir "$work/from"
"$native_brand" "$launcher" "$work/from/viewer.exe" --icon-from "$application" --product-name "Vandrel Viewer" \
  --version 2.1 2>"$work/notice-linux.txt"
inspect "$work/from/viewer.exe" "$launcher" "$application" --product-name "Vandrel Viewer" --version 2.1
"$wine_run" "$brand" "$launcher" "$work/from/other.exe" --product-name "Vandrel Viewer" 2>"$work/notice-windows.txt"
for build in linux windows; do
  [ "$build" = linux ] && copy="$work/from/viewer.exe" || copy="$work/from/other.exe"
  notice="launcher-brand: note: '$copy' keeps launcher.exe's own FileDescription, CompanyName and LegalCopyright; give the product's own with --description, --company and --copyright"
  [ "$(cat "$work/notice-$build.txt")" = "$notice" ] || { cat "$work/notice-$build.txt"; fail "the $build build's notice"; }
done
cat "$work/notice-linux.txt"
"$wine_run" "$e2e_test" "$work/from/viewer.exe" "$application" \
  --gtest_filter='LauncherEndToEnd.TypicalRun*:LauncherEndToEnd.Forwards*:LauncherEndToEnd.ConfigurationProblems*:LauncherEndToEnd.ApplicationFailures*:PlantedDll.*:ShellIcon.*'

mkdir "$work/demo"
"$native_brand" "$launcher" "$work/demo/viewer.exe" --icon-from "$application" \
  --description "Vandrel Viewer" --product-name "Vandrel Viewer" --version 2.1.0.0 >/dev/null
"$native_brand" --show "$work/demo/viewer.exe" >"$work/show-linux.txt"
"$wine_run" "$brand" --show "$work/demo/viewer.exe" >"$work/show-windows.txt"
cmp "$work/show-linux.txt" "$work/show-windows.txt" || fail "the two builds show the demo's copy differently"
"$wine_run" "$version_info" "$work/demo/viewer.exe" >"$work/windows-reads.raw"
tr -d '\r' <"$work/windows-reads.raw" | sort >"$work/windows-reads.txt"
sort "$work/show-linux.txt" | diff - "$work/windows-reads.txt" || fail "--show differs from what Windows reads"
echo "--show prints what Windows reads of the demo's copy, $(wc -l <"$work/show-linux.txt") lines"

. "$source_dir/tests/package/throwaway_signer.sh"
export LAUNCHER_SIGN_PFX="$work/signer.pfx" LAUNCHER_SIGN_PASSWORD="$password"
cp "$launcher" "$work/signed.exe"
cmake -DFILE="$work/signed.exe" -P "$source_dir/cmake/sign.cmake"
mkdir "$work/resigned"
"$wine_run" "$brand" "$work/signed.exe" "$work/resigned/viewer.exe" --icon "$icon" --version 2.1.0.0
inspect "$work/resigned/viewer.exe" "$launcher" "$icon" --version 2.1.0.0
cmake -DFILE="$work/resigned/viewer.exe" -P "$source_dir/cmake/sign.cmake"
verify "$work/resigned/viewer.exe"
tail -n 2 "$work/verify.log"
"$wine_run" "$e2e_test" "$work/resigned/viewer.exe" "$application" --gtest_filter='LauncherEndToEnd.TypicalRun*'
