"""The engine runs without the interpreter's lock, Ctrl-C stops a powder run
with KeyboardInterrupt, and the progress callback sees the run and can stop
it."""

import hashlib
import os
import signal
import threading
import time

import numpy as np
import pytest

import quorra

# About half a second on one thread: the default system on a fine polar grid.
HALF_SECOND = dict(threads=1, thetaStep=0.05)
# A powder run of many seconds: a rhombic system on the default grid.
LONG = dict(threads=1, gx=2.01, gy=2.07, Ay=40.0, nuclearSpinText="7/2", thetaStep=0.1, phiStep=1.0)


def seconds(call):
    start = time.perf_counter()
    call()
    return time.perf_counter() - start


def at_once(work):
    """Seconds two threads take to do work at once, over seconds one takes."""
    one = seconds(work)
    workers = [threading.Thread(target=work) for _ in range(2)]
    two = seconds(lambda: ([w.start() for w in workers], [w.join() for w in workers]))
    return two / one


def test_two_threads_simulate_at_once():
    """The issue's measure of a released lock: two runs on two threads take
    less than 1.6 times one run. The machine is shared, so a try counts only
    when hashing on two threads (which runs without the lock) was not slowed
    just before and just after it; the best counted try of up to eight must
    pass, and without any the test is skipped."""
    if os.cpu_count() < 2:
        pytest.skip("one processor: two runs cannot overlap")
    expected = quorra.simulate(**HALF_SECOND)[1]
    results = []
    data = bytes(32 << 20)

    def free():
        return at_once(lambda: hashlib.sha256(data).digest())

    counted, busy = [], []
    for _ in range(8):
        before = free()
        ratio = at_once(lambda: results.append(quorra.simulate(**HALF_SECOND)[1]))
        after = free()
        if max(before, after) < 1.3:
            counted.append(ratio)
            if ratio < 1.6:
                break
        else:
            busy.append((round(ratio, 2), round(before, 2), round(after, 2)))
    if not counted:
        pytest.skip("the processors were busy with other work in every try: %r" % busy)
    assert min(counted) < 1.6, (counted, busy)
    assert all(np.array_equal(r, expected) for r in results)


def test_ctrl_c_stops_a_powder_run_with_keyboard_interrupt():
    angles = []

    def seen_before_the_equator(theta):
        angles.append(theta)
        assert theta < 90, "Ctrl-C did not stop the run"  # ends the test rather than wait for the run

    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            quorra.simulate(progress=lambda theta, elapsed: seen_before_the_equator(theta), **LONG)
    finally:
        timer.cancel()
    # Stopped part-way: the run never reached the equator.
    assert 0 < len(angles) and angles[-1] < 90
    # The module goes on working.
    assert quorra.simulate(points=512)[1].max() > 0


def test_progress_callback_sees_the_run_and_an_exception_stops_it():
    angles, times = [], []
    quorra.simulate(threads=1, progress=lambda theta, elapsed: (angles.append(theta), times.append(elapsed)))
    assert angles[0] == 0 and 179 < angles[-1] < 180 and np.all(np.diff(angles) > 0)
    assert np.all(np.diff(times) >= 0)

    class Enough(Exception):
        pass

    seen = []

    def stop_at_ten(theta, elapsed):
        seen.append(theta)
        if theta > 10:
            raise Enough(theta)

    with pytest.raises(Enough):
        quorra.simulate(progress=stop_at_ten, **LONG)
    assert seen[-1] > 10 and seen[-2] <= 10  # not called again after it raised
