#!/usr/bin/env python3
"""The cost of calling the engine from Python: a crystal spectrum (one
orientation, the default parameters, 65536 points) by quorra.simulate against
the same steps from C++ (python_call_bench).

    PYTHONPATH=build/python/site /usr/bin/python3 bench/python_call_bench.py build/bench/python_call_bench

Each side is timed in seven rounds of about half a second, alternating; the
round with the lowest CPU time per call counts, since the machine may be busy
with other work now and then."""

import json
import subprocess
import sys
import time

import quorra


def python_call_ms(seconds=0.5):
    """CPU milliseconds per call, the mean of a round of about the given seconds."""
    calls, start, cpu = 0, time.perf_counter(), time.process_time()
    while time.perf_counter() - start < seconds:
        quorra.simulate(crystal=(30, 40))
        calls += 1
    return (time.process_time() - cpu) / calls * 1e3


def cpp_call_ms(program, seconds=0.5):
    """The same from the C++ benchmark: CPU milliseconds per call of one round."""
    done = subprocess.run([program, "--benchmark_format=json", "--benchmark_min_time=%g" % seconds],
                          capture_output=True, text=True, check=True)
    (run,) = json.loads(done.stdout)["benchmarks"]
    return run["cpu_time"]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    # Rounds of each side alternate, so that both see the same load.
    cpp, python = float("inf"), float("inf")
    for _ in range(7):
        cpp = min(cpp, cpp_call_ms(sys.argv[1]))
        python = min(python, python_call_ms())
    print("crystal spectrum, 65536 points: C++ %.3f ms, Python %.3f ms, Python/C++ %.3f" % (cpp, python,
                                                                                            python / cpp))


if __name__ == "__main__":
    main()
