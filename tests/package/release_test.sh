#!/bin/sh
# The release's packing step on this build: two packs give the same bytes,
# each archive unpacking into a folder of its own that holds exactly the
# release's files and folders with the commit's time, fixed modes and no
# owner, and gzip's header no name or time; SHA256SUMS checks; the archives'
# guide names no build-tree path and keeps the order of a maker's work; the
# unpacked example, pointed at the probe, starts it under Wine; a maker's
# project built against the unpacked Linux archive brands the launcher and
# writes its .ini as the tool would, does nothing when nothing changed and
# brands again when the icon did, with Ninja and with Makefiles, and the
# archive's sign.cmake signs that copy under its product name; a signed
# build's archives drop "-unsigned" and a half-signed one is refused; and
# scripts/release refuses a work tree with uncommitted changes.
#
#   release_test.sh SOURCE_DIR LAUNCHER BRAND NATIVE_BRAND APPLICATION VERSION PACKAGE_DIR
set -eu
source_dir=$1 launcher=$2 brand=$3 native_brand=$4 application=$5 version=$6 package_dir=$7
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASSWORD LAUNCHER_SIGN_PASSWORD_FILE LAUNCHER_SIGN_TIMESTAMP_URL

fail() { echo "FAILED: $*" >&2; exit 1; }

# pack DIST OUTPUT: the packing step of scripts/release.
pack() { python3 "$source_dir/scripts/pack_release.py" "$source_dir" "$1" "$version" "$2"; }
# Each entry of a zip or tar.gz: name, mode and time, in the archive's order;
# for a tar.gz also its kind, owner and group.
entries() {
  python3 - "$1" <<'EOF2'
import sys, tarfile, time, zipfile
if sys.argv[1].endswith(".zip"):
    for info in zipfile.ZipFile(sys.argv[1]).infolist():
        print(info.filename, oct(info.external_attr >> 16), "%04d-%02d-%02d %02d:%02d:%02d" % info.date_time)
else:
    for info in tarfile.open(sys.argv[1]):
        stamp = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(info.mtime))
        kind = "folder" if info.isdir() else "file"
        print(info.name, kind, oct(info.mode), stamp, info.uid, info.gid, repr(info.uname), repr(info.gname))
EOF2
}
# listed TOP MODE TIME [EXTRA]: the entries an archive should list for its
# folder TOP, read as "path mode-kind" lines from the standard input (folders
# end in "/"), sorted as the archive sorts them, with MODE's form of each kind
# (MODE is a command that prints it), TIME and EXTRA.
listed() {
  folder=$1 form=$2 stamp=$3 extra=${4:-}
  { echo "$folder/ folder"; sed "s|^|$folder/|"; } | LC_ALL=C sort | while read -r name kind; do
    echo "$name $($form "$name" "$kind") $stamp$extra"
  done
}
# The files both archives hold, then each one's own, as "path kind".
makers_files() {
  printf '%s\n' "CHANGELOG.md file" "LICENSE file" "README.md file" "THIRD-PARTY-NOTICES.txt file" \
    "launcher.exe program" "lib/ folder" "lib/cmake/ folder" "lib/cmake/Launcher/ folder" \
    "lib/cmake/Launcher/LauncherConfig.cmake file" "lib/cmake/Launcher/LauncherConfigVersion.cmake file" \
    "lib/cmake/Launcher/LauncherInputs.cmake file" \
    "sign.cmake file"
}
# A zip records a Unix file type with the mode; a tar entry its kind apart.
zip_mode() { case $2 in folder) echo 0o40755 ;; program) echo 0o100755 ;; *) echo 0o100644 ;; esac; }
tar_mode() { case $2 in folder) echo "folder 0o755" ;; program) echo "file 0o755" ;; *) echo "file 0o644" ;; esac; }

SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
mkdir -p "$work/dist/lib/cmake"
cp "$launcher" "$brand" "$work/dist/"
cp "$native_brand" "$work/dist/launcher-brand"
cp -R "$package_dir" "$work/dist/lib/cmake/Launcher"
pack "$work/dist" "$work/first"
pack "$work/dist" "$work/second" >/dev/null
top=launcher-$version-windows-x64-unsigned
tarball_top=launcher-brand-$version-linux-x86_64-unsigned
zip=$top.zip
tarball=$tarball_top.tar.gz
[ "$(LC_ALL=C ls "$work/first")" = "$(printf '%s\n' SHA256SUMS "$zip" "$tarball")" ] ||
  fail "dist/release holds $(ls "$work/first")"
for file in SHA256SUMS "$zip" "$tarball"; do
  cmp "$work/first/$file" "$work/second/$file" || fail "two packs gave different $file"
done
(cd "$work/first" && sha256sum -c SHA256SUMS)

# A zip entry's time counts even seconds.
when=$(date -u -d "@$((SOURCE_DATE_EPOCH / 2 * 2))" '+%Y-%m-%d %H:%M:%S')
entries "$work/first/$zip" >"$work/entries"
{ makers_files; printf '%s\n' "example/ folder" "example/README.txt file" "example/notepad.ini file" \
    "launcher-brand.exe program"; } | listed "$top" zip_mode "$when" |
  diff - "$work/entries" || fail "the zip's entries differ from the release's files"

python3 -m zipfile -e "$work/first/$zip" "$work/unpacked"
[ "$(ls "$work/unpacked")" = "$top" ] || fail "the zip does not unpack into $top/"
windows="$work/unpacked/$top"
cmp "$launcher" "$windows/launcher.exe"
cmp "$brand" "$windows/launcher-brand.exe"
printf 'C:\\Windows\\System32\\notepad.exe\r\n' | cmp - "$windows/example/notepad.ini"

# The tarball: its entries keep the commit's time to the second.
when=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
entries "$work/first/$tarball" >"$work/entries"
{ makers_files; echo "launcher-brand program"; } | listed "$tarball_top" tar_mode "$when" " 0 0 '' ''" |
  sed 's|/ folder| folder|' | diff - "$work/entries" || fail "the tarball's entries differ from the release's files"
# gzip's header: flags (no file name), then a time of 0.
[ "$(od -An -tx1 -j3 -N5 "$work/first/$tarball" | tr -d ' ')" = 0000000000 ] ||
  fail "gzip stored a name or time"
# Both archives unpacked in one folder, as a maker may keep them.
tar -xzf "$work/first/$tarball" -C "$work/unpacked"
linux="$work/unpacked/$tarball_top"
cmp "$native_brand" "$linux/launcher-brand"
cmp "$launcher" "$linux/launcher.exe"
[ "$(stat -c %a "$linux" "$linux/lib/cmake/Launcher" | sort -u)" = 755 ] || fail "a folder is not unpacked with mode 755"
for folder in "$windows" "$linux"; do
  for file in LICENSE THIRD-PARTY-NOTICES.txt CHANGELOG.md; do
    cmp "$source_dir/$file" "$folder/$file"
  done
  cmp "$source_dir/package/README.md" "$folder/README.md"
  cmp "$source_dir/cmake/sign.cmake" "$folder/sign.cmake"
  cmp "$source_dir/package/LauncherConfig.cmake" "$folder/lib/cmake/Launcher/LauncherConfig.cmake"
  cmp "$source_dir/package/LauncherInputs.cmake" "$folder/lib/cmake/Launcher/LauncherInputs.cmake"
  cmp "$package_dir/LauncherConfigVersion.cmake" "$folder/lib/cmake/Launcher/LauncherConfigVersion.cmake"
done

# The guide is for someone with only an archive, in the order of the work.
guide="$linux/README.md"
if grep -nE '(^|[^[:alnum:]])(dist|scripts|build)/' "$guide"; then fail "the guide names a build-tree path"; fi
printf '## %s\n' "What is inside" "Checking the download" "Making a starter" "Branding" "Signing" \
  "What to ship" "What your users may see" "The CMake package" >"$work/sections"
grep '^## ' "$guide" | diff - "$work/sections" || fail "the guide's sections are not in the order of a maker's work"

# example/README.txt: launcher.exe copied beside the .ini as notepad.exe, the
# .ini naming the probe by its full path, and notepad.exe started with an
# argument.
example="$windows/example"
grep -q "name the copy notepad.exe" "$example/README.txt" || fail "README.txt no longer says how"
cp "$windows/launcher.exe" "$example/notepad.exe"
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

# The guide's CMake project, built against the unpacked Linux archive with
# Ninja and with Makefiles, with two more copies: one whose description holds
# ';', '[' and a backslash, whose icon is made from a logo PNG and whose
# INI_LINE leaves its paths unquoted (one warning shows them quoted), and a
# signed one whose icon comes from a target declared after it. The first two
# are byte for byte what the archive's tool writes from the same arguments,
# the .ini the template's one line with CR LF; the signed copy verifies and
# shows the target's icon. Only bytes count: a build with nothing changed, or
# with a newer icon of the same bytes, writes nothing; a launcher.exe of other
# bytes brands and signs again though it is older than the copies; a changed
# INI_LINE writes only the .ini. The copy and its .ini install from the
# target's LAUNCHER_FILES; the archive's sign.cmake signs the copy under its
# product name.
maker="$work/maker"
mkdir -p "$maker/icons"
sed -n '/^```cmake$/,/^```$/p' "$guide" | sed '1d;$d' >"$maker/CMakeLists.txt"
grep -q launcher_add_copy "$maker/CMakeLists.txt" || fail "the guide shows no CMake project"
odd='Viewer [beta; "tools" \ $HOME é'
printf '%s\n' 'launcher_add_copy(odd_starter OUTPUT "stage/odd dir/odd.exe" ICON icons/logo.png' \
  "  DESCRIPTION [=[$odd]=] INI_LINE [=[[..]\\rt\\app.exe -home \"[.]\"]=])" \
  'launcher_add_copy(later_starter OUTPUT stage/bin/later.exe ICON_FROM app SIGN)' \
  'add_executable(app IMPORTED GLOBAL)' \
  "set_target_properties(app PROPERTIES IMPORTED_LOCATION [=[$application]=])" >>"$maker/CMakeLists.txt"
cp "$source_dir/demo/app-logo.png" "$maker/icons/logo.png"
"$linux/launcher-brand" "$linux/launcher.exe" "$work/odd.exe" --icon "$maker/icons/logo.png" \
  --description "$odd" >/dev/null 2>&1
cp "$source_dir/demo/app.ico" "$maker/icons/viewer.ico"
"$linux/launcher-brand" "$linux/launcher.exe" "$work/viewer.exe" --icon "$maker/icons/viewer.ico" \
  --product-name "Vandrel Viewer" --description "Vandrel Viewer" --company "Corvenna Éditions" \
  --copyright "© 2026 Corvenna Éditions" --trademarks "Vandrel is a trademark of Corvenna Éditions" \
  --version 2.1 --product-version "2.1 beta 1" >/dev/null
"$linux/launcher-brand" "$linux/launcher.exe" "$work/later.exe" --icon-from "$application" >/dev/null 2>&1
"$linux/launcher-brand" --show "$work/later.exe" | grep '^Icon group' >"$work/later-icons.txt"
# written FILE: which file the path names, and when it was written; branding
# and signing put a new file in its place.
written() { stat -c '%i %Y' "$1"; }
# quiet_build WHAT: a build of $build that writes neither copy.
quiet_build() {
  before="$(written "$copy") $(written "$signed")"
  cmake --build "$build" >"$work/build.log"
  if grep -E "launcher-brand: wrote|signed with" "$work/build.log" ||
     [ "$(written "$copy") $(written "$signed")" != "$before" ]; then
    fail "$generator: a build with $1 wrote a copy again"
  fi
}
for generator in Ninja "Unix Makefiles"; do
  build="$maker/build-$(echo "$generator" | tr -d ' ')"
  copy="$build/stage/bin/viewer.exe" signed="$build/stage/bin/later.exe"
  cmake -S "$maker" -B "$build" -G "$generator" -DCMAKE_PREFIX_PATH="$linux" >"$work/configure.log" 2>&1
  [ "$(grep -c '^CMake Warning' "$work/configure.log")" = 1 ] &&
    grep -qF 'quote it: "[..]\rt\app.exe" -home "[.]"' "$work/configure.log" ||
    { cat "$work/configure.log"; fail "$generator: no one warning for the unquoted INI_LINE"; }
  cmake --build "$build" >"$work/build.log"
  cmp "$work/viewer.exe" "$copy" || fail "$generator: the package's copy differs from the tool's"
  cmp "$work/odd.exe" "$build/stage/odd dir/odd.exe" || fail "$generator: a text did not reach the tool as written"
  printf '"[..]\\rt\\app.exe" -home "[.]"\r\n' | cmp - "$build/stage/bin/viewer.ini" ||
    fail "$generator: the .ini does not hold the template's line"
  verify "$signed"
  "$linux/launcher-brand" --show "$signed" | grep '^Icon group' | diff "$work/later-icons.txt" - ||
    fail "$generator: the copy does not show the icon of the target declared after it"
  quiet_build "nothing changed"
  touch "$maker/icons/viewer.ico"
  quiet_build "a newer icon of the same bytes"
  before=$(written "$copy")
  cp "$work/odd.exe" "$linux/launcher.exe"
  touch -d 2001-01-01 "$linux/launcher.exe"
  cmake --build "$build" >"$work/build.log"
  [ "$(grep -c "launcher-brand: wrote" "$work/build.log")" = 3 ] && [ "$(written "$copy")" != "$before" ] &&
    grep -q "later.exe signed with" "$work/build.log" ||
    fail "$generator: an older launcher.exe of other bytes did not brand again"
  verify "$signed"
  cp "$launcher" "$linux/launcher.exe"
  cmake --build "$build" >"$work/build.log"
  sed -i '/^  INI_LINE/s/]=])$/ -new]=])/' "$maker/CMakeLists.txt"
  quiet_build "another INI_LINE"
  printf '"[..]\\rt\\app.exe" -home "[.]" -new\r\n' | cmp - "$build/stage/bin/viewer.ini" ||
    fail "$generator: a changed INI_LINE did not write the .ini"
  sed -i 's/ -new]=])$/]=])/' "$maker/CMakeLists.txt"
  echo "$generator: branded and signed, then nothing to do, then branded again only for other bytes"
done
cmake --install "$build" --prefix "$work/installed" >/dev/null
cmp "$copy" "$work/installed/bin/viewer.exe" && cmp "$build/stage/bin/viewer.ini" "$work/installed/bin/viewer.ini" ||
  fail "LAUNCHER_FILES did not install the copy and its .ini"
"$linux/launcher-brand" --show "$copy" | tee "$work/show.txt"
grep -qx "ProductName: Vandrel Viewer" "$work/show.txt" || fail "the copy is not the guide's product"
grep -qx "Fixed file version: 2.1.0.0" "$work/show.txt" || fail "the guide's VERSION 2.1 is not 2.1.0.0"
grep -qx "ProductVersion: 2.1 beta 1" "$work/show.txt" &&
  grep -qx "LegalTrademarks: Vandrel is a trademark of Corvenna Éditions" "$work/show.txt" ||
  fail "the guide's PRODUCT_VERSION and TRADEMARKS are not the copy's"
cmake -DFILE="$copy" -P "$linux/sign.cmake" | tee "$work/sign.log"
grep -qF "as 'Vandrel Viewer' (its ProductName)" "$work/sign.log" || fail "sign.cmake did not read the ProductName"
if cmake -DFILE="$copy" -DLAUNCHER_BRAND="$work/absent" -P "$linux/sign.cmake" >"$work/sign.log" 2>&1; then
  fail "sign.cmake signed with a branding tool that does not exist"
fi
grep -qF "the branding tool '$work/absent' does not exist" "$work/sign.log" || fail "sign.cmake does not name the tool"
verify "$copy"
"$linux/launcher-brand" --show "$copy" | grep -qx "Signature: yes" || fail "--show does not see the signature"

# The Windows archive's folder lacks this host's tool: find_package refuses it,
# even when asked for no version, with the reason and the archive to unpack,
# and caches nothing, so that the folder holding both archives finds the
# Linux one in the same build folder. There, SIGN without a certificate fails
# the build with sign.cmake's line, and LAUNCHER_ALLOW_UNSIGNED passes it with
# one warning.
found="$work/any-version/build"
mkdir "$work/any-version"
cp -R "$maker/icons" "$work/any-version/"
sed 's/find_package(Launcher 1.0 /find_package(Launcher /' "$maker/CMakeLists.txt" >"$work/any-version/CMakeLists.txt"
grep -q "find_package(Launcher REQUIRED" "$work/any-version/CMakeLists.txt" || fail "the guide's find_package changed"
unset LAUNCHER_SIGN_PFX
if cmake -S "$work/any-version" -B "$found" -G Ninja -DCMAKE_PREFIX_PATH="$windows" >"$work/found.log" 2>&1; then
  fail "the Windows archive's package was taken on Linux"
fi
grep -qF "$windows/lib/cmake/Launcher/LauncherConfig.cmake, version: $version (unsuitable: no launcher-brand in $windows; this host's launcher-brand and launcher.exe come together in launcher-brand-$version-linux-x86_64.tar.gz" \
  "$work/found.log" || { cat "$work/found.log"; fail "the refused folder's line gives no reason"; }
cmake -S "$work/any-version" -B "$found" -DCMAKE_PREFIX_PATH="$work/unpacked" >/dev/null 2>&1
grep -qxF "Launcher_DIR:PATH=$linux/lib/cmake/Launcher" "$found/CMakeCache.txt" ||
  fail "the folder of both archives did not give the Linux one"
if cmake --build "$found" >"$work/found.log" 2>&1; then fail "a copy marked SIGN was built without a certificate"; fi
grep -q "no certificate to sign later.exe with" "$work/found.log" || { cat "$work/found.log"; fail "no sign.cmake line"; }
cmake "$found" -DLAUNCHER_ALLOW_UNSIGNED=ON >"$work/found.log" 2>&1
[ "$(grep -c "are left unsigned, as LAUNCHER_ALLOW_UNSIGNED allows" "$work/found.log")" = 1 ] ||
  fail "LAUNCHER_ALLOW_UNSIGNED does not warn once"
cmake --build "$found" | grep "later.exe left unsigned"
export LAUNCHER_SIGN_PFX="$work/signer.pfx"

# Each mistake in the arguments stops the configuration with one line that
# names the argument. A "\n" in a call starts a line.
mkdir "$work/refusal"
while IFS='|' read -r call expected; do
  printf '%s\n' "cmake_minimum_required(VERSION 3.20)" "project(refusal LANGUAGES NONE)" \
    "find_package(Launcher 1.0 REQUIRED CONFIG)" >"$work/refusal/CMakeLists.txt"
  printf '%b\n' "$call" >>"$work/refusal/CMakeLists.txt"
  rm -rf "$work/refusal/build"
  if cmake -S "$work/refusal" -B "$work/refusal/build" -DCMAKE_PREFIX_PATH="$linux" >"$work/refusal.log" 2>&1; then
    fail "configured: $call"
  fi
  [ "$(grep -c '^CMake Error' "$work/refusal.log")" = 1 ] &&
    grep -A1 '^CMake Error' "$work/refusal.log" | tail -n 1 | grep -qxF "   launcher_add_copy(a): $expected" ||
    { cat "$work/refusal.log"; fail "not one line: $expected"; }
done <<REFUSALS
launcher_add_copy(a OUTPUT a.exe VERSION 3.2-beta)|VERSION '3.2-beta' is not one to four numbers separated by dots, such as 2.1
launcher_add_copy(a OUTPUT a.exe VERSION 2.70000)|VERSION '2.70000' has a number above 65535
launcher_add_copy(a OUTPUT a.exe ICON absent.ico)|ICON 'absent.ico' names no file: '$work/refusal/absent.ico' does not exist
launcher_add_copy(a OUTPUT a.exe ICON_FROM absent.exe)|ICON_FROM 'absent.exe' is no target of the project, and no file '$work/refusal/absent.exe'
launcher_add_copy(a OUTPUT a.exe ICON_FROM notes)\nadd_custom_target(notes)|ICON_FROM 'notes' is a UTILITY target, not an executable
launcher_add_copy(a OUTPUT "stage/A;B.exe")|OUTPUT 'stage/A;B.exe' holds ';', which CMake takes as two paths
launcher_add_copy(a OUTPUT a.exe ICON "icons/a;b.ico")|ICON 'icons/a;b.ico' holds ';', which CMake takes as two paths
REFUSALS

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
