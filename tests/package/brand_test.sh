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
# Icons from the PNG images tools write (an icon ImageMagick made from a 16-bit
# logo, palette, RGB and grey images) and from one logo PNG come out the same
# from both builds and load in Windows' own icon functions at every size.
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
# --version alone: the tool's name and version, the same from both builds.
"$wine_run" "$brand" --version >"$work/version-windows.txt"
"$native_brand" --version >"$work/version-linux.txt"
cmp "$work/version-windows.txt" "$work/version-linux.txt" || fail "the two builds' --version differs"
grep -xE 'launcher-brand [0-9]+\.[0-9]+\.[0-9]+\.[0-9]+' "$work/version-linux.txt" || fail "--version prints $(cat "$work/version-linux.txt")"

set -- --description "Vandrel Viewer: views Vandrel files ✓ 日本語" --product-name "Vandrel Viewer" \
  --company "Corvenna Éditions" --copyright "© 2026 Corvenna Éditions" --version 2.1.0.65535 \
  --trademarks "Vandrel™ is a trademark of Corvenna Éditions" --product-version "2.1 beta 1"
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
  grep -qx "FileDescription: Vandrel Viewer: views Vandrel files ✓ 日本語" "$work/version.txt" &&
  grep -qx "ProductVersion: 2.1 beta 1" "$work/version.txt" && grep -qx "FileVersion: 2.1.0.65535" "$work/version.txt" &&
  grep -qx "LegalTrademarks: Vandrel™ is a trademark of Corvenna Éditions" "$work/version.txt" ||
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
  --description "Vandrel Viewer" --product-name "Vandrel Viewer" --version 2.1.0.0 \
  --product-version "2.1 beta 1" --trademarks "Vandrel™ is a trademark" >/dev/null
"$native_brand" --show "$work/demo/viewer.exe" >"$work/show-linux.txt"
"$wine_run" "$brand" --show "$work/demo/viewer.exe" >"$work/show-windows.txt"
cmp "$work/show-linux.txt" "$work/show-windows.txt" || fail "the two builds show the demo's copy differently"
"$wine_run" "$version_info" "$work/demo/viewer.exe" >"$work/windows-reads.raw"
tr -d '\r' <"$work/windows-reads.raw" | sort >"$work/windows-reads.txt"
sort "$work/show-linux.txt" | diff - "$work/windows-reads.txt" || fail "--show differs from what Windows reads"
grep -qx "ProductVersion: 2.1 beta 1" "$work/show-linux.txt" &&
  grep -qx "LegalTrademarks: Vandrel™ is a trademark" "$work/show-linux.txt" || fail "--show lacks the texts given"
echo "--show prints what Windows reads of the demo's copy, $(wc -l <"$work/show-linux.txt") lines"

# png_icon NAME ICON NOTE: both builds brand a copy with the icon ICON to the
# same bytes, printing NOTE on the error stream (nothing when NOTE is empty);
# Windows' own functions load each of its icon images at its size and read
# what --show prints.
png_icon() {
  copy_name=$1 icon_file=$2 notes=$3
  set -- --icon "$icon_file" --description "$copy_name" --company "Corvenna" --copyright "© 2026 Corvenna"
  mkdir -p "$work/$copy_name/windows" "$work/$copy_name/linux"
  "$wine_run" "$brand" "$launcher" "$work/$copy_name/windows/$copy_name.exe" "$@" 2>"$work/$copy_name/notes-windows.txt"
  "$native_brand" "$launcher" "$work/$copy_name/linux/$copy_name.exe" "$@" 2>"$work/$copy_name/notes-linux.txt" >/dev/null
  cmp "$work/$copy_name/windows/$copy_name.exe" "$work/$copy_name/linux/$copy_name.exe" || fail "$copy_name: the two builds' copies differ"
  for build in windows linux; do
    [ "$(cat "$work/$copy_name/notes-$build.txt")" = "$notes" ] ||
      { cat "$work/$copy_name/notes-$build.txt"; fail "$copy_name: the $build build's notes"; }
  done
  "$wine_run" "$version_info" "$work/$copy_name/linux/$copy_name.exe" >"$work/$copy_name/reads.raw"
  tr -d '\r' <"$work/$copy_name/reads.raw" | sort >"$work/$copy_name/windows-reads.txt"
  "$native_brand" --show "$work/$copy_name/linux/$copy_name.exe" | sort | diff - "$work/$copy_name/windows-reads.txt" ||
    fail "$copy_name: Windows does not load every icon image at its size"
  echo "$copy_name: $(grep '^Icon group 107' "$work/$copy_name/windows-reads.txt"), the same bytes from both builds"
}
# Made once with ImageMagick 6.9.11: from a 256-pixel logo of 16 bits per
# channel (convert logo.png -define icon:auto-resize=256,64,48,32,16 app.ico),
# and from 256-pixel palette, RGB, grey and RGBA logos (convert palette.png
# rgb.png grey.png rgba.png app.ico), whose PNG images it keeps as they are.
png_icon imagemagick "$source_dir/tests/package/imagemagick-16bit.ico" \
  "launcher-brand: note: PNG images of '$source_dir/tests/package/imagemagick-16bit.ico' stored as 8-bit RGBA, the form Windows' icon functions take: 256x256 16-bit RGBA"
png_icon tools "$source_dir/tests/package/imagemagick-palette-rgb-grey.ico" \
  "launcher-brand: note: PNG images of '$source_dir/tests/package/imagemagick-palette-rgb-grey.ico' stored as 8-bit RGBA, the form Windows' icon functions take: 256x256 8-bit palette, 256x256 8-bit RGB, 256x256 8-bit grey"
png_icon logo "$source_dir/demo/app-logo.png" ""
grep -qx 'Icon group 107: 256x256 32, 64x64 32, 48x48 32, 32x32 32, 24x24 32, 16x16 32' "$work/logo/windows-reads.txt" ||
  fail "the logo's icon does not hold its six sizes"

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
