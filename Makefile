# The two commands of the README:
#   make run   installs what is missing, builds, and starts Tarnlux on the simulated meter
#   make test  installs what is missing, builds, and runs every test headless
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# Seconds each fuzz target runs in `make fuzz`.
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# Warnings are errors in CI.
WERROR     := $(if $(CI),ON,OFF)

.PHONY: run test deps build test-sanitize bench clean
.PHONY: fuzz

deps:
	@sh scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNLUX_WERROR=$(WERROR) > /dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	sh scripts/run-demo.sh $(BUILD)

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 600

# Core and meter tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARNLUX_SANITIZE=ON -DTARNLUX_BUILD_UI=OFF \
	  -DTARNLUX_BUILD_BENCH=OFF -DTARNLUX_WERROR=$(WERROR) > /dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L 'unit|integration' --timeout 600

# The parsers under libFuzzer (clang, its own build folder; the gcc build is untouched).
fuzz: deps
	sh scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done; true

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
	rm -rf $(FUZZ_BUILD)
