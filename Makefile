# The two commands: `make demo` and `make test`. Both install what is missing first.
.PHONY: deps build demo test test-check test-dev test-asan test-fuzz bench fuzz dist install package check-package clean

JOBS ?= $(shell nproc)
CTEST_ARGS ?= --output-on-failure --parallel $(JOBS)

deps:
	scripts/install-deps

build: deps
	cmake --preset dev
	cmake --build --preset dev -j $(JOBS)

# The demonstration runs into build/demo/, then the viewer on one of them (with a display) or
# PNG frames of each in build/demo/png/ (without one).
demo: build
	scripts/demo

# One clang build serves every check: the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors), and the fuzz targets over their seeds.
test: deps test-check test-fuzz

test-check:
	cmake --preset check
	cmake --build --preset check -j $(JOBS)
	cd build/check && ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest $(CTEST_ARGS)

# The suite in a plain debug build (gcc), and under the sanitizers with gcc.
test-dev:
	cmake --preset dev
	cmake --build --preset dev -j $(JOBS)
	cd build/dev && ctest $(CTEST_ARGS)

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer; any report fails the run.
test-asan:
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	cd build/asan && ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest $(CTEST_ARGS)

# Every fuzz target over its seed corpus plus 10 000 mutated inputs: keeps the harnesses alive.
test-fuzz:
	scripts/run-fuzz smoke check

# Every fuzz target for FUZZ_SECONDS seconds (60 by default).
FUZZ_SECONDS ?= 60
fuzz: deps
	scripts/run-fuzz $(FUZZ_SECONDS)

bench: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	build/release/bench/hulvex_bench
	build/release/bench/hulvex_stats_bench
	build/release/bench/hulvex_spectrum_bench
	build/release/bench/hulvex_gui_bench
	build/release/bench/hulvex_pacing_bench
	PYTHONPATH=build/release/python /usr/bin/python3 bench/python_bench.py build/release/src/cli/hulvex

# The optimised programs and their manual pages (build/dist), installed under PREFIX (DESTDIR is
# honoured), or packed into a Debian package build/dist/hulvex_VERSION_ARCH.deb.
PREFIX ?= /usr/local
dist: deps
	cmake --preset dist
	cmake --build --preset dist -j $(JOBS)

install: dist
	cmake --install build/dist --prefix $(PREFIX)

package: dist
	cd build/dist && cpack
	@ls build/dist/*.deb

# The package installed with apt on a clean Debian 12 root (debootstrap; needs root and the mirror).
check-package: package
	scripts/check-package

clean:
	rm -rf build
