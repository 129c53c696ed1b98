# make run   builds meldrove.exe and starts it under Wine with this machine's
#            fonts (on a virtual display, printing its results, when there
#            is no DISPLAY)
# make run-finder
#            builds meldrove-finder.exe and starts it under Wine with this
#            machine's fonts; without a DISPLAY it types a sample text, picks
#            a language and saves a picture to build/meldrove-finder.png
# make test  builds everything and runs every test: natively with ASan and
#            UBSan, and cross-built for Windows under Wine, the program end to
#            end on a virtual display
# make query lists this machine's fonts with the command-line meldrove-query
# make build builds the native engine, tests and tools
# make fuzz  runs every fuzz target (or those of FUZZ_TARGETS) for FUZZ_TIME
#            seconds (default 180) each; make fuzz-coverage then tells how
#            much of the engine the corpus reaches
# make bench times the inventory build over folders of 1,000 and 10,000 real
#            fonts against the file system floors, fc-scan and fontTools
#            (and meldrove-query --coverage against fc-scan),
#            then meldrove.exe's start-up under Wine over fonts folders of
#            the same sizes against a Win32 readers' floor, and
#            meldrove-finder.exe's to its window and full list as a ratio
#            of meldrove.exe's (installs its own
#            font packages; not part of make test)
# make unicode-data
#            rewrites coverage/unicode_data.cpp, the blocks and assigned
#            code points of the pinned Unicode version, from npm packages it
#            installs into build/unicode-data (the build and the tests use
#            the committed file)
# make language-data
#            rewrites coverage/language_data.cpp, the languages of the
#            pinned CLDR version with their exemplar sets and English names,
#            and coverage/character_data.cpp, the Unicode properties their
#            rule needs (case, decompositions, Cf, Mn, Script), from npm
#            packages it installs into build/language-data (the build and the
#            tests use the committed files)
# make unicode-names
#            rewrites finder/model/unicode_names_data.cpp, the character
#            names of the pinned Unicode version, from the npm package it
#            installs into build/unicode-names (the build and the tests use
#            the committed file)
# make dist  builds the Windows release into dist/ (made anew): the zip of
#            meldrove.exe and meldrove-query.exe with README.txt, LICENSE and
#            THIRD-PARTY-NOTICES.md, its SHA256SUMS, and the Scoop and winget
#            manifests, which download it from RELEASE_URL; then checks them
# make dist-check
#            runs make dist in two clean clones of HEAD at different paths
#            and compares their executables and dist/ byte for byte
.PHONY: run run-finder test query build deps clean fuzz fuzz-build fuzz-seeds fuzz-merge fuzz-coverage bench unicode-data \
  unicode-names language-data dist dist-check

FUZZ_TIME ?= 180

# The folder the release zip is published in ({version} is the version), and
# the project's page. The defaults are placeholders, which make dist says.
RELEASE_URL ?= https://example.invalid/meldrove/releases/download/v{version}
HOMEPAGE ?= https://example.invalid/meldrove
# The time of the commit: the zip's entries carry it, and the compiler and
# linker take it for any time they would write.
dist: export SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)
FUZZ_SEED_FONTS ?= /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf \
  /usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf /usr/share/fonts/truetype/wqy/wqy-microhei.ttc
# Fonts with Indic and Arabic layout tables, for the layout target's seeds
# alone, where fonts-noto-core is installed.
FUZZ_LAYOUT_SEED_FONTS ?= $(wildcard /usr/share/fonts/truetype/noto/NotoSansDevanagari-Regular.ttf \
  /usr/share/fonts/truetype/noto/NotoSansArabic-Regular.ttf)

deps:
	@scripts/install-deps

build: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

run: deps
	cmake --preset mingw >/dev/null
	cmake --build --preset mingw --target meldrove meldrove-demo
	scripts/run-app

run-finder: deps
	cmake --preset mingw >/dev/null
	cmake --build --preset mingw --target meldrove-finder finder-demo --parallel 2
	scripts/run-finder

query: build
	scripts/run-query

test: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	ctest --preset asan
	$(MAKE) --no-print-directory fuzz-build
	scripts/fuzz --short
	cmake --preset mingw >/dev/null
	cmake --build --preset mingw
	ctest --preset mingw

fuzz-build: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j2 --target fuzz_targets

fuzz: fuzz-build
	FUZZ_TARGETS="$(FUZZ_TARGETS)" scripts/fuzz $(FUZZ_TIME)

# Keeps in fuzz/corpus what make fuzz found that reaches further.
fuzz-merge: fuzz-build
	FUZZ_TARGETS="$(FUZZ_TARGETS)" scripts/fuzz --merge

fuzz-coverage: deps
	cmake --preset fuzz-coverage >/dev/null
	cmake --build --preset fuzz-coverage -j2 --target fuzz_targets
	scripts/fuzz-coverage

# Remakes the seeds of fuzz/corpus from the tests' font writer and a few
# packaged fonts (the inputs merged in by make fuzz-merge stay).
fuzz-seeds: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j2 --target fuzz_make_seeds
	build/asan/fuzz/fuzz_make_seeds fuzz/corpus $(FUZZ_SEED_FONTS) $(if $(FUZZ_LAYOUT_SEED_FONTS),--layout $(FUZZ_LAYOUT_SEED_FONTS))

clean:
	rm -rf build

bench:
	@scripts/install-deps --bench
	cmake --preset native >/dev/null
	cmake --build --preset native --target meldrove-bench meldrove-query --parallel 2
	/usr/bin/python3 bench/run_bench.py
	cmake --preset mingw >/dev/null
	cmake --build --preset mingw --target meldrove start-timer win32-floor bare-window --parallel 2
	/usr/bin/python3 bench/run_wine_bench.py
	cmake --build --preset mingw --target meldrove meldrove-finder finder-timer --parallel 2
	/usr/bin/python3 bench/run_finder_bench.py

unicode-data:
	scripts/make-unicode-data

language-data:
	scripts/make-language-data

unicode-names:
	scripts/make-unicode-names

dist: deps
	cmake --preset mingw-release >/dev/null
	cmake --build --preset mingw-release
	/usr/bin/python3 scripts/make-dist --build build/mingw-release --out dist \
	  --release-url '$(RELEASE_URL)' --homepage '$(HOMEPAGE)'
	/usr/bin/python3 -B tests/release/check_dist.py --build build/mingw-release --dist dist \
	  --release-url '$(RELEASE_URL)' --epoch '$(SOURCE_DATE_EPOCH)'

dist-check: deps
	scripts/dist-check
