"""What a branded copy costs beside copying the launcher with dd.

    python3 bench/brand_cost.py [--rounds N] [--brand PATH]

Brands the demo installation's copy as scripts/build does, with the Linux
build (dist/launcher-brand): dist/launcher.exe to viewer.exe, its icon from the
demo application (build/mingw/demo/demo_app.exe), its description, product
name and version given; brands it again with its icon made from the demo's
512-pixel logo (demo/app-logo.png), which the tool decodes, shrinks and
encodes; and copies dist/launcher.exe with `dd conv=fsync`, which reads it,
writes it and flushes it to the disk. All three write into one temporary
folder under build/, on the disk the work tree is on, over the file the round
before wrote. Each of the N rounds (default 50, after 2 warm-up rounds) runs
each once, in an order that turns round by round, each a process of its own
timed from start to exit. Prints minimum, median and p90 in ms for each, and
the ratios of the medians, branding/dd and logo/dd. --brand measures another
Linux build of launcher-brand, for instance one built from an older commit.

Needs the native and mingw builds (scripts/build makes both).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def timed(command):
    """Milliseconds from the command's start to its exit; it must exit 0."""
    started = time.perf_counter_ns()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter_ns() - started) / 1e6


def summary(name, times):
    ordered = sorted(times)
    p90 = ordered[min(len(ordered) - 1, (len(ordered) * 9) // 10)]
    print(f"{name:<10} min {ordered[0]:7.2f}  median {statistics.median(ordered):7.2f}  p90 {p90:7.2f} ms")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=50)
    parser.add_argument("--brand", default=os.path.join(ROOT, "dist", "launcher-brand"))
    options = parser.parse_args()
    rounds, brand = options.rounds, options.brand
    launcher = os.path.join(ROOT, "dist", "launcher.exe")
    application = os.path.join(ROOT, "build", "mingw", "demo", "demo_app.exe")
    logo = os.path.join(ROOT, "demo", "app-logo.png")
    for needed in (brand, launcher, application, logo):
        if not os.path.isfile(needed):
            print(f"brand_cost: {needed} is missing; run scripts/build first", file=sys.stderr)
            return 1

    os.makedirs(os.path.join(ROOT, "build"), exist_ok=True)
    folder = tempfile.mkdtemp(prefix="brand-cost-", dir=os.path.join(ROOT, "build"))
    try:
        commands = {
            "branding": [brand, launcher, os.path.join(folder, "viewer.exe"), "--icon-from", application,
                         "--description", "Vandrel Viewer", "--product-name", "Vandrel Viewer",
                         "--version", "2.1.0.0"],
            "logo": [brand, launcher, os.path.join(folder, "logo.exe"), "--icon", logo,
                     "--description", "Vandrel Viewer", "--product-name", "Vandrel Viewer",
                     "--version", "2.1.0.0"],
            "dd": ["dd", f"if={launcher}", f"of={os.path.join(folder, 'copy.exe')}", "bs=1M", "conv=fsync",
                   "status=none"],
        }
        times = {name: [] for name in commands}
        for round_number in range(rounds + 2):
            turn = round_number % len(commands)
            order = list(commands)[turn:] + list(commands)[:turn]
            for name in order:
                elapsed = timed(commands[name])
                if round_number >= 2:
                    times[name].append(elapsed)
    finally:
        shutil.rmtree(folder)

    print(f"{rounds} rounds; the copy {os.path.getsize(launcher)} bytes of launcher.exe")
    for name, measured in times.items():
        summary(name, measured)
    for name in ("branding", "logo"):
        ratio = statistics.median(times[name]) / statistics.median(times["dd"])
        print(f"median ratio {name}/dd: {ratio:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
