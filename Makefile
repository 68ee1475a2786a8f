# The two set-up commands: `make run` and `make test`. Each installs what is missing first.
.PHONY: run test deps build build-asan bench fuzz clean

deps:
	@scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan

run: build
	./build/default/app/plandis

test: build build-asan
	ctest --preset default
	ctest --preset asan

bench: build
	scripts/run-bench

clean:
	rm -rf build
