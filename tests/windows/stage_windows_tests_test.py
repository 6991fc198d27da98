"""stage_windows_tests.py on a made-up build: what a test's line and the
folder hold, what the list cannot carry, and a whole layout from CTest's
listing."""

import os
import sys
import tempfile
import unittest
from unittest import mock

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import stage_windows_tests as stage  # noqa: E402

FIXTURE = {"name": "FIXTURES_REQUIRED", "value": ["wine_server"]}


def touch(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as file:
        file.write(b"MZ" + path.encode())


class StageWindowsTests(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.build = os.path.join(self.work.name, "build")
        self.dist = os.path.join(self.work.name, "dist")
        self.emulator = os.path.join(self.work.name, "wine-run")
        for name in ("tests/e2e/e2e_test.exe", "tests/e2e/hook.dll", "tests/e2e/probe.exe",
                     "tests/e2e/notes.txt", "tests/unit_test.exe"):
            touch(os.path.join(self.build, name))
        touch(os.path.join(self.dist, "launcher.exe"))
        touch(self.emulator)

    def tearDown(self):
        self.work.cleanup()

    def e2e(self, *arguments, environment=()):
        return {"name": "end_to_end",
                "command": [self.emulator, os.path.join(self.build, "tests/e2e/e2e_test.exe"), *arguments],
                "properties": [{"name": "ENVIRONMENT", "value": list(environment)},
                               {"name": "WORKING_DIRECTORY", "value": os.path.join(self.build, "tests/e2e")},
                               FIXTURE]}

    def test_a_line_names_the_folders_files_and_stages_what_the_program_finds_beside_it(self):
        layout = stage.Layout(self.build, self.dist)
        launcher = os.path.join(self.dist, "launcher.exe")
        line = stage.test_line(layout, self.e2e(launcher, "--quick", "two words", "",
                                                environment=[f"LINKED={launcher}", "MODE=fast"]), self.build)
        self.assertEqual(line, 'end_to_end|tests\\e2e|"%ROOT%\\tests\\e2e\\e2e_test.exe" '
                               '"%ROOT%\\dist\\launcher.exe" --quick "two words" ""'
                               '|LINKED=%ROOT%\\dist\\launcher.exe|MODE=fast')
        self.assertEqual(set(layout.files), {"tests/e2e/e2e_test.exe", "tests/e2e/hook.dll",
                                             "tests/e2e/probe.exe", "dist/launcher.exe"})

    def test_what_the_list_or_cmd_cannot_carry_is_refused_naming_the_test(self):
        outside = os.path.join(self.work.name, "elsewhere.exe")
        touch(outside)
        for test in (self.e2e(outside), self.e2e("100%"), self.e2e("a|b"), self.e2e('say "hi"'),
                     self.e2e(environment=["MODE=a&b"])):
            with self.subTest(command=test["command"][2:], properties=test["properties"][0]):
                with self.assertRaises(SystemExit) as refused:
                    stage.test_line(stage.Layout(self.build, self.dist), test, self.build)
                self.assertIn("test end_to_end:", str(refused.exception))

    def run_stage(self, tests, folder):
        arguments = ["stage", "ctest", self.build, self.dist, self.emulator,
                     os.path.join(os.path.dirname(stage.__file__), "run_windows_tests.cmd"), folder]
        with mock.patch.object(sys, "argv", arguments), \
                mock.patch.object(stage, "listed_tests", return_value=tests), \
                mock.patch("builtins.print"):
            return stage.main()

    def test_a_layout_lists_the_windows_tests_only_and_drops_files_no_test_needs(self):
        folder = os.path.join(self.work.name, "windows-tests")
        touch(os.path.join(folder, "tests/old_test.exe"))
        touch(os.path.join(folder, "logs/end_to_end.log"))
        shell_check = {"name": "package_brand", "command": ["/usr/bin/sh", "brand_test.sh"],
                       "properties": [FIXTURE]}
        self.assertEqual(self.run_stage([self.e2e(), shell_check], folder), 0)
        with open(os.path.join(folder, "windows_tests.txt"), newline="") as listed:
            lines = listed.read().split("\r\n")
        self.assertEqual(lines[1:], ['end_to_end|tests\\e2e|"%ROOT%\\tests\\e2e\\e2e_test.exe"', ""])
        self.assertFalse(os.path.exists(os.path.join(folder, "tests/old_test.exe")))
        self.assertTrue(os.path.exists(os.path.join(folder, "logs/end_to_end.log")))
        self.assertTrue(os.path.exists(os.path.join(folder, "run_windows_tests.cmd")))

    def test_a_test_without_the_wineserver_fixture_stops_the_layout(self):
        unfixed = dict(self.e2e(), properties=[])
        with self.assertRaises(SystemExit) as refused:
            self.run_stage([unfixed], os.path.join(self.work.name, "windows-tests"))
        self.assertIn("end_to_end do not need the wine_server fixture", str(refused.exception))


if __name__ == "__main__":
    unittest.main()
