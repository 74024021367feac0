# Notarium — the two set-up commands: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= 2
CMAKE_ARGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Debian packages the build and the tests need.
PACKAGES = build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev \
           libbenchmark-dev qt6-base-dev qt6-base-dev-tools libgl-dev xvfb xauth clang \
           libclang-rt-14-dev poppler-utils libx11-dev xdotool xclip imagemagick \
           dpkg-dev lintian man-db

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build test test-core-sanitized run bench fuzz format clean package bench-exchange \
        bench-clipboard bench-fragmented

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-core-sanitized

# The core's tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-core-sanitized: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNOTA_SANITIZE=ON -DNOTA_GUI=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The Debian package of the programs (build-deb/notarium_<version>_<arch>.deb), built in a
# tree of its own with Debian's hardening flags; install and check it with
# tools/install-package.sh, or `sudo apt-get install ./build-deb/notarium_*.deb`.
DEB_BUILD ?= build-deb
package: deps
	cmake -S . -B $(DEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNOTA_TESTS=OFF \
	  -DNOTA_DPKG_BUILDFLAGS=ON
	cmake --build $(DEB_BUILD) -j $(JOBS)
	cd $(DEB_BUILD) && cpack -G DEB

run: build
	./tools/run-sample.sh $(BUILD)

bench: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNOTA_GUI=OFF
	cmake --build build-release -j $(JOBS) --target nota_bench
	./build-release/bench/nota_bench

# Export and import of a gigabyte of text against cp -r (DIR and MB: make bench-exchange
# BENCH_ARGS="/tmp/x 256").
bench-exchange: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNOTA_GUI=OFF
	cmake --build build-release -j $(JOBS) --target nota_bench_exchange
	./build-release/bench/nota_bench_exchange $(BENCH_ARGS)

# Copy and paste of 10,000 textlets with 100 MB of text, in one window and between two
# instances (under xvfb-run), against cp of 100 MB.
bench-clipboard: build
	cmake --build $(BUILD) -j $(JOBS) --target bench_ui_clipboard
	xvfb-run -a -s "-screen 0 1024x720x24" $(BUILD)/bench/ui/bench_ui_clipboard $(BENCH_ARGS)

# Compaction, repair, check and find on a file of interleaved chains and on it compacted,
# against dd and grep (DIR, TEXTS and BLOCKS: make bench-fragmented BENCH_ARGS="/tmp/x 10000 50").
bench-fragmented: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNOTA_GUI=OFF
	cmake --build build-release -j $(JOBS) --target nota_bench_fragmented
	./build-release/bench/nota_bench_fragmented $(BENCH_ARGS)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNOTA_FUZZ=ON -DNOTA_GUI=OFF
	cmake --build build-fuzz -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(DEB_BUILD) build-release build-fuzz
