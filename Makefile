# The two set-up commands: `make run` and `make test`. Each installs what is missing first.
.PHONY: run test deps build build-asan build-fuzz bench soak fuzz package clean

deps:
	@scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan

# The fuzz targets (clang, libFuzzer): fuzz_decode, fuzz_frame and fuzz_calibration.
build-fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz

# Only the program itself: starting it needs none of the tests or benchmarks.
run: deps
	cmake --preset default
	cmake --build --preset default --target plandis
	./build/default/app/plandis

# Every test, then every test again under the sanitizers, then a bounded run of each fuzz
# target (10 s each) over its seeds and regression files.
test: build build-asan build-fuzz
	ctest --preset default
	ctest --preset asan
	ctest --preset fuzz

# A longer fuzzing run: each target for FUZZ_SECONDS seconds.
FUZZ_SECONDS ?= 60
fuzz: build-fuzz
	PLANDIS_FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset fuzz --timeout $$(( $(FUZZ_SECONDS) + 120 ))

# A Debian package of the program in build/default (plandis_*.deb), dependencies included.
package: build
	cmake --build --preset default --target package

bench: build
	scripts/run-bench

# Ten minutes of live 4K capture with calibration on: fails if the resident set grows after
# the warm-up (`make test` runs eight seconds of it).
soak: deps
	cmake --preset default
	cmake --build --preset default --target plandis_soak
	./build/default/bench/plandis_soak --seconds 600

clean:
	rm -rf build
