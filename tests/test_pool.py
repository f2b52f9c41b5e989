import ast
import os
import subprocess
import threading

import numpy as np
import pytest

import mosswick
from conftest import native_check, run_python

DEFAULT_WORKERS = len(os.sched_getaffinity(0))


def new_threads(n=10_000, **env):
    code = f"""
        import os, numpy as np, mosswick
        before = len(os.listdir("/proc/self/task"))
        mosswick.relu(np.zeros({n}))
        print(len(os.listdir("/proc/self/task")) - before)
    """
    return int(run_python(code, env, clean_pool_env=True).stdout)


# One case per rule: a count with a leading "+"; 0 meaning the default without consulting the
# second variable; text that does not parse (a sign, 65 bits) falling back to the second variable.
@pytest.mark.parametrize(
    "env, expected",
    [
        ({}, DEFAULT_WORKERS),
        ({"RAYON_NUM_THREADS": "+4", "RAYON_RS_NUM_CPUS": "3"}, 4),
        ({"RAYON_NUM_THREADS": "0", "RAYON_RS_NUM_CPUS": "5"}, DEFAULT_WORKERS),
        ({"RAYON_NUM_THREADS": "-1", "RAYON_RS_NUM_CPUS": "+3"}, 3),
        ({"RAYON_NUM_THREADS": "18446744073709551616", "RAYON_RS_NUM_CPUS": "5"}, 5),
        ({"RAYON_RS_NUM_CPUS": "0"}, DEFAULT_WORKERS),
    ],
)
def test_worker_count_from_the_environment(env, expected):
    assert new_threads(**env) == expected


def test_pool_starts_at_the_threshold():
    out = run_python(
        """
        import os
        import numpy as np
        import mosswick

        def run_all(n):
            a, b, c, d = (np.full(n, 0.5) for _ in range(4))
            mosswick.relu(a)
            for name in ("mse_loss", "mae_loss", "bce_loss", "categorical_cross_entropy"):
                getattr(mosswick, name)(a, b)
            mosswick.sgd_momentum_step(a, b, c, 0.1, 0.9)
            mosswick.adam_step(a, b, c, d)
            mosswick.clip_grad_norm(a, 0.0)
            mosswick.softmax(np.zeros((n, 2)))
            mosswick.softmax_cross_entropy(np.zeros((n, 2)), np.zeros(n, dtype=np.int64))
            mosswick.one_hot(np.zeros(n + 1, dtype=np.int64), 2)  # never parallel
            t = mosswick.Tensor(np.zeros((n, 1)))
            t.add(t).relu_inplace()
            t.add_bias_inplace(np.ones(1))
            mosswick.pairwise_manhattan([[0.0]] * n, [[1.0]])
            mosswick.kmeans([[0.0]] * n, 1, 1, 0.0)
            mosswick.dropout(np.zeros(10 * n), 0.5, seed=1)  # seeded: never parallel
            mosswick.Tensor.randn([10 * n], seed=1)

        print(len(os.listdir("/proc/self/task")))  # NumPy's own threads, if any
        run_all(9999)
        print(len(os.listdir("/proc/self/task")))
        mosswick.softmax(np.zeros((10_000, 1)))
        print(len(os.listdir("/proc/self/task")))
        """,
        env={"RAYON_NUM_THREADS": "3"},
    )
    before, below, after = map(int, out.stdout.split())
    assert below == before and after == before + 3


def test_concurrent_python_threads():
    inputs = [np.random.default_rng(i).standard_normal(50_000 + 1_000 * i) for i in range(6)]
    expected = [mosswick.gelu(x) for x in inputs]
    equal = []

    def work(i):
        equal.extend(np.array_equal(mosswick.gelu(inputs[i]), expected[i]) for _ in range(20))

    threads = [threading.Thread(target=work, args=(i,)) for i in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=120)
    assert not any(t.is_alive() for t in threads) and equal == [True] * 120


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
def native_pool_test():
    return {"plain": native_check("pool_test"), "thread-sanitizer": native_check("pool_test", "thread")}


@pytest.mark.parametrize("variant", ["plain", "thread-sanitizer"])
@pytest.mark.parametrize("workers", ["1", "2", "7"])
def test_native_pool_checks(native_pool_test, variant, workers):
    env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ASAN_OPTIONS")}
    env.update(RAYON_NUM_THREADS=workers, TSAN_OPTIONS="die_after_fork=0 halt_on_error=1")
    proc = subprocess.run([native_pool_test[variant]], capture_output=True, text=True, env=env, timeout=300)
    assert proc.returncode == 0, proc.stdout + proc.stderr
    assert proc.stdout.strip() == f"workers={workers} ok"


@pytest.mark.parametrize("workers", [None, "3"])
def test_one_worker_per_processor_keeps_to_its_own(workers):
    code = """
        import os, numpy as np, mosswick
        before = set(os.listdir("/proc/self/task"))
        mosswick.relu(np.zeros(10_000))
        new = sorted(set(os.listdir("/proc/self/task")) - before)
        print(sorted(sorted(os.sched_getaffinity(int(t))) for t in new))
    """
    affinities = ast.literal_eval(run_python(code, {"RAYON_NUM_THREADS": workers} if workers else {},
                                             clean_pool_env=True).stdout)
    allowed = sorted(os.sched_getaffinity(0))
    assert affinities == ([[cpu] for cpu in allowed] if workers is None else [allowed] * 3)
