#!/usr/bin/env python3
"""Plants one-line faults in the product, one at a time, and tells which ones the test suite catches.

Each fault is a line of tools/mutations.txt:

    path/to/file.cpp :: original text => replacement text

The original text must occur exactly once in the file. For every fault the script writes the
mutated file, rebuilds incrementally, runs the whole suite and restores the file, then prints
killed / survived / did-not-build per folder and the survivors. Run by hand, not in CI:

    tools/mutate.py                      # every fault, build dir build-mutation
    tools/mutate.py --only src/formula   # faults of one folder
    tools/mutate.py --jobs 2 --only src/host --no-baseline
    tools/mutate.py --only apps/desktop --tests 'cli|desktop'   # a quicker, conservative look

With --tests only the tests whose names match run: a fault they kill the whole suite kills too,
so the share of killed faults can only be understated.
"""

import argparse
import collections
import os
import pathlib
import re
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


class Fault:
    def __init__(self, number, path, original, replacement):
        self.number = number
        self.path = path
        self.original = original
        self.replacement = replacement

    def folder(self):
        parts = pathlib.PurePath(self.path).parts
        return "/".join(parts[:-1])

    def label(self):
        return f"#{self.number} {self.path}: {self.original.strip()} => {self.replacement.strip()}"


def read_faults(file, only):
    faults = []
    for number, line in enumerate(file.read_text(encoding="utf-8").splitlines(), 1):
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        path, sep, rest = line.partition(" :: ")
        original, arrow, replacement = rest.partition(" => ")
        if not sep or not arrow:
            sys.exit(f"{file}:{number}: expected 'path :: original => replacement'")
        if only and not path.startswith(only):
            continue
        faults.append(Fault(number, path.strip(), original, replacement))
    return faults


def run(command, log, timeout=None):
    with open(log, "ab") as out:
        try:
            return subprocess.run(command, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return -1


def build(build_dir, jobs, log):
    return run(["cmake", "--build", str(build_dir), "-j", str(jobs)], log) == 0


def suite_passes(build_dir, jobs, log, first=None, tests=None):
    """The tests of the fault's own folder run first: most faults fall there, and a failure ends the run early."""
    command = ["env", "QT_QPA_PLATFORM=offscreen", "ctest", "-j", str(jobs), "--timeout", "120", "--stop-on-failure"]
    if tests:
        command += ["-R", tests]
    if first is not None and (build_dir / first).is_dir():
        if run(command + ["--test-dir", str(build_dir / first)], log, timeout=1800) != 0:
            return False
    return run(command + ["--test-dir", str(build_dir)], log, timeout=1800) == 0


def tests_of(fault):
    """The test folder that covers a product folder: tests/host/core for src/host/core, tests/apps for apps/*."""
    parts = pathlib.PurePath(fault.path).parts
    return "/".join(("tests",) + parts[1:-1]) if parts[0] == "src" else f"tests/{parts[0]}"


def try_fault(fault, build_dir, jobs, log, tests=None):
    file = ROOT / fault.path
    text = file.read_text(encoding="utf-8")
    count = text.count(fault.original)
    if count != 1:
        return f"not found once ({count})"
    try:
        file.write_text(text.replace(fault.original, fault.replacement), encoding="utf-8")
        if not build(build_dir, jobs, log):
            return "did-not-build"
        return "survived" if suite_passes(build_dir, jobs, log, tests_of(fault), tests) else "killed"
    finally:
        file.write_text(text, encoding="utf-8")


def print_table(outcomes):
    print(f"\n{'folder':22} {'killed':>7} {'survived':>9} {'no build':>9} {'killed %':>9}")
    totals = collections.Counter()
    for folder in sorted(outcomes):
        counts = outcomes[folder]
        totals.update(counts)
        built = counts["killed"] + counts["survived"]
        share = f"{100.0 * counts['killed'] / built:.0f}" if built else "-"
        print(f"{folder:22} {counts['killed']:7} {counts['survived']:9} {counts['did-not-build']:9} {share:>9}")
    built = totals["killed"] + totals["survived"]
    share = f"{100.0 * totals['killed'] / built:.0f}" if built else "-"
    print(f"{'all':22} {totals['killed']:7} {totals['survived']:9} {totals['did-not-build']:9} {share:>9}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--faults", default=str(ROOT / "tools" / "mutations.txt"))
    parser.add_argument("--build", default=str(ROOT / "build-mutation"))
    parser.add_argument("--build-type", default="RelWithDebInfo",
                        help="the type the developers build with, so that the compiler cache already holds most objects")
    parser.add_argument("--only", default="", help="only the faults whose path starts with this")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--tests", help="a ctest regular expression: only the tests it matches run")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip the unmutated suite run (when it was just seen green)")
    parser.add_argument("--resume", help="a saved output of an interrupted run: its outcomes are kept, the rest run")
    parser.add_argument("--summary", action="store_true", help="with --resume: print the saved run's table, run nothing")
    arguments = parser.parse_args()
    earlier = {}
    if arguments.resume:
        for line in pathlib.Path(arguments.resume).read_text(encoding="utf-8").splitlines():
            seen = re.match(r"\[\d+/\d+\] (\S+)\s+#(\d+) ", line)
            if seen:
                earlier[int(seen.group(2))] = seen.group(1)
    if arguments.summary:
        faults = [fault for fault in read_faults(pathlib.Path(arguments.faults), arguments.only) if fault.number in earlier]
        outcomes = collections.defaultdict(collections.Counter)
        for fault in faults:
            outcomes[fault.folder()][earlier[fault.number]] += 1
        print_table(outcomes)
        print(f"({len(faults)} faults of a saved run)")
        return 0

    faults = read_faults(pathlib.Path(arguments.faults), arguments.only)
    build_dir = pathlib.Path(arguments.build)
    log = build_dir / "mutation.log"
    build_dir.mkdir(parents=True, exist_ok=True)
    log.write_bytes(b"")
    # Tests link the libraries dynamically: a changed library needs no test to be relinked.
    configure = ["cmake", "-S", str(ROOT), "-B", str(build_dir), f"-DCMAKE_BUILD_TYPE={arguments.build_type}",
                 "-DCMAKE_LINK_DEPENDS_NO_SHARED=ON"]
    if run(configure, log) != 0 or not build(build_dir, arguments.jobs, log):
        sys.exit(f"the unmutated tree does not build; see {log}")
    if not arguments.no_baseline and not suite_passes(build_dir, arguments.jobs, log, tests=arguments.tests):
        sys.exit(f"the suite fails before any fault is planted; see {log}")

    outcomes = collections.defaultdict(collections.Counter)
    survivors = []
    started = time.monotonic()
    try:
        for position, fault in enumerate(faults, 1):
            outcome = earlier.get(fault.number) or try_fault(fault, build_dir, arguments.jobs, log, arguments.tests)
            outcomes[fault.folder()][outcome] += 1
            print(f"[{position}/{len(faults)}] {outcome:14} {fault.label()}", flush=True)
            if outcome == "survived" or outcome.startswith("not"):
                survivors.append((outcome, fault))
    except KeyboardInterrupt:
        print("\ninterrupted: the table counts the faults tried so far; --resume with this output goes on")
    build(build_dir, arguments.jobs, log)  # leave the build matching the restored sources

    print_table(outcomes)
    print(f"({len(faults)} faults in {time.monotonic() - started:.0f} s)")
    for outcome, fault in survivors:
        print(f"{outcome}: {fault.label()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
