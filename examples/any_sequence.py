"""Lists, tuples, ranges and NumPy arrays are interchangeable wherever mosswick takes a
sequence; the results are the same whichever you pass. Type-checked with mypy --strict."""

from collections.abc import Sequence

import numpy as np
from numpy.typing import NDArray

import mosswick

readings: list[float] = [12.5, 9.0, 14.25, 11.0, 10.5, 13.75]
as_tuple: tuple[float, ...] = tuple(readings)
as_array: NDArray[np.float64] = np.array(readings, dtype=np.float64)
as_float32: NDArray[np.float32] = as_array.astype(np.float32)

for name, values in (("list", readings), ("tuple", as_tuple), ("float64 array", as_array), ("float32 array", as_float32)):
    mean, median, spread = mosswick.mean(values), mosswick.median(values), mosswick.std_dev(values)
    print(f"{name:14} mean {mean:.4f}  median {median:.4f}  std_dev {spread:.4f}")

counts: NDArray[np.int64] = np.array([5, 3, 9, 1, 3], dtype=np.int64)
assert mosswick.quicksort(counts) == mosswick.quicksort([5, 3, 9, 1, 3]) == [1, 3, 3, 5, 9]
assert mosswick.dedup(counts.astype(np.int32)) == mosswick.dedup((5, 3, 9, 1, 3)) == [5, 3, 9, 1]
assert mosswick.top_k(range(10), np.int64(3)) == [9, 8, 7]
assert mosswick.dot_product(range(1, 4), np.array([1.0, 0.5, 0.25])) == 2.75

points_list: list[tuple[float, float]] = [(0.0, 0.1), (0.2, 0.0), (9.8, 10.0), (10.1, 9.9)]
points: NDArray[np.float64] = np.array(points_list, dtype=np.float64)
rows: Sequence[NDArray[np.float64]] = list(points)
results = [mosswick.kmeans(data, 2, 50, 1e-6) for data in (points_list, points, rows)]
assert all(r == results[0] for r in results)
centroids, labels = results[0]
print("kmeans centroids", centroids, "labels", labels)
print("determinant", mosswick.determinant(np.array([[2, 1], [1, 3]], dtype=np.int64)))
