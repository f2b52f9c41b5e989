import random

import mosswick
from benchmarks.runner import Case


def rows(n, d, seed):
    rng = random.Random(seed)
    return [[rng.gauss(0.0, 1.0) for _ in range(d)] for _ in range(n)]


def close(a, b, tol=1e-9):
    import numpy as np

    return np.allclose(np.array(a), np.array(b), rtol=tol, atol=tol)


# k-means: 100,000 x 16, k = 8, 20 iterations, tolerance 0 (so all 20 run), against
# scikit-learn's Lloyd iterations from the same seed rows.
KMEANS_N, KMEANS_D, KMEANS_K, KMEANS_ITERS = 100_000, 16, 8, 20


def kmeans_setup():
    return rows(KMEANS_N, KMEANS_D, 1)


def sklearn_kmeans(data):
    import numpy as np
    from sklearn.cluster import KMeans

    step = len(data) // KMEANS_K
    seeds = np.array([data[c * step] for c in range(KMEANS_K)])
    model = KMeans(KMEANS_K, init=seeds, n_init=1, max_iter=KMEANS_ITERS, tol=0.0, algorithm="lloyd")
    model.fit(np.array(data))
    return model.cluster_centers_.tolist(), model.labels_.tolist()


def kmeans_agree(ours, theirs):
    # scikit-learn groups its sums differently and relabels after the last update, so
    # the centroids agree closely and the labels nearly everywhere.
    same_labels = sum(a == b for a, b in zip(ours[1], theirs[1])) / len(ours[1])
    return close(ours[0], theirs[0], 1e-6) and same_labels > 0.95


def pairwise_setup():
    return rows(1_000, 64, 2), rows(1_000, 64, 3)


def sklearn_pairwise(metric):
    def run(ab):
        from sklearn.metrics import pairwise

        return getattr(pairwise, metric)(ab[0], ab[1]).tolist()

    return run


def square_setup():
    rng = random.Random(4)
    return [[rng.uniform(-1.0, 1.0) for _ in range(300)] for _ in range(300)]


def numpy_det(m):
    import numpy as np

    return float(np.linalg.det(np.array(m)))


def numpy_inv(m):
    import numpy as np

    return np.linalg.inv(np.array(m)).tolist()


CASES = [
    Case("kmeans", "100,000x16, k=8, 20 iters", "sklearn KMeans (lloyd)", kmeans_setup,
         lambda data: mosswick.kmeans(data, KMEANS_K, KMEANS_ITERS, 0.0), sklearn_kmeans, 1.0, check=kmeans_agree,
         needs=("numpy", "sklearn")),
    Case("pairwise_cosine", "1,000x64 vs 1,000x64", "sklearn cosine_similarity", pairwise_setup,
         lambda ab: mosswick.pairwise_cosine(*ab), sklearn_pairwise("cosine_similarity"), 1.0, check=close,
         needs=("numpy", "sklearn")),
    Case("pairwise_manhattan", "1,000x64 vs 1,000x64", "sklearn manhattan_distances", pairwise_setup,
         lambda ab: mosswick.pairwise_manhattan(*ab), sklearn_pairwise("manhattan_distances"), 1.0, check=close,
         needs=("numpy", "sklearn")),
    Case("determinant", "300x300", "numpy.linalg.det", square_setup, mosswick.determinant, numpy_det, 1.0,
         check=lambda a, b: abs(a - b) <= 1e-9 * abs(b), needs=("numpy",)),
    Case("matrix_inverse", "300x300", "numpy.linalg.inv", square_setup, mosswick.matrix_inverse, numpy_inv, 1.0,
         check=close, needs=("numpy",)),
]
