# Everything a fresh Debian machine needs to build, run and test Cinvo.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local

PACKAGES := \
	g++ cmake ninja-build pkg-config \
	qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev \
	libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev \
	gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav gstreamer1.0-tools gstreamer1.0-x \
	libsimpleini-dev libjpeg-dev libyuv-dev libfontconfig-dev \
	libx11-dev libxext-dev libxrandr-dev \
	libgtest-dev libgmock-dev libbenchmark-dev \
	xvfb xauth x11-xserver-utils xdotool ffmpeg jq xdg-utils dbus-daemon \
	desktop-file-utils appstream libglib2.0-bin dpkg-dev file \
	fonts-dejavu-core fonts-wine

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
XVFB := xvfb-run -a -s '-screen 0 1280x1024x24 -noreset'

# The sanitizer build: its own directory, flags and run-time options.
SANITIZE_DIR ?= build-sanitize
SANITIZE_FLAGS := -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
SANITIZE_SUPP := $(CURDIR)/tests/sanitize
# ccache when the machine has it; the build works the same without.
CCACHE := $(shell command -v ccache 2>/dev/null)
SANITIZE_LAUNCHER := $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE))
# GLib, GStreamer and Qt are built without frame pointers: only the slow
# unwinder finds who allocated, which the suppressions and our own leak
# reports need. GLib's slice allocator would hide a leaked GStreamer object
# inside its own blocks: plain malloc instead.
SANITIZE_ENV := \
	G_SLICE=always-malloc G_DEBUG=gc-friendly \
	ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:malloc_context_size=20:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	LSAN_OPTIONS=suppressions=$(SANITIZE_SUPP)/lsan.supp

.PHONY: all deps configure build run install package test bench clean check-sanitize

all: build

# Installs only what is missing; apt-get update runs only when something is.
deps:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: $(BUILD_DIR)/build.ninja

build: deps configure
	cmake --build $(BUILD_DIR)

# A first run gets a few demo movies in the default movies directory.
run: build
	@tools/make_demo_movies.sh $(BUILD_DIR)/app
	./$(BUILD_DIR)/app/cinvo $(ARGS)

# The program, its desktop entry, icons, metainfo and default language files.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)
	-command -v update-desktop-database >/dev/null && update-desktop-database -q $(PREFIX)/share/applications

# The Debian package, $(BUILD_DIR)/cinvo_<version>_<arch>.deb.
package: build
	cd $(BUILD_DIR) && cpack -G DEB
	@ls $(BUILD_DIR)/cinvo_*.deb

test: build
	cd $(BUILD_DIR) && $(XVFB) ctest --output-on-failure -j2 --timeout 300

# Every benchmark on a 1920x1080 screen, then one table of the figures they
# tagged (figure, value, reference from the same run, aim).
XVFB_BENCH := xvfb-run -a -s '-screen 0 1920x1080x24 -noreset'
BENCH_LOG := $(BUILD_DIR)/bench/figures.log
bench: build
	cmake --build $(BUILD_DIR) --target benches
	@: > $(BENCH_LOG)
	@for b in $(BUILD_DIR)/bench/bench_*; do if [ -f "$$b" ] && [ -x "$$b" ]; then \
		$(XVFB_BENCH) "$$b" > $(BENCH_LOG).one 2>&1; status=$$?; \
		grep -v '^@row' $(BENCH_LOG).one; cat $(BENCH_LOG).one >> $(BENCH_LOG); \
		[ $$status = 0 ] || exit 1; fi; done
	@echo; awk -F '\t' 'BEGIN { printf "%-68s %-10s %-26s %s\n", "figure", "value", "reference (same run)", "aim" } \
		$$1 == "@row" { printf "%-68s %-10s %-26s %s\n", $$2, $$3, $$4, $$5 }' $(BENCH_LOG)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer:
# memory errors, undefined behaviour and leaks of our own code fail a test.
check-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug $(SANITIZE_LAUNCHER) \
		-DCMAKE_CXX_FLAGS_DEBUG="-O1 -g $(SANITIZE_FLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(SANITIZE_FLAGS)"
	$(SANITIZE_ENV) cmake --build $(SANITIZE_DIR)
	cd $(SANITIZE_DIR) && $(SANITIZE_ENV) $(XVFB) ctest --output-on-failure -j2 --timeout 900

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
