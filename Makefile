# Parlomix: set-up, build, test, run and benchmark in one place.
# Every target that builds first makes sure the Debian packages are there.

JOBS      ?= $(shell nproc)
BUILD     ?= build
TESTBUILD ?= build-test
BENCHBUILD?= build-bench
RELBUILD  ?= build-release-check
FUZZBUILD ?= build-fuzz
# How long `make fuzz` runs each target.
FUZZ_SECONDS ?= 20

# Build tools and libraries.
PACKAGES = cmake ninja-build g++ pkg-config \
           libsqlite3-dev zlib1g-dev libpcre2-dev libcurl4-openssl-dev \
           libxml2-dev qt6-base-dev libxcb1-dev qt6-translations-l10n fonts-dejavu-core \
           libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
# Outside oracles and peers the tests use.
TEST_PACKAGES = fp-compiler sqlite3 unzip python3 tinyproxy microsocks
# The fuzz targets are built with clang and its libFuzzer runtime.
FUZZ_PACKAGES = clang libclang-rt-14-dev
# Only the benchmarks compare against Lua.
BENCH_PACKAGES = lua5.4
# Only the window pictures need a display server and a window manager, whose
# title bars the pictures show; CI never makes them.
SHOT_PACKAGES = xvfb xauth openbox

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

define install_missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi
endef

.PHONY: all deps build test run bench fuzz screenshots clean

all: build

deps:
	$(call install_missing,$(PACKAGES) $(TEST_PACKAGES) $(FUZZ_PACKAGES))

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DPARLOMIX_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS)

test: deps
	cmake -S . -B $(TESTBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPARLOMIX_SANITIZE=ON
	cmake --build $(TESTBUILD) -j $(JOBS)
	cd $(TESTBUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j $(JOBS)
	@# Hostile scripts once more in an optimised build: the sanitizers' large
	@# frames hide how deep a Release build really nests on a small stack.
	cmake -S . -B $(RELBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELBUILD) -j $(JOBS) --target test_script_interpreter
	$(RELBUILD)/bin/test_script_interpreter --gtest_filter='Hostile.*' --gtest_brief=1

run: build
	./$(BUILD)/bin/parlomix

bench: deps
	$(call install_missing,$(BENCH_PACKAGES))
	cmake -S . -B $(BENCHBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DPARLOMIX_TESTS=OFF -DPARLOMIX_BENCH=ON
	cmake --build $(BENCHBUILD) -j $(JOBS)
	@for b in $(BENCHBUILD)/bin/bench_*; do echo "== $$b"; $$b || exit 1; done

# Every libFuzzer target, built with clang under ASan and UBSan, then run
# FUZZ_SECONDS each from its seeds in tests/fuzz/corpus/<name>; what a run
# finds goes to $(FUZZBUILD)/corpus, never into the repository.
fuzz: deps
	cmake -S . -B $(FUZZBUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DPARLOMIX_TESTS=OFF -DPARLOMIX_SANITIZE=ON -DPARLOMIX_FUZZ=ON
	cmake --build $(FUZZBUILD) -j $(JOBS) --target fuzz
	@for f in $(FUZZBUILD)/bin/fuzz_*; do \
	  name=$${f##*/fuzz_}; work=$(FUZZBUILD)/corpus/$$name; mkdir -p $$work; \
	  seeds=tests/fuzz/corpus/$$name; [ -d $$seeds ] || seeds=; \
	  echo "== fuzz_$$name, $(FUZZ_SECONDS) s"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZBUILD)/ $$work $$seeds > $(FUZZBUILD)/$$name.log 2>&1 \
	    || { tail -n 60 $(FUZZBUILD)/$$name.log; exit 1; }; \
	  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' $(FUZZBUILD)/$$name.log; \
	done

# Pictures of every window built so far, into docs/.
screenshots: deps
	$(call install_missing,$(SHOT_PACKAGES))
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DPARLOMIX_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS) --target pxshots
	xvfb-run -a -s "-screen 0 1280x1024x24" sh -c \
	  'openbox >/dev/null 2>&1 & wm=$$!; sleep 1; ./$(BUILD)/bin/pxshots docs; rc=$$?; kill $$wm; wait $$wm; exit $$rc'

clean:
	rm -rf $(BUILD) $(TESTBUILD) $(BENCHBUILD) $(RELBUILD) $(FUZZBUILD)
