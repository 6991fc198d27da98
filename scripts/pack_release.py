"""Packs built executables and the project's documents into a release.

    SOURCE_DATE_EPOCH=SECONDS python3 scripts/pack_release.py SOURCE_DIR DIST_DIR VERSION OUTPUT_DIR

Writes each archive of ARCHIVES and SHA256SUMS (the form `sha256sum -c`
reads) into OUTPUT_DIR, which it replaces as a whole once everything is
written. Each archive unpacks into one folder named as the archive without its
ending. Executables come from DIST_DIR (the Windows ones and the Linux branding
tool), as does the CMake package the build lays out there; documents and the
signing script come from SOURCE_DIR. Archive names carry VERSION, and
"-unsigned" unless the Windows executables carry an Authenticode signature; a
set of executables of which only some are signed is refused.

The same inputs give the same bytes: every entry's time is SOURCE_DATE_EPOCH,
entries are sorted by name, executables and folders have mode 755 and
everything else 644, no owner is recorded, and gzip stores no file name or
time. Needs only Python's standard library.
"""

import gzip
import hashlib
import io
import os
import re
import shutil
import struct
import sys
import tarfile
import time
import zipfile

# The example's files are Windows text files, read in Notepad: CR LF endings.
EXAMPLE_INI = "C:\\Windows\\System32\\notepad.exe\r\n"
EXAMPLE_README = """\
A launcher that starts Notepad

1. Copy launcher.exe from the folder above into this folder, beside
   notepad.ini, and name the copy notepad.exe.
2. Start notepad.exe. It reads the first line of notepad.ini,
   C:\\Windows\\System32\\notepad.exe, and starts that program with this folder
   as its current folder. Arguments given to notepad.exe are passed on:
   drop a text file on notepad.exe and Notepad opens it.

The path in notepad.ini is written out because the launcher expands no
environment variables: %SystemRoot%\\System32\\notepad.exe would be taken as
it is, and the launcher would report that it cannot find the application.
Where Windows is installed elsewhere than C:\\Windows, change the path. The
only parts of the line the launcher replaces are [.] (the launcher's folder)
and [..] (its parent); README.md in the folder above tells the rest.
""".replace("\n", "\r\n")

# Each archive's entries below its top folder: (path, where its bytes come
# from): ("program", executable in DIST_DIR), ("dist", file in DIST_DIR),
# ("source", file in SOURCE_DIR) or ("text", text).
PACKAGE = "lib/cmake/Launcher/"
# What a maker needs beside the programs: the guide, the signing script, the
# CMake package, the terms and the changes.
MAKERS_FILES = [
    ("README.md", ("source", "package/README.md")),
    ("sign.cmake", ("source", "cmake/sign.cmake")),
    (PACKAGE + "LauncherConfig.cmake", ("dist", PACKAGE + "LauncherConfig.cmake")),
    (PACKAGE + "LauncherConfigVersion.cmake", ("dist", PACKAGE + "LauncherConfigVersion.cmake")),
    (PACKAGE + "LauncherInputs.cmake", ("dist", PACKAGE + "LauncherInputs.cmake")),
    ("LICENSE", ("source", "LICENSE")),
    ("THIRD-PARTY-NOTICES.txt", ("source", "THIRD-PARTY-NOTICES.txt")),
    ("CHANGELOG.md", ("source", "CHANGELOG.md")),
]

WINDOWS_ZIP = MAKERS_FILES + [
    ("launcher.exe", ("program", "launcher.exe")),
    ("launcher-brand.exe", ("program", "launcher-brand.exe")),
    ("example/notepad.ini", ("text", EXAMPLE_INI)),
    ("example/README.txt", ("text", EXAMPLE_README)),
]

# The branding tool's Linux build, with the launcher it brands.
LINUX_TARBALL = MAKERS_FILES + [
    ("launcher.exe", ("program", "launcher.exe")),
    ("launcher-brand", ("program", "launcher-brand")),
]

# The release: each archive's name, whose ending chooses its writer and the
# rest of which names its top folder, and its entries. Every archive's name
# carries the Windows executables' signing state.
ARCHIVES = [
    ("launcher-{version}-windows-x64{unsigned}.zip", WINDOWS_ZIP),
    ("launcher-brand-{version}-linux-x86_64{unsigned}.tar.gz", LINUX_TARBALL),
]

CERTIFICATE_DIRECTORY = 4
ZIP_EARLIEST = 315532800  # 1980-01-01, the earliest time a zip entry holds.


def fail(message):
    sys.exit(f"pack_release: {message}")


def entry_bytes(origin, source_dir, dist_dir):
    kind, value = origin
    if kind == "text":
        return value.encode("utf-8")
    path = os.path.join(source_dir if kind == "source" else dist_dir, value)
    try:
        with open(path, "rb") as file:
            return file.read()
    except OSError as error:
        fail(f"cannot read {path}: {error.strerror}")


def read_entries(entries, source_dir, dist_dir):
    """[(path, bytes, mode)] of the files, sorted by path."""
    return sorted((name, entry_bytes(origin, source_dir, dist_dir),
                   0o755 if origin[0] == "program" else 0o644) for name, origin in entries)


def with_folders(top, files):
    """The files below the folder top, with an entry of their own for top and
    each folder they lie in (path ending in "/", bytes None), sorted by path
    so that a folder comes before what it holds."""
    folders = {top + "/"}
    for name, _, _ in files:
        parts = name.split("/")[:-1]
        folders.update(top + "/" + "/".join(parts[:depth]) + "/" for depth in range(1, len(parts) + 1))
    return sorted([(folder, None, 0o755) for folder in folders] +
                  [(f"{top}/{name}", data, mode) for name, data, mode in files])


def is_signed(name, image):
    """Whether the Windows program's certificate table is present."""
    def field(form, offset):
        if offset < 0 or offset + struct.calcsize(form) > len(image):
            fail(f"{name} is not a Windows program: truncated at {offset}")
        return struct.unpack_from(form, image, offset)

    (header,) = field("<I", 0x3C)
    if field("4s", header) != (b"PE\0\0",):
        fail(f"{name} is not a Windows program")
    optional = header + 24
    (magic,) = field("<H", optional)
    # PE32+ and PE32 place the count of data directories and the directories
    # at different offsets.
    count_at = optional + (108 if magic == 0x20B else 92)
    (count,) = field("<I", count_at)
    if count <= CERTIFICATE_DIRECTORY:
        return False
    _, size = field("<II", count_at + 4 + 8 * CERTIFICATE_DIRECTORY)
    return size != 0


def release_suffix(archives):
    """The archives' names' suffix: nothing when every Windows executable of
    the release is signed, "-unsigned" when none is."""
    signed = {name: is_signed(name, data) for entries in archives.values()
              for name, data, _ in entries if name.endswith(".exe")}
    if len(set(signed.values())) > 1:
        listed = ", ".join(f"{name} {'signed' if value else 'unsigned'}"
                           for name, value in sorted(signed.items()))
        fail(f"the executables are not all signed or all unsigned: {listed}")
    return "" if all(signed.values()) else "-unsigned"


def write_zip(path, entries, epoch):
    with zipfile.ZipFile(path, "w") as archive:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, time.gmtime(epoch)[:6])
            info.create_system = 3  # Unix, so that the mode below is what it says
            if data is None:
                # A folder: its Unix mode, and the MS-DOS folder attribute.
                info.external_attr = (0o040000 | mode) << 16 | 0x10
                archive.writestr(info, b"")
                continue
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)


def write_tar_gz(path, entries, epoch):
    with open(path, "wb") as raw, \
            gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0) as packed, \
            tarfile.open(fileobj=packed, mode="w", format=tarfile.USTAR_FORMAT) as archive:
        for name, data, mode in entries:
            info = tarfile.TarInfo(name.rstrip("/"))
            info.mode, info.mtime = mode, epoch
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            if data is None:
                info.type = tarfile.DIRTYPE
                archive.addfile(info)
            else:
                info.size = len(data)
                archive.addfile(info, io.BytesIO(data))


WRITERS = {".zip": write_zip, ".tar.gz": write_tar_gz}


def writer_for(name):
    """The ending of name that chooses its writer."""
    for ending in WRITERS:
        if name.endswith(ending):
            return ending
    fail(f"no writer for {name}")


def pack(source_dir, dist_dir, version, output_dir, epoch):
    """Writes the release into output_dir; returns [(archive name, size, sha256)]."""
    archives = {pattern: read_entries(entries, source_dir, dist_dir) for pattern, entries in ARCHIVES}
    suffix = release_suffix(archives)
    partial = output_dir.rstrip(os.sep) + ".partial"
    shutil.rmtree(partial, ignore_errors=True)
    os.makedirs(partial)
    written = []
    for pattern, entries in archives.items():
        name = pattern.format(version=version, unsigned=suffix)
        ending = writer_for(name)
        WRITERS[ending](os.path.join(partial, name), with_folders(name[:-len(ending)], entries), epoch)
        with open(os.path.join(partial, name), "rb") as file:
            data = file.read()
        written.append((name, len(data), hashlib.sha256(data).hexdigest()))
    written.sort()
    with open(os.path.join(partial, "SHA256SUMS"), "w", encoding="ascii", newline="\n") as sums:
        sums.writelines(f"{digest}  {name}\n" for name, _, digest in written)
    shutil.rmtree(output_dir, ignore_errors=True)
    os.rename(partial, output_dir)
    return written


def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    source_dir, dist_dir, version, output_dir = sys.argv[1:]
    epoch_text = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not re.fullmatch(r"[0-9]+(\.[0-9]+){0,3}", version):
        fail(f"malformed version '{version}'")
    if not epoch_text.isdigit() or int(epoch_text) < ZIP_EARLIEST:
        fail(f"SOURCE_DATE_EPOCH must be the commit's time in seconds, 1980 or later (it is '{epoch_text}')")
    written = pack(source_dir, dist_dir, version, output_dir, int(epoch_text))
    for name, size, digest in written:
        print(f"{os.path.join(output_dir, name)}: {size} bytes, sha256 {digest}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
