#!/usr/bin/env python3
"""Mutation testing of the core libraries: do their tests notice a small fault?

Usage (from anywhere; scripts/mutate.sh runs it niced):
  scripts/mutate.py --list --lib device             list the mutants, change nothing
  scripts/mutate.py --lib all --sample 150 --seed 1 --report mutants.md
  scripts/mutate.py --retry mutants.md               run again the survivors of a report

Each mutant changes one operator, constant or condition in one .cpp file of src/device,
src/board or src/measure. The file is changed, the library's test binaries are rebuilt in the
dev preset, the tests labelled with the library's name are run, and the file is restored.
A test failure or a timeout kills the mutant; a mutant that does not build is counted apart.
"""

import argparse
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD_DIR = ROOT / "build" / "dev"
# The test binaries of each library; ctest runs the tests labelled with the library's name.
TARGETS = {
    "device": ["device_tests"],
    "board": ["board_tests", "board_umockdev_tests"],
    "measure": ["measure_tests"],
}

# Operators swapped for another; binary ones only when clang-format spaced them (` < `), which
# leaves out template brackets, references, pointers and unary signs.
SPACED_SWAPS = {
    "<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
    "&&": "||", "||": "&&", "+": "-", "-": "+", "+=": "-=", "-=": "+=", "&": "|", "|": "&",
}
OPERATOR = re.compile(r"<=|>=|==|!=|&&|\|\||\+=|-=|[<>+\-&|]")
WORD_SWAPS = {"true": "false", "false": "true"}
INTEGER = re.compile(r"(0[xX][0-9a-fA-F']+|[0-9][0-9']*)([uUlL]*)$")


class Mutant:
    def __init__(self, lib, path, offset, line, col, original, replacement):
        self.lib, self.path, self.offset = lib, path, offset
        self.line, self.col = line, col
        self.original, self.replacement = original, replacement

    def key(self):
        return (str(self.path), self.line, self.col, self.original, self.replacement)

    def __str__(self):
        return f"{self.path}:{self.line}:{self.col}: {self.original} → {self.replacement}"


def code_mask(text):
    """Blanks out comments, string and character literals and preprocessor lines, keeping the
    offsets, so that every match in the result is code."""
    out = list(text)
    i, n = 0, len(text)

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if c == "#" and text[text.rfind("\n", 0, i) + 1 : i].strip() == "":
            j = i
            while True:  # a directive runs on over backslash-newlines
                j = text.find("\n", j)
                if j < 0 or text[j - 1] != "\\":
                    break
                j += 1
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == "R" and text.startswith('"', i + 1) and not (text[i - 1 : i].isalnum()):
            m = re.match(r'R"([^(]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            blank(i, j)
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            blank(i, j + 1)
            i = j + 1
        elif c.isdigit() and not (text[i - 1 : i].isalnum() or text[i - 1 : i] == "_"):
            # A number, digit separators included, so that its ' opens no character literal.
            m = re.match(r"[0-9a-zA-Z_.']+", text[i:])
            i += len(m.group(0))
        else:
            i += 1
    return "".join(out)


def find_mutants(lib, path):
    text = (ROOT / path).read_text()
    code = code_mask(text)
    found = []  # (offset, original, replacement)
    for m in OPERATOR.finditer(code):
        a, b = m.start(), m.end()
        if code[a - 1 : a] != " " or code[b : b + 1] != " ":
            continue
        # A + beside a string literal joins strings: its - would not build.
        beside = text[:a].rstrip()[-1:] + text[b:].lstrip()[:1]
        if m.group(0) in ("+", "+=") and '"' in beside:
            continue
        found.append((a, m.group(0), SPACED_SWAPS[m.group(0)]))
    for m in re.finditer(r"!(?!=)", code):
        found.append((m.start(), "!", ""))
    for m in re.finditer(r"\b(true|false)\b", code):
        found.append((m.start(), m.group(0), WORD_SWAPS[m.group(0)]))
    # Integer literals, not the digits of a floating-point one (2.5, 1e-6, 200e3).
    for m in re.finditer(r"(?<![\w.'])(?<![eE][-+])[0-9][0-9a-zA-Z_.']*", code):
        number = INTEGER.match(m.group(0))
        if not number:
            continue
        digits, suffix = number.group(1).replace("'", ""), number.group(2)
        hexadecimal = digits[:2] in ("0x", "0X")
        value = int(digits, 16 if hexadecimal else 10)
        for new in sorted({value + 1, 0 if value else 1}):
            text_of = f"0x{new:X}" if hexadecimal else str(new)
            found.append((m.start(), m.group(0), text_of + suffix))
    mutants = []
    for offset, original, replacement in sorted(found):
        line = text.count("\n", 0, offset) + 1
        col = offset - text.rfind("\n", 0, offset)
        mutants.append(Mutant(lib, path, offset, line, col, original, replacement))
    return mutants


def all_mutants(libs):
    mutants = []
    for lib in libs:
        for path in sorted((ROOT / "src" / lib).glob("*.cpp")):
            mutants += find_mutants(lib, path.relative_to(ROOT))
    return mutants


def run(cmd, timeout):
    try:
        done = subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout)
        return done.returncode, done.stdout
    except subprocess.TimeoutExpired:
        return None, ""


def build(lib):
    return run(["cmake", "--build", "--preset", "dev", "--target", *TARGETS[lib]], 900)


def test_mutant(mutant, timeout):
    """Returns "killed", "survived" or "not compiled"; the file is always restored."""
    path = ROOT / mutant.path
    original = path.read_text()
    a = mutant.offset
    assert original[a : a + len(mutant.original)] == mutant.original, mutant
    try:
        path.write_text(original[:a] + mutant.replacement + original[a + len(mutant.original) :])
        rc, output = build(mutant.lib)
        if rc != 0:
            # The build lists the tests by running the test binary: a mutant that makes that
            # run fail or hang has been caught by the tests' program.
            caught = rc is None or "Error running test executable" in output
            return "killed" if caught else "not compiled"
        rc, _ = run(["ctest", "--preset", "dev", "-L", f"^{mutant.lib}$", "--stop-on-failure",
                     "--timeout", str(timeout)], timeout * 10 + 60)
        return "survived" if rc == 0 else "killed"
    finally:
        path.write_text(original)


def read_survivors(report):
    line = re.compile(r"^- `(.+?):(\d+):(\d+)`: `(.*)` → `(.*)`$")
    keys = set()
    for text in Path(report).read_text().splitlines():
        m = line.match(text)
        if m:
            keys.add((m.group(1), int(m.group(2)), int(m.group(3)), m.group(4), m.group(5)))
    return keys


def write_report(path, results, seconds):
    lines = ["# Mutation testing of the core libraries", "",
             "| library | mutants | killed | survived | not compiled | score |",
             "|---|---|---|---|---|---|"]
    totals = {"killed": 0, "survived": 0, "not compiled": 0}
    for lib in TARGETS:
        outcomes = [o for m, o in results if m.lib == lib]
        if not outcomes:
            continue
        count = {k: outcomes.count(k) for k in totals}
        for k in totals:
            totals[k] += count[k]
        lines.append(f"| {lib} | {len(outcomes)} | {count['killed']} | {count['survived']} | "
                     f"{count['not compiled']} | {score(count)} |")
    lines.append(f"| all | {len(results)} | {totals['killed']} | {totals['survived']} | "
                 f"{totals['not compiled']} | {score(totals)} |")
    lines += ["", f"Run time: {seconds / 60:.1f} min.", "", "## Survivors", ""]
    lines += [f"- `{m.path}:{m.line}:{m.col}`: `{m.original}` → `{m.replacement}`"
              for m, o in results if o == "survived"]
    Path(path).write_text("\n".join(lines) + "\n")


def score(count):
    tested = count["killed"] + count["survived"]
    return f"{100.0 * count['killed'] / tested:.1f} %" if tested else "-"


def interrupt(*_):
    # SIGTERM ends the run as Ctrl-C does, through the finally that restores the file.
    raise KeyboardInterrupt


def source_diff(libs):
    return run(["git", "diff", "--", *(f"src/{lib}" for lib in libs)], 60)[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--lib", choices=[*TARGETS, "all"], default="all")
    parser.add_argument("--sample", type=int, help="mutants drawn at random per library")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--timeout", type=int, default=30, help="seconds per test")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--report", help="markdown report to write")
    parser.add_argument("--retry", metavar="REPORT", help="run the survivors of a report")
    args = parser.parse_args()

    libs = list(TARGETS) if args.lib == "all" else [args.lib]
    mutants = all_mutants(libs)
    if args.retry:
        wanted = read_survivors(args.retry)
        mutants = [m for m in mutants if m.key() in wanted]
    elif args.sample:
        rng = random.Random(args.seed)
        chosen = []
        for lib in libs:
            of_lib = [m for m in mutants if m.lib == lib]
            chosen += sorted(rng.sample(of_lib, min(args.sample, len(of_lib))),
                             key=lambda m: (str(m.path), m.offset))
        mutants = chosen
    if args.list:
        for m in mutants:
            print(m)
        return 0

    if not (BUILD_DIR / "CMakeCache.txt").exists():
        subprocess.run(["cmake", "--preset", "dev"], cwd=ROOT, check=True)
    signal.signal(signal.SIGTERM, interrupt)
    diff_before = source_diff(libs)
    for lib in libs:
        rc, output = build(lib)
        if rc != 0:
            sys.exit(f"the unchanged {lib} tests do not build:\n{output}")
    start = time.monotonic()
    results = []
    try:
        for i, mutant in enumerate(mutants, 1):
            outcome = test_mutant(mutant, args.timeout)
            results.append((mutant, outcome))
            print(f"[{i}/{len(mutants)}] {outcome:12} {mutant}", flush=True)
    except KeyboardInterrupt:
        print("interrupted; the report holds the mutants run so far", file=sys.stderr)
    finally:
        seconds = time.monotonic() - start
        if args.report:
            write_report(args.report, results, seconds)
        if source_diff(libs) != diff_before:
            print("warning: the sources differ from what they were before the run",
                  file=sys.stderr)
        for lib in libs:
            build(lib)  # leave the build matching the restored sources
    return 0


if __name__ == "__main__":
    sys.exit(main())
