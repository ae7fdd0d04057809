# The front door. `make run` and `make test` work on a fresh Debian machine:
# each installs what is missing, then builds what it needs and no more.
SHELL := /bin/bash
export BUILD_ROOT ?= build
PRESETS := native sanitize windows
TEST_DEPS := core windows gui browser fuzz
# Seconds that `make fuzz` gives each fuzz target.
FUZZ_SECONDS ?= 60
# Where `make install` puts kelvara-cli (bin/) and its manual page (share/man/man1/).
PREFIX ?= /usr/local

.PHONY: run test build bench fuzz dist install format clean

run:
	@scripts/run.sh $(if $(PAGE),"$(PAGE)")

test:
	@scripts/install-deps.sh $(TEST_DEPS)
	@echo "== checking the format"
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
	@for preset in $(PRESETS); do \
	  scripts/build.sh --require-test-tools $$preset || exit 1; \
	  echo "== testing $$preset"; \
	  ctest --test-dir "$(BUILD_ROOT)/$$preset" --no-tests=error --output-on-failure -j2 --progress || exit 1; \
	done
	@# The fuzz build holds only the core and the fuzz targets, so it is built and run on its own.
	@fuzz/fuzz.sh test

build:
	@scripts/install-deps.sh core
	@scripts/build.sh native

bench:
	@scripts/install-deps.sh core browser docs
	@scripts/build.sh release kelvara_bench kelvara_bench_pages kelvara-cli
	@scripts/bench.sh "$(BUILD_ROOT)/release"

fuzz:
	@scripts/install-deps.sh core fuzz
	@fuzz/fuzz.sh run $(FUZZ_SECONDS)

dist:
	@scripts/install-deps.sh core windows dist
	@scripts/dist.sh

install:
	@scripts/install-deps.sh core
	@scripts/build.sh native kelvara-cli
	@cmake --install "$(BUILD_ROOT)/native" --prefix "$(PREFIX)" --strip

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf -- "$(BUILD_ROOT)"
