"""A Python sweep step's own cost against kv4410ctl's, on the simulated board without latency.

Both run a 65,536-point sweep (every FIN code from 0 to 0xFFFF) and a one-point sweep; the
difference divided by 65,535 is the cost of a step without the start-up, the process launch
and the result's fixed costs. Best of --repeat runs each. Target: Python at most 1.5 x the CLI.

    PYTHONPATH=build/bench/python /usr/bin/python3 bench/python_sweep_bench.py \\
        --ctl build/bench/src/cli/kv4410ctl
"""
import argparse
import pathlib
import subprocess
import sys
import time

import kv4410

# -11.2499 V is code 0 and 11.2497 V code 0xFFFF with VREF 5 and the offset code 0xA492; one
# code is 4.5 * 5 / 65536 V = 0.34332275390625 mV.
FULL = (-11.2499, 11.2497, 0.34332275390625)
ONE = (0.0, 0.0, 1.0)
STEPS = 65535


def best(repeat, run):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def python_step(repeat):
    with kv4410.open(simulate=True) as bench:
        points = len(bench.sweep(*FULL))
        if points != STEPS + 1:
            sys.exit(f"the full sweep has {points} points, not {STEPS + 1}")
        full = best(repeat, lambda: bench.sweep(*FULL))
        one = best(repeat, lambda: bench.sweep(*ONE))
    return (full - one) / STEPS


def cli_step(ctl, repeat):
    def sweep(start, end, step):
        subprocess.run([ctl, "--simulate", "sweep", "--start", str(start), "--end", str(end),
                        "--step", str(step)], check=True, stdout=subprocess.DEVNULL)

    full = best(repeat, lambda: sweep(*FULL))
    one = best(repeat, lambda: sweep(*ONE))
    return (full - one) / STEPS


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    default_ctl = pathlib.Path(kv4410.__file__).parents[2] / "src" / "cli" / "kv4410ctl"
    parser.add_argument("--ctl", default=str(default_ctl), help="kv4410ctl of the same build")
    parser.add_argument("--repeat", type=int, default=5, help="runs of each sweep (best is kept)")
    args = parser.parse_args()
    python = python_step(args.repeat)
    cli = cli_step(args.ctl, args.repeat)
    ratio = python / cli
    print(f"Python sweep step:  {python * 1e6:6.2f} us")
    print(f"kv4410ctl sweep step: {cli * 1e6:6.2f} us")
    print(f"ratio {ratio:.2f} x (target at most 1.5 x): {'met' if ratio <= 1.5 else 'NOT met'}")
    return 0 if ratio <= 1.5 else 1


if __name__ == "__main__":
    sys.exit(main())
