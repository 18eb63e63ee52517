# Holmtex Notiz: `make run` starts the program, `make test` runs every test.
# Both first install the Debian packages that are missing (with sudo when not root).

BUILD   ?= build
WORKDIR ?= workdir
PACKAGES = cmake g++ ninja-build qt6-base-dev qt6-qpa-plugins libqt6test6 \
           libgtest-dev libbenchmark-dev fonts-liberation2 fonts-dejavu-core \
           xvfb xauth

.PHONY: deps configure build run test bench clean

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

run: build
	@mkdir -p $(WORKDIR)
	cd $(WORKDIR) && "$(CURDIR)/$(BUILD)/holmtex"

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure

bench: build
	$(BUILD)/bench/list_bench
	cd $(BUILD) && bench/interaction_bench

clean:
	rm -rf $(BUILD)
