# Everything starts here; each target installs what it needs first.
.PHONY: all setup run test native win64 win32 bench bench-burst bench-fetch bench-scan bench-shim fuzz clean demo kill-test

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

# Bursts of a site's pages sent to the program under Wine: pages kept by
# burst size and by rate (BURST_ROUNDS, 3 by default); see bench/README.md.
bench-burst: setup
	@bash scripts/bench-burst.sh $(or $(BURST_ROUNDS),3)

# The program ended abruptly at random moments of bursts, and every page
# acknowledged before the kill found after the start-up check (KILL_RUNS,
# 100 by default; KILL_SEED repeats a set of runs); see bench/README.md.
kill-test: setup
	@bash scripts/kill-test.sh $(or $(KILL_RUNS),100)

# Builds the fuzz targets with clang and runs each for a short while
# (FUZZ_SECONDS, 30 by default).
fuzz: setup
	@bash scripts/fuzz.sh $(or $(FUZZ_SECONDS),30)

clean:
	rm -rf build
