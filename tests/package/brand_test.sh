#!/bin/sh
# launcher-brand at work under Wine: a copy branded from an .ico file carries
# exactly what it was given and comes out the same from the same inputs; a
# copy branded from the demo application's icon passes end-to-end cases; and
# a signed launcher's copy comes unsigned, then takes and verifies the maker's
# signature from the build's signing step.
#
#   brand_test.sh SOURCE_DIR LAUNCHER BRAND E2E_TEST APPLICATION
set -eu
source_dir=$1 launcher=$2 brand=$3 e2e_test=$4 application=$5
wine_run="$source_dir/scripts/wine-run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASSWORD

fail() { echo "FAILED: $*" >&2; exit 1; }

# inspect COPY SOURCE ICON [OPTIONS]: the package inspection of a branded copy;
# shows the lines that sum it up, or everything when it fails.
inspect() {
  /usr/bin/python3 "$source_dir/tests/package/inspect_launcher.py" --branded "$@" >"$work/inspect.log" 2>&1 ||
    { cat "$work/inspect.log"; fail "$1 is not the branded copy it should be"; }
  grep -E '^(icon group 10[78] images|strings|certificate table|header checksum)' "$work/inspect.log"
}

set -- --description "Vandrel Viewer: views Vandrel files ✓ 日本語" --product-name "Vandrel Viewer" \
  --company "Corvenna Éditions" --copyright "© 2026 Corvenna Éditions" --version 2.1.0.65535
icon="$source_dir/res/launcher-full.ico"
for copy in first second; do
  mkdir "$work/$copy"
  "$wine_run" "$brand" "$launcher" "$work/$copy/viewer.exe" --icon "$icon" "$@"
done
cmp "$work/first/viewer.exe" "$work/second/viewer.exe" || fail "the same inputs gave different bytes"
echo "Two copies from the same inputs: the same $(wc -c <"$work/first/viewer.exe") bytes"
inspect "$work/first/viewer.exe" "$launcher" "$icon" "$@"

mkdir "$work/from"
"$wine_run" "$brand" "$launcher" "$work/from/viewer.exe" --icon-from "$application" --product-name "Vandrel Viewer"
inspect "$work/from/viewer.exe" "$launcher" "$application" --product-name "Vandrel Viewer"
"$wine_run" "$e2e_test" "$work/from/viewer.exe" "$application" \
  --gtest_filter='LauncherEndToEnd.TypicalRun*:LauncherEndToEnd.Forwards*:LauncherEndToEnd.ConfigurationProblems*:LauncherEndToEnd.ApplicationFailures*:PlantedDll.*'

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
