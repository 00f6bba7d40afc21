#!/usr/bin/env python3
"""The cost of calling the engine from Python: a crystal spectrum (one
orientation, the default parameters, 65536 points) by quorra.simulate against
the same steps from C++ (python_call_bench).

    PYTHONPATH=build/python/site /usr/bin/python3 bench/python_call_bench.py build/bench/python_call_bench

Each side is timed in five rounds of about a second; the round with the
lowest mean time per call counts, since the machine may be busy with other
work now and then."""

import json
import subprocess
import sys
import time

import quorra


def python_call_ms(rounds=5, seconds=1.0):
    best = float("inf")
    for _ in range(rounds):
        calls, start = 0, time.perf_counter()
        while time.perf_counter() - start < seconds:
            quorra.simulate(crystal=(30, 40))
            calls += 1
        best = min(best, (time.perf_counter() - start) / calls)
    return best * 1e3  # milliseconds, the mean of one round's calls


def cpp_call_ms(program, rounds=5):
    done = subprocess.run([program, "--benchmark_format=json", "--benchmark_repetitions=%d" % rounds],
                          capture_output=True, text=True, check=True)
    runs = [b for b in json.loads(done.stdout)["benchmarks"] if b.get("run_type") == "iteration"]
    return min(b["real_time"] for b in runs)  # milliseconds, the mean of one round's calls


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    cpp = cpp_call_ms(sys.argv[1])
    python = python_call_ms()
    print("crystal spectrum, 65536 points: C++ %.3f ms, Python %.3f ms, Python/C++ %.3f" % (cpp, python,
                                                                                            python / cpp))


if __name__ == "__main__":
    main()
