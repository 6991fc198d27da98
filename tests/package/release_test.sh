#!/bin/sh
# The release's packing step on this build: two packs give the same bytes,
# holding exactly the release's files with the commit's time, fixed modes and
# no owner, and gzip's header no name or time; SHA256SUMS checks; the
# unpacked example, pointed at the probe, starts it under Wine; a signed
# build's archives drop "-unsigned" and a half-signed one is refused; and
# scripts/release refuses a work tree with uncommitted changes.
#
#   release_test.sh SOURCE_DIR LAUNCHER BRAND NATIVE_BRAND APPLICATION VERSION
set -eu
source_dir=$1 launcher=$2 brand=$3 native_brand=$4 application=$5 version=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASSWORD

fail() { echo "FAILED: $*" >&2; exit 1; }

# pack DIST OUTPUT: the packing step of scripts/release.
pack() { python3 "$source_dir/scripts/pack_release.py" "$source_dir" "$1" "$version" "$2"; }
# Each entry of a zip or tar.gz: name, mode and time, in the archive's order.
entries() {
  python3 - "$1" <<'EOF'
import sys, tarfile, time, zipfile
if sys.argv[1].endswith(".zip"):
    for info in zipfile.ZipFile(sys.argv[1]).infolist():
        print(info.filename, oct(info.external_attr >> 16), "%04d-%02d-%02d %02d:%02d:%02d" % info.date_time)
else:
    for info in tarfile.open(sys.argv[1]):
        stamp = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(info.mtime))
        print(info.name, oct(info.mode), stamp, info.uid, info.gid, repr(info.uname), repr(info.gname))
EOF
}

SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
mkdir "$work/dist"
cp "$launcher" "$brand" "$work/dist/"
cp "$native_brand" "$work/dist/launcher-brand"
pack "$work/dist" "$work/first"
pack "$work/dist" "$work/second" >/dev/null
zip=launcher-$version-windows-x64-unsigned.zip
tarball=launcher-brand-$version-linux-x86_64-unsigned.tar.gz
[ "$(LC_ALL=C ls "$work/first")" = "$(printf '%s\n' SHA256SUMS "$zip" "$tarball")" ] ||
  fail "dist/release holds $(ls "$work/first")"
for file in SHA256SUMS "$zip" "$tarball"; do
  cmp "$work/first/$file" "$work/second/$file" || fail "two packs gave different $file"
done
(cd "$work/first" && sha256sum -c SHA256SUMS)

# A zip entry's time counts even seconds.
when=$(date -u -d "@$((SOURCE_DATE_EPOCH / 2 * 2))" '+%Y-%m-%d %H:%M:%S')
entries "$work/first/$zip" >"$work/entries"
for name in CHANGELOG.md LICENSE README.md THIRD-PARTY-NOTICES.txt example/README.txt \
    example/notepad.ini launcher-brand.exe launcher.exe; do
  case $name in *.exe) mode=0o100755 ;; *) mode=0o100644 ;; esac
  echo "$name $mode $when"
done | diff - "$work/entries" || fail "the zip's entries differ from the release's files"

python3 -m zipfile -e "$work/first/$zip" "$work/unpacked"
cmp "$launcher" "$work/unpacked/launcher.exe"
cmp "$brand" "$work/unpacked/launcher-brand.exe"
for file in README.md LICENSE THIRD-PARTY-NOTICES.txt CHANGELOG.md; do
  cmp "$source_dir/$file" "$work/unpacked/$file"
done
printf 'C:\\Windows\\System32\\notepad.exe\r\n' | cmp - "$work/unpacked/example/notepad.ini"

# The tarball: its entries keep the commit's time to the second.
when=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
entries "$work/first/$tarball" >"$work/entries"
for name in LICENSE THIRD-PARTY-NOTICES.txt launcher-brand; do
  case $name in launcher-brand) mode=0o755 ;; *) mode=0o644 ;; esac
  echo "$name $mode $when 0 0 '' ''"
done | diff - "$work/entries" || fail "the tarball's entries differ from the release's files"
# gzip's header: flags (no file name), then a time of 0.
[ "$(od -An -tx1 -j3 -N5 "$work/first/$tarball" | tr -d ' ')" = 0000000000 ] ||
  fail "gzip stored a name or time"
mkdir "$work/linux"
tar -xzf "$work/first/$tarball" -C "$work/linux"
cmp "$native_brand" "$work/linux/launcher-brand"
for file in LICENSE THIRD-PARTY-NOTICES.txt; do
  cmp "$source_dir/$file" "$work/linux/$file"
done

# example/README.txt: launcher.exe copied beside the .ini as notepad.exe, the
# .ini naming the probe by its full path, and notepad.exe started with an
# argument.
example="$work/unpacked/example"
grep -q "name the copy notepad.exe" "$example/README.txt" || fail "README.txt no longer says how"
cp "$work/unpacked/launcher.exe" "$example/notepad.exe"
mkdir "$work/unpacked/probe"
cp "$application" "$work/unpacked/probe/app.exe"
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
printf '"%s"\r\n' "$(windows_path "$work/unpacked/probe/app.exe")" >"$example/notepad.ini"
"$source_dir/scripts/wine-run" "$example/notepad.exe" notes.txt
received="$work/unpacked/probe/app.received.txt"
tries=0
while [ ! -f "$received" ] && [ "$tries" -lt 100 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
[ -f "$received" ] || fail "the probe recorded no start"
cat "$received"
grep -qxF "command line: \"$(windows_path "$work/unpacked/probe/app.exe")\" notes.txt" "$received" ||
  fail "the probe was started with another command line"
grep -qxF "directory: $(windows_path "$example")" "$received" || fail "the probe started in another directory"

. "$source_dir/tests/package/throwaway_signer.sh"
export LAUNCHER_SIGN_PFX="$work/signer.pfx" LAUNCHER_SIGN_PASSWORD="$password"
cmake -DFILE="$work/dist/launcher.exe" -P "$source_dir/cmake/sign.cmake"
if pack "$work/dist" "$work/half" 2>"$work/half.log"; then fail "a half-signed release was packed"; fi
cat "$work/half.log"
[ ! -e "$work/half" ] || fail "a refused pack left its folder"
cmake -DFILE="$work/dist/launcher-brand.exe" -P "$source_dir/cmake/sign.cmake"
pack "$work/dist" "$work/signed"
[ "$(LC_ALL=C ls "$work/signed")" = "$(printf '%s\n' SHA256SUMS "launcher-$version-windows-x64.zip" \
  "launcher-brand-$version-linux-x86_64.tar.gz")" ] || fail "the signed release holds $(ls "$work/signed")"

# scripts/release refuses untracked and changed files, but not ignored ones;
# this copy has no scripts/setup, so a release that goes on fails there.
tree="$work/tree"
mkdir -p "$tree/scripts"
cp "$source_dir/scripts/release" "$tree/scripts/"
printf 'ignored/\n' >"$tree/.gitignore"
git -C "$tree" init -q
git -C "$tree" add .
git -C "$tree" -c user.name=test -c user.email=test@example.invalid commit -q -m tree
release_says() {
  "$tree/scripts/release" >"$work/release.log" 2>&1 && fail "scripts/release went through"
  grep -q "uncommitted changes" "$work/release.log"
}
mkdir "$tree/ignored" && touch "$tree/ignored/file"
! release_says || fail "scripts/release refused an ignored file"
touch "$tree/new"
release_says || fail "scripts/release took an untracked file"
rm "$tree/new" && echo changed >>"$tree/.gitignore"
release_says || fail "scripts/release took a changed file"
cat "$work/release.log"
