# Quorbix: make run | make test
BUILD ?= build
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX ?= /usr/local

.PHONY: all deps build run test bench clean install deb deb-check

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./scripts/run-demo.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 600

# make install PREFIX=~/.local (DESTDIR is honoured too)
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, in $(BUILD)/quorbix_*.deb.
deb: build
	cd $(BUILD) && cpack -G DEB

# lintian, then install, find in the menu and remove the package (root only).
deb-check: deb
	./scripts/deb-check.sh $(BUILD)

bench: build
	./bench/run-all.sh $(BUILD)

clean:
	rm -rf $(BUILD)
