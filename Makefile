# Set-up, build and test in one command each. Every target installs the Debian
# packages it needs first (scripts/install-deps.sh; root on a fresh machine).

.PHONY: deps build test run bench fuzz asan package clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset release
	cmake --build --preset release

test: build
	ctest --preset release

# Running needs only the program: tests and benchmarks are left to `make test`.
run: deps
	cmake --preset release
	cmake --build --preset release --target tessaline
	@bash scripts/run.sh build/release/tessaline

bench: build
	@bash scripts/bench.sh build/release

asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	@bash scripts/fuzz.sh build/fuzz $${FUZZ_RUNS:-300000}

package: build
	cd build/release && cpack --config CPackConfig.cmake
	@ls build/release/package/*.deb

clean:
	rm -rf build
