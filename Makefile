# Holmtex Notiz: `make run` starts the program, `make test` runs every test, `make deb`
# builds the Debian package, `make package-check` checks what gets installed.
# Each first installs the Debian packages that are missing (with sudo when not root).

BUILD     ?= build
RUN_BUILD ?= build-run
DEB_BUILD ?= build-deb
WORKDIR   ?= workdir
PACKAGES = cmake g++ ninja-build qt6-base-dev qt6-qpa-plugins qt6-translations-l10n \
           libqt6test6 libqt6printsupport6 libgtest-dev libbenchmark-dev \
           fonts-liberation2 fonts-dejavu-core xvfb xauth dpkg-dev

.PHONY: deps configure build run test bench deb package-check clean

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

clean:
	rm -rf $(BUILD) $(RUN_BUILD) $(DEB_BUILD)
