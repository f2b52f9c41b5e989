import random
import time

import pytest

from mosswick import MosswickHashMap

I64_MIN, I64_MAX = -(2**63), 2**63 - 1
M64 = 2**64 - 1
EMPTY, TOMBSTONE, OCCUPIED = 0, 1, 2


def mix(key):
    z = key & M64
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & M64
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & M64
    return z ^ (z >> 31)


class Model:
    """The same table in Python: slot layout, growth check, tombstones and placement.
    An insert that would bring live entries plus tombstones to 70 % first rebuilds
    without tombstones: at twice the slots when the live entries alone reach 35 %."""

    def __init__(self):
        self.slots = [(EMPTY, 0, 0)] * 16
        self.count = self.tombstones = 0

    def find(self, key):
        n = len(self.slots)
        i = mix(key) & (n - 1)
        for _ in range(n):
            tag, k, _v = self.slots[i]
            if tag == EMPTY:
                return None
            if tag == OCCUPIED and k == key:
                return i
            i = (i + 1) & (n - 1)
        return None

    def place(self, key, value):
        n = len(self.slots)
        i, tombstone = mix(key) & (n - 1), None
        while True:
            tag, k, v = self.slots[i]
            if tag == OCCUPIED and k == key:
                self.slots[i] = (OCCUPIED, key, value)
                return v
            if tag == TOMBSTONE and tombstone is None:
                tombstone = i
            if tag == EMPTY:
                self.slots[i if tombstone is None else tombstone] = (OCCUPIED, key, value)
                self.count += 1
                self.tombstones -= tombstone is not None
                return None
            i = (i + 1) & (n - 1)

    def rebuild(self, n):
        old, self.slots, self.count, self.tombstones = self.slots, [(EMPTY, 0, 0)] * n, 0, 0
        for tag, k, v in old:
            if tag == OCCUPIED:
                self.place(k, v)

    def insert(self, key, value):
        n = len(self.slots)
        if (self.count + 1) * 10 >= n * 7:
            self.rebuild(2 * n)
        elif (self.count + self.tombstones + 1) * 10 >= n * 7:
            self.rebuild(2 * n if (self.count + 1) * 20 >= n * 7 else n)
        return self.place(key, value)

    def get(self, key):
        i = self.find(key)
        return None if i is None else self.slots[i][2]

    def remove(self, key):
        i = self.find(key)
        if i is None:
            return None
        _tag, k, v = self.slots[i]
        self.slots[i] = (TOMBSTONE, k, v)
        self.count -= 1
        self.tombstones += 1
        return v

    def items(self):
        return [(k, v) for tag, k, v in self.slots if tag == OCCUPIED]


def assert_same_state(m, model):
    items = model.items()
    assert m.items() == items
    assert m.keys() == [k for k, _ in items]
    assert m.values() == [v for _, v in items]
    assert len(m) == model.count and bool(m) == bool(items)


@pytest.mark.parametrize("seed, key_range", [(1, 40), (2, 300), (3, 10**6), (4, 2**64)])
def test_random_operations_follow_the_model(seed, key_range):
    rng = random.Random(seed)
    m, model = MosswickHashMap(), Model()
    for step in range(6000):
        key = rng.randrange(key_range) + (I64_MIN if key_range == 2**64 else 0)
        op = rng.random()
        if op < 0.5:
            value = rng.randrange(-(2**63), 2**63)
            assert m.insert(key, value) == model.insert(key, value)
        elif op < 0.8:
            live = model.items()
            if live and rng.random() < 0.8:  # mostly hits: tombstones pile up
                key = rng.choice(live)[0]
            assert m.remove(key) == model.remove(key)
        elif op < 0.9:
            assert m.get(key) == model.get(key)
        else:
            assert m.contains(key) == (model.find(key) is not None)
        if step % 7 == 0:
            assert_same_state(m, model)
    assert_same_state(m, model)


def test_distinct_insert_remove_cycles_rebuild_as_the_model_does():
    # Each cycle leaves a tombstone behind, so the table is rebuilt again and again.
    m, model = MosswickHashMap(), Model()
    for k in range(5):
        assert m.insert(-k, k) is None and model.insert(-k, k) is None
    for k in range(1, 3000):
        assert m.insert(k, k) == model.insert(k, k)
        assert m.remove(k) == model.remove(k) == k
        assert_same_state(m, model)


def test_churn_at_constant_size_keeps_its_speed():
    # 300,000 live keys, then pairs of insert-new / remove-oldest: without counting
    # tombstones, probe chains grew until blocks took thousands of times longer.
    live, blocks, block = 300_000, 10, 300_000
    m = MosswickHashMap()
    for k in range(live):
        m.insert(k, k)
    times = []
    for b in range(blocks):
        start = time.perf_counter()
        for k in range(live + b * block, live + (b + 1) * block):
            m.insert(k, k)
            m.remove(k - live)
        times.append(time.perf_counter() - start)
    assert max(times) < 10 * times[0] + 0.5, times
    assert len(m) == live and m.get(live + blocks * block - 1) is not None and not m.contains(0)


def test_worked_example():
    m = MosswickHashMap()
    for k in (1, 2, 3):
        assert m.insert(k, 10 * k) is None
    assert m.keys() == [3, 1, 2]
    m.insert(0, 0)
    assert m.keys() == [3, 0, 1, 2]
    assert m.remove(3) == 30
    assert m.keys() == [0, 1, 2] and m.get(0) == 0
    assert m.insert(3, 33) is None
    assert m.keys() == [3, 0, 1, 2]
    assert m.values() == [33, 0, 10, 20]


@pytest.mark.parametrize("count, keys", [(11, [0, 3, 4, 1, 7, 9, 8, 10, 2, 5, 6]),
                                         (12, [0, 1, 8, 2, 6, 11, 3, 4, 7, 9, 10, 5])])
def test_growth_orders(count, keys):
    m = MosswickHashMap()
    for k in range(count):
        m.insert(k, k)
    assert m.keys() == keys and len(m) == count


def test_extreme_keys_and_values():
    m = MosswickHashMap()
    assert not m and m.keys() == m.values() == m.items() == []
    for k in (I64_MIN, I64_MAX):
        assert m.insert(k, k) is None
    assert m.get(I64_MIN) == I64_MIN and m.remove(I64_MAX) == I64_MAX and m.remove(I64_MAX) is None and m


def test_conversion_errors_leave_the_map_unchanged():
    m = MosswickHashMap()
    m.insert(1, 2)
    with pytest.raises(TypeError, match="^argument 'key': "):
        m.insert(1.5, 3)
    with pytest.raises(TypeError, match="^argument 'value': "):
        m.insert(7, "x")
    assert m.items() == [(1, 2)]


def test_borrow_conflicts_during_argument_conversion():
    # insert holds its exclusive borrow while converting its arguments, get a shared one.
    m = MosswickHashMap()
    m.insert(1, 1)

    class ReadsMap:
        def __index__(self):
            m.get(1)
            return 2

    class WritesMap:
        def __index__(self):
            m.insert(3, 3)
            return 1

    with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
        m.insert(ReadsMap(), 0)
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        m.get(WritesMap())
    assert m.items() == [(1, 1)]
