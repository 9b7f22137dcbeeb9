# Everything starts here; each target installs what it needs first.
.PHONY: all setup run test native win64 win32 bench bench-fetch bench-scan bench-shim fuzz clean demo

all: win64

setup:
	@bash scripts/setup.sh

native: setup
	@bash scripts/build.sh native

win64: setup
	@bash scripts/build.sh win64

win32: setup
	@bash scripts/build.sh win32

run: win64
	@bash scripts/run.sh

demo: win64
	@bash scripts/demo.sh

test: setup
	@bash scripts/test.sh

bench: setup
	@cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DSKEIND_SANITIZE=OFF \
	  -DSKEIND_TESTS=OFF -DSKEIND_BENCH=ON >/dev/null
	@cmake --build build/bench -j2
	@./build/bench/bin/db_bench

# The program's own fetching beside wget on the same loopback server
# (FETCH_ROUNDS, 5 by default); see bench/README.md.
bench-fetch: setup
	@bash scripts/bench-fetch.sh $(or $(FETCH_ROUNDS),5)

# The page scanner beside libxml2 and gumbo over the machine's own HTML
# pages (SCAN_ROUNDS, 7 by default); see bench/README.md.
bench-scan: setup
	@bash scripts/bench-scan.sh $(or $(SCAN_ROUNDS),7)

# What the socket shim costs a browser of the old kind, undoctored beside
# doctored (SHIM_ROUNDS, 5 by default); see bench/README.md.
bench-shim: setup
	@bash scripts/bench-shim.sh $(or $(SHIM_ROUNDS),5)

# Builds the fuzz targets with clang and runs each for a short while
# (FUZZ_SECONDS, 30 by default).
fuzz: setup
	@bash scripts/fuzz.sh $(or $(FUZZ_SECONDS),30)

clean:
	rm -rf build
