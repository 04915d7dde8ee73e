# Everything a fresh Debian machine needs to build, run and test Cinvo.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local

PACKAGES := \
	g++ cmake ninja-build pkg-config \
	qt6-base-dev qt6-base-dev-tools libgl-dev \
	libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev \
	gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-tools \
	libsimpleini-dev libjpeg-dev \
	libx11-dev libxext-dev libxrandr-dev \
	libgtest-dev libgmock-dev libbenchmark-dev \
	xvfb xauth x11-xserver-utils ffmpeg xdg-utils dbus-daemon \
	desktop-file-utils appstream xdotool libglib2.0-bin \
	fonts-dejavu-core fonts-wine

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
XVFB := xvfb-run -a -s '-screen 0 1280x1024x24 -noreset'

.PHONY: all deps configure build run install test bench clean

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

run: build
	./$(BUILD_DIR)/app/cinvo $(ARGS)

# The program, its desktop entry, icons, metainfo and default language files.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)
	-command -v update-desktop-database >/dev/null && update-desktop-database -q $(PREFIX)/share/applications
	-command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q -t $(PREFIX)/share/icons/hicolor

test: build
	cd $(BUILD_DIR) && $(XVFB) ctest --output-on-failure -j2 --timeout 300

bench: build
	cmake --build $(BUILD_DIR) --target benches
	@for b in $(BUILD_DIR)/bench/bench_*; do if [ -f "$$b" ] && [ -x "$$b" ]; then "$$b" || exit 1; fi; done

clean:
	rm -rf $(BUILD_DIR)
