# Quorbix: make run | make test | make test-sanitize | make fuzz
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# CI builds treat warnings as errors.
ifeq ($(CI),true)
CMAKE_FLAGS += -DQUORBIX_WERROR=ON
endif
# A sanitizer finding fails the test it happens in.
SANITIZE_ENV = ASAN_OPTIONS=detect_leaks=1 \
               LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp \
               UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

PREFIX ?= /usr/local
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps build run test test-sanitize bench fuzz clean install deb deb-check

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./scripts/run-demo.sh $(BUILD)

# A failing test runs once more before it fails the run: a few window and
# D-Bus tests depend on timing under load; a real fault fails both times.
CTEST_RETRY ?= --repeat until-pass:2

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 600 $(CTEST_RETRY)

# The whole suite on a build with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) $(CMAKE_FLAGS) -DQUORBIX_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j$(JOBS) --timeout 900 $(CTEST_RETRY)

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

# Each parser's fuzz target for FUZZ_SECONDS, in a clang build of its own.
fuzz:
	@./scripts/install-deps.sh fuzz
	cmake -S . -B $(FUZZ_BUILD) -DQUORBIX_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	./tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
