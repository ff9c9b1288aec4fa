BUILD ?= build
JOBS ?= $(shell nproc)
# The Windows build of the Qt-free libraries, tested under Wine.
WINBUILD ?= build-mingw
WINE64 ?= $(firstword $(wildcard /usr/lib/wine/wine64 /usr/lib64/wine/wine64) $(shell command -v wine64 || command -v wine))
WINESERVER ?= $(firstword $(wildcard $(dir $(WINE64))wineserver) $(shell command -v wineserver))
# Put before every compiler run, e.g. LOCK="flock /tmp/build.lock" on a shared machine.
LOCK ?=
# The fuzz targets: their own clang build; each runs FUZZ_SECONDS (make test: 20).
FUZZBUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: deps build run test test-windows test-asan fuzz bench clean

deps:
	@scripts/deps.sh

build:
	cmake -S . -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)

run: deps build
	$(BUILD)/zjedit

test: deps build
	@echo "==== Linux tests ($(BUILD)) ===="
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-windows
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=20

# Each run gets a fresh Wine prefix, so no registry state carries over; the
# overrides keep Wine from asking to install its .NET and HTML engines. Wine's
# own services can outlive the server's shutdown: whatever still runs in the
# prefix is ended with it.
test-windows: deps
	$(LOCK) cmake -S . -B $(WINBUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DZJ_CORE_ONLY=ON -DZJ_BENCH=OFF
	$(LOCK) cmake --build $(WINBUILD) -j $(JOBS)
	@echo "==== Windows tests ($(WINBUILD), mingw-w64 build under Wine) ===="
	@set -e; \
	prefix=$$(mktemp -d "$${TMPDIR:-/tmp}/zj-wine.XXXXXX"); \
	export WINEPREFIX="$$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=; \
	trap '"$(WINESERVER)" -k >/dev/null 2>&1 || true; \
	      for p in $$(grep -lsxzF "WINEPREFIX=$$prefix" /proc/[0-9]*/environ | cut -d/ -f3); do \
	        [ "$$p" = "$$$$" ] || kill -9 "$$p" 2>/dev/null || true; done; \
	      rm -rf "$$prefix"' EXIT; \
	echo "Creating the Wine prefix $$prefix"; \
	"$(WINE64)" wineboot -i >"$$prefix/wineboot.log" 2>&1 || { cat "$$prefix/wineboot.log"; exit 1; }; \
	cd $(WINBUILD) && ctest --output-on-failure -j $(JOBS)

# For every user; `make install PREFIX=~/.local` for one (DESTDIR is honoured).
PREFIX ?= /usr/local
.PHONY: install package
install: deps build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package of the same files under /usr: $(BUILD)/zjedit_*.deb.
package: deps build
	cd $(BUILD) && cpack

# The Linux tests once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (no benchmarks). Leaks are reported too, except
# those of the libraries beneath the program (tests/asan.supp).
ASANBUILD ?= build-asan
test-asan: deps
	$(LOCK) cmake -S . -B $(ASANBUILD) -DZJ_SANITIZE=ON -DZJ_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
	$(LOCK) cmake --build $(ASANBUILD) -j $(JOBS)
	@echo "==== Linux tests with sanitizers ($(ASANBUILD)) ===="
	cd $(ASANBUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/asan.supp \
	  ctest --output-on-failure -j $(JOBS)

fuzz: deps
	$(LOCK) cmake -S fuzz -B $(FUZZBUILD) -DCMAKE_CXX_COMPILER=clang++
	$(LOCK) cmake --build $(FUZZBUILD) -j $(JOBS)
	@echo "==== Fuzzing ($(FUZZBUILD), $(FUZZ_SECONDS) s a target) ===="
	fuzz/run.sh $(FUZZBUILD) $(FUZZ_SECONDS)

bench: deps build
	bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(WINBUILD) $(ASANBUILD) $(FUZZBUILD)
