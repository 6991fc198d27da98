#!/bin/sh
# Each way launcher-brand can fail, with both of its builds: the Windows one
# under Wine and the Linux one. Each prints exactly one line naming the
# problem and the file as it was typed (the same line from both, but for how
# the system words its errors), exits 1, and leaves the folder as it was: an
# existing target unchanged, no temporary file, no folder created. Last, a
# copy made in a folder of its own takes everything from the files named there.
#
#   brand_failures_test.sh SOURCE_DIR LAUNCHER BRAND NATIVE_BRAND PROGRAM
# PROGRAM is a program with an icon and a symbol table (the demo application).
set -eu
source_dir=$1 launcher=$2 brand=$3 native_brand=$4 program=$5
work=$(mktemp -d)
cleanup() {
  cd /
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
cp "$source_dir/res/launcher-full.ico" app.ico
mkdir out dir.exe locked
printf 'the copy made before\n' >out/viewer.exe
printf 'not a program\n' >notes.txt
cp notes.txt notes.exe
cp launcher.exe out/readonly.exe
chmod 444 out/readonly.exe
ln launcher.exe out/link.exe
ln app.ico icon.exe
head -c 100 app.ico >cut.ico
/usr/bin/python3 - <<'PYTHON'
import struct, pefile

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
PYTHON
# Root writes in a folder without write permission; an immutable one stops it.
chmod a-w locked
chattr +i locked 2>/dev/null || true
usage="; usage: launcher-brand SOURCE.exe TARGET.exe [--icon FILE.ico | --icon-from PROGRAM.exe]\
 [--description TEXT] [--product-name TEXT] [--company TEXT] [--copyright TEXT] [--version A.B.C.D]"

snapshot() { find . | sort; find . -type f | sort | xargs md5sum; }

# fails LINE [LINUX_LINE] -- ARGUMENTS...: each build, given ARGUMENTS, prints
# LINE alone (the Linux build LINUX_LINE, where given).
fails() {
  windows_line=$1 linux_line=$1
  shift
  if [ "$1" != "--" ]; then
    linux_line=$1
    shift
  fi
  shift
  before=$(snapshot)
  for build in windows linux; do
    status=0
    if [ "$build" = windows ]; then
      expected=$windows_line
      "$source_dir/scripts/wine-run" "$brand" "$@" >"$work/out.log" 2>"$work/err.log" || status=$?
    else
      expected=$linux_line
      "$native_brand" "$@" >"$work/out.log" 2>"$work/err.log" || status=$?
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
fails "launcher-brand: malformed version '2.1.0.65536': four numbers from 0 to 65535 are needed, as in 2.1.0.0" -- \
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
fails "launcher-brand: the source 'app.exe' carries a symbol table, as debug builds do: brand a release build" -- \
  app.exe out/viewer.exe
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

# Temporary files that earlier runs left under each process id Wine hands out
# keep their names and bytes, and the copy is written all the same.
mkdir "$work/stale"
cd "$work/stale"
id=4
while [ "$id" -le 8192 ]; do
  printf 'left behind\n' >"viewer.exe.brand-$id.tmp"
  id=$((id + 4))
done
"$source_dir/scripts/wine-run" "$brand" "$launcher" viewer.exe
[ "$(cat ./*.tmp | sort | uniq -c | sed 's/^ *//')" = "2048 left behind" ] || fail "a temporary file left behind changed"
[ "$(find . -type f | wc -l)" -eq 2049 ] || fail "the run left a file of its own or removed one"

# Run in a folder that holds a branded launcher.exe, while the Windows build
# has the unbranded one beside it: the copy's resources are all the branded one's.
mkdir "$work/branded"
"$native_brand" "$launcher" "$work/branded/launcher.exe" --icon "$work/tree/app.ico" --product-name "Branded Here" >/dev/null
cd "$work/branded"
"$source_dir/scripts/wine-run" "$brand" launcher.exe copy.exe
/usr/bin/python3 "$source_dir/tests/package/inspect_launcher.py" --branded copy.exe launcher.exe launcher.exe \
  >"$work/inspect.log" 2>&1 || { cat "$work/inspect.log"; fail "the copy is not made of ./launcher.exe alone"; }
grep -F "'ProductName': 'Branded Here'" "$work/inspect.log" >/dev/null || fail "the copy is not named after ./launcher.exe"
echo "copy.exe made in a folder with a branded launcher.exe carries its ProductName 'Branded Here'"
