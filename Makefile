# The two commands a newcomer needs:
#   make run    installs what is missing, builds, and opens the demo database
#   make test   installs what is missing, builds twice (plain, and with sanitizers) and runs every test
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: run test deps deps-test build build-asan check check-asan demo clean

deps:
	@scripts/install-deps.sh

deps-test:
	@scripts/install-deps.sh --test

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOXBENCH_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOXBENCH_WERROR=ON -DVOXBENCH_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

check-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

test: deps-test
	$(MAKE) check
	$(MAKE) check-asan

demo: build
	scripts/make-demo.sh $(BUILD) demo

run: demo
	scripts/run-demo.sh $(BUILD) demo

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) demo
