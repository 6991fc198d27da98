#!/bin/sh
# Each way launcher-brand can fail, with both of its builds: the Windows one
# under Wine and the Linux one (the Linux one alone where only Linux has the
# problem). Each prints exactly one line naming the problem and the file as it
# was typed (the same line from both, but for how the system words its
# errors), exits 1, and leaves the folder as it was: an existing target
# unchanged, no temporary file, no folder created. Then what real build
# machines do to a copy that is written all the same: a folder that may be
# written but not read, a set-ID target, a long name, stale temporary files,
# and, on Windows, another program holding the target. Last, a copy made in a
# folder of its own takes everything from the files named there.
#
#   brand_failures_test.sh SOURCE_DIR LAUNCHER BRAND NATIVE_BRAND PROGRAM HOLDER
# PROGRAM is a program with an icon and a symbol table (the demo application);
# HOLDER holds a file open (hold_file.exe).
set -eu
source_dir=$1 launcher=$2 brand=$3 native_brand=$4 program=$5 holder=$6
wine_run="$source_dir/scripts/wine-run"
work=$(mktemp -d)
cleanup() {
  cd /
  rm -f "$work/held.marker"
  umount "$work/tree/full" 2>/dev/null || true
  chattr -i "$work/tree/locked" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }
[ -x "$native_brand" ] || fail "$native_brand is missing: build the native preset first"

mkdir "$work/tree"
cd "$work/tree"
cp "$launcher" launcher.exe
cp "$program" app.exe
x86_64-w64-mingw32-strip -o stripped.exe app.exe
cp "$source_dir/res/launcher-full.ico" app.ico
mkdir out dir.exe locked rt
printf 'the copy made before\n' >out/viewer.exe
cp launcher.exe out/earlier.exe
ln -s earlier.exe out/symlink.exe
cp app.exe rt/app.exe
printf 'not a program\n' >notes.txt
cp notes.txt notes.exe
cp launcher.exe out/readonly.exe
chmod 444 out/readonly.exe
ln launcher.exe out/link.exe
ln app.ico icon.exe
head -c 100 app.ico >cut.ico
/usr/bin/python3 - <<'PYTHON'
import struct, zlib, pefile

def icon_file(images, offsets=None):
    directory = struct.pack("<HHH", 0, 1, len(images))
    at = 6 + 16 * len(images)
    data = b""
    for index, image in enumerate(images):
        offset = offsets[index] if offsets else at + len(data)
        directory += struct.pack("<BBBBHHII", 64, 64, 0, 0, 1, 32, len(image), offset)
        if not offsets:
            data += image
    return directory + (data if not offsets else images[0])

bitmap_header = struct.pack("<IiiHHIIiiII", 40, 64, 128, 1, 32, 0, 0, 0, 0, 0, 0)
png_header = b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + b"IHDR" + struct.pack(">IIBBBBB", 64, 64, 8, 6, 0, 0, 0) + b"CRC!"
complete = bitmap_header + bytes(64 * 64 * 4 + 64 * 8)
big_header = struct.pack("<IiiHHIIiiII", 40, 256, 512, 1, 32, 0, 0, 0, 0, 0, 0)
open("big.ico", "wb").write(icon_file([big_header + bytes(256 * 256 * 4 + 256 * 32)]))
open("hollow.ico", "wb").write(icon_file([bitmap_header]))
open("cutpng.ico", "wb").write(icon_file([png_header]))
open("many.ico", "wb").write(icon_file([complete] * 4096, [6 + 16 * 4096] * 4096))

def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

# A logo that is not square.
wide = (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", 300, 200, 8, 6, 0, 0, 0)) +
        png_chunk(b"IDAT", zlib.compress(bytes(200 * (1 + 300 * 4)))) + png_chunk(b"IEND", b""))
open("wide.png", "wb").write(wide)

launcher = open("launcher.exe", "rb").read()
open("overlay.exe", "wb").write(launcher + b"overlay")
pe = pefile.PE(data=launcher)
bare = bytearray(launcher)
resources = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
bare[resources.get_file_offset():resources.get_file_offset() + 8] = bytes(8)
open("bare.exe", "wb").write(bare)
long_manifest = bytearray(launcher)
for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    if entry.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
        size_at = entry.directory.entries[0].directory.entries[0].data.struct.get_file_offset() + 4
        long_manifest[size_at:size_at + 4] = struct.pack("<I", 0x100000)
open("longmanifest.exe", "wb").write(long_manifest)
# A debug build keeps its symbols.
symbols = bytearray(launcher)
symbols[pe.FILE_HEADER.get_file_offset() + 8:pe.FILE_HEADER.get_file_offset() + 16] = struct.pack("<II", len(launcher), 1)
open("symbols.exe", "wb").write(symbols)
PYTHON
# Root writes in a folder without write permission; an immutable one stops it.
chmod a-w locked
chattr +i locked 2>/dev/null || true
usage="; usage: launcher-brand SOURCE.exe TARGET.exe [--icon FILE.ico|LOGO.png | --icon-from PROGRAM.exe]\
 [--description TEXT] [--product-name TEXT] [--company TEXT] [--copyright TEXT] [--trademarks TEXT]\
 [--version A.B.C.D] [--product-version TEXT]"

snapshot() { find . | sort; find . -type f | sort | xargs md5sum; }

# fails LINE [LINUX_LINE] -- ARGUMENTS...: each build of $builds, given
# ARGUMENTS, prints LINE alone (the Linux build LINUX_LINE, where given). The
# Linux build runs under $linux_prefix, a command and its options, if set.
builds="windows linux"
linux_prefix=""
fails() {
  windows_line=$1 linux_line=$1
  shift
  if [ "$1" != "--" ]; then
    linux_line=$1
    shift
  fi
  shift
  before=$(snapshot)
  for build in $builds; do
    status=0
    if [ "$build" = windows ]; then
      expected=$windows_line
      "$wine_run" "$brand" "$@" >"$work/out.log" 2>"$work/err.log" || status=$?
    else
      expected=$linux_line
      $linux_prefix "$native_brand" "$@" >"$work/out.log" 2>"$work/err.log" || status=$?
    fi
    [ "$status" -eq 1 ] || fail "$build build: exit status $status for: $*"
    [ ! -s "$work/out.log" ] || fail "$build build: output on success's stream for: $*"
    [ "$(cat "$work/err.log")" = "$expected" ] || fail "$build build, for: $*
expected: $expected
but got:  $(cat "$work/err.log")"
    [ "$(snapshot)" = "$before" ] || fail "$build build: the folder changed for: $*"
  done
  printf '%s\n' "$linux_line"
}

fails "launcher-brand: SOURCE.exe and TARGET.exe are both needed$usage" -- launcher.exe
fails "launcher-brand: unexpected argument 'x.exe'$usage" -- launcher.exe out/viewer.exe x.exe
fails "launcher-brand: unknown option '--colour'$usage" -- launcher.exe out/viewer.exe --colour red
fails "launcher-brand: option '--icon' needs a value$usage" -- launcher.exe out/viewer.exe --icon
fails "launcher-brand: option '--company' is given twice$usage" -- launcher.exe out/viewer.exe --company A --company B
fails "launcher-brand: '--icon' and '--icon-from' cannot be given together$usage" -- \
  launcher.exe out/viewer.exe --icon cut.ico --icon-from app.exe
fails "launcher-brand: malformed version '2.1.0.65536': one to four numbers from 0 to 65535 are needed, as in 2.1 or 2.1.0.0" -- \
  launcher.exe out/viewer.exe --version 2.1.0.65536
fails "launcher-brand: the target 'out/' names no file" -- launcher.exe out/
# A copy finds its .ini only through the .exe in its own name.
fails "launcher-brand: the target 'viewer.ini' does not end in .exe: a launcher's copy finds its .ini through the .exe in its name" -- \
  launcher.exe viewer.ini
fails "launcher-brand: the target 'out/viewer' does not end in .exe: a launcher's copy finds its .ini through the .exe in its name" -- \
  launcher.exe out/viewer

fails "launcher-brand: cannot find the source 'absent.exe'" -- absent.exe out/viewer.exe
fails "launcher-brand: cannot read the source 'dir.exe' (system error #5)" \
  "launcher-brand: cannot read the source 'dir.exe' (Is a directory)" -- dir.exe out/viewer.exe
fails "launcher-brand: the source 'notes.txt' is not a Windows program" -- notes.txt out/viewer.exe
fails "launcher-brand: the source 'bare.exe' has no resource section to brand" -- bare.exe out/viewer.exe
# A resource read that fails is no longer ignored: here the manifest's size
# runs past the image.
fails "launcher-brand: the resources of the source 'longmanifest.exe' are malformed" -- longmanifest.exe out/viewer.exe
# Only a launcher is branded: another program, stripped or not, is refused
# before its layout is looked at.
fails "launcher-brand: the source 'app.exe' is not a launcher: brand launcher.exe or a copy branded from it" -- \
  app.exe out/viewer.exe
fails "launcher-brand: the source 'stripped.exe' is not a launcher: brand launcher.exe or a copy branded from it" -- \
  stripped.exe out/earlier.exe
fails "launcher-brand: the source 'symbols.exe' carries a symbol table, as debug builds do: brand a release build" -- \
  symbols.exe out/viewer.exe
fails "launcher-brand: the source 'overlay.exe' has data after its last section" -- overlay.exe out/viewer.exe

fails "launcher-brand: cannot find the icon file ''" -- launcher.exe out/viewer.exe --icon ''
fails "launcher-brand: the icon file 'cut.ico' is truncated" -- launcher.exe out/viewer.exe --icon cut.ico
fails "launcher-brand: 'notes.txt' is not an icon file" -- launcher.exe out/viewer.exe --icon notes.txt
fails "launcher-brand: the icon file 'hollow.ico' holds an image whose data is incomplete" -- \
  launcher.exe out/viewer.exe --icon hollow.ico
fails "launcher-brand: the icon file 'cutpng.ico' holds an image whose data is incomplete" -- \
  launcher.exe out/viewer.exe --icon cutpng.ico
# 4,096 entries naming one image would multiply it in the copy.
fails "launcher-brand: the icon file 'many.ico' holds images that overlap" -- launcher.exe out/viewer.exe --icon many.ico
fails "launcher-brand: the icon file 'wide.png' is a 300x200 PNG image: an icon is made from a square PNG image of at least 256x256 pixels" -- \
  launcher.exe out/earlier.exe --icon wide.png
fails "launcher-brand: cannot find the program 'absent.exe'" -- launcher.exe out/viewer.exe --icon-from absent.exe
fails "launcher-brand: 'app.ico' is an icon file: give it with --icon, not --icon-from" -- \
  launcher.exe out/viewer.exe --icon-from app.ico
fails "launcher-brand: the program 'notes.txt' is not a Windows program" -- launcher.exe out/viewer.exe --icon-from notes.txt
fails "launcher-brand: the program 'bare.exe' has no icon" -- launcher.exe out/viewer.exe --icon-from bare.exe

fails "launcher-brand: the target 'launcher.exe' is the source itself" -- launcher.exe launcher.exe
fails "launcher-brand: the target 'out/link.exe' is the source itself" -- ./launcher.exe out/link.exe
fails "launcher-brand: the target 'app.exe' is the program the icon comes from" -- launcher.exe app.exe --icon-from app.exe
fails "launcher-brand: the target 'icon.exe' is the icon file itself" -- launcher.exe icon.exe --icon app.ico
fails "launcher-brand: the target 'out/readonly.exe' is read-only; it is left as it is" -- launcher.exe out/readonly.exe
fails "launcher-brand: the target 'notes.exe' exists and is not a Windows program; it is left as it is" -- \
  launcher.exe notes.exe
fails "launcher-brand: the target 'dir.exe' is not a file" -- launcher.exe dir.exe
# The product's own application is not a launcher's copy.
fails "launcher-brand: the target 'rt/app.exe' is not a launcher copy: choose another TARGET or remove it first" -- \
  launcher.exe rt/app.exe --icon-from app.exe
fails "launcher-brand: the target's folder 'absent' does not exist" -- launcher.exe absent/viewer.exe
if touch locked/probe 2>/dev/null; then
  rm locked/probe
  echo "skipped: no folder can be made unwritable here (not root, or no immutable attribute)"
else
  # Root is stopped by the immutable attribute (EPERM), anyone else by the mode (EACCES).
  denied="Permission denied"
  [ "$(id -u)" -ne 0 ] || denied="Operation not permitted"
  fails "launcher-brand: cannot write in the target's folder 'locked' (system error #5)" \
    "launcher-brand: cannot write in the target's folder 'locked' ($denied)" -- launcher.exe locked/viewer.exe
fi
# A disk that fills up: room for a copy of the launcher, none for the copy with
# a large icon. The copy is refused, not reported as written.
mkdir full
if mount -t tmpfs -o size=192k tmpfs full 2>/dev/null; then
  fails "launcher-brand: cannot write the target 'full/viewer.exe' (system error #112)" \
    "launcher-brand: cannot write the target 'full/viewer.exe' (No space left on device)" -- \
    launcher.exe full/viewer.exe --icon big.ico
else
  echo "skipped: no small file system can be mounted here (not root)"
fi

# Problems only Linux has, with the Linux build.
builds=linux
# A file-size limit, as build machines set, below the copy's size: one message,
# where the limit's signal would have killed the tool without one.
if command -v env >/dev/null && env --default-signal=XFSZ true 2>/dev/null; then
  (
    ulimit -f 100
    linux_prefix="env --default-signal=XFSZ"
    fails "launcher-brand: cannot write the target 'out/earlier.exe' (File too large)" -- \
      launcher.exe out/earlier.exe --icon big.ico
  )
else
  echo "skipped: env cannot restore the file-size signal's default here"
fi
# A description typed in Latin-1 bytes is not text; the path may be any bytes.
fails "launcher-brand: the text given with '--description' is not well-formed: UTF-8 on Linux, and no unpaired surrogate on Windows" -- \
  launcher.exe "$(printf 'out/caf\351.exe')" --description "$(printf 'Caf\351 Viewer')"
# A symbolic link: neither it nor the copy it names is replaced. Wine shows the
# Windows build no link at all.
fails "launcher-brand: the target 'out/symlink.exe' is a symbolic link; it and the file it names are left as they are: give that file's own path" -- \
  launcher.exe out/symlink.exe
builds="windows linux"

# written BUILD FOLDER TARGET [OPTIONS]: BUILD (windows or linux) writes, in
# FOLDER, a copy of the launcher to TARGET and says so; its notices are not
# looked at.
written() {
  build=$1 folder=$2 target=$3
  shift 3
  status=0
  if [ "$build" = windows ]; then
    (cd "$folder" && "$wine_run" "$brand" "$launcher" "$target" "$@") >"$work/out.log" 2>"$work/err.log" || status=$?
  else
    (cd "$folder" && "$native_brand" "$launcher" "$target" "$@") >"$work/out.log" 2>"$work/err.log" || status=$?
  fi
  [ "$status" -eq 0 ] && grep -qF "wrote '$target'" "$work/out.log" ||
    { cat "$work/out.log" "$work/err.log"; fail "$build build did not write $target"; }
}

# Any name the file system takes: 245 characters, which a temporary name
# built from it would exceed the 255 of.
long=$(printf 'v%.0s' $(seq 241)).exe
for build in windows linux; do
  mkdir "$work/long-$build"
  written "$build" "$work/long-$build" "$long"
  written "$build" "$work/long-$build" "$long" --product-name "Long"
  [ "$(ls -A "$work/long-$build")" = "$long" ] || fail "$build build left a file beside $long"
done
echo "a copy named with 245 characters replaced by both builds"

# A set-user-ID target of another user, branded by root: the copy keeps its
# permissions but the set-ID and sticky bits. (On Windows these bits are
# Wine's to give.)
mkdir "$work/setid"
for build in windows linux; do
  cp "$launcher" "$work/setid/$build.exe"
  [ "$(id -u)" -ne 0 ] || chown 65534:65534 "$work/setid/$build.exe"
  chmod 6775 "$work/setid/$build.exe"
  written "$build" "$work/setid" "$build.exe"
done
[ "$(stat -c %a "$work/setid/linux.exe")" = 775 ] || fail "the Linux build's copy has mode $(stat -c %a "$work/setid/linux.exe")"
[ $((0$(stat -c %a "$work/setid/windows.exe") & 07000)) -eq 0 ] || fail "the Windows build's copy kept a set-ID bit"
echo "set-ID targets replaced by copies of mode $(stat -c %a "$work/setid/linux.exe" "$work/setid/windows.exe" | tr '\n' ' ')"

# A folder another user may write in but not read (mode 0333): the Linux
# build cannot open it to flush it after the rename, and reports the copy it
# wrote as written. Root reads any folder, so the run is another user's.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  chmod 755 "$work"
  mkdir "$work/writeonly" "$work/readable"
  cp "$launcher" "$work/writeonly/viewer.exe"
  cp "$launcher" "$work/launcher.exe"
  chmod 0333 "$work/writeonly"
  setpriv --reuid=65534 --regid=65534 --clear-groups "$native_brand" "$work/launcher.exe" \
    "$work/writeonly/viewer.exe" --product-name "Write Only" >"$work/out.log" 2>"$work/err.log" ||
    { cat "$work/err.log"; fail "the copy in a write-only folder was not reported as written"; }
  "$native_brand" "$work/launcher.exe" "$work/readable/viewer.exe" --product-name "Write Only" 2>/dev/null >/dev/null
  chmod 755 "$work/writeonly"
  cmp "$work/writeonly/viewer.exe" "$work/readable/viewer.exe" || fail "the copy in a write-only folder is not the copy"
  [ "$(ls -A "$work/writeonly")" = viewer.exe ] || fail "the run left a file in the write-only folder"
  cat "$work/out.log"
else
  echo "skipped: no other user to run as here (not root, or no setpriv)"
fi

# Another program holds the target open without letting it be deleted, as a
# virus scanner holds a new file for a moment: the Windows build tries again
# and replaces it once it is free; held for a minute, it gives up within its 5
# seconds with the target as it was and no file of its own left.
mkdir "$work/held" "$work/held-linux"
cp "$launcher" "$work/held/viewer.exe"
hold() {
  "$wine_run" "$holder" "$work/held/viewer.exe" "$work/held.marker" "$1" >/dev/null 2>&1 &
  holder_pid=$!
  tries=0
  while [ ! -e "$work/held.marker" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 600 ] || fail "the holder did not take the file"
    sleep 0.05
  done
}
milliseconds() { echo $(($(date +%s%N) / 1000000)); }
hold 1000
written windows "$work/held" viewer.exe --product-name "Held Viewer"
wait "$holder_pid"
written linux "$work/held-linux" viewer.exe --product-name "Held Viewer"
cmp "$work/held/viewer.exe" "$work/held-linux/viewer.exe" || fail "the held target was not replaced by the copy"
echo "a target held for a second: replaced once free"
rm "$work/held.marker"
hold 60000
cd "$work/held"
before=$(snapshot)
started=$(milliseconds)
status=0
"$wine_run" "$brand" "$launcher" viewer.exe --product-name "Other" >"$work/out.log" 2>"$work/err.log" || status=$?
took=$(($(milliseconds) - started))
rm "$work/held.marker"
wait "$holder_pid"
expected="launcher-brand: cannot write the target 'viewer.exe' after trying for 5 seconds: another program may hold it or the copy open; it is left as it was (system error #32)"
[ "$status" -eq 1 ] && [ "$(cat "$work/err.log")" = "$expected" ] ||
  { cat "$work/err.log"; fail "a target held for a minute: status $status"; }
[ "$took" -ge 5000 ] && [ "$took" -lt 12000 ] || fail "a target held for a minute: gave up after $took ms"
[ "$(snapshot)" = "$before" ] || fail "a target held for a minute: the folder changed"
echo "a target held for a minute: given up after $took ms, left as it was"

# Files that earlier runs left under each process id Wine hands out keep their
# names and bytes, and the copy is written all the same.
mkdir "$work/stale"
cd "$work/stale"
id=4
while [ "$id" -le 8192 ]; do
  stem=$(printf '.brand-%08x' "$id")
  printf 'left behind\n' >"$stem-00.tmp"
  printf 'left behind\n' >"$stem-01.bak"
  id=$((id + 4))
done
"$wine_run" "$brand" "$launcher" viewer.exe
[ "$(cat ./.brand-* | sort | uniq -c | sed 's/^ *//')" = "4096 left behind" ] || fail "a file left behind changed"
[ "$(find . -type f | wc -l)" -eq 4097 ] || fail "the run left a file of its own or removed one"

# Run in a folder that holds a branded launcher.exe, while the Windows build
# has the unbranded one beside it: the copy's resources are all the branded one's.
mkdir "$work/branded"
"$native_brand" "$launcher" "$work/branded/launcher.exe" --icon "$work/tree/app.ico" --product-name "Branded Here" >/dev/null
cd "$work/branded"
"$wine_run" "$brand" launcher.exe copy.exe
/usr/bin/python3 "$source_dir/tests/package/inspect_launcher.py" --branded copy.exe launcher.exe launcher.exe \
  >"$work/inspect.log" 2>&1 || { cat "$work/inspect.log"; fail "the copy is not made of ./launcher.exe alone"; }
grep -F "'ProductName': 'Branded Here'" "$work/inspect.log" >/dev/null || fail "the copy is not named after ./launcher.exe"
echo "copy.exe made in a folder with a branded launcher.exe carries its ProductName 'Branded Here'"
