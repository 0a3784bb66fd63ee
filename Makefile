# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
EXAMPLE_DIR ?= /tmp/brisko-demo
# The Debian package is built in a folder of its own, with Debian's build flags.
PACKAGE_BUILD ?= $(BUILD)/package

PREFIX ?= /usr/local

.PHONY: all setup setup-run configure build program run test install package clean

all: build

setup:
	@scripts/setup.sh

setup-run:
	@scripts/setup.sh --run

configure: setup
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The program alone: what the window needs, without the tests and benchmarks.
program: configure
	@cmake --build $(BUILD) -j $(JOBS) --target brisko

run: setup-run program
	@examples/make-demo.sh $(EXAMPLE_DIR)
	$(BUILD)/brisko $(EXAMPLE_DIR)/demo.rmp

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Into PREFIX (default /usr/local; PREFIX=$$HOME/.local for one user); DESTDIR is honoured.
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in $(BUILD)/, installed with: apt install ./$(BUILD)/brisko_*.deb
# The compiler and linker flags are Debian's (dpkg-buildflags, every hardening
# feature on); lintian then checks the package just made; an error fails the target.
package: setup
	@scripts/setup.sh --package
	@test -f $(PACKAGE_BUILD)/build.ninja || \
	  env DEB_BUILD_MAINT_OPTIONS=hardening=+all sh -c ' \
	    CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	    LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	    cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DBRISKO_TESTS=OFF -DBRISKO_DEBIAN_PACKAGE=ON'
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@cd $(PACKAGE_BUILD) && cpack -G DEB -B $(abspath $(BUILD)) && \
	  lintian --fail-on error "$$(ls -t $(abspath $(BUILD))/brisko_*.deb | head -n1)"

clean:
	rm -rf $(BUILD)
