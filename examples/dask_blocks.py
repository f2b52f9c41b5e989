"""Scaling out with Dask: mosswick's functions applied block by block with
dask.array.map_blocks, first on Dask's threaded scheduler, then on a LocalCluster of
worker processes. Each result is checked equal to one mosswick call on the whole array.

mosswick's functions pickle by reference and release the interpreter lock, so they go to
map_blocks as they are, with one precaution: a block that Dask moves from one worker
process to another can arrive at an address that is not a multiple of 8 bytes, and
mosswick refuses such arrays (TypeError), so each call goes through `on_aligned`, which
copies only such a block. Activations work element by element on 1-D arrays and softmax
row by row, so element chunks and whole-row chunks give exactly the result of one call.

Sizing: a process's worker pool has one thread per processor unless RAYON_NUM_THREADS
says otherwise, and all threads of the process share it, so the threaded scheduler
needs nothing set, and one Dask thread per worker process is enough. Each worker
process starts a pool of its own, read from its environment when it first calls
mosswick: give each max(1, processors // processes) threads through the LocalCluster's
`env`, which the nanny sets before starting the worker. Left at the default, every
process would run one thread per processor, each kept to its own processor, so the
processes' threads would crowd onto the same processors.

    python examples/dask_blocks.py [--elements N] [--rows N] [--processes N]
"""

import argparse
import os
import time
from collections.abc import Callable

import dask
import dask.array as da
import numpy as np
from dask.distributed import Client, LocalCluster
from numpy.typing import NDArray

import mosswick

CLASSES = 100
Function = Callable[[NDArray[np.float64]], NDArray[np.float64]]
ACTIVATIONS: list[Function] = [
    mosswick.relu,
    mosswick.gelu,
    mosswick.sigmoid,
]


def on_aligned(block: NDArray[np.float64], function: Function) -> NDArray[np.float64]:
    return function(np.require(block, requirements="A"))


def pool_threads() -> int:
    """The threads the first parallel mosswick call starts in this process: its pool."""
    before = len(os.listdir("/proc/self/task"))
    mosswick.relu(np.zeros(10_000))  # the smallest input that goes to the pool
    return len(os.listdir("/proc/self/task")) - before


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--elements", type=int, default=10_000_000, help="length of the activations' input")
    parser.add_argument("--rows", type=int, default=100_000, help=f"rows of the ({CLASSES}-column) logits")
    parser.add_argument("--processes", type=int, default=2, help="worker processes of the LocalCluster")
    args = parser.parse_args()

    processors = len(os.sched_getaffinity(0))
    threads_each = max(1, processors // args.processes)
    print(f"{processors} processors: threaded scheduler on one pool of {pool_threads()} threads; "
          f"{args.processes} worker processes with RAYON_NUM_THREADS={threads_each} each")

    rng = da.random.default_rng(0)
    x = rng.standard_normal(args.elements, chunks=max(1, args.elements // 20))
    logits = rng.standard_normal((args.rows, CLASSES), chunks=(max(1, args.rows // 20), -1))
    print(f"input {x.shape[0]:,} elements in {x.numblocks[0]} blocks; "
          f"logits {logits.shape[0]:,} x {CLASSES} in {logits.numblocks[0]} blocks of whole rows")

    whole_x, whole_logits = dask.compute(x, logits, scheduler="threads")
    expected = [f(whole_x) for f in ACTIVATIONS] + [mosswick.softmax(whole_logits)]
    results = [x.map_blocks(on_aligned, f) for f in ACTIVATIONS] + [logits.map_blocks(on_aligned, mosswick.softmax)]
    names = [f.__name__ for f in ACTIVATIONS] + ["softmax"]

    start = time.perf_counter()
    computed = dask.compute(*results, scheduler="threads")
    report("threaded scheduler", names, computed, expected, time.perf_counter() - start)

    env = {"RAYON_NUM_THREADS": str(threads_each)}
    with (
        LocalCluster(n_workers=args.processes, threads_per_worker=1, processes=True, env=env) as cluster,
        Client(cluster) as client,
    ):
        sizes = client.run(pool_threads)
        assert set(sizes.values()) == {threads_each}, sizes
        print(f"LocalCluster: each worker process's pool has {threads_each} thread(s)")
        start = time.perf_counter()
        computed = dask.compute(*results)
        report("LocalCluster", names, computed, expected, time.perf_counter() - start)


def report(
    scheduler: str,
    names: list[str],
    computed: tuple[NDArray[np.float64], ...],
    expected: list[NDArray[np.float64]],
    seconds: float,
) -> None:
    for name, got, want in zip(names, computed, expected, strict=True):
        assert np.array_equal(got, want), f"{name} on the {scheduler} differs from the single call"
    print(f"{scheduler}: {', '.join(names)} equal to the single-process calls ({seconds:.2f} s, results gathered here)")


if __name__ == "__main__":
    main()
