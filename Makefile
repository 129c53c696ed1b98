# make run   builds meldrove.exe and starts it under Wine with this machine's
#            fonts (on a virtual display, printing its results, when there
#            is no DISPLAY)
# make test  builds everything and runs every test: natively with ASan and
#            UBSan, and cross-built for Windows under Wine, the program end to
#            end on a virtual display
# make query lists this machine's fonts with the command-line meldrove-query
# make build builds the native engine, tests and tools
.PHONY: run test query build deps clean

deps:
	@scripts/install-deps

build: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

run: deps
	cmake --preset mingw >/dev/null
	cmake --build --preset mingw --target meldrove meldrove-demo
	scripts/run-app

query: build
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

# make bench  times the inventory build over folders of 1,000 and 10,000 real
#             fonts against the file system floor, fc-scan and fontTools
#             (installs its own font packages; not part of make test)
.PHONY: bench
bench: deps
	@bench/install-deps
	cmake --preset native >/dev/null
	cmake --build --preset native --target meldrove-bench --parallel 2
	/usr/bin/python3 bench/run_bench.py
