"""Signals that arrive while a long routine runs with the interpreter lock released."""

import subprocess
import sys
import textwrap

import pytest

# Each child raises KeyboardInterrupt on SIGINT even when the suite was started with SIGINT
# ignored (as a background job is), which its children would inherit.
DEFAULT_SIGINT = "signal.signal(signal.SIGINT, signal.default_int_handler)"

# The child starts `call`, gets SIGINT half a second later (from another process: a phase
# that holds the interpreter lock would keep a thread of its own from sending it), reports
# how the call ended and how long after the signal, then checks that the arguments are
# free and the pool works.
CHILD = """
    import decimal, os, signal, subprocess, time, numpy as np, mosswick

    class Stop(Exception):
        pass

    def stop(*_):
        raise Stop

    handled = []
    {default}
    {setup}
    subprocess.Popen(["sh", "-c", "sleep 0.5; kill -INT %d" % os.getpid()])
    sent = time.monotonic() + 0.5
    try:
        print("returned", {call})
    except BaseException as e:
        print(type(e).__name__, "late" if time.monotonic() - sent > 0.5 else "at once")
    for _ in range(10_000):  # what the call held is released in slices between these steps
        pass
    print(len(handled), {check}, mosswick.relu(np.arange(-5.0, 20_000.0)).sum())
"""

ROWS = "rows = [[float(i % 5), float(i % 3)] for i in range({})]"
TENSOR = "t = mosswick.Tensor(np.ones((4000, 4000)))"


@pytest.mark.parametrize(
    "setup, call, check, expected",
    [
        (ROWS.format(8), "mosswick.kmeans(rows, 2, 2**63, -1.0)", "None", "KeyboardInterrupt at once"),
        (ROWS.format(20_000) + "; signal.signal(signal.SIGINT, stop)", "mosswick.kmeans(rows, 3, 2**63, -1.0)",
         "None", "Stop at once"),
        ("", "mosswick.levenshtein('ab' * 2_000_000, 'ba' * 2_000_000)", "None", "KeyboardInterrupt at once"),
        (TENSOR, "t.matmul(t)", "t.relu_inplace()", "KeyboardInterrupt at once"),
        # Phases with the lock held, each over a second long: converting the input (through
        # Decimal.__float__, which runs no Python code), sorting, building the result.
        ("items = [decimal.Decimal('1.5')] * 20_000_000", "mosswick.quicksort_f64(items)", "items.clear()",
         "KeyboardInterrupt at once"),
        ("items = np.random.default_rng(0).integers(0, 2**40, 12_000_000).tolist(); import sys; "
         "held = sys.getrefcount(items[-1])", "mosswick.mergesort(items)",
         "None if sys.getrefcount(items[-1]) == held else 'not released'", "KeyboardInterrupt at once"),
        ("", "mosswick.quicksort_f64(np.zeros(25_000_000))", "None", "KeyboardInterrupt at once"),
        # A handler that raises nothing lets the call go on to its result.
        ("signal.signal(signal.SIGINT, lambda *_: handled.append(1))",
         "mosswick.levenshtein('ab' * 100_000, 'ba' * 100_000)", "None", "returned 2"),
    ],
    ids=["kmeans", "kmeans-on-the-pool", "levenshtein", "Tensor.matmul", "converting", "sorting", "building",
         "handler-raises-nothing"],
)
def test_a_signal_stops_a_long_call_and_leaves_nothing_behind(setup, call, check, expected):
    code = textwrap.dedent(CHILD).format(default=DEFAULT_SIGINT, setup=setup, call=call, check=check)
    proc = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60)
    assert proc.returncode == 0, proc.stderr
    handled = "1" if "handled" in setup else "0"
    assert proc.stdout.splitlines() == [expected, f"{handled} None 199990000.0"]


# A sort stopped part-way builds no result: the peak of the allocations Python traces stays
# far below the n pointers of the result list that a sort run to its end would build. A
# timer's SIGALRM, raising KeyboardInterrupt, stands in for Ctrl-C: the kernel sends it on
# time however busy the processors are, while the list is still being read, so the sort
# stops at its first check, about 50 ms in. Each input keeps the sort busy for longer.
SORT_CHILD = """
    import signal, tracemalloc, mosswick
    signal.signal(signal.SIGALRM, signal.default_int_handler)
    n = {n}
    arr = [(i * 7919) % n for i in range(n)]  # a permutation: every pass has work to do
    arr = [float(x) for x in arr] if "{name}" == "quicksort_f64" else arr
    signal.setitimer(signal.ITIMER_REAL, 0.02)
    tracemalloc.start()
    base = tracemalloc.get_traced_memory()[0]
    try:
        mosswick.{name}(arr)
        print("returned")
    except KeyboardInterrupt:
        print("stopped", "part-way" if tracemalloc.get_traced_memory()[1] - base < n else "after its result")
"""


@pytest.mark.parametrize("name, n", [("quicksort", 8_000_000), ("mergesort", 8_000_000),
                                     ("parallel_sort", 16_000_000), ("quicksort_f64", 8_000_000)])
def test_a_signal_reaches_each_sorts_passes(name, n):
    code = textwrap.dedent(SORT_CHILD).format(name=name, n=n)
    proc = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert proc.stdout.split() == ["stopped", "part-way"], proc.stdout + proc.stderr


def test_a_signal_stops_a_call_in_a_child_forked_from_another_thread():
    code = textwrap.dedent("""
        import os, signal, subprocess, sys, threading, time, mosswick
        DEFAULT_SIGINT
        mosswick.levenshtein("ab", "ba")  # the parent's main thread is known

        def fork_and_call():
            pid = os.fork()
            if pid:
                os.waitpid(pid, 0)
                return
            subprocess.Popen(["sh", "-c", f"sleep 0.5; kill -INT {os.getpid()}"])
            sent = time.monotonic() + 0.5
            try:
                mosswick.levenshtein("ab" * 150_000, "ba" * 150_000)
                print("returned")
            except KeyboardInterrupt:
                print("KeyboardInterrupt", "late" if time.monotonic() - sent > 1.0 else "at once")
            sys.stdout.flush()
            os._exit(0)

        thread = threading.Thread(target=fork_and_call)
        thread.start()
        thread.join()
    """).replace("DEFAULT_SIGINT", DEFAULT_SIGINT)
    proc = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert proc.stdout.splitlines() == ["KeyboardInterrupt at once"], proc.stderr
