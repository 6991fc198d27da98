#!/bin/sh
# Two clean builds of launcher.exe and launcher-brand.exe from the same
# sources, in different source and build directories, must give the same
# bytes: no link time stamp and no build path end up in the files.
#
#   reproducible_test.sh SOURCE_DIR
set -eu
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LAUNCHER_SIGN_PFX LAUNCHER_SIGN_PASSWORD

build_copy() {
  copy="$work/$1"
  mkdir -p "$copy"
  tar -C "$source_dir" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -
  cmake -S "$copy" -B "$copy/out/$1-build" -DCMAKE_BUILD_TYPE=Release -DLAUNCHER_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$copy/out/$1-build" --target launcher launcher_brand -j 2 >/dev/null
}

build_copy first
build_copy second-with-a-longer-path
for file in launcher.exe launcher-brand.exe; do
  sha256sum "$work"/*/dist/$file
  cmp "$work/first/dist/$file" "$work/second-with-a-longer-path/dist/$file"
done
