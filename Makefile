# gridcity: `make run` to watch the city, `make test` to run every test.
# SPDX-License-Identifier: MIT
BUILD ?= build
NPROC := $(shell nproc 2>/dev/null || echo 2)

# Debian packages: what the demo needs to build and run, and what the tests add.
RUNPKGS = cmake ninja-build g++ pkg-config libxxhash-dev libsdl1.2-compat-dev libgl-dev \
          libglu1-mesa-dev libgl1-mesa-dri libpng-dev libx11-dev libxtst-dev libxfixes-dev \
          libxrandr-dev xvfb xauth
WEBPKGS = cmake ninja-build emscripten node-acorn libxxhash-dev
# What the Debian package is made with (dpkg-shlibdeps, and file, which CPack asks what is ELF).
PKGPKGS = dpkg-dev file
# ffmpeg encodes gridcity-replay's clips (--video), which the tests record and probe;
# python3-debian reads the package's copyright file as Debian's tools do; xxhsum (xxhash)
# checks the trace's hash of a dump.
TESTPKGS = $(RUNPKGS) $(WEBPKGS) $(PKGPKGS) libgtest-dev libbenchmark-dev valgrind chromium \
           python3 appstream desktop-file-utils libxss-dev openbox xscreensaver xscreensaver-gl \
           ffmpeg python3-debian xxhash
# Xorg's dummy driver and xrandr give a test two monitors; mutter runs under a session bus of
# its own (dbus-run-session); xmonad is a window manager that keeps a border round windows,
# installed without what it recommends (its Haskell compiler, over a gigabyte).
TESTPKGS += xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils mutter dbus-daemon
BAREPKGS = xmonad
# The other hosts that run hacks: MATE's screensaver daemon (on its own bus, from dbus-daemon)
# and xsecurelock.
TESTPKGS += mate-screensaver xsecurelock
# make cross: the core-only build needs only compilers and xxHash's header, the foreign binaries
# qemu-user.
CROSSPKGS = cmake ninja-build g++ g++-aarch64-linux-gnu g++-i686-linux-gnu g++-s390x-linux-gnu \
            qemu-user libxxhash-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps testdeps webdeps configure build run test web install uninstall package
all: build

# Installs only what is missing; nothing to do when every package is present. A second
# argument is handed to apt-get install.
define install
	@missing=$$(for p in $(1); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $(2) $$missing; \
	fi
endef

deps:
	$(call install,$(RUNPKGS))

testdeps:
	$(call install,$(TESTPKGS))
	$(call install,$(BAREPKGS),--no-install-recommends)

webdeps:
	$(call install,$(WEBPKGS))

configure:
	cmake -S . -B $(BUILD) -G Ninja -DGRIDCITY_SANITIZE=OFF -DGRIDCITY_WEB_DIR=$(CURDIR)/$(WEB) > /dev/null

build: configure
	cmake --build $(BUILD) -j $(NPROC)

run: deps build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD)/src/gridcity; \
	else \
	  tools/headless-run.sh $(BUILD); \
	fi

# The browser page and everything it loads (its script, style, icons, manifest, service worker,
# gridcity.js and gridcity.wasm) in $(WEB), for any static server.
# Debian's Emscripten finds its JavaScript optimiser's parser (acorn) only through NODE_PATH.
WEB ?= build-web
EMBUILD = $(WEB)-cmake
web: webdeps
	NODE_PATH=/usr/share/nodejs emcmake cmake -S web -B $(EMBUILD) -G Ninja \
	  -DGRIDCITY_WEB_OUT=$(CURDIR)/$(WEB) > /dev/null
	NODE_PATH=/usr/share/nodejs cmake --build $(EMBUILD) -j $(NPROC)

# Every test in $(BUILD), then the unit tests and a long checked replay again in a tree of their
# own built under ASan and UBSan.
SANBUILD ?= build-san
test: testdeps build web
	ctest --test-dir $(BUILD) --output-on-failure -j $(NPROC)
	cmake -S . -B $(SANBUILD) -G Ninja -DGRIDCITY_SANITIZE=ON > /dev/null
	cmake --build $(SANBUILD) -j $(NPROC) --target unit_tests gridcity-replay
	ctest --test-dir $(SANBUILD) --output-on-failure -j $(NPROC) -L sanitize

# Installs the programs, their man pages, menu entry, icons and metainfo under PREFIX (DESTDIR
# is honoured); uninstall removes what the last install wrote.
PREFIX ?= /usr/local
install: deps build
	cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	xargs -r -d '\n' rm -f -- < $(BUILD)/install_manifest.txt

# The Debian package, $(BUILD)/gridcity_<version>_<arch>.deb, from a build of its own (the
# programs alone, with the distribution's hardening flags from dpkg-buildflags, no build path
# inside): two builds of one commit give the same bytes wherever they ran (the umask sets the
# modes of the archive's own members).
PKGBUILD = $(BUILD)/package
package: deps
	$(call install,$(PKGPKGS))
	umask 022; eval "$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"; \
	cmake -S . -B $(PKGBUILD) -G Ninja -DBUILD_TESTING=OFF -DGRIDCITY_SANITIZE=OFF \
	  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
	  -DCMAKE_CXX_FLAGS="$$CXXFLAGS $$CPPFLAGS -ffile-prefix-map=$(abspath $(PKGBUILD))=build" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$LDFLAGS" > /dev/null && \
	cmake --build $(PKGBUILD) -j $(NPROC) && \
	cpack --config $(PKGBUILD)/CPackConfig.cmake -B $(abspath $(BUILD))

# The release tarball, $(BUILD)/gridcity-<version>.tar.gz, from the committed tree (HEAD) alone:
# git stamps every member with the commit's time and gzip -n adds none, so two runs give the
# same bytes. The version is project()'s in CMakeLists.txt.
VERSION := $(shell sed -n 's/^project(gridcity VERSION \([^ )]*\).*/\1/p' CMakeLists.txt)
DIST = $(BUILD)/gridcity-$(VERSION).tar.gz
.PHONY: dist
dist:
	@test -n "$(VERSION)" || { echo "dist: no version in CMakeLists.txt's project()" >&2; exit 1; }
	@mkdir -p $(BUILD)
	git -c tar.umask=022 -c tar.tar.gz.command='gzip -9n' archive --format=tar.gz \
	  --prefix=gridcity-$(VERSION)/ -o $(DIST).part HEAD || { rm -f $(DIST).part; exit 1; }
	@mv $(DIST).part $(DIST)
	@git diff --quiet HEAD || echo "dist: $(DIST) holds commit $$(git rev-parse --short HEAD);" \
	  "the changes not committed are not in it" >&2

# Benchmarks: world building, the animation step and the drawing of one frame (Google
# Benchmark, offscreen), then the demo's frame rate against the bare GL frames under Xvfb and
# where a frame of each goes on this machine (its code, the GL calls, the delay while the frame
# handed over rasterises and the rest of it, the rasterisation left at the swap, the SDL layer's
# blit, the copy to X). docs/performance.md has the figures and what they mean.
BENCHFLAGS ?= --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
.PHONY: bench fps record
bench: testdeps build
	$(BUILD)/bench/gridcity_bench $(BENCHFLAGS)
	bench/fps.sh $(BUILD)

# The frame-rate comparison alone (PAIRS, WARMUP, FRAMES: see bench/fps.sh).
fps: testdeps build
	bench/fps.sh $(BUILD)

# A recorded clip's frame rate against drawing alone (PAIRS, SEED, FROM, FRAMES, EXT: see
# bench/record.sh).
record: testdeps build
	bench/record.sh $(BUILD)

# The long soak: a million checked frames for each seed, two at a time; the first broken
# invariant stops that run with its frame number. CI runs a shorter one (ctest -L soak).
SOAKSEEDS ?= 1 7 2026
SOAKFRAMES ?= 1000000
.PHONY: soak
soak: deps build
	@printf '%s\n' $(SOAKSEEDS) | xargs -P 2 -I S sh -c \
	  'start=$$(date +%s); $(BUILD)/tools/gridcity-replay --seed S --frames $(SOAKFRAMES) --check \
	   && echo "seed S: $(SOAKFRAMES) frames, no violation ($$(( $$(date +%s) - start )) s)"'

# The committed trace the replay_trace test compares with (tests/trace.sh), rewritten from this
# build: only when the scene is meant to change.
.PHONY: trace-update
trace-update: build
	tests/trace.sh --update $(BUILD)/tools/gridcity-replay

# The core-only build (no SDL, GL, X or libpng) here and for aarch64, i686 and s390x (big-endian)
# with Debian's cross compilers; each one's trace, the foreign ones under qemu-user, must match
# the native trace committed in tests/data frame for frame. The cross compilers search the host's
# /usr/include last: it is left out (xxHash's header alone comes in, through the build tree), so
# no GL or SDL header is in reach. Not part of make test.
CROSSBUILD ?= build-cross
CROSSTARGETS = aarch64:aarch64-linux-gnu:qemu-aarch64 i686:i686-linux-gnu:qemu-i386 \
               s390x:s390x-linux-gnu:qemu-s390x
.PHONY: cross
cross:
	$(call install,$(CROSSPKGS))
	cmake -S . -B $(CROSSBUILD)/native -G Ninja -DGRIDCITY_CORE_ONLY=ON > /dev/null
	cmake --build $(CROSSBUILD)/native -j $(NPROC) --target gridcity-replay
	tests/trace.sh $(CROSSBUILD)/native/tools/gridcity-replay
	@set -e; for t in $(CROSSTARGETS); do \
	  arch=$${t%%:*}; rest=$${t#*:}; triple=$${rest%%:*}; qemu=$${rest#*:}; \
	  flags="-nostdinc -nostdinc++ $$(echo | $$triple-g++ -xc++ -E -v - 2>&1 | \
	    sed -n '/search starts here:/,/^End/s/^ \(.*\)/\1/p' | grep -vx /usr/include | \
	    sed 's/^/-isystem /' | tr '\n' ' ')"; \
	  if echo '#include <GL/gl.h>' | $$triple-g++ $$flags -xc++ -fsyntax-only - 2>/dev/null; then \
	    echo "$$arch: GL headers are in reach of the core-only build" >&2; exit 1; \
	  fi; \
	  cmake -S . -B $(CROSSBUILD)/$$arch -G Ninja -DGRIDCITY_CORE_ONLY=ON \
	    -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=$$arch \
	    -DCMAKE_CXX_COMPILER=$$triple-g++ -DCMAKE_CXX_FLAGS="$$flags" > /dev/null; \
	  cmake --build $(CROSSBUILD)/$$arch -j $(NPROC) --target gridcity-replay; \
	  echo "$$arch, under $$qemu:"; \
	  tests/trace.sh $$qemu -L /usr/$$triple $(CROSSBUILD)/$$arch/tools/gridcity-replay; \
	done
