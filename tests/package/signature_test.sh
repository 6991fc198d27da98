#!/bin/sh
# The build's signing step, tried with a throwaway certificate made here:
# without a certificate the file is left as it is; with one, osslsigncode
# verifies the signature against that certificate, and the signed launcher
# still passes the end-to-end suite under Wine. A build that signs keeps the
# password out of its build tree.
#
#   signature_test.sh SOURCE_DIR LAUNCHER E2E_TEST APPLICATION
set -eu
source_dir=$1 launcher=$2 e2e_test=$3 application=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASSWORD

fail() { echo "FAILED: $*" >&2; exit 1; }

cp "$launcher" "$work/unsigned.exe"
cmake -DFILE="$work/unsigned.exe" -P "$source_dir/cmake/sign.cmake" >"$work/unsigned.log"
cat "$work/unsigned.log"
[ "$(wc -l <"$work/unsigned.log")" -eq 1 ] || fail "an unsigned build should say so in one line"
grep -q "left unsigned" "$work/unsigned.log" || fail "the unsigned build does not say it is unsigned"
cmp "$launcher" "$work/unsigned.exe" || fail "the file changed without a certificate"
if osslsigncode verify -in "$work/unsigned.exe" >/dev/null 2>&1; then
  fail "an unsigned file verified"
fi

. "$source_dir/tests/package/throwaway_signer.sh"

cp "$launcher" "$work/launcher.exe"
LAUNCHER_SIGN_PFX="$work/signer.pfx" LAUNCHER_SIGN_PASSWORD="$password" \
  cmake -DFILE="$work/launcher.exe" -P "$source_dir/cmake/sign.cmake"
if cmp -s "$launcher" "$work/launcher.exe"; then
  fail "signing left the file unchanged"
fi
verify "$work/launcher.exe"
tail -n 2 "$work/verify.log"
# A wrong password fails the step and leaves the file unsigned; a password on
# the command line is refused.
cp "$launcher" "$work/wrong.exe"
printf 'wrong\n' >"$work/wrong-password"
for wrong in -DPASSWORD_FILE="$work/wrong-password" -DPASSWORD="$password"; do
  if cmake -DFILE="$work/wrong.exe" -DPFX="$work/signer.pfx" "$wrong" \
       -P "$source_dir/cmake/sign.cmake" >/dev/null 2>&1; then
    fail "signing with $wrong succeeded"
  fi
  cmp "$launcher" "$work/wrong.exe" || fail "a failed signing changed the file"
done

# A build that signs, given the password in its environment and, as once
# documented, as a cache variable: the launcher is signed, and no file of the
# build tree holds the password.
export LAUNCHER_SIGN_PASSWORD="$password"
cmake -S "$source_dir" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DLAUNCHER_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
  -DLAUNCHER_DIST_DIR="$work/dist" -DLAUNCHER_SIGN_PFX="$work/signer.pfx" \
  -DLAUNCHER_SIGN_PASSWORD="$password" >/dev/null 2>&1
cmake --build "$work/build" --target launcher -j 2 >/dev/null
unset LAUNCHER_SIGN_PASSWORD
verify "$work/dist/launcher.exe"
if grep -rlF "$password" "$work/build"; then
  fail "the password is in the build tree"
fi
echo "the signing build's tree holds no password ($(find "$work/build" -type f | wc -l) files)"

"$source_dir/scripts/wine-run" "$e2e_test" "$work/launcher.exe" "$application"
