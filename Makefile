# Entry points for a fresh Debian machine: `make demo` and `make test` install what is missing,
# build, and run.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
PACKAGES := cmake g++ make qtbase5-dev libqt5xml5 libqt5concurrent5 libqt5test5 libfast-float-dev fonts-dejavu-core xauth xvfb qttranslations5-l10n
BENCH_PACKAGES := libmuparser-dev python3-numpy python3-numexpr python3-pandas
# The peers' scripts, timed right after the bench on the same machine.
PEERS ?= ../shared/peers
# CPack's Debian generator reads the binaries' library needs with dpkg-shlibdeps and file.
PACKAGE_PACKAGES := dpkg-dev file

.PHONY: all deps build programs test sanitize package demo demo-desktop bench programbench uibench tsan fuzz clean

all: build

deps:
	@missing=""; for p in $(PACKAGES) $(EXTRA_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>&1 | grep -q "install ok installed" || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    if [ "$$(id -u)" != 0 ]; then echo "Run as root to install:$$missing" >&2; exit 1; fi; \
	    export DEBIAN_FRONTEND=noninteractive; \
	    apt-get update -qq && apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j $(JOBS)

test: build
	cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

sanitize: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKX_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen \
	    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS)

package:
	$(MAKE) build EXTRA_PACKAGES="$(PACKAGE_PACKAGES)"
	cd build && cpack

tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DKX_TSAN=ON
	cmake --build build-tsan -j $(JOBS) --target tst_compute tst_engines tst_calculationcommands tst_interpreter
	cd build-tsan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -R 'tst_compute|tst_engines|tst_calculationcommands|tst_interpreter'

# Only the libraries and the two programs, not the tests; the compiler's output is shown only when
# the build fails.
programs: deps
	@mkdir -p build
	@echo "Building the libraries and the programs (log: build/programs.log)..."
	@if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	        && cmake --build build -j $(JOBS) --target kxequation-cli kxequation-desktop; } > build/programs.log 2>&1; then \
	    cat build/programs.log; echo "The build failed; its output is above and in build/programs.log." >&2; exit 1; \
	fi

demo: programs
	@echo '$$ build/apps/kxequation/kxequation run examples/shop/margin.xml --project examples/shop'
	@./build/apps/kxequation/kxequation run examples/shop/margin.xml --project examples/shop

demo-desktop: programs
	./build/apps/desktop/kxequation-desktop examples/shop

bench:
	$(MAKE) deps EXTRA_PACKAGES="$(BENCH_PACKAGES)"
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS) --target kxbench kxequation-cli
	./build-bench/bench/kxbench
	@if [ -d $(PEERS) ]; then \
	    echo "peers: numpy and numexpr"; \
	    env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 $(PEERS)/numexpr_bench.py; \
	    echo "peers: pandas end to end on build-bench/csv/m2000x1000.csv"; \
	    env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/time -f "pandas wall %e s" /usr/bin/python3 \
	        $(PEERS)/pandas_e2e.py build-bench/csv/m2000x1000.csv build-bench/csv/pandas2000x1000.csv; \
	fi

programbench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS) --target kxprogrambench
	./build-bench/bench/kxprogrambench

# The desktop window offscreen, driven through large tables; figures also in build-bench/ui.json.
uibench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS) --target kxuibench
	QT_QPA_PLATFORM=offscreen ./build-bench/bench/kxuibench build-bench/ui.json

FUZZ_SECONDS ?= 60
# Each target runs FUZZ_SECONDS on its own corpus, seeded from fuzz/corpus/<name without fuzz_>
# (fuzz_engine from the formula seeds too); formula texts are kept short. Paths are absolute: the
# command-line target works in a scratch folder of its own.
FUZZ_TARGETS := fuzz_formula fuzz_engine fuzz_csv fuzz_equationfile fuzz_cmdline
fuzz:
	$(MAKE) deps EXTRA_PACKAGES="clang libclang-rt-14-dev"
	CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	set -e; for target in $(FUZZ_TARGETS); do \
	    corpus=$(CURDIR)/build-fuzz/corpus/$$target; mkdir -p $$corpus; \
	    if [ -d fuzz/corpus/$${target#fuzz_} ]; then cp -r fuzz/corpus/$${target#fuzz_}/. $$corpus/; fi; \
	    case $$target in \
	        fuzz_engine) cp fuzz/corpus/formula/* $$corpus/; length=256;; \
	        fuzz_formula) length=512;; \
	        *) length=4096;; \
	    esac; \
	    ASAN_OPTIONS=detect_leaks=0 ./build-fuzz/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -max_len=$$length \
	        -artifact_prefix=$(CURDIR)/build-fuzz/$$target- $$corpus; \
	done

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz
