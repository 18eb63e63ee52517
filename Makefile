# Holmtex Notiz: `make run` starts the program, `make test` runs every test, `make deb`
# builds the Debian package, `make package-check` checks what gets installed.
# Each first installs the Debian packages that are missing (with sudo when not root).
# `make sanitize` runs every test built with AddressSanitizer and UndefinedBehaviorSanitizer;
# `make fuzz` fuzzes the list reader and the append's redo file for FUZZ_SECONDS each (needs
# clang, which is optional).
# `make screenshot` renders the window to docs/holmtex-window.png; `make format` lays out
# the C++ files as .clang-format says (needs clang-format, which is optional).

BUILD          ?= build
RUN_BUILD      ?= build-run
DEB_BUILD      ?= build-deb
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD     ?= build-fuzz
FUZZ_SECONDS   ?= 60
FUZZ_CXX       ?= clang++
WORKDIR        ?= workdir
PACKAGES = cmake g++ ninja-build qt6-base-dev qt6-qpa-plugins qt6-translations-l10n \
           libqt6test6 libqt6printsupport6 libgtest-dev libbenchmark-dev \
           fonts-liberation2 fonts-dejavu-core xvfb xauth dpkg-dev

.PHONY: deps configure build run test bench screenshot format deb package-check sanitize fuzz clean

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" = 0 ]; then sudo=""; else sudo="sudo"; fi; \
	  $$sudo apt-get update -qq && \
	  $$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD)

# Only the program and its helper, in a build folder of their own without tests and benchmarks.
run: deps
	@echo "make run: building holmtex and krumo-34 in $(RUN_BUILD)/ (no tests, no benchmarks;"
	@echo "          about a minute the first time, seconds after that)"
	@[ -f $(RUN_BUILD)/build.ninja ] || cmake -S . -B $(RUN_BUILD) -G Ninja --log-level=WARNING \
	  -DCMAKE_BUILD_TYPE=Release -DHOLMTEX_TESTS=OFF -DHOLMTEX_BENCH=OFF
	@cmake --build $(RUN_BUILD) --target holmtex krumo-34
	@mkdir -p $(WORKDIR)
	@echo "make run: starting holmtex over $(WORKDIR)/ (its lists live there; git clean -fdx removes them)"
	"$(RUN_BUILD)/holmtex" "$(WORKDIR)"

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure

bench: build
	$(BUILD)/bench/list_bench
	cd $(BUILD) && bench/interaction_bench
	cd $(BUILD) && bench/history_bench
	cd $(BUILD) && bench/window_bench
	cd $(BUILD) && bench/gedcom_bench

# The window as a picture, offscreen: build/holmtex-window.png and docs/holmtex-window.png.
screenshot: configure
	cmake --build $(BUILD) --target screenshot

FORMAT_DIRS ?= src tests bench

format:
	@if ! command -v clang-format >/dev/null 2>&1; then \
	  echo "make format: clang-format is not installed, so nothing is formatted (apt-get install clang-format)."; \
	  exit 0; \
	fi; \
	find $(FORMAT_DIRS) \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format -i

deb: deps
	@[ -f $(DEB_BUILD)/build.ninja ] || cmake -S . -B $(DEB_BUILD) -G Ninja --log-level=WARNING \
	  -DCMAKE_BUILD_TYPE=Release -DHOLMTEX_TESTS=OFF -DHOLMTEX_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(DEB_BUILD)
	cd $(DEB_BUILD) && cpack -G DEB

# The checks of the package_check test, on the package of `make deb`.
package-check: deb configure
	cmake --build $(BUILD) --target holmtex_window_driver
	@tests/package/package_check.sh --build $(DEB_BUILD) \
	  --driver $(BUILD)/tests/libholmtex_window_driver.so --deb $(DEB_BUILD)/holmtex_*.deb; \
	rc=$$?; [ $$rc = 77 ] && rc=0; exit $$rc

# The sanitizers stop at the first report. The fault library stays uninstrumented and the
# tests preload the sanitizer's run-time library before it.
SANITIZERS = -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer

sanitize: deps
	@[ -f $(SANITIZE_BUILD)/build.ninja ] || cmake -S . -B $(SANITIZE_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOLMTEX_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="$(SANITIZERS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZERS)" -DCMAKE_SHARED_LINKER_FLAGS="$(SANITIZERS)" \
	  $$(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
	cmake --build $(SANITIZE_BUILD)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure

fuzz: deps
	@if ! command -v $(FUZZ_CXX) >/dev/null 2>&1; then \
	  echo "make fuzz: $(FUZZ_CXX) is not installed, so nothing is fuzzed (apt-get install clang)."; \
	  exit 0; \
	fi; \
	set -e; \
	[ -f $(FUZZ_BUILD)/build.ninja ] || cmake -S tests/fuzz -B $(FUZZ_BUILD) -G Ninja \
	  -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo; \
	cmake --build $(FUZZ_BUILD); \
	mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/redo-corpus; \
	$(FUZZ_BUILD)/record_reader_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 \
	  -dict=tests/fuzz/records.dict -artifact_prefix=$(FUZZ_BUILD)/ \
	  $(FUZZ_BUILD)/corpus tests/data/reader-seeds; \
	$(FUZZ_BUILD)/redo_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=8192 \
	  -dict=tests/fuzz/redo.dict -artifact_prefix=$(FUZZ_BUILD)/redo- \
	  $(FUZZ_BUILD)/redo-corpus tests/data/redo-seeds

clean:
	rm -rf $(BUILD) $(RUN_BUILD) $(DEB_BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
