"""A short tour of mosswick: one call from each group of routines, printed."""

import numpy as np

import mosswick
from mosswick import MosswickHashMap, Tensor

print("quicksort([5, 3, 9, 1])           =", mosswick.quicksort([5, 3, 9, 1]))
print("kth_smallest([7, 2, 9, 4], 2)     =", mosswick.kth_smallest([7, 2, 9, 4], 2))
print("levenshtein('kitten', 'sitting') =", mosswick.levenshtein("kitten", "sitting"))
print("is_prime(2**61 - 1)               =", mosswick.is_prime(2**61 - 1))
print("median([4.0, 1.0, 3.0, 2.0])      =", mosswick.median([4.0, 1.0, 3.0, 2.0]))

table = MosswickHashMap()
for key in (1, 2, 3):
    table.insert(key, key * 10)
print("MosswickHashMap keys in slot order =", table.keys())

x = np.array([-2.0, -0.5, 0.0, 1.5])
print("relu(x)                           =", mosswick.relu(x))
print("softmax([[1, 2, 3]])              =", mosswick.softmax(np.array([[1.0, 2.0, 3.0]])))
print("dropout(ones(6), 0.5, seed=0)     =", mosswick.dropout(np.ones(6), 0.5, seed=0))

a = Tensor.randn([2, 3], seed=0)
print("Tensor.randn([2, 3]) @ its transpose =", a.matmul(a, transpose_b=True).to_list())

centroids, labels = mosswick.kmeans([[0.0], [1.0], [10.0], [11.0]], 2, 100, 1e-4)
print("kmeans centroids, labels          =", centroids, labels)
print("determinant([[1, 2], [3, 4]])     =", mosswick.determinant([[1.0, 2.0], [3.0, 4.0]]))
