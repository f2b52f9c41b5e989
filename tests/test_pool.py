import ast
import os
import shutil
import subprocess
import sys
import textwrap
import threading

import numpy as np
import pytest

import mosswick

DEFAULT_WORKERS = len(os.sched_getaffinity(0))

COUNT_THREADS = """
    import os, numpy as np, mosswick
    before = len(os.listdir("/proc/self/task"))
    mosswick.relu(np.zeros({n}))
    print(len(os.listdir("/proc/self/task")) - before)
"""


def new_threads(n=10_000, **env):
    clean = {key: value for key, value in os.environ.items() if not key.startswith("RAYON_")}
    clean.update(env)
    proc = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(COUNT_THREADS.format(n=n))],
        capture_output=True, text=True, env=clean, timeout=120,
    )
    assert proc.returncode == 0, proc.stderr
    return int(proc.stdout)


@pytest.mark.parametrize(
    "env, expected",
    [
        ({}, DEFAULT_WORKERS),
        ({"RAYON_NUM_THREADS": "3"}, 3),
        ({"RAYON_NUM_THREADS": "+4"}, 4),
        ({"RAYON_NUM_THREADS": "0", "RAYON_RS_NUM_CPUS": "5"}, DEFAULT_WORKERS),
        ({"RAYON_NUM_THREADS": "abc", "RAYON_RS_NUM_CPUS": "5"}, 5),
        ({"RAYON_NUM_THREADS": "-1", "RAYON_RS_NUM_CPUS": "3"}, 3),
        ({"RAYON_NUM_THREADS": " 4"}, DEFAULT_WORKERS),
        ({"RAYON_NUM_THREADS": "4.0"}, DEFAULT_WORKERS),
        ({"RAYON_NUM_THREADS": "", "RAYON_RS_NUM_CPUS": "2"}, 2),
        ({"RAYON_NUM_THREADS": "18446744073709551616", "RAYON_RS_NUM_CPUS": "2"}, 2),
        ({"RAYON_RS_NUM_CPUS": "0"}, DEFAULT_WORKERS),
        ({"RAYON_RS_NUM_CPUS": "+3"}, 3),
    ],
)
def test_worker_count_from_the_environment(env, expected):
    assert new_threads(**env) == expected


def test_no_pool_below_the_threshold():
    assert new_threads(n=9_999, RAYON_NUM_THREADS="3") == 0
    assert new_threads(n=10_000, RAYON_NUM_THREADS="3") == 3


def test_concurrent_python_threads():
    rng = np.random.default_rng(11)
    inputs = [rng.standard_normal(50_000 + 1_000 * i) for i in range(6)]
    expected = [mosswick.gelu(x) for x in inputs]
    failures = []

    def work(i):
        for _ in range(20):
            if not np.array_equal(mosswick.gelu(inputs[i]), expected[i]):
                failures.append(i)

    threads = [threading.Thread(target=work, args=(i,)) for i in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=120)
    assert not any(t.is_alive() for t in threads)
    assert failures == []


def test_forked_child_has_a_working_pool(python):
    out = python(
        """
        import os, signal, warnings, numpy as np, mosswick
        warnings.simplefilter("ignore", DeprecationWarning)  # fork of a multi-threaded process
        x = np.linspace(-5, 5, 100_000)
        expected = mosswick.sigmoid(x)
        pid = os.fork()
        if pid == 0:
            signal.alarm(30)
            ok = np.array_equal(mosswick.sigmoid(x), expected)
            os._exit(0 if ok else 3)
        _, status = os.waitpid(pid, 0)
        print(os.waitstatus_to_exitcode(status), np.array_equal(mosswick.sigmoid(x), expected))
        """
    ).stdout.split()
    assert out == ["0", "True"]


def test_forked_children_keep_only_the_borrows_of_the_forking_thread(python):
    # Other threads are inside calls (an array read, an instance borrowed exclusively, one
    # borrowed shared twice) whenever the main thread forks, and the main thread forks from
    # inside a call of its own that holds a shared borrow of `table`.
    out = python(
        """
        import os, signal, threading, warnings, numpy as np, mosswick
        warnings.simplefilter("ignore", DeprecationWarning)  # fork of a multi-threaded process
        x = np.linspace(-3.0, 3.0, 1_000_000)
        t, u = mosswick.Tensor(np.ones(1_000_000)), mosswick.Tensor(np.ones(1_000_000))
        table = mosswick.MosswickHashMap()
        stop = threading.Event()

        def keep_busy(call):
            while not stop.is_set():
                call()

        threads = [threading.Thread(target=keep_busy, args=(call,))
                   for call in (lambda: mosswick.gelu(x), t.relu_inplace, lambda: u.add(u))]
        for thread in threads:
            thread.start()

        class ForkingKey:
            def __index__(self):
                global pid
                pid = os.fork()
                return 1

        failed = 0
        for _ in range(20):
            table.get(ForkingKey())
            if pid == 0:
                signal.alarm(30)
                try:
                    mosswick.clip_grad_norm(x, 1e9)
                    t.relu_inplace()
                    u.relu_inplace()
                    table.insert(1, 1)  # the forking thread's own borrow was released once, by get
                    os._exit(0)
                except BaseException as e:
                    print(type(e).__name__, e, flush=True)
                    os._exit(1)
            failed += os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]) != 0
        stop.set()
        for thread in threads:
            thread.join()
        print("failed", failed)
        """
    ).stdout.splitlines()
    assert out == ["failed 0"]


@pytest.mark.skipif(os.environ.get("MOSSWICK_SANITIZED") == "1", reason="sanitizers reserve address space")
def test_a_pool_that_cannot_start_is_an_internal_failure(python):
    out = python(
        """
        import os, resource, numpy as np, mosswick
        with open("/proc/self/status") as f:
            size = next(int(l.split()[1]) * 1024 for l in f if l.startswith("VmSize:"))
        resource.setrlimit(resource.RLIMIT_AS, (size + (256 << 20), resource.RLIM_INFINITY))
        before = len(os.listdir("/proc/self/task"))
        try:
            mosswick.relu(np.zeros(10_000))
        except BaseException as e:
            print(type(e).__mro__[1].__name__ + ":" + str(e))
        print(len(os.listdir("/proc/self/task")) - before)
        """,
        env={"RAYON_NUM_THREADS": "100000"},
    ).stdout.splitlines()
    assert out[0].startswith("BaseException:The global thread pool has not been initialized.")
    assert out[1] == "0"  # the workers that did start were stopped and joined


@pytest.fixture(scope="module")
def native_pool_test(tmp_path_factory):
    compiler = shutil.which("g++")
    if compiler is None:
        pytest.skip("needs g++")
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    sources = [os.path.join(root, "tests", "native", "pool_test.cpp")]
    sources += [os.path.join(root, "src", "core", name) for name in ("pool.cpp", "interrupt.cpp")]
    built = {}
    for variant, flags in {"plain": ["-O2"], "thread-sanitizer": ["-O1", "-g", "-fsanitize=thread"]}.items():
        binary = str(tmp_path_factory.mktemp("native") / f"pool_test_{variant}")
        subprocess.run([compiler, "-std=c++20", "-pthread", "-I", os.path.join(root, "src"), *flags, *sources,
                        "-o", binary], check=True)
        built[variant] = binary
    return built


@pytest.mark.parametrize("variant", ["plain", "thread-sanitizer"])
@pytest.mark.parametrize("workers", ["1", "2", "7"])
def test_native_pool_checks(native_pool_test, variant, workers):
    env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ASAN_OPTIONS")}
    env.update(RAYON_NUM_THREADS=workers, TSAN_OPTIONS="die_after_fork=0 halt_on_error=1")
    proc = subprocess.run([native_pool_test[variant]], capture_output=True, text=True, env=env, timeout=300)
    assert proc.returncode == 0, proc.stdout + proc.stderr
    assert proc.stdout.strip() == f"workers={workers} ok"


AFFINITIES = """
    import os, numpy as np, mosswick
    before = set(os.listdir("/proc/self/task"))
    mosswick.relu(np.zeros(10_000))
    new = sorted(set(os.listdir("/proc/self/task")) - before)
    print(sorted(sorted(os.sched_getaffinity(int(t))) for t in new))
"""


@pytest.mark.parametrize("workers", [None, "3"])
def test_one_worker_per_processor_keeps_to_its_own(workers):
    env = {key: value for key, value in os.environ.items() if not key.startswith("RAYON_")}
    if workers:
        env["RAYON_NUM_THREADS"] = workers
    proc = subprocess.run([sys.executable, "-c", textwrap.dedent(AFFINITIES)], capture_output=True, text=True,
                          env=env, timeout=120)
    assert proc.returncode == 0, proc.stderr
    allowed = sorted(os.sched_getaffinity(0))
    affinities = ast.literal_eval(proc.stdout)
    if workers is None:
        assert affinities == [[cpu] for cpu in allowed]
    else:
        assert affinities == [allowed] * 3
