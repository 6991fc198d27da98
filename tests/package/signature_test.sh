#!/bin/sh
# The build's signing step, tried with a throwaway certificate and time-stamp
# authority made here: without a certificate signing fails, and the build's
# own step leaves the file as it is; with one, osslsigncode verifies the
# signature against that certificate, the file keeps its mode, and the
# signed launcher still passes the end-to-end suite under Wine. Each file is
# signed as its own product; the signing time is the time stamp's or
# SOURCE_DATE_EPOCH; each refusal is one line. A run stopped while the
# authority is awaited leaves nothing beside the file, and the password is in
# no file and on no command line; a password file's first line is the
# password. A build that signs keeps the password out of its build tree.
#
#   signature_test.sh SOURCE_DIR LAUNCHER E2E_TEST APPLICATION BRAND
set -eu
source_dir=$1 launcher=$2 e2e_test=$3 application=$4 brand=$5
sign="$source_dir/cmake/sign.cmake"
work=$(mktemp -d)
tsa_pid="" silent_pid=""
trap 'for pid in $tsa_pid $silent_pid; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"' EXIT
unset LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASSWORD LAUNCHER_SIGN_PASSWORD_FILE \
  LAUNCHER_SIGN_TIMESTAMP_URL SOURCE_DATE_EPOCH http_proxy HTTP_PROXY

fail() { echo "FAILED: $*" >&2; exit 1; }

cp "$launcher" "$work/unsigned.exe"
cmake -DFILE="$work/unsigned.exe" -DALLOW_UNSIGNED=ON -P "$sign" >"$work/unsigned.log"
cat "$work/unsigned.log"
[ "$(wc -l <"$work/unsigned.log")" -eq 1 ] || fail "an unsigned build should say so in one line"
grep -q "left unsigned" "$work/unsigned.log" || fail "the unsigned build does not say it is unsigned"
cmp "$launcher" "$work/unsigned.exe" || fail "the file changed without a certificate"
if osslsigncode verify -in "$work/unsigned.exe" >/dev/null 2>&1; then
  fail "an unsigned file verified"
fi

. "$source_dir/tests/package/throwaway_signer.sh"

# refused EXPECTED [NAME=VALUE...] cmake [OPTIONS]: signing fails with one
# line, under CMake's own header, that holds EXPECTED and names no deleted
# file, and leaves $work/refused.exe as it was.
cp "$launcher" "$work/refused.exe"
refused() {
  expected=$1
  shift
  if env "$@" -P "$sign" >"$work/refused.log" 2>&1; then
    fail "signing succeeded: $*"
  fi
  grep -v -e '^CMake Error at ' -e '^$' "$work/refused.log" >"$work/message.log" || true
  cat "$work/message.log"
  if [ "$(wc -l <"$work/message.log")" -ne 1 ] || ! grep -qF -- "$expected" "$work/message.log" ||
     grep -q 'signing-' "$work/message.log"; then
    cat "$work/refused.log"
    fail "the refusal is not one line holding: $expected"
  fi
  cmp "$launcher" "$work/refused.exe" || fail "a refused signing changed the file"
}
refused "FILE is not set" cmake
# A maker who signs by hand asked for a signature.
refused "no certificate to sign refused.exe with: set LAUNCHER_SIGN_PFX and LAUNCHER_SIGN_PASSWORD" \
  cmake -DFILE="$work/refused.exe"
refused "'$work/absent.exe' does not exist" cmake -DFILE="$work/absent.exe"
refused "'$work/absent.exe' does not exist" LAUNCHER_SIGN_PFX="$work/signer.pfx" \
  LAUNCHER_SIGN_PASSWORD="$password" cmake -DFILE="$work/absent.exe"
refused "set LAUNCHER_SIGN_PASSWORD in the environment, or LAUNCHER_SIGN_PASSWORD_FILE" \
  LAUNCHER_SIGN_PFX="$work/signer.pfx" cmake -DFILE="$work/refused.exe"
refused "a password on the command line is refused" \
  cmake -DFILE="$work/refused.exe" -DPFX="$work/signer.pfx" -DPASSWORD="$password"
refused "SOURCE_DATE_EPOCH '1.7e9' is not a number" LAUNCHER_SIGN_PFX="$work/signer.pfx" \
  LAUNCHER_SIGN_PASSWORD="$password" SOURCE_DATE_EPOCH=1.7e9 cmake -DFILE="$work/refused.exe"

# A wrong password and an authority that does not answer fail the step and
# leave the file unsigned.
printf 'wrong\n' >"$work/wrong-password"
for wrong in -DPASSWORD_FILE="$work/wrong-password" -DTIMESTAMP_URL=http://127.0.0.1:9/; do
  if LAUNCHER_SIGN_PASSWORD="$password" cmake -DFILE="$work/refused.exe" -DPFX="$work/signer.pfx" \
       "$wrong" -P "$sign" >/dev/null 2>&1; then
    fail "signing with $wrong succeeded"
  fi
  cmp "$launcher" "$work/refused.exe" || fail "a failed signing changed the file"
done

# Ctrl-C while an authority that accepts and never answers is awaited stops
# the signing and osslsigncode with it (SIGINT to the process group, which a
# background job would ignore): nothing is left beside the file, no file
# holds the password and no command line showed it.
python3 -c '
import os, socket, sys, time
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(1)
print(server.getsockname()[1], flush=True)
connection, _ = server.accept()
open(sys.argv[1], "w").close()
time.sleep(120)
' "$work/silent.accepted" >"$work/silent.port" &
silent_pid=$!
mkdir "$work/interrupted" "$work/tmp"
cp "$launcher" "$work/interrupted/viewer.exe"
while [ ! -s "$work/silent.port" ]; do sleep 0.1; done
TMPDIR="$work/tmp" LAUNCHER_SIGN_PFX="$work/signer.pfx" LAUNCHER_SIGN_PASSWORD="$password" python3 -c '
import os, signal, sys
signal.signal(signal.SIGINT, signal.SIG_DFL)
os.setpgid(0, 0)
os.execvp(sys.argv[1], sys.argv[1:])
' cmake -DFILE="$work/interrupted/viewer.exe" -DTIMESTAMP_URL="http://127.0.0.1:$(cat "$work/silent.port")/" \
  -P "$sign" >"$work/interrupted.log" 2>&1 &
signer=$!
tries=0
until [ -e "$work/silent.accepted" ]; do
  tries=$((tries + 1))
  [ "$tries" -le 300 ] || { cat "$work/interrupted.log"; fail "osslsigncode asked no time stamp"; }
  sleep 0.1
done
# The password comes through the environment: a grep of it would show it.
SECRET="$password" python3 -c '
import glob, os, sys
secret = os.environ["SECRET"].encode()
for name in glob.glob("/proc/[0-9]*/cmdline"):
    try:
        with open(name, "rb") as file:
            if secret in file.read():
                sys.exit(name)
    except OSError:
        pass
' || fail "a command line shows the password"
python3 -c 'import os, signal, sys; os.killpg(int(sys.argv[1]), signal.SIGINT)' "$signer"
if wait "$signer"; then fail "the interrupted signing succeeded"; fi
[ "$(ls -A "$work/interrupted")" = viewer.exe ] || fail "an interrupted signing left $(ls -A "$work/interrupted" | tr "\n" " ")"
cmp "$launcher" "$work/interrupted/viewer.exe" || fail "an interrupted signing changed the file"
if grep -rlF "$password" "$work"; then fail "a file holds the password"; fi

# signed FILE REPORT [NAME=VALUE...] cmake [OPTIONS]: signs FILE with the
# throwaway certificate; its one line holds REPORT; it verifies.
signed() {
  file=$1 report=$2
  shift 2
  env LAUNCHER_SIGN_PFX="$work/signer.pfx" LAUNCHER_SIGN_PASSWORD="$password" "$@" \
    -DFILE="$file" -P "$sign" >"$work/signed.log"
  cat "$work/signed.log"
  grep -qF -- "$report" "$work/signed.log" || fail "signing $file did not report: $report"
  verify "$file"
}

# Each file is described as its own product: its ProductName, in any script,
# or its file name when it has no version resource or one whose length runs
# past its data; DESCRIPTION and URL replace that, byte for byte.
product="Vandrel Viewer ✓ 日本語 é 𝄞"
"$source_dir/scripts/wine-run" "$brand" "$launcher" "$work/viewer.exe" --product-name "$product" 2>/dev/null
chmod 751 "$work/viewer.exe"
signed "$work/viewer.exe" "as '$product' (its ProductName)" cmake
[ "$(stat -c %a "$work/viewer.exe")" = 751 ] || fail "signing changed the mode to $(stat -c %a "$work/viewer.exe")"
osslsigncode extract-signature -in "$work/viewer.exe" -out "$work/viewer.sig" >/dev/null
LC_ALL=C grep -qF "$product" "$work/viewer.sig" || fail "the signature does not hold the UTF-8 ProductName"
cp "$application" "$work/app.exe"
signed "$work/app.exe" "as 'app.exe' (its file name: it has no version resource)" cmake
grep -q "Text description: app.exe" "$work/verify.log" || fail "app.exe is not described by its name"
cp "$launcher" "$work/broken.exe"
key=$(LC_ALL=C grep -obaP 'V\x00S\x00_\x00V\x00E\x00R\x00S\x00I\x00O\x00N\x00_\x00I\x00N\x00F\x00O' \
  "$work/broken.exe" | head -n 1 | cut -d: -f1)
printf '\377\377' | dd of="$work/broken.exe" bs=1 seek=$((key - 6)) conv=notrunc 2>/dev/null
signed "$work/broken.exe" "as 'broken.exe' (its file name: its version resource is malformed)" cmake
cp "$launcher" "$work/described.exe"
signed "$work/described.exe" "(DESCRIPTION)" cmake -DDESCRIPTION="Viewer [beta; tools" \
  -DURL="https://viewer.example/?a=1;b=2"
grep -E "(Text|URL) description" "$work/verify.log"
grep -q "Text description: Viewer \[beta; tools$" "$work/verify.log" &&
  grep -q "URL description: https://viewer.example/?a=1;b=2$" "$work/verify.log" ||
  fail "DESCRIPTION and URL are not the signature's"

# Without a time stamp the signing time is SOURCE_DATE_EPOCH, so signing the
# same file twice gives the same bytes; with one, the authority's time counts.
for copy in first second; do
  cp "$launcher" "$work/$copy.exe"
  signed "$work/$copy.exe" "signing time 2023-11-14 22:13:20 UTC (SOURCE_DATE_EPOCH)" \
    SOURCE_DATE_EPOCH=1700000000 cmake
done
grep -q "Signing time: Nov 14 22:13:20 2023 GMT" "$work/verify.log" || fail "the signing time is not SOURCE_DATE_EPOCH"
cmp "$work/first.exe" "$work/second.exe" || fail "two signings of the same file differ"
start_time_stamp_authority
cp "$launcher" "$work/launcher.exe"
signed "$work/launcher.exe" "as 'Vandrel Product Launcher' (its ProductName), time-stamped by '$tsa_url'" \
  LAUNCHER_SIGN_TIMESTAMP_URL="$tsa_url" SOURCE_DATE_EPOCH=1700000000 cmake
grep -E "Text description|Signing time|Timestamp|timestamped|Throwaway Time Stamps" "$work/verify.log"
grep -q "Timestamp Server Signature verification: ok" "$work/verify.log" &&
  grep -q "Throwaway Time Stamps" "$work/verify.log" || fail "the signature carries no time stamp"
if grep -q "Nov 14 22:13:20 2023" "$work/verify.log"; then
  fail "a time-stamped signature took SOURCE_DATE_EPOCH as its time"
fi

# A password file's first line is the password.
printf '%s\r\nthe next line\n' "$password" >"$work/password-lines"
cp "$launcher" "$work/from-file.exe"
signed "$work/from-file.exe" "signed with" LAUNCHER_SIGN_PASSWORD=wrong cmake -DPASSWORD_FILE="$work/password-lines"

# An empty password is one: a certificate without one signs.
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass: -out "$work/open.pfx"
cp "$launcher" "$work/open.exe"
LAUNCHER_SIGN_PASSWORD="" cmake -DFILE="$work/open.exe" -DPFX="$work/open.pfx" -P "$sign"
verify "$work/open.exe"

# A build that signs, given the password in its environment and, as once
# documented, as a cache variable: the launcher is signed and time-stamped,
# and no file of the build tree holds the password.
export LAUNCHER_SIGN_PASSWORD="$password"
cmake -S "$source_dir" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DLAUNCHER_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
  -DLAUNCHER_DIST_DIR="$work/dist" -DLAUNCHER_SIGN_PFX="$work/signer.pfx" \
  -DLAUNCHER_SIGN_PASSWORD="$password" -DLAUNCHER_SIGN_TIMESTAMP_URL="$tsa_url" >/dev/null 2>&1
cmake --build "$work/build" --target launcher -j 2 >/dev/null
unset LAUNCHER_SIGN_PASSWORD
verify "$work/dist/launcher.exe"
grep -q "Timestamp Server Signature verification: ok" "$work/verify.log" || fail "the build did not time-stamp"
if grep -rlF "$password" "$work/build"; then
  fail "the password is in the build tree"
fi
echo "the signing build's tree holds no password ($(find "$work/build" -type f | wc -l) files)"

"$source_dir/scripts/wine-run" "$e2e_test" "$work/launcher.exe" "$application"
