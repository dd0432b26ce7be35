# The two commands a newcomer needs:
#   make run    installs what is missing, builds, and opens the demo database
#   make test   installs what is missing, runs the unit tests once, under the sanitizers; builds the
#               optimised programs and checks real sound and the desktop program under Xvfb with
#               them; fuzzes every file reader briefly; then installs, tries and removes the
#               Debian package
#   make fuzz   only the fuzzing; FUZZ_SECONDS=600 make fuzz runs each target for ten minutes
#   make deb    the Debian package voxbench_VERSION_ARCH.deb in build/, from the plain build
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_SECONDS ?= 10

.PHONY: run test deps deps-test build build-asan check check-real check-asan check-layers fuzz deb check-package demo clean

deps:
	@scripts/install-deps.sh

deps-test:
	@scripts/install-deps.sh --test

# Both builds compile with clang: measured on the same files, it takes half of gcc's time at -O2
# and 40 % less under the sanitizers. gcc stays the compiler of a plain cmake build, of the
# coverage and of the mutation sample, so its warnings are still heard.
COMPILERS = -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

# The optimised programs, and of the tests only those that need them (real sound, Xvfb): the unit
# tests run in the sanitizer build. Line tables only (-g1): a backtrace still names file and line,
# at less compile time than full debug information; the package is stripped either way.
build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOXBENCH_WERROR=ON \
	  -DVOXBENCH_UNIT_TESTS=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
	  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" $(COMPILERS)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps-test
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOXBENCH_WERROR=ON -DVOXBENCH_SANITIZE=ON \
	  -DVOXBENCH_UNIT_TESTS=ON $(COMPILERS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# Every test once: the unit tests under the sanitizers, real sound and the desktop program with
# the optimised programs.
check:
	$(MAKE) check-asan
	$(MAKE) check-real

check-real: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

check-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) -LE 'sound|smoke'

# Each step says when it starts, so that a slow one is seen in the log.
test: deps-test
	@date '+== %T check-layers'
	$(MAKE) check-layers
	@date '+== %T check-asan'
	$(MAKE) check-asan
	@date '+== %T check-real'
	$(MAKE) check-real
	@date '+== %T fuzz'
	$(MAKE) fuzz
	@date '+== %T check-package'
	$(MAKE) check-package
	@date '+== %T done'

# No folder includes from a folder above it or beside it (see docs/architecture.md), and every
# C++ file is as clang-format writes it.
check-layers:
	scripts/check-layers.sh
	scripts/check-format.sh

# clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, in build-fuzz/
fuzz: deps-test
	scripts/fuzz.sh $(FUZZ_SECONDS)

# Reuses the plain build: cpack installs it into a staging folder, strips it and packs it.
deb: build
	rm -f $(BUILD)/voxbench_*.deb
	cd $(BUILD) && cpack -G DEB

# Installs the package with apt-get, tries what it installed, and removes it again.
check-package: deb deps-test
	scripts/test-package.sh $(BUILD)

demo: build
	scripts/make-demo.sh $(BUILD) demo

run: demo
	scripts/run-demo.sh $(BUILD) demo

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz demo
