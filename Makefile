# make run   builds meldrove-query and lists this machine's fonts with it
# make test  builds everything and runs every test: natively with ASan and
#            UBSan, and cross-built for Windows under Wine
# make build builds the native engine, tests and tools
.PHONY: run test build deps clean

deps:
	@scripts/install-deps

build: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

run: build
	scripts/run-query

test: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	ctest --preset asan
	cmake --preset mingw >/dev/null
	cmake --build --preset mingw
	ctest --preset mingw

clean:
	rm -rf build
