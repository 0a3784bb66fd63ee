# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
EXAMPLE_DIR ?= /tmp/brisko-demo

PREFIX ?= /usr/local

.PHONY: all setup setup-run configure build run test install package clean

all: build

setup:
	@scripts/setup.sh

setup-run:
	@scripts/setup.sh --run

configure: setup
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: setup-run build
	@examples/make-demo.sh $(EXAMPLE_DIR)
	$(BUILD)/brisko $(EXAMPLE_DIR)/demo.rmp

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Into PREFIX (default /usr/local; PREFIX=$$HOME/.local for one user); DESTDIR is honoured.
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in $(BUILD)/, installed with: apt install ./$(BUILD)/brisko_*.deb
# lintian then checks the package just made; an error fails the target.
package: build
	@scripts/setup.sh --package
	@cd $(BUILD) && cpack -G DEB && lintian --fail-on error "$$(ls -t brisko_*.deb | head -n1)"

clean:
	rm -rf $(BUILD)
