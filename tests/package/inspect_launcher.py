"""Inspects the built launcher.exe: its executable form, imports, manifest,
version information and icons, read from the file with pefile.

    /usr/bin/python3 inspect_launcher.py LAUNCHER [VERSION]
    /usr/bin/python3 inspect_launcher.py --tool BRAND VERSION
    /usr/bin/python3 inspect_launcher.py --branded COPY SOURCE ICON [--description TEXT]
        [--product-name TEXT] [--company TEXT] [--copyright TEXT] [--trademarks TEXT]
        [--version A[.B[.C[.D]]]] [--product-version TEXT]

Prints what it read, one item a line, and exits 1 after listing every item
that differs from what the launcher must carry. VERSION is the project
version the file must carry (default 1.0.0.1).

With --tool, only the version information of launcher-brand.exe BRAND is
checked: the launcher's, with the tool's own description and file name.

With --branded, COPY is a copy of the launcher SOURCE written by
launcher-brand with the options given here, and ICON the .ico file or the
program (its first icon group) it took the icon from. COPY must carry what a
launcher carries, with both icon groups holding exactly ICON's images, the
version details SOURCE has but for those the options name and its own file
name, SOURCE's code and data byte for byte, no signature and a correct header
checksum, laid out as launcher-brand lays out a copy (check_layout).
"""

import argparse
import os

import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

US_ENGLISH = 0x0409
UNICODE_CODE_PAGE = 1200
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"

# What the loader brings in for the launcher: Windows' own DLLs only, and the
# fewest: the C runtime is msvcrt.dll, USER32 is loaded only to show an error
# box, and SHELL32 and OLE32 only to start an application that needs elevation.
WINDOWS_DLLS = ["kernel32.dll", "msvcrt.dll"]

# Every function the launcher may import, each one reviewed as present in the
# 64-bit Windows Vista SP2 without updates, the oldest Windows its subsystem
# version admits: a function Vista lacks would keep the file from loading at
# all there. A new import fails the check until it has been reviewed and added.
# Functions of later Windows (SetDefaultDllDirectories among them) are looked
# up at run time instead.
VISTA_SP2_IMPORTS = {
    "kernel32.dll": {
        "CloseHandle", "CreateFileW", "CreateProcessW", "CreateSemaphoreW",
        "DeleteCriticalSection", "EnterCriticalSection", "GetCommandLineW",
        "GetCurrentProcessId", "GetCurrentThreadId", "GetFileAttributesW", "GetFullPathNameW",
        "GetLastError", "GetLongPathNameW", "GetModuleFileNameW", "GetModuleHandleW",
        "GetProcAddress", "GetStartupInfoW", "GetSystemDirectoryW", "GetSystemTimeAsFileTime",
        "GetTickCount64", "InitializeCriticalSection", "LeaveCriticalSection",
        "LoadLibraryW", "MultiByteToWideChar", "QueryPerformanceCounter",
        "RaiseException", "ReleaseSemaphore", "RtlCaptureContext",
        "RtlLookupFunctionEntry", "RtlUnwindEx", "RtlVirtualUnwind", "SearchPathW",
        "SetDllDirectoryW", "SetLastError", "SetUnhandledExceptionFilter", "Sleep", "TlsAlloc",
        "TlsFree", "TlsGetValue", "TlsSetValue", "VirtualProtect", "VirtualQuery",
        "WaitForSingleObject", "__C_specific_handler",
    },
    "msvcrt.dll": {
        "__iob_func", "__set_app_type", "__setusermatherr", "__wgetmainargs",
        "__winitenv", "_amsg_exit", "_cexit", "_close", "_commode", "_fdopen", "_fileno",
        "_fmode", "_initterm", "_onexit", "_open_osfhandle", "_setmode", "_wcmdln", "abort",
        "calloc", "exit", "fclose", "fprintf", "free", "fseek", "ftell", "fwrite", "getc",
        "malloc", "memcmp", "memcpy", "memmove", "memset", "realloc", "signal", "strcmp",
        "strlen", "strncmp", "vfprintf", "wcslen",
    },
}

# The launcher's stack-check failure: mov ecx, FAST_FAIL_STACK_COOKIE_CHECK_FAILURE;
# int 0x29.
STACK_CHECK_FAILURE = bytes([0xB9, 0x02, 0x00, 0x00, 0x00, 0xCD, 0x29])

HARDENING_FLAGS = [
    "IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA",
    "IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE",
    "IMAGE_DLLCHARACTERISTICS_NX_COMPAT",
    "IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE",
]

V1 = "{urn:schemas-microsoft-com:asm.v1}"
V3 = "{urn:schemas-microsoft-com:asm.v3}"
# (tag, attributes, children): the whole manifest, nothing else.
EXPECTED_MANIFEST = (
    V1 + "assembly", {"manifestVersion": "1.0"}, [
        (V3 + "trustInfo", {}, [
            (V3 + "security", {}, [
                (V3 + "requestedPrivileges", {}, [
                    (V3 + "requestedExecutionLevel",
                     {"level": "asInvoker", "uiAccess": "false"}, []),
                ]),
            ]),
        ]),
    ])

# (pixels, bits per pixel, stored as PNG) of each image, in directory order.
EXPECTED_ICON_GROUPS = {
    107: [(16, 32, False), (24, 32, False), (32, 32, False), (48, 32, False),
          (64, 32, False), (96, 32, False)],
    108: [(256, 32, True), (48, 8, False), (32, 8, False), (16, 8, False),
          (256, 32, True), (64, 32, False), (48, 32, False), (32, 32, False),
          (16, 32, False)],
}


def expected_strings(version):
    return {
        "CompanyName": "Corvenna Systems, Incorporated",
        "FileDescription": "Launches Vandrel products on the Windows platform.",
        "FileVersion": version,
        "InternalName": "launcher.exe",
        "LegalCopyright": "Copyright \u00a9 2026 Corvenna Systems, Incorporated",
        "OriginalFilename": "launcher.exe",
        "ProductName": "Vandrel Product Launcher",
        "ProductVersion": version,
    }


def expected_tool_strings(version):
    strings = expected_strings(version)
    strings.update(FileDescription="Writes branded copies of the Vandrel Product Launcher.",
                   InternalName="launcher-brand.exe", OriginalFilename="launcher-brand.exe")
    return strings


class Report:
    def __init__(self):
        self.failures = []

    def check(self, name, actual, expected):
        print(f"{name}: {actual!r}")
        if actual != expected:
            self.failures.append(f"{name}: {actual!r}, expected {expected!r}")


def resources_of_type(pe, type_id):
    """[(id, language, bytes)] of every resource of the type, in file order."""
    found = []
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if type_entry.id != type_id:
            continue
        for name_entry in type_entry.directory.entries:
            for language_entry in name_entry.directory.entries:
                data = language_entry.data.struct
                found.append((name_entry.id, language_entry.id,
                              pe.get_data(data.OffsetToData, data.Size)))
    return found


def check_form(pe, report):
    report.check("machine", pe.FILE_HEADER.Machine,
                 pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"])
    report.check("optional header magic", pe.OPTIONAL_HEADER.Magic,
                 pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS)
    report.check("subsystem", pe.OPTIONAL_HEADER.Subsystem,
                 pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])
    report.check("subsystem version",
                 (pe.OPTIONAL_HEADER.MajorSubsystemVersion,
                  pe.OPTIONAL_HEADER.MinorSubsystemVersion), (6, 0))
    for flag in HARDENING_FLAGS:
        report.check(flag, getattr(pe.OPTIONAL_HEADER, flag), True)
    report.check("relocations stripped", pe.FILE_HEADER.IMAGE_FILE_RELOCS_STRIPPED, False)
    report.check("relocations present",
                 len(getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])) > 0, True)
    report.check("link time stamp", pe.FILE_HEADER.TimeDateStamp, 0)
    sizes = {section.Name.rstrip(b"\0").decode(): section.Misc_VirtualSize
             for section in pe.sections}
    print(f"section sizes: {sizes}")
    code_and_data = sum(size for name, size in sizes.items() if name != ".rsrc")
    report.check("code and data within 64 KiB", (code_and_data, code_and_data <= 64 * 1024),
                 (code_and_data, True))


def imported_functions(pe, dll):
    return {imported.name.decode()
            for entry in pe.DIRECTORY_ENTRY_IMPORT if entry.dll.decode().lower() == dll
            for imported in entry.imports if imported.name}


def check_imports(pe, report):
    dlls = sorted(entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT)
    report.check("imported DLLs", dlls, WINDOWS_DLLS)
    for dll, reviewed in VISTA_SP2_IMPORTS.items():
        report.check(f"{dll} imports not known on Vista SP2",
                     sorted(imported_functions(pe, dll) - reviewed), [])
    # Narrows the DLL search at start-up where Windows has the function.
    report.check("SetDefaultDllDirectories looked up at run time",
                 b"SetDefaultDllDirectories\0" in bytes(pe.__data__), True)


def check_stack_protection(pe, report):
    # The failure routine is linked in, and functions call it when their cookie
    # check fails: count the direct calls to it.
    text = next(section for section in pe.sections if section.Name.startswith(b".text"))
    code = text.get_data()
    routine = code.find(STACK_CHECK_FAILURE)
    report.check("stack-check failure routine linked in", routine >= 0, True)
    calls = 0
    for at in range(len(code) - 4):
        if code[at] == 0xE8:
            (offset,) = struct.unpack("<i", code[at + 1:at + 5])
            calls += at + 5 + offset == routine
    print(f"calls to the stack-check failure routine: {calls}")
    report.check("functions with a stack cookie check", calls > 0, True)


def element_shape(element):
    text = (element.text or "").strip() + (element.tail or "").strip()
    return (element.tag, dict(element.attrib),
            [element_shape(child) for child in element]) if not text else ("text", text)


def check_manifest(pe, report):
    manifests = resources_of_type(pe, pefile.RESOURCE_TYPE["RT_MANIFEST"])
    report.check("manifests (id, language)",
                 [(ident, language) for ident, language, _ in manifests], [(1, US_ENGLISH)])
    if manifests:
        root = ElementTree.fromstring(manifests[0][2])
        report.check("manifest", element_shape(root), EXPECTED_MANIFEST)


def check_version(pe, report, version, strings=None):
    versions = resources_of_type(pe, pefile.RESOURCE_TYPE["RT_VERSION"])
    report.check("version resources (id, language)",
                 [(ident, language) for ident, language, _ in versions], [(1, US_ENGLISH)])
    if not hasattr(pe, "VS_FIXEDFILEINFO"):
        report.check("version information", None, "present")
        return
    fixed = pe.VS_FIXEDFILEINFO[0]
    parts = [int(part) for part in version.split(".")]
    packed = ((parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3])
    report.check("fixed FileVersion", (fixed.FileVersionMS, fixed.FileVersionLS), packed)
    report.check("fixed ProductVersion",
                 (fixed.ProductVersionMS, fixed.ProductVersionLS), packed)
    report.check("FileFlagsMask", fixed.FileFlagsMask, 0x3F)
    report.check("FileFlags", fixed.FileFlags, 0)
    report.check("FileOS", fixed.FileOS, 0x40004)
    report.check("FileType", fixed.FileType, 1)
    report.check("FileSubtype", fixed.FileSubtype, 0)

    tables, translations = {}, []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                tables[table.LangID.decode()] = {
                    key.decode(): value.decode() for key, value in table.entries.items()}
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                translations.extend(var.entry.items())
    report.check("string tables", sorted(tables), ["040904b0"])
    report.check("strings", tables.get("040904b0"), strings or expected_strings(version))
    report.check("translations", translations,
                 [(b"Translation", f"0x{US_ENGLISH:04x} 0x{UNICODE_CODE_PAGE:04x}")])


def icon_image_form(image):
    """(pixels, bits per pixel, is PNG) read from the image itself."""
    if image.startswith(PNG_SIGNATURE):
        width, height, depth, colour_type = struct.unpack(">IIBB", image[16:26])
        channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
        return (width if width == height else (width, height), depth * channels, True)
    _, width, height, _, bits = struct.unpack("<IiiHH", image[:16])
    # A bitmap icon's height counts its image and its mask.
    return (width if 2 * width == height else (width, height), bits, False)


def group_entries(directory):
    """(width, height, bits per pixel, size, image id) of each entry of an icon
    group's directory, in its order."""
    (count,) = struct.unpack("<H", directory[4:6])
    entries = []
    for index in range(count):
        width, height, _, _, _, bits, size, image_id = struct.unpack(
            "<BBBBHHIH", directory[6 + 14 * index:6 + 14 * (index + 1)])
        entries.append((width, height, bits, size, image_id))
    return entries


def check_icons(pe, report, expected_groups=EXPECTED_ICON_GROUPS):
    images = {ident: data for ident, _, data in
              resources_of_type(pe, pefile.RESOURCE_TYPE["RT_ICON"])}
    groups = resources_of_type(pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"])
    report.check("icon groups (id, language)",
                 [(ident, language) for ident, language, _ in groups],
                 [(107, US_ENGLISH), (108, US_ENGLISH)])
    for ident, _, directory in groups:
        (kind,) = struct.unpack("<H", directory[2:4])
        forms = []
        for index, (width, height, bits, size, image_id) in enumerate(group_entries(directory)):
            image = images.get(image_id, b"")
            form = icon_image_form(image)
            forms.append(form)
            # The group's directory must describe its image truthfully.
            report.check(f"icon group {ident} entry {index} directory",
                         (width or 256, height or 256, bits, size),
                         (form[0], form[0], form[1], len(image)))
        report.check(f"icon group {ident} type", kind, 1)
        report.check(f"icon group {ident} images", forms, expected_groups.get(ident))


BRANDED_STRINGS = {"description": "FileDescription", "product_name": "ProductName",
                   "company": "CompanyName", "copyright": "LegalCopyright", "trademarks": "LegalTrademarks",
                   "product_version": "ProductVersion"}
CERTIFICATE_DIRECTORY = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]


def icon_file_images(path):
    """The image data of an .ico file, in its order."""
    with open(path, "rb") as file:
        data = file.read()
    _, _, count = struct.unpack("<HHH", data[:6])
    images = []
    for index in range(count):
        size, offset = struct.unpack("<II", data[6 + 16 * index + 8:6 + 16 * index + 16])
        images.append(data[offset:offset + size])
    return images


def shell_icon_images(pe):
    """The image data of a program's first icon group, in its order."""
    images = {ident: data for ident, _, data in
              resources_of_type(pe, pefile.RESOURCE_TYPE["RT_ICON"])}
    _, _, directory = resources_of_type(pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"])[0]
    return [images.get(entry[-1]) for entry in group_entries(directory)]


def fixed_version_text(pe):
    fixed = pe.VS_FIXEDFILEINFO[0]
    return ".".join(str(part) for part in (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                           fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF))


def source_strings(pe):
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            return {key.decode(): value.decode()
                    for key, value in info.StringTable[0].entries.items()}
    return {}


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def directory_order_key(entry):
    """Where an entry belongs in its directory: names first, without regard
    to ASCII case as upper case sorts them, then numbers ascending."""
    if entry.name is not None:
        return (0, str(entry.name).upper(), 0)
    return (1, "", entry.id)


def check_layout(pe, source, report):
    """How launcher-brand lays out the copy: its own resource section in
    place of the source's, the relocations right after it, the headers that
    describe both, and a resource tree that Windows can search."""
    header = pe.OPTIONAL_HEADER
    sections = pe.sections
    names = [section.Name.rstrip(b"\0") for section in sections]
    report.check("last sections", names[-2:], [b".rsrc", b".reloc"])
    resources, relocations = sections[-2], sections[-1]
    directories = header.DATA_DIRECTORY
    report.check("resource directory",
                 (directories[2].VirtualAddress, directories[2].Size),
                 (resources.VirtualAddress, resources.Misc_VirtualSize))
    report.check("relocation directory",
                 (directories[5].VirtualAddress, directories[5].Size),
                 (relocations.VirtualAddress, relocations.Misc_VirtualSize))
    report.check("sections adjacent and aligned in memory",
                 [section.VirtualAddress for section in sections[1:]],
                 [align(before.VirtualAddress + before.Misc_VirtualSize, header.SectionAlignment)
                  for before in sections[:-1]])
    report.check("relocations follow the resources in the file", relocations.PointerToRawData,
                 resources.PointerToRawData + resources.SizeOfRawData)
    report.check("resource section's file size", resources.SizeOfRawData,
                 align(resources.Misc_VirtualSize, header.FileAlignment))
    report.check("SizeOfImage", header.SizeOfImage,
                 align(relocations.VirtualAddress + relocations.Misc_VirtualSize, header.SectionAlignment))
    source_resources = source.sections[-2]
    report.check("SizeOfInitializedData", header.SizeOfInitializedData,
                 source.OPTIONAL_HEADER.SizeOfInitializedData
                 - source_resources.SizeOfRawData + resources.SizeOfRawData)
    unsorted, misplaced = [], []

    def walk(directory, path):
        keys = [directory_order_key(entry) for entry in directory.entries]
        if keys != sorted(keys):
            unsorted.append(path)
        for entry in directory.entries:
            if hasattr(entry, "directory"):
                walk(entry.directory, path + [entry.name or entry.id])
            else:
                data = entry.data.struct
                offset = data.OffsetToData - resources.VirtualAddress
                if offset % 8 or offset + data.Size > resources.Misc_VirtualSize:
                    misplaced.append(path + [entry.id])
    walk(pe.DIRECTORY_ENTRY_RESOURCE, [])
    report.check("resource directories out of order", unsorted, [])
    report.check("resource data outside its section or not at a multiple of 8", misplaced, [])


def check_branded(pe, source, options, report):
    """What launcher-brand must keep from SOURCE and what it must change."""
    def form_and_flags(image):
        return ([getattr(image.FILE_HEADER, field) for field in ("Machine", "Characteristics")] +
                [getattr(image.OPTIONAL_HEADER, field) for field in (
                    "Subsystem", "DllCharacteristics", "ImageBase", "AddressOfEntryPoint")])
    report.check("form and flags", form_and_flags(pe), form_and_flags(source))
    check_layout(pe, source, report)
    kept = [section.Name for section in source.sections if section.Name.rstrip(b"\0") != b".rsrc"]
    for name in kept:
        copied = [section for section in pe.sections if section.Name == name]
        original = next(section for section in source.sections if section.Name == name)
        report.check(f"section {name.rstrip(bytes(1)).decode()} as in the source",
                     bool(copied) and copied[0].get_data() == original.get_data(), True)
    report.check("manifest as in the source",
                 resources_of_type(pe, pefile.RESOURCE_TYPE["RT_MANIFEST"]) ==
                 resources_of_type(source, pefile.RESOURCE_TYPE["RT_MANIFEST"]), True)

    # launcher-brand pads a version of fewer than four numbers with zeros.
    version = ".".join((options.version.split(".") + ["0"] * 3)[:4]) if options.version else None
    version = version or fixed_version_text(source)
    strings = source_strings(source)
    strings.update({key: getattr(options, option)
                    for option, key in BRANDED_STRINGS.items() if getattr(options, option) is not None})
    if options.version:
        strings.update(FileVersion=version, ProductVersion=options.product_version or version)
    strings.update(InternalName=os.path.basename(options.copy),
                   OriginalFilename=os.path.basename(options.copy))
    check_version(pe, report, version, strings)

    if options.icon.lower().endswith(".ico"):
        images = icon_file_images(options.icon)
    else:
        images = shell_icon_images(pefile.PE(options.icon))
    forms = [icon_image_form(image) for image in images]
    check_icons(pe, report, {107: forms, 108: forms})
    icons = {ident: data for ident, _, data in
             resources_of_type(pe, pefile.RESOURCE_TYPE["RT_ICON"])}
    named = set()
    for ident, _, directory in resources_of_type(pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"]):
        ids = [entry[-1] for entry in group_entries(directory)]
        named.update(ids)
        report.check(f"icon group {ident} image bytes as in the icon",
                     [icons.get(image_id) for image_id in ids] == images, True)
    report.check("icon images that no group names", sorted(set(icons) - named), [])

    entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[CERTIFICATE_DIRECTORY]
    report.check("certificate table (offset, size)", (entry.VirtualAddress, entry.Size), (0, 0))
    report.check("bytes after the last section", len(pe.get_overlay() or b""), 0)
    report.check("header checksum", pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum())


def finish(report):
    """Lists every failure; returns the exit status."""
    for failure in report.failures:
        print(f"FAILED {failure}", file=sys.stderr)
    return 1 if report.failures else 0


def main_branded(arguments):
    parser = argparse.ArgumentParser(prog="inspect_launcher.py --branded")
    for name in ("copy", "source", "icon"):
        parser.add_argument(name)
    for option in BRANDED_STRINGS:
        parser.add_argument("--" + option.replace("_", "-"))
    parser.add_argument("--version")
    options = parser.parse_args(arguments)
    pe = pefile.PE(options.copy)
    report = Report()
    check_form(pe, report)
    check_imports(pe, report)
    check_manifest(pe, report)
    check_branded(pe, pefile.PE(options.source), options, report)
    return finish(report)


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--branded":
        return main_branded(sys.argv[2:])
    if len(sys.argv) == 4 and sys.argv[1] == "--tool":
        report = Report()
        check_version(pefile.PE(sys.argv[2]), report, sys.argv[3], expected_tool_strings(sys.argv[3]))
        return finish(report)
    if len(sys.argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    version = sys.argv[2] if len(sys.argv) == 3 else "1.0.0.1"
    pe = pefile.PE(sys.argv[1])
    report = Report()
    check_form(pe, report)
    check_imports(pe, report)
    check_stack_protection(pe, report)
    check_manifest(pe, report)
    check_version(pe, report, version)
    check_icons(pe, report)
    return finish(report)


if __name__ == "__main__":
    sys.exit(main())
