import numpy as np
import pytest

import mosswick


@pytest.mark.parametrize(
    "value, type_name",
    [([1.0, 2.0], "list"), (np.zeros((2, 2)), "ndarray"), (np.zeros(3, dtype=np.int64), "ndarray"),
     (np.zeros(3, dtype=">f8"), "ndarray")],
)
def test_refused_arrays_name_the_argument(value, type_name):
    with pytest.raises(TypeError) as info:
        mosswick.relu(value)
    assert str(info.value) == f"argument 'x': '{type_name}' object cannot be converted to 'PyArray<T, D>'"


def test_arrays_not_made_of_whole_elements_are_refused():
    misaligned = np.zeros(17, dtype=np.uint8)[1:].view(np.float64)
    with pytest.raises(TypeError, match="^argument 'x': array data and strides must be whole multiples"):
        mosswick.relu(misaligned)
    record = np.zeros(4, dtype=[("a", "<f8"), ("b", "<i4")])
    with pytest.raises(TypeError, match="whole multiples"):
        mosswick.relu(record["a"])


def test_subclasses_and_single_element_views_are_accepted():
    class Sub(np.ndarray):
        pass

    assert mosswick.relu(np.array([-1.0, 2.0]).view(Sub)).tolist() == [0.0, 2.0]
    x = np.arange(10.0) - 5
    assert mosswick.relu(x[3:4]).tolist() == [0.0]


def test_results_keep_their_buffer_alive():
    view = mosswick.relu(np.ones(20_000))[5:]  # the array itself is gone; its buffer must stay
    filler = np.full(20_000, 7.0)  # would take over freed memory of the same size
    assert view.sum() == 19_995.0 and filler[0] == 7.0


def test_a_foreign_registry_attribute_is_an_internal_failure(python):
    out = python(
        """
        import numpy as np
        core = np._core if int(np.__version__.split(".")[0]) >= 2 else np.core
        core.multiarray._mosswick_borrow_registry = 42
        import mosswick
        try:
            mosswick.relu(np.zeros(3))
        except BaseException as e:
            print(str(e).startswith("Interal borrow checking API error"), isinstance(e, Exception))
        """
    ).stdout.split()
    assert out == ["True", "False"]


def test_large_results_reuse_their_memory(python):
    # Results of 1 MiB to 128 MiB are recycled: a loop of them faults in no fresh pages once
    # warm. 64 MiB is beyond what malloc itself reuses, and the loop passes far more than the
    # 256 MiB the recycling keeps through its accounting.
    faults = python("""
        import resource, numpy as np, mosswick
        x, y = np.linspace(-1, 1, 8_000_000), np.linspace(-1, 1, 6_000_000)
        for _ in range(2):
            mosswick.relu(x), mosswick.relu(y)
        before = resource.getrusage(resource.RUSAGE_SELF).ru_minflt
        for _ in range(10):
            mosswick.relu(x), mosswick.relu(y)
        print(resource.getrusage(resource.RUSAGE_SELF).ru_minflt - before)
    """).stdout
    assert int(faults) < 100
