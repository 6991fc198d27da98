"""Lays out a build's Windows tests in a folder of their own, for
run_windows_tests.cmd to run on Windows or under Wine.

    stage_windows_tests.py CTEST BUILD_DIR DIST_DIR EMULATOR RUNNER FOLDER

The tests are the ones CTest runs through EMULATOR (the Windows programs
among the build's tests), with the arguments, environment and working folder
their add_test definitions give, as CTest itself lists them. FOLDER receives,
at the same paths below it as below BUILD_DIR (DIST_DIR's files below dist/),
each test program with every program and DLL beside it (what it starts and
loads), each file an argument or a variable names, RUNNER, and the list of the
tests, windows_tests.txt, one a line:

    NAME|WORKING FOLDER|COMMAND LINE[|VARIABLE=VALUE...]

with the working folder relative to FOLDER and %ROOT% standing for FOLDER in
the command line and the values. Files of earlier layouts that no test needs
are removed; logs/ is left to the runner. Every test of the build must need
the wineserver fixture. Fails, naming the test, on anything that the list or
Windows' command interpreter cannot carry.
"""

import filecmp
import json
import os
import re
import shutil
import subprocess
import sys

FIXTURE = "wine_server"
FIXTURE_TESTS = {"wine_server_begin", "wine_server_end"}
STAGED = (".exe", ".dll")
# What cmd.exe passes on unchanged inside double quotes, and '|', which
# separates the list's fields.
UNSAFE = re.compile(r'["%!^&|<>\r\n]|[^\x20-\x7e]')
PLAIN = re.compile(r"[A-Za-z0-9_.,:=+@/-]+")


def fail(message):
    sys.exit(f"stage_windows_tests: {message}")


def listed_tests(ctest, build_dir):
    shown = subprocess.run([ctest, "--show-only=json-v1", "--test-dir", build_dir],
                           check=True, capture_output=True, text=True).stdout
    return json.loads(shown)["tests"]


def properties(test):
    return {item["name"]: item["value"] for item in test.get("properties", [])}


class Layout:
    """Where each built file goes below FOLDER, and the files to copy there."""

    def __init__(self, build_dir, dist_dir):
        self.bases = [(os.path.realpath(dist_dir), "dist"), (os.path.realpath(build_dir), "")]
        self.files = {}

    def relative(self, path):
        """The path below FOLDER of a file or folder of the build; None for any other."""
        real = os.path.realpath(path)
        for base, prefix in self.bases:
            if os.path.commonpath([real, base]) == base:
                below = os.path.relpath(real, base)
                return os.path.normpath(os.path.join(prefix, below)) if below != "." else prefix or "."
        return None

    def stage(self, test, path):
        below = self.relative(path)
        if below is None or not os.path.isfile(path):
            fail(f"test {test}: {path} is not a file of this build")
        self.files[below] = path
        return below

    def stage_beside(self, test, program):
        folder = os.path.dirname(program)
        for name in sorted(os.listdir(folder)):
            if name.lower().endswith(STAGED):
                self.stage(test, os.path.join(folder, name))


def windows(test, below):
    """The path below FOLDER as the runner's list holds it."""
    checked(test, below)
    return "%ROOT%" if below == "." else "%ROOT%\\" + below.replace("/", "\\")


def checked(test, text):
    if UNSAFE.search(text):
        fail(f"test {test}: {text!r} holds what the list or cmd.exe cannot carry")
    return text


def argument(layout, test, value):
    """The argument as the runner's command line holds it."""
    if os.path.isabs(value) and os.path.exists(value):
        return '"' + windows(test, layout.stage(test, value)) + '"'
    checked(test, value)
    return value if PLAIN.fullmatch(value) else f'"{value}"'


def variable(layout, test, assignment):
    name, _, value = assignment.partition("=")
    if os.path.isabs(value) and os.path.exists(value):
        return checked(test, name) + "=" + windows(test, layout.stage(test, value))
    return checked(test, assignment)


def test_line(layout, test, build_dir):
    name = checked(test["name"], test["name"])
    program = test["command"][1]
    layout.stage(name, program)
    layout.stage_beside(name, program)
    found = properties(test)
    folder = layout.relative(found.get("WORKING_DIRECTORY", build_dir))
    if folder is None:
        fail(f"test {name}: its working folder is not in the build")
    command = " ".join(argument(layout, name, value) for value in test["command"][1:])
    fields = [name, checked(name, folder.replace("/", "\\")), command]
    fields += [variable(layout, name, value) for value in found.get("ENVIRONMENT", [])]
    return "|".join(fields)


def needs_fixture(test):
    required = properties(test).get("FIXTURES_REQUIRED", [])
    return test["name"] in FIXTURE_TESTS or FIXTURE in required


def copy_if_changed(source, target):
    if os.path.isfile(target) and filecmp.cmp(source, target, shallow=False):
        return
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(source, target)


def remove_unlisted(folder, kept):
    for parent, folders, names in os.walk(folder, topdown=False):
        below = os.path.relpath(parent, folder)
        if below == "logs" or below.startswith("logs" + os.sep):
            continue
        for name in names:
            if os.path.normpath(os.path.join(below, name)) not in kept:
                os.remove(os.path.join(parent, name))
        if parent != folder and not os.listdir(parent):
            os.rmdir(parent)


def main():
    if len(sys.argv) != 7:
        print(__doc__, file=sys.stderr)
        return 2
    ctest, build_dir, dist_dir, emulator, runner, folder = sys.argv[1:]
    tests = listed_tests(ctest, build_dir)
    missing = [test["name"] for test in tests if not needs_fixture(test)]
    if missing:
        fail(f"{', '.join(missing)} do not need the {FIXTURE} fixture: their folder's "
             "CMakeLists.txt needs cmake_language(DEFER CALL require_wine_server)")
    layout = Layout(build_dir, dist_dir)
    emulator = os.path.realpath(emulator)
    lines = [test_line(layout, test, build_dir) for test in tests
             if len(test.get("command", [])) > 1 and os.path.realpath(test["command"][0]) == emulator]
    if not lines:
        fail(f"CTest lists no test run through {emulator} in {build_dir}")
    layout.files[os.path.basename(runner)] = runner
    for below, source in layout.files.items():
        copy_if_changed(source, os.path.join(folder, below))
    listed = os.path.join(folder, "windows_tests.txt")
    with open(listed + ".new", "w", encoding="ascii", newline="\r\n") as file:
        file.write("# NAME|WORKING FOLDER|COMMAND LINE[|VARIABLE=VALUE...], with %ROOT% for this folder\n")
        file.writelines(line + "\n" for line in lines)
    os.replace(listed + ".new", listed)
    remove_unlisted(folder, set(layout.files) | {"windows_tests.txt"})
    print(f"stage_windows_tests: {len(lines)} tests in {folder}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
